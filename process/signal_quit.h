#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a call on the GUI thread, so that a program
// stopped from a terminal or a service manager ends as the operator's Exit
// does; for a daemon also SIGHUP, the custom for "read your configuration
// again". The signals are blocked in every thread and read from a signalfd:
// construct it in main before any thread starts.
class SignalQuit : public QObject {
    Q_OBJECT

public:
    // With `onHangUp`, SIGHUP is read too (blockSignals(true) first).
    explicit SignalQuit(std::function<void()> onSignal, std::function<void()> onHangUp = {});
    ~SignalQuit() override;

    SignalQuit(const SignalQuit&) = delete;
    SignalQuit& operator=(const SignalQuit&) = delete;

    // Blocks the two signals (and SIGHUP with `hangUp`) in the calling
    // thread and in every thread it starts later. Call first thing in main.
    static void blockSignals(bool hangUp = false);

private:
    void readSignal();

    std::function<void()> onSignal_;
    std::function<void()> onHangUp_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};
