#pragma once

#include <cstdint>
#include <map>
#include <string>

// Keeps a log readable while the same thing fails again and again: the
// first three failures of a kind are written, then one line per period
// saying how many more there were. A success starts every count again.
class FailureLog {
public:
    static constexpr int written = 3;
    static constexpr std::int64_t periodMs = 10 * 60 * 1000;

    struct Verdict {
        bool write = false; // write this failure's own line
        int summarised = 0; // >0: write a line saying this many failed since
    };

    Verdict failed(const std::string& kind, std::int64_t nowMs);
    void succeeded() { kinds_.clear(); }

private:
    struct Count {
        int seen = 0;
        int quiet = 0;
        std::int64_t sinceMs = 0;
    };
    std::map<std::string, Count> kinds_;
};
