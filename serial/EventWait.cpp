#include "EventWait.h"

#include <QCoreApplication>
#include <QTimer>

void waitProcessingEvents(const std::function<bool()>& done)
{
    if (done())
        return;
    // The heartbeat wakes the loop so that conditions nobody signals (a flag set by the worker,
    // the tick count moving on) are seen within a few milliseconds.
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.start(2);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
