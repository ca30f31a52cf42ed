#include "CallingConsole.h"

#include <csignal>

void useCallingConsole() {}

void onInterruptRequests(void (*onInterrupt)(int signal))
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}
