#ifndef KOVSIM_SIM_LOG_H
#define KOVSIM_SIM_LOG_H

#include <mutex>
#include <string>

// The simulator's report lines. Several threads report at once (ORB upcalls,
// delivery workers, the traffic thread, the control channel), so each line is
// written whole under a lock and flushed at once: tests follow stdout live.
class SimLog {
public:
    // One report line on standard output, e.g. "subscribe consumer=1 ...".
    void line(const std::string& text);

    // One diagnostic line on standard error, prefixed with "kovsim: ".
    void error(const std::string& text);

    // A value in double quotes with backslash escapes, so that any text
    // (quotes, newlines, control characters) stays on one report line.
    static std::string quoted(const std::string& text);
    // The same, but of a text longer than headBytes only its start, with
    // "..." after the closing quote: the report of a long text stays short.
    static constexpr std::size_t headBytes = 1024;
    static std::string quotedHead(const std::string& text);

    // A number as report lines write it: "%.3f".
    static std::string fixed3(double value);

    // A temperature or humidity: "%.3f" ("nan", "inf", "-inf" for faults),
    // but "%g" for a subnormal, which "%.3f" would show as a plain 0.000.
    static std::string sensorValue(double value);

private:
    std::mutex mutex_;
};

#endif
