// scripts/naming-service, as the demo uses it.
#include "child_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#ifndef KOV_SOURCE_DIR
#error "KOV_SOURCE_DIR must name the source tree"
#endif

using namespace std::chrono_literals;

namespace {
const std::string script = std::string(KOV_SOURCE_DIR) + "/scripts/naming-service";

// Runs the script to its end (bounded); answers the exit code and output.
int runScript(const std::vector<std::string>& args, std::string& output, std::string& errors)
{
    ChildProcess run("/bin/bash", [&args] {
        std::vector<std::string> all{script};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }());
    const std::optional<int> status = run.waitForExit(30s);
    output = run.text(ChildProcess::Stream::Output);
    errors = run.text(ChildProcess::Stream::Error);
    return status ? *status : run.terminate();
}

// The omniNames the script starts is not the test's child: make sure it
// ends with the test whatever happens.
class PidGuard {
public:
    ~PidGuard()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGKILL);
    }
    pid_t pid_ = 0;
};

bool alive(pid_t pid)
{
    return ::kill(pid, 0) == 0;
}

TEST(NamingServiceScript, StartsAnAnsweringServiceAndStopsItByItsProcessId)
{
    char pattern[] = "/tmp/kov-script-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path base(pattern);
    const std::string dir = (base / "names").string();
    PidGuard guard;

    std::string out, err;
    ASSERT_EQ(runScript({"start", dir}, out, err), 0) << err;
    std::smatch match;
    const std::regex line("^-ORBInitRef (NameService=corbaloc::127\\.0\\.0\\.1:(\\d+)/NameService)\n$");
    ASSERT_TRUE(std::regex_match(out, match, line)) << out;
    const std::string initRef = match[1];
    const std::string port = match[2];
    std::ifstream(dir + "/pid") >> guard.pid_;
    ASSERT_GT(guard.pid_, 0);
    EXPECT_TRUE(alive(guard.pid_));

    ChildProcess list("/usr/bin/env", {"nameclt", "-ORBInitRef", initRef, "list"});
    EXPECT_EQ(list.waitForExit(10s), std::optional<int>(0)) << list.text(ChildProcess::Stream::Error);

    EXPECT_EQ(runScript({"port", dir}, out, err), 0);
    EXPECT_EQ(out, port + "\n");
    EXPECT_EQ(runScript({"start", dir}, out, err), 1);
    EXPECT_NE(err.find("running already"), std::string::npos) << err;

    EXPECT_EQ(runScript({"stop", dir}, out, err), 0) << err;
    // Reaped by init once the script has ended; allow it a moment.
    for (int i = 0; i < 100 && alive(guard.pid_); ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(alive(guard.pid_));
    EXPECT_FALSE(std::filesystem::exists(dir));
    std::filesystem::remove_all(base);
}

TEST(NamingServiceScript, BadUsageAndUnknownFolderAreRefused)
{
    std::string out, err;
    EXPECT_EQ(runScript({"begin", "/tmp"}, out, err), 2);
    EXPECT_EQ(runScript({"start"}, out, err), 2);
    EXPECT_EQ(runScript({"port", "/nonexistent/kov"}, out, err), 1);
    EXPECT_NE(err.find("no naming service started"), std::string::npos) << err;
}
} // namespace
