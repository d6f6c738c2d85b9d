#pragma once

#include "failure_log.h"
#include "reconnect_backoff.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <random>
#include <string>

// Tries the lost link again on its own, after the waits of ReconnectBackoff,
// and keeps client.log short while the instrument stays away. The try
// itself (the same as the operator's Reconnect) is given by the owner.
// GUI thread only.
class AutoReconnect : public QObject {
    Q_OBJECT

public:
    // firstSeconds 0: never tries on its own.
    AutoReconnect(int firstSeconds, int longestSeconds, std::function<void()> tryNow);

    bool enabled() const { return backoff_.enabled(); }

    // The link was lost, or a try failed: the next try is planned.
    void linkLost();
    // A try failed: writes its line unless the same failure has been written
    // often enough lately, then plans the next try.
    void failed(const std::string& what);
    // The link is back: the waits start from the first again.
    void succeeded();
    // The operator tries now: nothing planned, the waits start again.
    void operatorTried();
    // Exit: no more tries.
    void stop();

    // Three tries in a row have failed: the next one's own log lines are
    // left out (failed() sums them up).
    bool quiet() const { return failedInRow_ >= FailureLog::written; }

    // Seconds until the next try, 0 when none is planned.
    int secondsUntilTry() const;

private:
    void plan();
    static std::int64_t nowMs();

    std::mt19937 random_;
    ReconnectBackoff backoff_;
    FailureLog log_;
    std::function<void()> tryNow_;
    QTimer timer_;
    int failedInRow_ = 0;
    bool stopped_ = false;
};
