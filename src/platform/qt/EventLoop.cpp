#include "EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void yieldToEventLoop(int maxWaitMs)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (maxWaitMs <= 0)
        return;
    // Back as soon as any event comes, at the latest when the timer fires.
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // waits end on time, not up to 5 % late
    timer.start(maxWaitMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
