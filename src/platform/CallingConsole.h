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
// on Windows also Ctrl+Break, as SIGBREAK, and the console closing or the
// user logging off, as ConsoleClosed). onInterrupt must be safe to call from
// a signal handler.
void onInterruptRequests(void (*onInterrupt)(int signal));

// The console the program runs in is going away: the system ends the
// program within seconds. (SIGHUP's number; Windows has no such signal.)
inline constexpr int ConsoleClosed = 1;

// Writes UTF-8 text to stdout or stderr: as Unicode to a console. To a file
// or pipe: on Windows in the console's output code page, as Windows' own
// console programs write (what PowerShell and findstr read; UTF-8 after
// chcp 65001, and without a console); elsewhere as UTF-8.
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
