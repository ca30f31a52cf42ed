#pragma once

// The program without a window speaks through the console it was started
// from. On Windows the program is a windowed one: it attaches to the calling
// console (so that Ctrl+C, Ctrl+Break and closing the console reach it) and
// writes there when it was given no other output. Elsewhere: nothing to do.
void useCallingConsole();

// Calls onInterrupt(signal) on Ctrl+C or a request to end (SIGINT/SIGTERM;
// on Windows also Ctrl+Break and the console closing, as SIGINT, SIGBREAK
// and SIGTERM). onInterrupt must be safe to call from a signal handler.
void onInterruptRequests(void (*onInterrupt)(int signal));
