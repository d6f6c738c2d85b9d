#include "quit_signals.h"

#include <pthread.h>

sigset_t QuitSignals::set()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

void QuitSignals::block()
{
    const sigset_t signals = set();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}
