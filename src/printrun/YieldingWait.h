#pragma once

// Waits the given number of seconds on a monotonic clock while the window
// keeps handling its events.
void yieldingWait(int seconds);
