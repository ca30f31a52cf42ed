#include "EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void yieldToEventLoop(int maxWaitMs)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (maxWaitMs <= 0)
        return;
    // Back as soon as anything happens (an event, or a wake-up from another
    // thread), at the latest when the timer fires.
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // waits end on time, not up to 5 % late
    timer.start(maxWaitMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void wakeEventLoop()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] {}, Qt::QueuedConnection);
}
