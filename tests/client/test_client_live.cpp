// The whole client (CKovClientApp with its windows) against a private naming
// service and kovsim over loopback: readings and messages reach the windows,
// a lost link is noticed and reconnected, and the program always ends.
#include "alarm_levels.h"
#include "alarmdialog.h"
#include "child_process.h"
#include "client.h"
#include "clientdialog.h"
#include "fake_host.h"
#include "levelbar.h"
#include "link_state.h"
#include "message_list_model.h"
#include "naming_service_process.h"
#include "simulator_process.h"
#include "statusdialog.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QString lostLink = QStringLiteral("KOV CLIENT disconnected from target");

// One client in a scratch start directory, its boxes recorded. The link
// waits for Reconnect, as these cases press it themselves (the automatic
// reconnect is driven from outside by the fault suite).
class ClientLive : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        std::ofstream(dir_.filePath(QStringLiteral("kov.cfg")).toStdString())
            << "KOV-E1-TEMP_ALARM_SETPOINTS 24.00,32.00\nKOV-E1-RH_ALARM_SETPOINTS 35.00,60.00\n"
            << "KOV-RECONNECT_SECONDS 0\n";
    }

    // Starts the client; false when it did not come up.
    bool start(std::vector<std::string> extra = {})
    {
        std::vector<std::string> words = names_.orbArgs();
        words.insert(words.end(), {"-ORBendPoint", "giop:tcp:127.0.0.1:"});
        words.insert(words.end(), extra.begin(), extra.end());
        auto boxes = std::make_unique<RecordedBoxes>();
        boxes_ = boxes.get();
        app_ =
            std::make_unique<CKovClientApp>(CommandWords(words), dir_.path().toStdString(), std::move(boxes));
        return app_->InitInstance() == 1;
    }

    CKovClientDialog& window() { return *app_->mainDialog(); }
    QString gauge(int housing) { return window().temperatureGauge(housing)->valueText(); }

    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
    {
        return QTest::qWaitFor(done, static_cast<int>(limit.count()));
    }

    bool boxShown(const QString& text) { return boxes_->texts.contains(text); }

    // Presses Exit and waits for the end of the main window and of the
    // application object; answers how long it took.
    std::chrono::milliseconds exitClient()
    {
        QElapsedTimer clock;
        clock.start();
        QSignalSpy finished(app_.get(), &CKovClientApp::finished);
        QTest::mouseClick(window().findChild<QPushButton*>(QStringLiteral("exitButton")), Qt::LeftButton);
        EXPECT_TRUE(waitFor([&] { return finished.count() == 1; }, 20s));
        app_.reset();
        return std::chrono::milliseconds(clock.elapsed());
    }

    QTemporaryDir dir_;
    NamingServiceProcess names_;
    RecordedBoxes* boxes_ = nullptr;
    std::unique_ptr<CKovClientApp> app_;
};

TEST_F(ClientLive, ReadingsLossReconnectAndExit)
{
    auto sim = std::make_unique<SimulatorProcess>(
        names_, std::vector<std::string>{"--scenario", "none", "--on-time", "100"});
    ASSERT_TRUE(start());
    ASSERT_TRUE(sim->waitForLine("^subscribe consumer="));

    sim->send("push reading 0 33.5 40 1");
    ASSERT_TRUE(waitFor([&] { return gauge(0) == QStringLiteral("33.50°C"); }));
    EXPECT_EQ(window().temperatureGauge(0)->barColour(), AlarmLevels::gaugeColour(AlarmLevels::State::Over));
    EXPECT_EQ(window().waterSensor(0)->text(), QStringLiteral("ALARM ON    "));
    // The setpoints window of the housing has the reading too.
    EXPECT_EQ(
        window().alarmDialog(0)->tempStatusColour(), AlarmLevels::statusColour(AlarmLevels::State::Over));
    sim->send("push message warning 30 °C in the Ω housing");
    ASSERT_TRUE(waitFor([&] { return window().statusDialog()->rowCount() == 1; }));
    // Texts arrive as the instrument wrote them.
    QAbstractItemModel* list = window().statusDialog()->model();
    ASSERT_TRUE(waitFor([&] { return list->rowCount() == 1; }));
    EXPECT_EQ(list->data(list->index(0, MessageListModel::MessageColumn)).toString(),
        QStringLiteral("30 °C in the Ω housing"));
    EXPECT_TRUE(waitFor([&] { return LinkState::Instance().TargetOnSeconds() >= 100; }));

    // The instrument side dies without a word: the next elapsed-time poll
    // fails, and the next tick tells the operator.
    sim->kill();
    sim.reset();
    ASSERT_TRUE(waitFor([&] { return boxShown(lostLink); }, 12s));
    EXPECT_EQ(boxes_->texts.count(lostLink), 1);

    // Back again, with new objects: Reconnect subscribes to the new notifier.
    sim = std::make_unique<SimulatorProcess>(names_, std::vector<std::string>{"--scenario", "none"});
    auto* reconnect = window().findChild<QPushButton*>(QStringLiteral("reconnectButton"));
    ASSERT_TRUE(reconnect->isEnabled());
    QTest::mouseClick(reconnect, Qt::LeftButton);
    ASSERT_TRUE(waitFor([] { return LinkState::Instance().IsConnected() == 1; }));
    ASSERT_TRUE(sim->waitForLine("^subscribe consumer="));
    sim->send("push reading 0 20.25 40 0");
    EXPECT_TRUE(waitFor([&] { return gauge(0) == QStringLiteral("20.25°C"); }));

    EXPECT_LT(exitClient(), 10s);
    EXPECT_TRUE(sim->waitForLine("^system-disconnect "));
    EXPECT_TRUE(sim->waitForLine("^unsubscribe consumer="));
}

TEST_F(ClientLive, DroppedByTheNotifierReconnectsWithOneSubscription)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    ASSERT_TRUE(start());
    ASSERT_TRUE(sim.waitForLine("^subscribe consumer="));

    sim.send("drop maintenance");
    ASSERT_TRUE(waitFor([&] { return boxShown(lostLink); }, 12s));
    // The notice is listed like any message.
    EXPECT_EQ(window().statusDialog()->rowCount(), 1);

    QTest::mouseClick(window().findChild<QPushButton*>(QStringLiteral("reconnectButton")), Qt::LeftButton);
    ASSERT_TRUE(waitFor([] { return LinkState::Instance().IsConnected() == 1; }));
    sim.send("list");
    EXPECT_TRUE(sim.waitForLine("^ok list consumers=1"));
    sim.send("push message alarm once only");
    ASSERT_TRUE(waitFor([&] { return window().statusDialog()->rowCount() == 2; }));
    QTest::qWait(300);
    EXPECT_EQ(window().statusDialog()->rowCount(), 2);
    EXPECT_LT(exitClient(), 10s);
}

TEST_F(ClientLive, HungInstrumentNeitherFreezesTheWindowNorGetsTheClientDropped)
{
    SimulatorProcess sim(names_, {"--scenario", "none", "--call-timeout", "3"});
    ASSERT_TRUE(start());
    ASSERT_TRUE(sim.waitForLine("^subscribe consumer="));
    sim.send("elapsed hang 20 30");
    ASSERT_TRUE(sim.waitForLine("^ok elapsed"));

    // Readings keep arriving at once while "elapsedTime" hangs.
    for (int i = 0; i < 40; ++i) {
        const double temp = 10.0 + i;
        sim.send("push reading 1 " + std::to_string(temp) + " 50 0");
        ASSERT_TRUE(waitFor(
            [&] { return window().temperatureGauge(1)->valueText() == QString::asprintf("%.2f°C", temp); },
            1s))
            << i;
        QTest::qWait(100);
    }
    EXPECT_FALSE(sim.waitForLine("^drop consumer=", 10ms));
    // The hung call ends in a lost link, and Exit still ends soon.
    EXPECT_TRUE(waitFor([&] { return boxShown(lostLink); }, 12s));
    EXPECT_LT(exitClient(), 12s);
}

TEST_F(ClientLive, ExitDuringAFloodEnds)
{
    SimulatorProcess sim(names_, {"--scenario", "flood"});
    ASSERT_TRUE(start());
    ASSERT_TRUE(waitFor([&] { return window().statusDialog()->rowCount() > 0 || !gauge(0).isEmpty(); }));
    QTest::qWait(500);
    EXPECT_LT(exitClient(), 10s);
}

TEST_F(ClientLive, ExitWhileTheConnectProgressIsOpen)
{
    SimulatorProcess sim(names_, {"--scenario", "quiet"});
    ASSERT_TRUE(start());
    EXPECT_LT(exitClient(), 10s);
}

TEST_F(ClientLive, ConnectFailuresEndTheProgramWithTheirBox)
{
    {
        // No notifier: the naming service knows nothing yet.
        ASSERT_FALSE(start());
        EXPECT_EQ(boxes_->texts,
            QStringList{QStringLiteral("Event consumer init failed. See client.log for details")});
        app_.reset();
    }
    SimulatorProcess sim(names_, {"--scenario", "none"});
    // The instrument's control object is missing: the box of a failed run.
    ChildProcess nameclt(NamingServiceProcess::namecltPath(),
        {names_.orbArgs()[0], names_.orbArgs()[1], "unbind", "KOVSYSTEM"});
    ASSERT_EQ(nameclt.waitForExit(5s), 0);
    ASSERT_FALSE(start());
    EXPECT_EQ(
        boxes_->texts, QStringList{QStringLiteral("Event consumer run failed. See client.log for details")});
    app_.reset();
    // The subscription made before the failure is ended.
    EXPECT_TRUE(sim.waitForLine("^unsubscribe consumer="));
}

TEST_F(ClientLive, TheProgramEndsOnSigtermAsOnExitAndLogsInItsStartDirectory)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    std::vector<std::string> words = names_.orbArgs();
    words.insert(words.end(), {"-ORBendPoint", "giop:tcp:127.0.0.1:"});
    // kov.cfg and client.log live in the directory the program starts in.
    const QString home = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    ChildProcess client(KOV_KOVCLIENT_PATH, words);
    QDir::setCurrent(home);
    ASSERT_TRUE(sim.waitForLine("^subscribe consumer=", 10s));
    ::kill(client.pid(), SIGTERM);
    EXPECT_EQ(client.waitForExit(10s), 0);
    EXPECT_TRUE(sim.waitForLine("^unsubscribe consumer="));
    std::ifstream log(dir_.filePath(QStringLiteral("client.log")).toStdString());
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Running the Consumer..."), std::string::npos) << text;
}

TEST_F(ClientLive, AShelfOutlivesTheClientAndStillEnds)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    const AlarmPoint water{AlarmPoint::Kind::Water, 1};
    ASSERT_TRUE(start());
    ASSERT_TRUE(app_->alarms()->shelve(water, 15, QStringLiteral("pump swap")));
    exitClient();

    ASSERT_TRUE(start());
    const AlarmLatch::Entry& entry = app_->alarms()->latch().entry(water);
    EXPECT_TRUE(entry.shelved());
    EXPECT_EQ(entry.shelfComment, "pump swap");
    const std::int64_t left = entry.shelvedUntilUtcMs - QDateTime::currentMSecsSinceEpoch();
    EXPECT_GT(left, 14 * 60'000);
    EXPECT_LE(left, 15 * 60'000);
    exitClient();
}

TEST_F(ClientLive, SetpointsAreWrittenBackAtExit)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    ASSERT_TRUE(start());
    app_->setpoints(0).overTemp = 41.5;
    exitClient();
    std::ifstream in(dir_.filePath(QStringLiteral("kov.cfg")).toStdString());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("KOV-E1-TEMP_ALARM_SETPOINTS        24.00,       41.50"), std::string::npos) << text;
}

} // namespace
