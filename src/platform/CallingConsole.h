#pragma once

#include <QStringList>

#include <cstdio>
#include <string>

// The program without a window speaks through the console it was started
// from. On Windows the program is a windowed one: it attaches to the calling
// console (so that Ctrl+C, Ctrl+Break and closing the console reach it) and
// writes there when it was given no other output. Elsewhere: nothing to do.
void useCallingConsole();

// Calls onInterrupt(signal) on Ctrl+C or a request to end (SIGINT/SIGTERM;
// on Windows also Ctrl+Break and the console closing, as SIGINT, SIGBREAK
// and SIGTERM). onInterrupt must be safe to call from a signal handler.
void onInterruptRequests(void (*onInterrupt)(int signal));

// Writes UTF-8 text to stdout or stderr: as Unicode to a console, as UTF-8
// bytes to a file or pipe.
void writeToConsole(std::FILE *stream, const std::string &utf8);

// The program has chosen to show its window: the console it was started
// from gets its prompt back at once (on Windows the console companion waits
// until then, so that a usage error is answered in the console with its
// status). Elsewhere: nothing to do.
void releaseCallingConsole();

// The arguments after the program's name as the program should see them
// (called once the application object exists): file names as FileNames.h
// holds them, whatever their bytes; on Windows, arguments with "*" or "?"
// are expanded to the matching files, as Windows programs do (cmd leaves
// that to them), and kept as they are when nothing matches. Elsewhere the
// shell has done that already.
[[nodiscard]] QStringList programArguments(int argc, char *argv[]);
