#ifndef KOVSIM_SIM_OPTIONS_H
#define KOVSIM_SIM_OPTIONS_H

#include <string>
#include <vector>

// kovsim's own command-line options (the ORB takes its -ORB... options
// before these are read).
class SimOptions {
public:
    enum class Scenario {
        Quiet,     // normal readings within limits, plain messages, texts, events
        AlarmWalk, // walks each housing through every alarm state in turn
        Flood,     // every kind of event as fast as the rate allows
        None       // no traffic of its own: only what the control channel asks for
    };

    Scenario scenario = Scenario::Quiet;
    double rate = 1.0;               // readings per housing per second
    bool rateMax = false;            // ticks back to back, as fast as the consumers take them
    bool backpressure = false;       // a full consumer queue holds the publisher instead of dropping it
    double stepSeconds = 5.0;        // alarm-walk: time spent in each state
    double onSeconds = 0.0;          // instrument already ON this long at start
    double callTimeoutSeconds = 3.0; // limit of each call to a consumer / the naming service
    unsigned long seed = 0;
    bool seedGiven = false;
    bool exitOnEof = false;

    // Reads the words after the program name. False with `error` set on an
    // unknown option, a missing or bad value.
    bool parse(const std::vector<std::string>& words, std::string& error);

    // True when the words ask for the help text.
    static bool wantsHelp(int argc, char** argv);
    static std::string usage();
    static const char* name(Scenario scenario);

    unsigned long callTimeoutMs() const;
};

#endif
