#include "CallingConsole.h"

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

QStringList expandedArguments(const QStringList &arguments)
{
    return arguments;
}
