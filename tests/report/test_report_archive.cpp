// The shift report's figures of the made-up day from the archive: the same
// known answers through PostgreSQL 15's SQL, raw and per minute, from rows
// the recorder's store wrote.
#include "archive_store.h"
#include "known_answers.h"
#include "made_up_history.h"
#include "postgres_cluster.h"
#include "postgres_history_source.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <variant>

namespace {

// Alarm records are the alarm service's to write, not the store's: they go
// in as the service puts them in its table.
bool addAlarms(const History::ArchiveAddress& address, const std::string& instrument,
    const History::Batch& batch, std::string& error)
{
    bool ok = true;
    {
        QSqlDatabase db = address.addDatabase(QStringLiteral("report_archive_events"));
        ok = db.open();
        std::map<std::int64_t, int> seq;
        for (const History::Event& event : batch.events) {
            if (!ok)
                break;
            QSqlQuery query(db);
            if (const auto* a = std::get_if<History::AlarmRecord>(&event)) {
                query.prepare(
                    QStringLiteral("INSERT INTO alarm_records (instrument, time_ms, seq, action, point, "
                                   "user_name) VALUES (?, ?, ?, ?, ?, ?)"));
                for (const QVariant& v : {QVariant(QString::fromStdString(instrument)),
                         QVariant(qlonglong(a->timeMs)), QVariant(seq[a->timeMs]++), QVariant(int(a->action)),
                         QVariant(QString::fromStdString(a->point)),
                         QVariant(QString::fromStdString(a->user))})
                    query.addBindValue(v);
            } else {
                continue;
            }
            ok = query.exec();
            if (!ok)
                error = query.lastError().text().toStdString();
        }
        if (!db.isOpen())
            error = db.lastError().text().toStdString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("report_archive_events"));
    return ok;
}

} // namespace

TEST(ReportArchive, FiguresAreTheKnownAnswers)
{
    if (!PostgresCluster::installed())
        GTEST_SKIP() << PostgresCluster::missing();
    PostgresCluster db;
    ::setenv("PGPASSWORD", db.password().c_str(), 1);
    std::string error;
    const auto address = History::ArchiveAddress::parse(db.url(), error);
    ASSERT_TRUE(address) << error;
    // A second instrument's identical day beside it: counted in, it would
    // double every figure.
    for (const char* instrument : {"KOV", "KOV-2"}) {
        Recorder::ArchiveStore store(
            *address, std::string("report_archive_writer_") + instrument, instrument);
        ASSERT_EQ(store.open(), Recorder::ArchiveStore::Outcome::Ok) << store.lastError();
        // The store writes the setpoints; numbered within their time as the
        // recorder's keys number them.
        History::Batch day = MadeUpHistory::day();
        std::map<std::int64_t, int> seq;
        for (History::Event& event : day.events)
            if (auto* change = std::get_if<History::SetpointChange>(&event))
                change->seq = seq[change->timeMs]++;
        ASSERT_EQ(store.write(day), Recorder::ArchiveStore::Outcome::Ok) << store.lastError();
        ASSERT_EQ(store.finishRollups(), Recorder::ArchiveStore::Outcome::Ok) << store.lastError();
        ASSERT_TRUE(addAlarms(*address, instrument, MadeUpHistory::day(), error)) << error;
    }
    History::PostgresHistorySource source(*address, "KOV");
    ASSERT_TRUE(source.reachable()) << source.lastError();
    for (const bool perMinute : {false, true}) {
        Report::Figures figures;
        Report::Request request = madeUpRequest(perMinute);
        request.instrument = "KOV";
        ASSERT_TRUE(Report::compute(source, request, {}, figures, error)) << error;
        expectKnownAnswers(figures, perMinute ? "archive, per minute" : "archive");
    }
}
