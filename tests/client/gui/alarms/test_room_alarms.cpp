// The room's alarms on a console, against a private PostgreSQL cluster: the
// test plays the instrument's alarm service (it writes alarm_state and
// alarm_service, notifies "kov_alarms", and applies the queued actions).
#include "alarm_announcer.h"
#include "archive_address.h"
#include "archive_store.h"
#include "clientdialog.h"
#include "fake_host.h"
#include "paced_label.h"
#include "postgres_cluster.h"
#include "spin_until.h"
#include "statusdialog.h"

#include <kov.hh>

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using namespace std::chrono_literals;

const char* const instrument = "KOV-T";
const char* const service = "stand-in service on the test";

std::string nowMs()
{
    return std::to_string(QDateTime::currentMSecsSinceEpoch());
}

// The test's part of the service: every point normal, heard now.
class RoomArchive {
public:
    RoomArchive()
    {
        setenv("PGPASSWORD", db.password().c_str(), 1);
        std::string error;
        Recorder::ArchiveStore store(*History::ArchiveAddress::parse(db.url(), error), "setup", instrument);
        if (store.open() != Recorder::ArchiveStore::Outcome::Ok)
            throw std::runtime_error(store.lastError());
        for (const char* role : {"kovoperator", "kovreader"})
            db.query(std::string("CREATE ROLE ") + role + " LOGIN PASSWORD '" + db.password() +
                "'; GRANT SELECT ON ALL TABLES IN SCHEMA public TO " + role);
        db.query("GRANT EXECUTE ON FUNCTION kov_alarm_action(text,text,text,integer,text) TO kovoperator");
    }

    void reset()
    {
        std::string sql = "DELETE FROM alarm_state; DELETE FROM alarm_actions; DELETE FROM alarm_service;";
        for (int i = 0; i < AlarmPoint::count; ++i) {
            const AlarmPoint point = AlarmPoint::at(i);
            sql += "INSERT INTO alarm_state (instrument, point_key, point, state, since_ms, updated_ms) "
                   "VALUES ('" +
                std::string(instrument) + "', '" + point.key() + "', '" + point.name() + "', 'normal', " +
                nowMs() + ", " + nowMs() + ");";
        }
        sql += "INSERT INTO alarm_service VALUES ('" + std::string(instrument) + "', '" + service + "', " +
            nowMs() + ", " + nowMs() + ")";
        db.query(sql);
    }

    // Written and told as the service does.
    void write(const std::string& sql) { db.query(sql + "; SELECT pg_notify('kov_alarms', 'KOV-T')"); }
    void raise(const std::string& key)
    {
        write("UPDATE alarm_state SET state = 'unacknowledged', level = 2, active = true, acknowledged = "
              "false, "
              "raised_ms = " +
            nowMs() + ", since_ms = " + nowMs() + " WHERE point_key = '" + key + "'");
    }
    void heartbeat() { write("UPDATE alarm_service SET heartbeat_ms = " + nowMs()); }
    std::string pending() const
    {
        return db.query(
            "SELECT point_key || ' ' || action || ' ' || user_name FROM alarm_actions WHERE done_ms "
            "IS NULL ORDER BY id");
    }

    std::string url(const std::string& role) const
    {
        return "postgresql://" + role + "@127.0.0.1:" + std::to_string(db.port()) + "/kov";
    }

    PostgresCluster db;
};

// A console following the room as the client does with KOV-ARCHIVE set.
struct Console {
    FakeHost host;
    CKovClientDialog dialog{host};

    Console(const RoomArchive& archive, const std::string& role, RoomAlarms::Timing timing = {},
        int pollMs = 60'000)
    {
        std::string error;
        RoomAlarmReader::Options options;
        options.address = *History::ArchiveAddress::parse(archive.url(role), error);
        options.instrument = instrument;
        options.pollMs = pollMs;
        options.retryFirstSeconds = 1;
        options.retryLongestSeconds = 1;
        host.link.SetConnected(1);
        host.alarmCentre().followRoom(options, timing);
        dialog.Create();
    }

    QString text(const char* name) const
    {
        return dialog.findChild<QLabel*>(QLatin1String(name), Qt::FindDirectChildrenOnly)->text();
    }
    bool shows(const char* name, const QString& start, std::chrono::milliseconds limit = 10s)
    {
        return spinUntil([&] { return text(name).startsWith(start); }, limit);
    }
    bool showsRoom() { return shows("alarmSource", QStringLiteral("The room's alarms, from ") + service); }
    QTableWidget* list() const { return dialog.statusDialog()->findChild<QTableWidget*>(); }
    void acknowledge()
    {
        QTest::mouseClick(dialog.findChild<QPushButton*>("acknowledgeButton"), Qt::LeftButton);
    }
};

class RoomAlarmsLive : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (PostgresCluster::installed())
            archive_ = new RoomArchive;
    }
    static void TearDownTestSuite()
    {
        delete archive_;
        archive_ = nullptr;
    }
    void SetUp() override
    {
        if (!archive_)
            GTEST_SKIP() << PostgresCluster::missing();
        archive_->reset();
    }

    static RoomArchive* archive_;
};

RoomArchive* RoomAlarmsLive::archive_ = nullptr;

// Only the notification can bring it in time: the console reads on its own
// only once a minute here.
TEST_F(RoomAlarmsLive, AStateTheServiceWritesIsShownAndHeardOnceWithinTwoSeconds)
{
    Console console(*archive_, "kovoperator");
    ASSERT_TRUE(console.showsRoom()) << console.text("alarmSource").toStdString();
    EXPECT_EQ(console.text("alarmService"), QStringLiteral("Alarm service: running"));
    const int sounds = console.dialog.alarmSound().sounds();

    archive_->raise("electronics.water");
    EXPECT_TRUE(console.shows("alarmSummary", "1 unacknowledged alarm: Electronics housing water sensor", 2s))
        << console.text("alarmSummary").toStdString();
    ASSERT_EQ(console.list()->rowCount(), 1);
    EXPECT_EQ(console.list()->item(0, 1)->text(), QStringLiteral("unacknowledged"));
    // The heartbeat's read after it announces nothing again.
    archive_->heartbeat();
    spinUntil([] { return false; }, 300ms);
    EXPECT_EQ(console.dialog.alarmSound().sounds(), sounds + 1);
}

TEST_F(RoomAlarmsLive, AnAcknowledgementGoesToTheServiceWithTheUserAndComesBackFromIt)
{
    archive_->raise("spectrometer.temperature");
    Console console(*archive_, "kovoperator");
    ASSERT_TRUE(console.shows("alarmSummary", "1 unacknowledged alarm: Spectrometer"));
    console.acknowledge();
    EXPECT_TRUE(spinUntil([] { return archive_->pending() == "all ack kovoperator"; }, 5s))
        << archive_->pending();
    // Nothing changes on the console before the service applied it.
    EXPECT_TRUE(console.text("alarmSummary").startsWith("1 unacknowledged"));

    archive_->write("UPDATE alarm_actions SET done_ms = " + nowMs() +
        ", outcome = 'done'; UPDATE alarm_state SET acknowledged = true, state = 'acknowledged', acted_by = "
        "'kovoperator', acted_ms = " +
        nowMs() + " WHERE point_key = 'spectrometer.temperature'");
    EXPECT_TRUE(console.shows("alarmSummary", "No unacknowledged alarms", 2s));
    EXPECT_EQ(console.list()->item(0, 1)->text(), QStringLiteral("acknowledged"));
    EXPECT_TRUE(console.host.boxes.texts.isEmpty()) << console.host.boxes.texts.join('\n').toStdString();
}

TEST_F(RoomAlarmsLive, AReadersRoleIsRefusedAndTheConsoleSaysSoNamingTheRole)
{
    archive_->raise("link");
    Console console(*archive_, "kovreader");
    ASSERT_TRUE(console.shows("alarmSummary", "1 unacknowledged alarm: Link lost"));
    console.acknowledge();
    ASSERT_TRUE(spinUntil([&] { return !console.host.boxes.texts.isEmpty(); }, 5s));
    const QString said = console.host.boxes.texts.first();
    EXPECT_TRUE(said.contains("no right to acknowledge")) << said.toStdString();
    EXPECT_TRUE(said.contains("\"kovreader\"")) << said.toStdString();
    EXPECT_FALSE(said.contains(QString::fromStdString(archive_->db.password())));
    EXPECT_EQ(archive_->pending(), "");
    EXPECT_TRUE(console.text("alarmSummary").startsWith("1 unacknowledged"));
}

// 3 s stand for 30 s: the heartbeat stops, then comes back.
TEST_F(RoomAlarmsLive, AServiceNotHeardIsAnAlarmOfTheConsoleUntilHeardAgain)
{
    Console console(*archive_, "kovoperator", {3000, 1500}, 200);
    QSignalSpy journal(&console.host.bus, &ClientEvents::alarm);
    ASSERT_TRUE(console.showsRoom());
    ASSERT_TRUE(console.shows("alarmService", "Alarm service: not heard for ", 5s));
    EXPECT_TRUE(console.shows("alarmSummary", "1 unacknowledged alarm: Alarm service lost", 5s))
        << console.text("alarmSummary").toStdString();
    EXPECT_EQ(console.text("alarmSource"),
        QStringLiteral("This console's own alarms: the alarm service is not heard"));
    ASSERT_GE(journal.size(), 1);
    EXPECT_EQ(journal.first().at(0).value<History::AlarmRecord>().pointKey, "service");

    archive_->heartbeat();
    ASSERT_TRUE(console.showsRoom());
    EXPECT_EQ(console.text("alarmService"), QStringLiteral("Alarm service: running"));
    ASSERT_GE(console.list()->rowCount(), 1);
    EXPECT_EQ(console.list()->item(0, 0)->text(), QStringLiteral("Alarm service lost"));
    EXPECT_EQ(console.list()->item(0, 1)->text(), QStringLiteral("cleared but unacknowledged"));
    console.acknowledge();
    EXPECT_EQ(console.list()->rowCount(), 0);
    EXPECT_EQ(archive_->pending(), "") << "nothing of the room's to acknowledge";
}

// The console's own engine runs all along and is what is shown meanwhile.
TEST_F(RoomAlarmsLive, WhileTheArchiveIsDownTheConsoleShowsItsOwnAlarmsAndSaysSo)
{
    Console console(*archive_, "kovoperator", {}, 200);
    ASSERT_TRUE(console.showsRoom());
    archive_->db.stop();
    EXPECT_TRUE(console.shows("alarmSource", "This console's own alarms: the archive is not reachable", 5s))
        << console.text("alarmSource").toStdString();
    KOV::HousekeepingData water{};
    water.id = static_cast<HousingID>(0);
    water.temp = 20;
    water.rh = 40;
    water.wateralarm = true;
    console.dialog.OnEvent(KOV::_tc_HousekeepingData, &water);
    EXPECT_EQ(console.text("alarmSummary").toStdString(),
        "1 unacknowledged alarm: Electronics housing water sensor");

    archive_->db.start();
    EXPECT_TRUE(console.showsRoom());
    EXPECT_EQ(console.text("alarmSummary"), QStringLiteral("No unacknowledged alarms"));
}

} // namespace
