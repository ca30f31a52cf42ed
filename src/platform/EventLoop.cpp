#include "EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void yieldToEventLoop(int maxWaitMs)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (maxWaitMs <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(maxWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
}
