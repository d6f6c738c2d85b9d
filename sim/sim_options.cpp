#include "sim_options.h"

#include "command_scanner.h"

#include <cstring>

namespace {
const double maxRate = 100000.0;
const double maxSeconds = 1.0e9;

bool scenarioFromName(const std::string& text, SimOptions::Scenario& scenario)
{
    for (SimOptions::Scenario s : {SimOptions::Scenario::Quiet, SimOptions::Scenario::AlarmWalk,
             SimOptions::Scenario::Flood, SimOptions::Scenario::None})
        if (text == SimOptions::name(s)) {
            scenario = s;
            return true;
        }
    return false;
}

// Splits "--name=value" into its parts; "--name" alone gives no value.
void splitOption(const std::string& word, std::string& name, std::string& value, bool& hasValue)
{
    const std::size_t eq = word.find('=');
    hasValue = eq != std::string::npos;
    name = hasValue ? word.substr(0, eq) : word;
    value = hasValue ? word.substr(eq + 1) : std::string();
}
} // namespace

const char* SimOptions::name(Scenario scenario)
{
    switch (scenario) {
    case Scenario::Quiet:
        return "quiet";
    case Scenario::AlarmWalk:
        return "alarm-walk";
    case Scenario::Flood:
        return "flood";
    case Scenario::None:
        return "none";
    }
    return "?";
}

unsigned long SimOptions::callTimeoutMs() const
{
    return static_cast<unsigned long>(callTimeoutSeconds * 1000.0 + 0.5);
}

bool SimOptions::wantsHelp(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return true;
    return false;
}

bool SimOptions::parse(const std::vector<std::string>& words, std::string& error)
{
    bool rateGiven = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string option, value;
        bool hasValue = false;
        splitOption(words[i], option, value, hasValue);

        if (option == "--exit-on-eof" && !hasValue) {
            exitOnEof = true;
            continue;
        }
        if (option == "--backpressure" && !hasValue) {
            backpressure = true;
            continue;
        }
        const bool known = option == "--scenario" || option == "--rate" || option == "--step" ||
            option == "--on-time" || option == "--call-timeout" || option == "--seed";
        if (!known) {
            error = "unknown option \"" + words[i] + "\" (see --help)";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= words.size()) {
                error = "option " + option + " needs a value";
                return false;
            }
            value = words[++i];
        }

        double number = 0;
        long long whole = 0;
        const bool isNumber = CommandScanner::parseNumber(value, number);
        if (option == "--scenario") {
            if (!scenarioFromName(value, scenario)) {
                error = "unknown scenario \"" + value + "\" (quiet, alarm-walk, flood or none)";
                return false;
            }
        } else if (option == "--rate") {
            if (value == "max") {
                // Only a waiting publisher keeps a back-to-back flood from
                // overrunning every consumer at once.
                rateMax = true;
                backpressure = true;
            } else if (!isNumber || number <= 0 || number > maxRate) {
                error = "bad --rate \"" + value +
                    "\": readings per housing per second, above 0 and at most 100000, or max";
                return false;
            } else {
                rate = number;
                rateMax = false;
            }
            rateGiven = true;
        } else if (option == "--step") {
            if (!isNumber || number < 0.01 || number > maxSeconds) {
                error = "bad --step \"" + value + "\": seconds, at least 0.01";
                return false;
            }
            stepSeconds = number;
        } else if (option == "--on-time") {
            if (!isNumber || number < 0 || number > maxSeconds * 10) {
                error = "bad --on-time \"" + value + "\": seconds, 0 or more";
                return false;
            }
            onSeconds = number;
        } else if (option == "--call-timeout") {
            if (!isNumber || number < 0.01 || number > 3600) {
                error = "bad --call-timeout \"" + value + "\": seconds, from 0.01 to 3600";
                return false;
            }
            callTimeoutSeconds = number;
        } else if (option == "--seed") {
            if (!CommandScanner::parseInteger(value, whole) || whole < 0) {
                error = "bad --seed \"" + value + "\": a whole number, 0 or more";
                return false;
            }
            seed = static_cast<unsigned long>(whole);
            seedGiven = true;
        }
    }
    if (scenario == Scenario::Flood && !rateGiven)
        rate = 200.0;
    return true;
}

std::string SimOptions::usage()
{
    return R"(Usage: kovsim -ORBInitRef NameService=corbaloc::127.0.0.1:PORT/NameService [options]

Stands in for the KOV instrument: binds an Event_Comm::Notifier as "Notifier"
and a KOV::System as "KOVSYSTEM" in the root context of the naming service,
sends instrument traffic to every subscribed consumer and takes commands on
standard input. Listens on 127.0.0.1 only unless an -ORBendPoint is given;
texts are UTF-8 on the wire unless an -ORBnativeCharCodeSet is given.

Options:
  --scenario NAME       traffic of its own (default quiet):
                          quiet       readings within limits, plain messages,
                                      texts and events, a rare no-data reading
                          alarm-walk  each housing in turn through temperature
                                      warning/over limit, humidity warning/over
                                      limit, water alarm and no data, each
                                      change announced by a message and event
                          flood       every kind of event, fast (load tests)
                          none        nothing but what the commands push
  --rate R              readings per housing per second (default 1; flood 200;
                        at most 100000); "max": back to back, as fast as the
                        consumers take them (implies --backpressure)
  --backpressure        a consumer whose queue is full holds the publisher until
                        there is room, for at most the call time limit, before it
                        is dropped (default: dropped at once)
  --step SECONDS        alarm-walk: time in each state (default 5)
  --on-time SECONDS     the instrument has already been ON this long (default 0)
  --call-timeout SECONDS  time limit of each call to a consumer and to the
                        naming service (default 3); a consumer whose push fails
                        or runs out of time is dropped
  --seed N              random seed, for repeatable traffic
  --exit-on-eof         quit when standard input ends (default: keep running)
  -h, --help            this text
  -ORB...               omniORB options

Commands on standard input, one a line (empty lines and lines starting with #
are ignored). TIME is seconds since 1970 UTC; "at=TIME" is optional:
  push reading [at=TIME] HOUSING TEMP RH WATER
                        HOUSING 0|1|e|s|electronics|spectrograph, or any
                        number up to 32767 (an unknown housing),
                        WATER 0|1 (a reading of -1 means no data);
                        TEMP and RH may also be nan, inf, -inf or subnormal
  push message [at=TIME] [size=BYTES] [count=N] PRIORITY [TEXT]
                        PRIORITY message|warning|alarm|0|1|2;
                        TEXT may be longer than 128 characters; size= pads
                        it with dots to BYTES (up to 64 MiB); count= sends N
                        (up to 1000000) back to back, each TEXT led by its
                        number in the run ("1 ", "2 ", ...)
  push event [at=TIME] ID [NAME]          a KOV::Event (ID -32768..32767)
  push string [TEXT]                      a plain string
  push unknown [TEXT]   a struct laid out like KOV::Message under the
                        repository id IDL:KOVSIM/Unknown:1.0
  drop [REASON]         call "disconnect" with REASON on every consumer (after
                        what is queued for it) and forget them all
  refuse [REASON]       refuse the next "subscribe" with REASON (may be empty)
  elapsed fail SECONDS  "elapsedTime" raises COMM_FAILURE for that long
  elapsed hang DELAY SECONDS   "elapsedTime" answers DELAY seconds late, for
                        calls that arrive within SECONDS
  elapsed normal        plain answers again (a call already waiting still waits)
  list                  one line per subscribed consumer
  help                  this command list on standard error
  quit                  unbind the names and end

Report lines on standard output (one per event, flushed at once):
  ready notifier="Notifier" system="KOVSYSTEM"
  subscribe consumer=N criteria="C" subscribers=K [again=1]
  subscribe-refused reason="R"
  unsubscribe consumer=N criteria="C" subscribers=K
  unsubscribe-refused reason="R"
  push seq=S consumers=K kind=reading housing=H temp=T rh=R water=W time=TIME
  push seq=S consumers=K kind=message priority=P time=TIME length=L text="X"
  push seq=S consumers=K kind=event id=I time=TIME name="X"
  push seq=S consumers=K kind=string text="X"
  push seq=S consumers=K kind=unknown id=IDL:KOVSIM/Unknown:1.0 text="X"
  push seq=S consumers=K kind=supplier tag="X"   (the notifier's own "push")
  drop consumer=N reason="R"
  consumer-disconnect consumer=N result=ok|failed [exception=NAME] reason="R"
  notifier-disconnect reason="R"                 (the notifier's "disconnect")
  elapsedTime answer=SECONDS
  elapsedTime fail exception=COMM_FAILURE
  elapsedTime hang seconds=DELAY
  system-disconnect reason="R"                   (KOV::System "disconnect")
  consumer id=N criteria="C" pending=Q           (list)
  ok COMMAND ...                                 (drop, refuse, elapsed, list)
  stopping cause=quit|eof|signal
Quoted texts use backslash escapes (\" \\ \n \r \t \xHH); of a message or
string text over 1024 bytes only the first 1024 are quoted, "..." after them.
Errors go to standard error as "kovsim: ..." lines. Exit status: 0 after quit,
end of input (--exit-on-eof) or SIGINT/SIGTERM; 1 for a bad option; 2 when the
naming service cannot be reached or the names cannot be bound.
)";
}
