#pragma once

// The fixture of the tests that run kovrecorder against a private
// PostgreSQL cluster, omniNames and kovsim.
#include "child_process.h"
#include "naming_service_process.h"
#include "postgres_cluster.h"
#include "simulator_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace RecorderTests {

using namespace std::chrono_literals;

class RecorderArchive : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PostgresCluster::installed())
            GTEST_SKIP() << PostgresCluster::missing();
        db_ = std::make_unique<PostgresCluster>();
        ::setenv("PGPASSWORD", db_->password().c_str(), 1);
        names_ = std::make_unique<NamingServiceProcess>();
    }

    // Each recorder of a test keeps its rows in a state folder of its own
    // (the first one's unless told).
    std::unique_ptr<ChildProcess> recorder(
        const std::string& url, const std::vector<std::string>& options = {}, const TempDir* state = nullptr)
    {
        std::vector<std::string> args{"--archive", url, "--state-dir", (state ? *state : state_).path()};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("KOV");
        for (const std::string& word : names_->orbArgs())
            args.push_back(word);
        return std::make_unique<ChildProcess>(KOV_RECORDER_PATH, args);
    }

    // Until kovsim has handed every event pushed to the recorder (twice
    // seen, for the one that may still be under way), at most 30 s.
    void delivered()
    {
        const auto end = std::chrono::steady_clock::now() + 30s;
        for (int empty = 0; empty < 2; std::this_thread::sleep_for(20ms)) {
            ASSERT_LT(std::chrono::steady_clock::now(), end) << "kovsim still has events to deliver";
            sim_->send("list");
            const auto line = sim_->waitForLine("^consumer id=.* pending=", 5s);
            ASSERT_TRUE(line) << "no consumer listed";
            empty = line->find("pending=0") != std::string::npos ? empty + 1 : 0;
        }
    }

    void startSimulator(std::vector<std::string> args, int subscribers)
    {
        sim_ = std::make_unique<SimulatorProcess>(*names_, args);
        ASSERT_TRUE(sim_->waitForLine("^subscribe .* subscribers=" + std::to_string(subscribers), 15s));
    }

    // Until the table holds `rows`, at most `limit`.
    long rowsOnceSettled(const std::string& table, long rows, std::chrono::seconds limit)
    {
        long count = -1;
        for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(200ms)) {
            try {
                if ((count = std::stol(db_->query("SELECT count(*) FROM " + table))) >= rows)
                    break;
            } catch (const std::runtime_error&) {
                // The recorder has not made its tables yet.
            }
        }
        std::this_thread::sleep_for(1s); // and nothing more comes
        return std::stol(db_->query("SELECT count(*) FROM " + table));
    }

    // Until the query answers `expected`, at most `limit`; the last answer.
    std::string answer(const std::string& sql, const std::string& expected,
        std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::string last;
        for (auto end = std::chrono::steady_clock::now() + limit;; std::this_thread::sleep_for(50ms)) {
            try {
                if ((last = db_->query(sql)) == expected)
                    return last;
            } catch (const std::runtime_error& e) {
                last = e.what(); // the tables are not made yet
            }
            if (std::chrono::steady_clock::now() >= end)
                return last;
        }
    }

    std::size_t pushedReadings(int consumers) const
    {
        std::size_t count = 0;
        for (const std::string& line : sim_->outputLines())
            count +=
                line.find("consumers=" + std::to_string(consumers) + " kind=reading") != std::string::npos;
        return count;
    }

    TempDir state_;
    std::unique_ptr<PostgresCluster> db_;
    std::unique_ptr<NamingServiceProcess> names_;
    std::unique_ptr<SimulatorProcess> sim_;
};

} // namespace RecorderTests

using RecorderTests::RecorderArchive;
