#include "YieldingWait.h"

#include "EventLoop.h"

#include <QElapsedTimer>

#include <algorithm>

void yieldingWait(int seconds)
{
    QElapsedTimer clock; // monotonic
    clock.start();
    const qint64 total = qint64(seconds) * 1000;
    while (clock.elapsed() < total)
        yieldToEventLoop(int(std::clamp<qint64>(total - clock.elapsed(), 1, 50)));
}
