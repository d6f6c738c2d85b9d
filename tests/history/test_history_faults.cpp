// The writer facing a history file it cannot simply use: each case has one
// outcome, told once.
#include "history_file.h"
#include "history_queue.h"
#include "history_store.h"
#include "history_writer.h"
#include "sqlite_file.h"
#include "sqlite_history_source.h"
#include "temp_dir.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

using namespace History;
using State = HistoryWriter::State;
using namespace std::chrono_literals;

namespace {

enum class Prepare {
    NotADatabase,
    Damaged,
    NewerSchema,
    ReadOnly,
    DiskFull
};

void fillStore(const std::string& path)
{
    HistoryStore store(path, "prepare");
    ASSERT_EQ(store.open(), Fault::None);
    Batch batch;
    for (int i = 0; i < 20000; ++i)
        batch.readings.push_back(Reading{i % 2, 0, 1'700'000'000'000 + i, 20.0, 40.0, false});
    ASSERT_EQ(store.write(batch), Fault::None);
}

void setSchemaVersion(const std::string& path, int version)
{
    ASSERT_EQ(runOnSqliteFile(path, {"UPDATE schema_version SET version = " + std::to_string(version)}), "");
}

template<class Done>
bool waitFor(Done done)
{
    for (auto until = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(10ms))
        if (done())
            return true;
    return done();
}

std::size_t asideCount(const std::string& dir)
{
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        count += entry.path().filename().string().rfind("kovhistory.db.damaged-", 0) == 0;
    return count;
}

} // namespace

TEST(HistoryFaults, EachFileFaultHasOneOutcome)
{
    struct Case {
        Prepare prepare;
        State state;
        bool movedAside;
    };
    const Case cases[] = {{Prepare::NotADatabase, State::Recording, true},
        {Prepare::Damaged, State::Recording, true}, {Prepare::NewerSchema, State::ReadOnly, false},
        {Prepare::ReadOnly, State::Paused, false}, {Prepare::DiskFull, State::Paused, false}};
    std::signal(SIGXFSZ, SIG_IGN);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.prepare));
        TempDir dir;
        const std::string path = HistoryFile::pathIn(dir.path());
        if (c.prepare == Prepare::NotADatabase)
            std::ofstream(path) << std::string(5000, 'k');
        if (c.prepare == Prepare::Damaged || c.prepare == Prepare::NewerSchema ||
            c.prepare == Prepare::ReadOnly)
            fillStore(path);
        if (c.prepare == Prepare::Damaged) {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(8192);
            file << std::string(16384, '\x55');
        }
        if (c.prepare == Prepare::NewerSchema)
            setSchemaVersion(path, 99);
        if (c.prepare == Prepare::ReadOnly &&
            std::system(("chattr +i '" + path + "' 2>/dev/null").c_str()) != 0)
            continue; // no immutable files here
        const auto sizeBefore = std::filesystem::exists(path) ? std::filesystem::file_size(path) : 0;

        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        if (c.prepare == Prepare::DiskFull) {
            rlimit small = unlimited;
            small.rlim_cur = 4096;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        std::mutex mutex;
        std::vector<std::string> notices;
        HistoryWriter::Options options;
        options.path = path;
        options.retryPeriod = 200ms;
        options.notice = [&](const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex);
            notices.push_back(text);
        };
        HistoryWriter writer(options);
        writer.start();
        for (int i = 0; i < 3; ++i) {
            writer.push(Reading{0, 0, 1'800'000'000'000 + i, 21.0, 41.0, false});
            std::this_thread::sleep_for(300ms);
        }
        EXPECT_TRUE(waitFor([&] { return writer.state() == c.state; }));
        {
            std::lock_guard<std::mutex> lock(mutex);
            EXPECT_EQ(notices.size(), c.state == State::Recording && !c.movedAside ? 0u : 1u);
        }
        EXPECT_EQ(asideCount(dir.path()), c.movedAside ? 1u : 0u);
        if (c.prepare == Prepare::NewerSchema)
            EXPECT_EQ(std::filesystem::file_size(path), sizeBefore);

        // Once the file or disk can be written again, recording resumes.
        if (c.prepare == Prepare::DiskFull)
            setrlimit(RLIMIT_FSIZE, &unlimited);
        if (c.prepare == Prepare::ReadOnly)
            std::system(("chattr -i '" + path + "'").c_str());
        if (c.state == State::Paused) {
            writer.push(Reading{0, 0, 1'800'000'001'000, 21.0, 41.0, false});
            EXPECT_TRUE(waitFor([&] {
                writer.push(Reading{0, 0, 1'800'000'002'000, 21.0, 41.0, false});
                return writer.written() > 0;
            }));
        }
        EXPECT_TRUE(writer.stop());
    }
}

TEST(HistoryFaults, TwoClientsInOneFolderBothRecord)
{
    TempDir dir;
    const std::string path = HistoryFile::pathIn(dir.path());
    HistoryWriter::Options options;
    options.path = path;
    options.flushPeriod = 5ms;
    HistoryWriter first(options), second(options);
    first.start();
    second.start();
    for (int i = 0; i < 2000; ++i) {
        first.push(Reading{0, i, 1'800'000'000'000 + i, 20.0, 40.0, false});
        second.push(Reading{1, i, 1'800'000'000'000 + i, 20.0, 40.0, false});
        if (i % 100 == 0)
            std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(first.stop());
    EXPECT_TRUE(second.stop());
    SqliteHistorySource source(path);
    EXPECT_EQ(source.readings(0, 0, INT64_MAX).size(), 2000u);
    EXPECT_EQ(source.readings(1, 0, INT64_MAX).size(), 2000u);
    EXPECT_EQ(source.rollups(1, 0, INT64_MAX).size(), 1u);
}

namespace {

// The writer's log lines, from its thread.
struct WriterLog {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::function<void(const std::string&)> sink()
    {
        return [this](const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(text);
        };
    }
    int count(const std::string& part)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return static_cast<int>(std::count_if(
            lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; }));
    }
};

// Another client's connection holding the file's write lock while it lives.
class WriteLock {
public:
    explicit WriteLock(const std::string& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QString::fromStdString(path));
        held_ = db.open() && QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~WriteLock()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(name);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    bool held() const { return held_; }

private:
    static inline const QString name = QStringLiteral("other client");
    bool held_ = false;
};

} // namespace

// Another client holds the file: said once while it lasts, and once it is
// free; a stop meanwhile ends within its limit, keeps what was committed and
// counts what was not.
TEST(HistoryFaults, AFileHeldByAnotherClientIsSaidOnceAndAStopDoesNotWaitForIt)
{
    TempDir dir;
    const std::string path = HistoryFile::pathIn(dir.path());
    WriterLog log;
    HistoryWriter::Options options;
    options.path = path;
    options.flushPeriod = 10ms;
    options.busyWait = 100ms;
    options.log = log.sink();
    HistoryWriter writer(options);
    writer.start();
    std::int64_t time = 1'800'000'000'000;
    auto push = [&](int readings) {
        for (int i = 0; i < readings; ++i)
            writer.push(Reading{0, 0, ++time, 20.0, 40.0, false});
    };
    push(10);
    ASSERT_TRUE(waitFor([&] { return writer.written() == 10; }));
    {
        WriteLock other(path);
        ASSERT_TRUE(other.held());
        push(10);
        ASSERT_TRUE(waitFor([&] { return log.count("is busy") == 1; }));
        std::this_thread::sleep_for(500ms); // several tries, each 100 ms
        EXPECT_EQ(log.count("is busy"), 1);
    }
    ASSERT_TRUE(waitFor([&] { return writer.written() == 20; }));
    EXPECT_EQ(log.count("is free again"), 1);

    WriteLock again(path);
    push(5);
    writer.push(Event(MessageRecord{2, 0, time, "Water"}));
    ASSERT_TRUE(waitFor([&] { return log.count("is busy") == 2; }));
    const auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(writer.stop(500ms));
    EXPECT_LT(std::chrono::steady_clock::now() - began, 1500ms);
    EXPECT_EQ(writer.state(), State::Stopped);
    EXPECT_EQ(log.count("5 readings and 1 other records could not be written"), 1);
    SqliteHistorySource source(path);
    EXPECT_EQ(source.readings(0, 0, INT64_MAX).size(), 20u);
}

// Texts are bounded by bytes as well as by count: huge ones pushed flat out
// are each recorded or counted, and never held past the bound.
TEST(HistoryFaults, HugeMessageTextsAreBoundedByBytes)
{
    constexpr std::size_t bound = 8u << 20;
    const std::string text(2u << 20, 'x');
    HistoryQueue queue(100, 100, bound);
    for (int i = 0; i < 10; ++i)
        queue.push(Event(MessageRecord{0, 0, i, text}));
    EXPECT_LE(queue.bytes(), bound);
    EXPECT_EQ(queue.lost(), 6u);
    Batch batch;
    queue.take(batch);
    EXPECT_EQ(batch.events.size(), 4u);
    EXPECT_EQ(queue.bytes(), 0u);

    TempDir dir;
    HistoryWriter::Options options;
    options.path = HistoryFile::pathIn(dir.path());
    options.eventBytes = bound;
    HistoryWriter writer(options);
    writer.start();
    constexpr int pushed = 100;
    for (int i = 0; i < pushed; ++i)
        writer.push(Event(MessageRecord{0, 0, 1'800'000'000'000 + i, text}));
    EXPECT_TRUE(writer.stop(10s));
    SqliteHistorySource source(options.path);
    EXPECT_EQ(source.messages(0, INT64_MAX).size() + writer.lost(), std::size_t(pushed));
    EXPECT_GT(writer.lost(), 0u);
}
