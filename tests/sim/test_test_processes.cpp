// The process helpers that tests rely on to leave nothing behind.
#include "child_process.h"
#include "naming_service_process.h"
#include "simulator_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

using namespace std::chrono_literals;

namespace {
bool processExists(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

TEST(ChildProcess, WaitForLineSkipsPassedLinesAndTimesOut)
{
    ChildProcess child("/bin/sh", {"-c", "echo alpha; echo beta; echo gamma >&2; exec sleep 30"});
    EXPECT_EQ(child.waitForLine(ChildProcess::Stream::Output, "^b", 5s), std::optional<std::string>("beta"));
    // "alpha" was passed over on the way to "beta".
    EXPECT_EQ(child.waitForLine(ChildProcess::Stream::Output, "alpha", 200ms), std::nullopt);
    EXPECT_EQ(
        child.waitForLine(ChildProcess::Stream::Error, "gam+a", 5s), std::optional<std::string>("gamma"));
    EXPECT_EQ(child.lines(ChildProcess::Stream::Output), (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_TRUE(child.running());
    EXPECT_EQ(child.terminate(2s), 128 + SIGTERM);
    EXPECT_FALSE(child.running());
}

TEST(ChildProcess, ReportsExitCodesSignalsAndInput)
{
    ChildProcess echo("/bin/sh", {"-c", "read line; echo \"got $line\"; exit 3"});
    EXPECT_TRUE(echo.write("hello\n"));
    EXPECT_TRUE(echo.waitForLine(ChildProcess::Stream::Output, "^got hello$", 5s));
    EXPECT_EQ(echo.waitForExit(5s), std::optional<int>(3));

    ChildProcess killed("/bin/sh", {"-c", "kill -9 $$"});
    EXPECT_EQ(killed.waitForExit(5s), std::optional<int>(128 + SIGKILL));
}

TEST(ChildProcess, UnknownProgramIsAnError)
{
    EXPECT_THROW(ChildProcess("/nonexistent/program", {}), std::runtime_error);
}

TEST(ChildProcess, DestructorEndsAProgramThatIgnoresSigterm)
{
    pid_t pid = 0;
    {
        ChildProcess stubborn("/bin/sh", {"-c", "trap '' TERM; echo armed; while :; do sleep 1; done"});
        ASSERT_TRUE(stubborn.waitForLine(ChildProcess::Stream::Output, "armed", 5s));
        pid = stubborn.pid();
    }
    EXPECT_FALSE(processExists(pid));
}

TEST(NamingServiceProcess, AnswersOnLoopbackAndLeavesNothingBehind)
{
    pid_t pid = 0;
    std::string folder;
    {
        NamingServiceProcess names;
        pid = names.pid();
        folder = names.dataDir();
        EXPECT_GT(names.port(), 0);
        EXPECT_EQ(names.initRef(),
            "NameService=corbaloc::127.0.0.1:" + std::to_string(names.port()) + "/NameService");
        EXPECT_TRUE(names.answers());
        EXPECT_TRUE(std::filesystem::is_directory(folder));
    }
    EXPECT_FALSE(processExists(pid));
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(NamingServiceProcess, StopEndsItEarly)
{
    NamingServiceProcess names;
    names.stop();
    EXPECT_FALSE(names.running());
    EXPECT_FALSE(names.answers(500ms));
}

TEST(NamingServiceProcess, TwoRunSideBySide)
{
    NamingServiceProcess first, second;
    EXPECT_NE(first.port(), second.port());
    EXPECT_TRUE(first.answers());
    EXPECT_TRUE(second.answers());
}

TEST(SimulatorProcess, IsGoneAfterDestructionEvenWhenItIgnoresEndOfInput)
{
    NamingServiceProcess names;
    pid_t quitting = 0, staying = 0;
    {
        SimulatorProcess sim(names, {"--scenario", "none"});
        quitting = sim.pid();
        std::vector<std::string> args = names.orbArgs();
        std::unique_ptr<SimulatorProcess> raw = SimulatorProcess::startRaw(args);
        ASSERT_TRUE(raw->waitForLine("^ready "));
        staying = raw->pid();
    }
    EXPECT_FALSE(processExists(quitting));
    EXPECT_FALSE(processExists(staying));
}

TEST(SimulatorProcess, NotReadyIsAnErrorWithKovsimsReason)
{
    NamingServiceProcess names;
    try {
        SimulatorProcess sim(names, {"--scenario", "storm"});
        ADD_FAILURE() << "started despite a bad option";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("unknown scenario"), std::string::npos) << error.what();
    }
}
} // namespace
