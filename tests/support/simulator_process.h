#ifndef KOV_TEST_SIMULATOR_PROCESS_H
#define KOV_TEST_SIMULATOR_PROCESS_H

#include "child_process.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NamingServiceProcess;

// kovsim run by a test: commands go to its standard input, its report lines
// (see kovsim --help) are read back. The destructor closes the input (kovsim
// then quits and unbinds its names), and kills it if it has not ended
// within two seconds. Nothing is left running, even after a failed test.
//
//   NamingServiceProcess names;
//   SimulatorProcess sim (names, {"--scenario", "none", "--on-time", "100"});
//   sim.send ("push message alarm Water in the spectrograph housing");
//   ASSERT_TRUE (sim.waitForLine ("^push seq=\\d+ consumers=1 kind=message"));
class SimulatorProcess {
public:
    using Duration = std::chrono::milliseconds;

    // kovsim with the naming service's -ORBInitRef, "--exit-on-eof" and
    // `args`; waits up to `readyLimit` for its "ready" line. Throws
    // std::runtime_error with kovsim's error output when it is not ready.
    SimulatorProcess(const NamingServiceProcess& naming, const std::vector<std::string>& args = {},
        Duration readyLimit = std::chrono::seconds(10));

    // kovsim with exactly `args` (nothing added, no wait for "ready"): for
    // tests of bad options and of an unreachable naming service.
    static std::unique_ptr<SimulatorProcess> startRaw(const std::vector<std::string>& args);

    ~SimulatorProcess();

    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Path of the kovsim binary of this build.
    static std::string binaryPath();

    // Sends one command line (the newline is added). False when kovsim no
    // longer reads its input.
    bool send(const std::string& command);

    // Waits up to `limit` for a standard-output line after the last one this
    // call returned, that matches the ECMAScript regular expression `pattern`
    // (searched in the line; anchor with ^). Lines passed over are skipped
    // for later calls, so successive calls check order. Nothing on time-out.
    std::optional<std::string> waitForLine(
        const std::string& pattern, Duration limit = std::chrono::seconds(5));

    // The same for standard error.
    std::optional<std::string> waitForErrorLine(
        const std::string& pattern, Duration limit = std::chrono::seconds(5));

    // Waits up to `limit` until at least `count` standard-output lines,
    // counted from the start (whatever waitForLine passed over), match
    // `pattern`: for lines whose order is not fixed.
    bool waitForLineCount(
        const std::string& pattern, std::size_t count, Duration limit = std::chrono::seconds(5));

    // Everything so far.
    std::vector<std::string> outputLines() const;
    std::string errorText() const;

    // Exit code (128 + signal when killed), or nothing on time-out.
    std::optional<int> waitForExit(Duration limit);
    bool running();
    pid_t pid() const;

    // Ends the input: kovsim (started by the first constructor) then quits.
    void closeInput();

    // Sends "quit" and waits up to `limit` for the exit; kills kovsim if it
    // is still running then. Answers the exit code.
    int quit(Duration limit = std::chrono::seconds(5));

    // SIGKILL at once: an instrument side that dies without a word.
    void kill();

private:
    explicit SimulatorProcess(const std::vector<std::string>& args);

    std::unique_ptr<ChildProcess> process_;
};

#endif
