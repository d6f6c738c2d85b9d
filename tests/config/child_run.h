#pragma once

#include <functional>
#include <string>

// Runs a function in a forked child with its standard output in a file, and
// waits for it at most a few seconds (a child that is still running then is
// killed). Used for crashes and resource limits that must not hit the test
// process itself.
class ChildRun {
public:
    static constexpr int timedOut = -1;

    // The child's exit status, or timedOut.
    static int run(const std::function<void()>& body, const std::string& stdoutPath);
};
