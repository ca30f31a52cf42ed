#pragma once

// Yield to the event loop: handles every pending event of the user-interface
// thread; when none is pending, waits at most maxWaitMs for one, so callers
// that poll do not keep a core busy.
void yieldToEventLoop(int maxWaitMs = 20);
