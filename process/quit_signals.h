#pragma once

#include <signal.h>

// SIGINT and SIGTERM: a program stopped from a terminal or by a service
// manager ends in order, as its own way out does. Each program blocks them
// in every thread and reads them in one place of its own (a signalfd, a
// waiting thread).
class QuitSignals {
public:
    static sigset_t set();

    // Blocks both in the calling thread and in every thread it starts
    // later: call it in main before any thread starts.
    static void block();
};
