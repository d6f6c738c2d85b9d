#include "signal_quit.h"

#include "quit_signals.h"

#include <QSocketNotifier>

#include <sys/signalfd.h>
#include <unistd.h>

void SignalQuit::blockSignals()
{
    QuitSignals::block();
}

SignalQuit::SignalQuit(std::function<void()> onSignal) : onSignal_(std::move(onSignal))
{
    const sigset_t set = QuitSignals::set();
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0)
        return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readSignal(); });
}

SignalQuit::~SignalQuit()
{
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

void SignalQuit::readSignal()
{
    signalfd_siginfo info;
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        if (onSignal_)
            onSignal_();
}
