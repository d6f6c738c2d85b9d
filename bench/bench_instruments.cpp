// Many instruments on one archive: ten kovrecorder processes, each with an
// instrument name of its own, subscribed to one kovsim and writing into one
// private PostgreSQL 15 cluster, at one reading a second per housing for
// `seconds` (default 60). Every reading carries a temperature of its own, so
// that a row lost or stored twice shows in each instrument's counts. Prints
// one "name value" line per figure (bench/run reads them): rows committed
// per second in all, rows lost and rows stored twice over all instruments,
// and the recorders' processor use (from /proc, % of one core).
#include "child_process.h"
#include "naming_service_process.h"
#include "postgres_cluster.h"
#include "simulator_process.h"
#include "temp_dir.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int instruments = 10;

// utime + stime of a process, in clock ticks.
long long cpuTicks(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long long ticks = 0;
    for (int i = 0; i < 13 && fields >> field; ++i)
        if (i >= 11)
            ticks += std::stoll(field);
    return ticks;
}

int fail(const std::string& why)
{
    std::fprintf(stderr, "bench_instruments: %s\n", why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    if (!PostgresCluster::installed())
        return fail(PostgresCluster::missing());
    PostgresCluster db;
    ::setenv("PGPASSWORD", db.password().c_str(), 1);
    NamingServiceProcess names;

    std::vector<std::unique_ptr<TempDir>> states;
    std::vector<std::unique_ptr<ChildProcess>> recorders;
    for (int i = 0; i < instruments; ++i) {
        states.push_back(std::make_unique<TempDir>());
        std::vector<std::string> args{"--archive", db.url(), "--state-dir", states.back()->path(),
            "--instrument", "KOV-" + std::to_string(i), "KOV"};
        for (const std::string& word : names.orbArgs())
            args.push_back(word);
        recorders.push_back(std::make_unique<ChildProcess>(KOV_RECORDER_PATH, args));
    }
    for (auto& recorder : recorders)
        if (!recorder->waitForLine(ChildProcess::Stream::Error, "recording into", 60s))
            return fail("a recorder did not start: " + recorder->text(ChildProcess::Stream::Error));
    SimulatorProcess sim(names, {"--scenario", "none"});
    if (!sim.waitForLine("^subscribe .* subscribers=" + std::to_string(instruments), 60s))
        return fail("the recorders did not all subscribe");

    // One reading a second per housing: a push every half second, in turn.
    std::vector<long long> before;
    for (auto& recorder : recorders)
        before.push_back(cpuTicks(recorder->pid()));
    const Clock::time_point start = Clock::now();
    const int pushes = 2 * seconds;
    for (int i = 0; i < pushes; ++i) {
        sim.send("push reading " + std::to_string(i % 2) + " " + std::to_string(i) + " 40 0");
        std::this_thread::sleep_until(start + (i + 1) * 500ms);
    }
    const double measured = std::chrono::duration<double>(Clock::now() - start).count();
    double cpuSum = 0, cpuMax = 0;
    for (std::size_t i = 0; i < recorders.size(); ++i) {
        const double percent =
            100.0 * (cpuTicks(recorders[i]->pid()) - before[i]) / ::sysconf(_SC_CLK_TCK) / measured;
        cpuSum += percent;
        cpuMax = std::max(cpuMax, percent);
    }

    // Until every row is in (the writers flush a few times a second), at most 30 s.
    const long expected = static_cast<long>(pushes) * instruments;
    for (auto end = Clock::now() + 30s; Clock::now() < end; std::this_thread::sleep_for(200ms))
        if (std::stol(db.query("SELECT count(*) FROM readings")) >= expected)
            break;
    std::this_thread::sleep_for(1s); // and nothing more comes
    for (auto& recorder : recorders)
        recorder->terminate(10s);

    long lost = 0, twice = 0, rows = 0;
    std::istringstream counts(db.query("SELECT count(*), count(DISTINCT temperature) FROM readings "
                                       "GROUP BY instrument"));
    int seen = 0;
    for (std::string line; std::getline(counts, line); ++seen) {
        const long all = std::stol(line.substr(0, line.find('|')));
        const long distinct = std::stol(line.substr(line.find('|') + 1));
        rows += all;
        lost += pushes - distinct;
        twice += all - distinct;
    }
    lost += static_cast<long>(instruments - seen) * pushes; // an instrument with no row at all

    std::printf("instruments_instruments %d\n", instruments);
    std::printf("instruments_seconds %.1f\n", measured);
    std::printf("instruments_pushed %d\n", pushes);
    std::printf("instruments_rows_per_s %.2f\n", rows / measured);
    std::printf("instruments_lost %ld\n", lost);
    std::printf("instruments_twice %ld\n", twice);
    std::printf("instruments_cpu_percent_mean %.3f\n", cpuSum / instruments);
    std::printf("instruments_cpu_percent_max %.3f\n", cpuMax);
    std::printf("instruments_cpu_percent_all %.3f\n", cpuSum);
    return 0;
}
