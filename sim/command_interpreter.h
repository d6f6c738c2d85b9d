#ifndef KOVSIM_COMMAND_INTERPRETER_H
#define KOVSIM_COMMAND_INTERPRETER_H

#include <kov.hh>

#include <string>

class CommandScanner;
class EventFactory;
class Notifier_i;
class ShutdownLatch;
class SimLog;
class System_i;

// Carries out the control commands (see kovsim --help). A bad command is
// reported on standard error and changes nothing.
class CommandInterpreter {
public:
    CommandInterpreter(Notifier_i& notifier, System_i& system, const EventFactory& factory,
        ShutdownLatch& shutdown, SimLog& log);

    void handle(const std::string& line);

private:
    void dispatch(CommandScanner& words);
    void push(CommandScanner& words);
    void pushReading(CommandScanner& words);
    void pushMessage(CommandScanner& words);
    void pushEvent(CommandScanner& words);
    void elapsed(CommandScanner& words);

    // An optional "at=TIME" word; the current time without it.
    static TimeBase::TimeT timeOf(CommandScanner& words);
    // An optional "KEY=N" word, N from 1 to `most`; `none` without it.
    static long long countOf(CommandScanner& words, const char* key, long long none, long long most);

    Notifier_i& notifier_;
    System_i& system_;
    const EventFactory& factory_;
    ShutdownLatch& shutdown_;
    SimLog& log_;
};

#endif
