#include "command_interpreter.h"

#include "command_scanner.h"
#include "event_factory.h"
#include "notifier_i.h"
#include "shutdown_latch.h"
#include "sim_log.h"
#include "sim_options.h"
#include "system_i.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr long long maxHousingNumber = 32767;
// A text of a message made by "size=", and messages of one "count=".
constexpr long long maxMessageBytes = 64LL * 1024 * 1024;
constexpr long long maxMessageCount = 1000000;

CORBA::ULong housingOf(const std::string& word)
{
    if (word == "0" || word == "e" || word == "electronics")
        return ELECTRONICS_HOUSING;
    if (word == "1" || word == "s" || word == "spectrograph")
        return SPECTROGRAPH_HOUSING;
    // Another number goes out as it is: a housing the client does not know.
    long long number = 0;
    if (CommandScanner::parseInteger(word, number) && number >= 0 && number <= maxHousingNumber)
        return static_cast<CORBA::ULong>(number);
    throw CommandError("bad HOUSING \"" + word + "\" (0, 1, e, s, electronics, spectrograph or up to 32767)");
}

MessagePriority priorityOf(const std::string& word)
{
    if (word == "0" || word == "message")
        return MESSAGE;
    if (word == "1" || word == "warning")
        return WARNING;
    if (word == "2" || word == "alarm")
        return ALARM;
    throw CommandError("bad PRIORITY \"" + word + "\" (message, warning, alarm or 0, 1, 2)");
}

double seconds(CommandScanner& words, const char* field)
{
    const double value = words.number(field);
    if (value < 0 || value > 1.0e6)
        throw CommandError(std::string("bad number for ") + field + ": seconds from 0 to 1000000");
    return value;
}
} // namespace

CommandInterpreter::CommandInterpreter(
    Notifier_i& notifier, System_i& system, const EventFactory& factory, ShutdownLatch& shutdown, SimLog& log)
    : notifier_(notifier), system_(system), factory_(factory), shutdown_(shutdown), log_(log)
{}

void CommandInterpreter::handle(const std::string& line)
{
    CommandScanner words(line);
    if (words.atEnd() || words.peek()[0] == '#')
        return;
    try {
        dispatch(words);
    } catch (const CommandError& error) {
        log_.error("error: " + std::string(error.what()) + " in: " + line);
    } catch (const CORBA::Exception& ex) {
        log_.error(std::string("error: ") + ex._name() + " in: " + line);
    }
}

void CommandInterpreter::dispatch(CommandScanner& words)
{
    const std::string command = words.word();
    if (command == "push")
        return push(words);
    if (command == "elapsed")
        return elapsed(words);
    if (command == "drop") {
        const std::string reason = words.rest();
        const std::size_t count = notifier_.dropAll(reason);
        log_.line("ok drop consumers=" + std::to_string(count) + " reason=" + SimLog::quoted(reason));
        return;
    }
    if (command == "refuse") {
        const std::string reason = words.rest();
        notifier_.refuseNext(reason);
        log_.line("ok refuse reason=" + SimLog::quoted(reason));
        return;
    }
    if (command == "list") {
        words.expectEnd();
        const std::size_t count = notifier_.list();
        log_.line("ok list consumers=" + std::to_string(count));
        return;
    }
    if (command == "help") {
        std::fputs(SimOptions::usage().c_str(), stderr);
        std::fflush(stderr);
        return;
    }
    if (command == "quit") {
        words.expectEnd();
        shutdown_.request("quit");
        return;
    }
    throw CommandError("unknown command \"" + command + "\" (see help)");
}

void CommandInterpreter::push(CommandScanner& words)
{
    const std::string kind = words.requiredWord("what to push (reading, message, event, string, unknown)");
    if (kind == "reading")
        return pushReading(words);
    if (kind == "message")
        return pushMessage(words);
    if (kind == "event")
        return pushEvent(words);
    if (kind == "string")
        return notifier_.publish(factory_.text(words.rest()));
    if (kind == "unknown")
        return notifier_.publish(factory_.unknown(words.rest()));
    throw CommandError("cannot push \"" + kind + "\" (reading, message, event, string or unknown)");
}

TimeBase::TimeT CommandInterpreter::timeOf(CommandScanner& words)
{
    const std::string next = words.peek();
    if (next.compare(0, 3, "at=") != 0)
        return EventFactory::now();
    words.word();
    long long value = 0;
    if (!CommandScanner::parseInteger(next.substr(3), value) || value < 0)
        throw CommandError("bad number \"" + next.substr(3) + "\" for TIME (seconds since 1970, 0 or more)");
    return static_cast<TimeBase::TimeT>(value);
}

void CommandInterpreter::pushReading(CommandScanner& words)
{
    WireReading reading;
    reading.time = timeOf(words);
    reading.housing = housingOf(words.requiredWord("HOUSING"));
    reading.temp = words.sensorValue("TEMP");
    reading.rh = words.sensorValue("RH");
    reading.water = words.integer("WATER", 0, 1) == 1;
    words.expectEnd();
    notifier_.publish(factory_.reading(reading));
}

// "size=BYTES" pads the text with dots to that length; "count=N" sends N
// messages back to back, each text led by its number in the run ("1 ", ...).
void CommandInterpreter::pushMessage(CommandScanner& words)
{
    KOV::Message message;
    message.arrival_time = timeOf(words);
    const long long size = countOf(words, "size=", 0, maxMessageBytes);
    const long long given = countOf(words, "count=", 0, maxMessageCount);
    const long long count = given > 0 ? given : 1;
    message.priority = priorityOf(words.requiredWord("PRIORITY"));
    const std::string rest = words.rest();
    for (long long n = 1; n <= count; ++n) {
        std::string text = given > 0 ? std::to_string(n) + " " + rest : rest;
        if (text.size() < static_cast<std::size_t>(size))
            text.resize(static_cast<std::size_t>(size), '.');
        message.text = CORBA::string_dup(text.c_str());
        notifier_.publish(factory_.message(message));
    }
}

long long CommandInterpreter::countOf(CommandScanner& words, const char* key, long long none, long long most)
{
    const std::string next = words.peek();
    const std::size_t keyLength = std::strlen(key);
    if (next.compare(0, keyLength, key) != 0)
        return none;
    words.word();
    long long value = 0;
    if (!CommandScanner::parseInteger(next.substr(keyLength), value) || value < 1 || value > most)
        throw CommandError("bad number \"" + next.substr(keyLength) + "\" for " +
            std::string(key, keyLength - 1) + " (1 to " + std::to_string(most) + ")");
    return value;
}

void CommandInterpreter::pushEvent(CommandScanner& words)
{
    KOV::Event record;
    record.arrival_time = timeOf(words);
    record.id = static_cast<CORBA::Short>(words.integer("ID", -32768, 32767));
    record.name = CORBA::string_dup(words.rest().c_str());
    notifier_.publish(factory_.instrumentEvent(record));
}

void CommandInterpreter::elapsed(CommandScanner& words)
{
    const std::string mode = words.requiredWord("fail, hang or normal");
    if (mode == "fail") {
        const double forSeconds = seconds(words, "SECONDS");
        words.expectEnd();
        system_.failFor(forSeconds);
        log_.line("ok elapsed fail seconds=" + SimLog::fixed3(forSeconds));
        return;
    }
    if (mode == "hang") {
        const double delay = seconds(words, "DELAY");
        const double forSeconds = seconds(words, "SECONDS");
        words.expectEnd();
        system_.hangFor(delay, forSeconds);
        log_.line(
            "ok elapsed hang delay=" + SimLog::fixed3(delay) + " seconds=" + SimLog::fixed3(forSeconds));
        return;
    }
    if (mode == "normal") {
        words.expectEnd();
        system_.normal();
        log_.line("ok elapsed normal");
        return;
    }
    throw CommandError("bad elapsed mode \"" + mode + "\" (fail, hang or normal)");
}
