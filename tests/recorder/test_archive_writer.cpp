// The archive writer on a SQLite archive, so without a server: a row the
// archive refuses is set aside and the rest written; what a stop holds,
// even while the writer is stuck on a locked file, waits in the spool and
// is written first by the next writer, every row once.
#include "archive_writer.h"
#include "file_text.h"
#include "temp_dir.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
{
    for (const auto end = std::chrono::steady_clock::now() + limit; !done();
         std::this_thread::sleep_for(10ms))
        if (std::chrono::steady_clock::now() > end)
            return false;
    return true;
}

class ArchiveWriterOnFile : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (QSqlDatabase::contains("test")) {
            QSqlDatabase::database("test").close();
            QSqlDatabase::removeDatabase("test");
        }
    }

    Recorder::ArchiveWriter::Options options(const std::string& archive)
    {
        Recorder::ArchiveWriter::Options o;
        std::string error;
        o.address = *History::ArchiveAddress::parse("sqlite:" + archive, error);
        o.spoolPath = dir_.file("held.spool");
        o.refusedPath = dir_.file("refused.spool");
        o.flushPeriod = 20ms;
        o.log = [this](const std::string& text) {
            std::lock_guard<std::mutex> lock(logMutex_);
            log_ += text + "\n";
        };
        return o;
    }

    // The test's own connection to the archive file.
    QSqlQuery sql(const QString& statement)
    {
        if (!QSqlDatabase::contains("test")) {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "test");
            db.setDatabaseName(QString::fromStdString(archive_));
            EXPECT_TRUE(db.open());
        }
        QSqlQuery query(QSqlDatabase::database("test"));
        EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
        return query;
    }

    long count(const char* table)
    {
        QSqlQuery query = sql(QString("SELECT count(*) FROM ") + table);
        return query.next() ? query.value(0).toLongLong() : -1;
    }

    std::string log()
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        return log_;
    }

    static void pushRows(Recorder::ArchiveWriter& writer, int from, int to)
    {
        for (int i = from; i < to; ++i)
            writer.push(History::Reading{i % 2, 1700000000, 1700000000000 + i, 20.0 + i, 40, false});
    }

    TempDir dir_;
    const std::string archive_ = dir_.file("archive.db");
    std::mutex logMutex_;
    std::string log_;
};

TEST_F(ArchiveWriterOnFile, ARefusedRowIsSetAsideAndTheRestIsWritten)
{
    Recorder::ArchiveWriter writer(options(archive_));
    writer.start();
    ASSERT_TRUE(waitFor([&] { return writer.connected(); }));
    sql("CREATE TRIGGER poison BEFORE INSERT ON messages WHEN NEW.message_text LIKE '%poison%' "
        "BEGIN SELECT RAISE(ABORT, 'a poisoned message'); END");
    pushRows(writer, 0, 20);
    for (const char* text : {"Humidity rising", "poison pill", "Water in the spectrograph housing"})
        writer.push(History::Event(History::MessageRecord{2, 1700000000, 1700000000000 + text[0], text}));
    EXPECT_TRUE(writer.stop(5s)) << log();
    EXPECT_EQ(count("readings"), 20);
    EXPECT_EQ(count("messages"), 2);
    EXPECT_EQ(writer.refused(), 1u);
    EXPECT_EQ(writer.written(), 22u);
    const std::string refused = FileText::read(dir_.file("refused.spool"));
    EXPECT_NE(refused.find("a poisoned message"), std::string::npos) << refused;
    EXPECT_NE(refused.find("\tpoison pill\t"), std::string::npos) << refused;
    EXPECT_NE(log().find("writing it row by row"), std::string::npos) << log();
}

TEST_F(ArchiveWriterOnFile, WhatAStopHoldsIsWrittenFirstByTheNextWriter)
{
    {
        // A file in a folder that is not there: the archive cannot be opened.
        Recorder::ArchiveWriter away(options(dir_.file("missing/archive.db")));
        away.start();
        pushRows(away, 0, 10);
        EXPECT_FALSE(away.stop(2s));
    }
    ASSERT_TRUE(FileText::exists(dir_.file("held.spool"))) << log();
    Recorder::ArchiveWriter back(options(archive_));
    back.start();
    pushRows(back, 10, 12);
    EXPECT_TRUE(back.stop(5s)) << log();
    EXPECT_EQ(count("readings"), 12);
    EXPECT_FALSE(FileText::exists(dir_.file("held.spool")));
    EXPECT_NE(log().find("the 10 rows kept at the last stop are written"), std::string::npos) << log();
}

// The writer waits on a file another process holds locked when the stop
// runs out of time: what it holds, the batch under way included, is kept.
TEST_F(ArchiveWriterOnFile, AStopThatRunsOutOfTimeStillKeepsWhatIsHeld)
{
    {
        Recorder::ArchiveWriter stuck(options(archive_));
        stuck.start();
        ASSERT_TRUE(waitFor([&] { return stuck.connected(); }));
        sql("BEGIN EXCLUSIVE");
        pushRows(stuck, 0, 30);
        EXPECT_FALSE(stuck.stop(1s));
        ASSERT_TRUE(FileText::exists(dir_.file("held.spool"))) << log();
        sql("COMMIT");
        ASSERT_TRUE(waitFor([&] { return stuck.finished(); }));
    }
    Recorder::ArchiveWriter next(options(archive_));
    next.start();
    EXPECT_TRUE(next.stop(5s)) << log();
    EXPECT_EQ(count("readings"), 30);
    QSqlQuery distinct = sql("SELECT count(DISTINCT arrival_ms) FROM readings");
    ASSERT_TRUE(distinct.next());
    EXPECT_EQ(distinct.value(0).toLongLong(), 30);
}

} // namespace
