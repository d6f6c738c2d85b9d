#include "frame_pacer.h"

#include <algorithm>
#include <utility>

FramePacer::FramePacer(std::function<void()> flush, QObject* parent)
    : QObject(parent), flush_(std::move(flush))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FramePacer::flush);
}

void FramePacer::request()
{
    if (timer_.isActive())
        return;
    const qint64 since = sinceFlush_.isValid() ? sinceFlush_.elapsed() : frameMs;
    timer_.start(static_cast<int>(std::max<qint64>(0, frameMs - since)));
}

void FramePacer::flushNow()
{
    if (!timer_.isActive())
        return;
    timer_.stop();
    flush();
}

void FramePacer::flush()
{
    sinceFlush_.start();
    flush_();
}
