#include "CallingConsole.h"
#include "FileNames.h"

#include <csignal>

void useCallingConsole() {}

void onInterruptRequests(void (*onInterrupt)(int signal))
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

void writeToConsole(std::FILE *stream, const std::string &utf8)
{
    std::fputs(utf8.c_str(), stream);
    std::fflush(stream);
}

void releaseCallingConsole() {}

QStringList programArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << pathFromNative(argv[i]);
    return arguments;
}
