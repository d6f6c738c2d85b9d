#include "signal_quit.h"

#include "quit_signals.h"

#include <QSocketNotifier>

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

void SignalQuit::blockSignals(bool hangUp)
{
    QuitSignals::block();
    if (!hangUp)
        return;
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalQuit::SignalQuit(std::function<void()> onSignal, std::function<void()> onHangUp)
    : onSignal_(std::move(onSignal)), onHangUp_(std::move(onHangUp))
{
    sigset_t set = QuitSignals::set();
    if (onHangUp_)
        sigaddset(&set, SIGHUP);
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
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        const std::function<void()>& call = info.ssi_signo == SIGHUP ? onHangUp_ : onSignal_;
        if (call)
            call();
    }
}
