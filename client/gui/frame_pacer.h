#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Paces a display to the screen instead of to the events feeding it: any
// number of request() calls within one frame make one call of `flush`, at
// most one a frame, and a request after a quiet spell is flushed at the
// next event-loop pass. The timer runs only while a flush is due, so an idle
// window has none running.
class FramePacer : public QObject {
    Q_OBJECT

public:
    // About 60 frames a second, the rate of common displays.
    static constexpr int frameMs = 17;

    explicit FramePacer(std::function<void()> flush, QObject* parent = nullptr);

    void request();
    bool pending() const { return timer_.isActive(); }
    // Flushes a due request now (before the window is grabbed or hidden).
    void flushNow();

private:
    void flush();

    std::function<void()> flush_;
    QTimer timer_;
    QElapsedTimer sinceFlush_;
};
