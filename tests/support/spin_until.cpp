#include "spin_until.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    QDeadlineTimer deadline(limit);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}
