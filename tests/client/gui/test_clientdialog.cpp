#include "alarm_announcer.h"
#include "clientdialog.h"
#include "fake_host.h"
#include "levelbar.h"
#include "progressdialog.h"
#include "statusdialog.h"

#include <kov.hh>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <pwd.h>
#include <unistd.h>

namespace {

const Rgb violet{164, 72, 255};
const Rgb green{53, 168, 111};
const Rgb yellow{255, 255, 0};
const Rgb red{255, 0, 0};
const Rgb grey{192, 192, 192};

// The main window over a fake application, created as the program does.
struct MainWindow {
    FakeHost host;
    CKovClientDialog dialog{host};

    MainWindow()
    {
        host.link.SetConnected(1);
        dialog.Create();
    }

    void reading(int housing, double temp, double rh, bool water)
    {
        KOV::HousekeepingData data;
        data.id = static_cast<HousingID>(housing);
        data.temp = temp;
        data.rh = rh;
        data.wateralarm = water;
        data.readingTime = 0;
        dialog.OnEvent(KOV::_tc_HousekeepingData, &data);
    }

    template<typename T>
    T* child(const char* name) const
    {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    CKovProgressDialog* progress() const { return dialog.progressDialog(); }
};

TEST(MainWindow, BeforeTheFirstReadingEverythingShowsNoData)
{
    MainWindow w;
    for (int h = 0; h < 2; ++h) {
        for (CLevelBar* gauge : {w.dialog.temperatureGauge(h), w.dialog.humidityGauge(h)}) {
            EXPECT_EQ(gauge->barColour(), violet);
            EXPECT_EQ(gauge->valueText(), QStringLiteral("INVALID DATA"));
        }
        EXPECT_EQ(w.dialog.waterSensor(h)->text(), QStringLiteral("INVALID DATA"));
        EXPECT_EQ(w.dialog.waterSensorColour(h), violet);
    }
    const char* const labels[][2] = {{"electronicsTemperatureMin", "0 °C"},
        {"electronicsTemperatureMax", "50 °C"}, {"spectrographHumidityMin", "0 %"},
        {"spectrographHumidityMax", "100 %"}};
    for (const auto& label : labels)
        EXPECT_EQ(w.child<QLabel>(label[0])->text(), QString::fromUtf8(label[1]));
    EXPECT_EQ(w.dialog.windowTitle(), QStringLiteral("KOV CLIENT"));
    EXPECT_FALSE(w.button("reconnectButton")->isEnabled());
}

TEST(MainWindow, ReadingsColourTheirOwnHousing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        int housing;
        double temp, rh;
        bool water;
        Rgb tempColour, rhColour;
        const char *tempText, *rhText, *waterText;
        Rgb waterColour;
    } cases[] = {
        {0, 23.456, 40.0, false, green, yellow, "23.46°C", "40.00%", "OK          ", grey},
        {0, 32.0, 60.9, true, yellow, yellow, "32.00°C", "60.00%", "ALARM ON    ", red},
        {0, 32.01, 61.0, false, red, red, "32.01°C", "61.00%", "OK          ", grey},
        {0, -1.0, -1.5, false, violet, violet, "INVALID DATA", "INVALID DATA", "OK          ", grey},
        {0, nan, std::numeric_limits<double>::infinity(), false, violet, violet, "INVALID DATA",
            "INVALID DATA", "OK          ", grey},
        {1, 10.0, 10.0, true, green, green, "10.00°C", "10.00%", "ALARM ON    ", red},
    };
    for (const auto& c : cases) {
        MainWindow w;
        w.reading(c.housing, c.temp, c.rh, c.water);
        const int h = c.housing;
        EXPECT_EQ(w.dialog.temperatureGauge(h)->barColour(), c.tempColour) << c.temp;
        EXPECT_EQ(w.dialog.humidityGauge(h)->barColour(), c.rhColour) << c.rh;
        EXPECT_EQ(w.dialog.temperatureGauge(h)->valueText(), QString::fromUtf8(c.tempText));
        EXPECT_EQ(w.dialog.humidityGauge(h)->valueText(), QString::fromUtf8(c.rhText));
        EXPECT_EQ(w.dialog.waterSensor(h)->text(), QString::fromLatin1(c.waterText));
        EXPECT_EQ(w.dialog.waterSensorColour(h), c.waterColour);
        // The other housing still shows no data.
        EXPECT_EQ(w.dialog.temperatureGauge(1 - h)->barColour(), violet);
        EXPECT_EQ(w.dialog.waterSensor(1 - h)->text(), QStringLiteral("INVALID DATA"));
    }
}

TEST(MainWindow, ChangedSetpointsApplyFromTheNextReading)
{
    MainWindow w;
    w.reading(1, 30.0, 10.0, false);
    EXPECT_EQ(w.dialog.temperatureGauge(1)->barColour(), yellow);
    w.host.records[1].tempWarning = 30.0;
    w.reading(1, 30.0, 10.0, false);
    EXPECT_EQ(w.dialog.temperatureGauge(1)->barColour(), green);
}

// An unknown housing cannot reach the window: the extraction refuses it
// (HousekeepingExtraction in the corba tests).
TEST(MainWindow, UnknownPayloadsAreIgnored)
{
    MainWindow w;
    const CORBA::Long number = 5;
    w.dialog.OnEvent(CORBA::_tc_long, &number);
    w.dialog.OnEvent(nullptr, &number);
    w.dialog.OnEvent(KOV::_tc_HousekeepingData, nullptr);
    for (int h = 0; h < 2; ++h)
        EXPECT_EQ(w.dialog.waterSensor(h)->text(), QStringLiteral("INVALID DATA"));
    EXPECT_EQ(w.dialog.statusDialog()->rowCount(), 0);
}

TEST(MainWindow, MessagesAndTextsReachTheMessageList)
{
    MainWindow w;
    KOV::Message message;
    message.text = CORBA::string_dup("Water in the spectrograph housing");
    message.priority = ALARM;
    message.arrival_time = 0;
    w.dialog.OnEvent(KOV::_tc_Message, &message);
    w.dialog.OnEvent(CORBA::_tc_string, "a plain text");
    EXPECT_EQ(w.dialog.statusDialog()->rowCount(), 2);
    EXPECT_FALSE(w.dialog.statusDialog()->isVisible());
    QTest::mouseClick(w.button("alarmsButton"), Qt::LeftButton);
    EXPECT_TRUE(w.dialog.statusDialog()->isVisible());
}

TEST(MainWindow, LostLinkIsReportedOncePerLoss)
{
    MainWindow w;
    w.dialog.OnTimer();
    EXPECT_TRUE(w.host.boxes.texts.isEmpty());

    w.host.link.SetConnected(0);
    w.dialog.OnTimer();
    EXPECT_EQ(w.host.boxes.texts, QStringList{QStringLiteral("KOV CLIENT disconnected from target")});
    EXPECT_FALSE(w.dialog.timerRunning());
    ASSERT_TRUE(w.button("reconnectButton")->isEnabled());

    // Reconnect restarts the timer; the next tick sees the link up again.
    w.host.onReconnect = [&] { w.host.link.SetConnected(1); };
    QTest::mouseClick(w.button("reconnectButton"), Qt::LeftButton);
    EXPECT_EQ(w.host.reconnects, 1);
    EXPECT_TRUE(w.dialog.timerRunning());
    w.dialog.OnTimer();
    EXPECT_FALSE(w.button("reconnectButton")->isEnabled());

    // A second loss is a second notice.
    w.host.link.SetConnected(0);
    w.dialog.OnTimer();
    EXPECT_EQ(w.host.boxes.texts.size(), 2);
}

TEST(MainWindow, FailedReconnectBringsTheNoticeBack)
{
    MainWindow w;
    w.host.link.SetConnected(0);
    w.dialog.OnTimer();
    QTest::mouseClick(w.button("reconnectButton"), Qt::LeftButton);
    w.dialog.OnTimer();
    EXPECT_EQ(w.host.boxes.texts.size(), 2);
    EXPECT_TRUE(w.button("reconnectButton")->isEnabled());
}

TEST(ProgressDialog, ConnectCaptions)
{
    const struct {
        int status;
        const char* title;
        bool staysOpen;
        int position;
    } cases[] = {
        {0, "KOV Connect Progress - NOT STARTED", true, 0},
        {1, "KOV Connect Progress - IN PROGRESS", true, 1},
        {2, "KOV Connect Progress - COMPLETE", false, 100},
        {3, "KOV Connect Progress - FAILED", false, 0},
        {7, "KOV Connect Progress", false, 0},
    };
    for (const auto& c : cases) {
        MainWindow w;
        w.host.status = c.status;
        ASSERT_TRUE(w.progress()->isVisible());
        w.progress()->OnTimer();
        EXPECT_EQ(w.progress()->windowTitle(), QString::fromLatin1(c.title));
        EXPECT_EQ(w.progress()->isVisible(), c.staysOpen) << c.status;
        EXPECT_EQ(w.progress()->barPosition(), c.position) << c.status;
    }
}

TEST(MainWindow, ExitDisconnectsAndEndsWhenTheLinkIsDown)
{
    MainWindow w; // the connect progress is still open
    QSignalSpy destroyed(&w.dialog, &CKovClientDialog::windowDestroyed);
    QTest::mouseClick(w.button("exitButton"), Qt::LeftButton);
    EXPECT_EQ(w.host.disconnects, 1);
    EXPECT_EQ(w.progress()->windowTitle(), QStringLiteral("KOV Disconnect Progress"));

    w.progress()->OnTimer();
    EXPECT_EQ(w.progress()->windowTitle(), QStringLiteral("KOV Disconnect Progress- DISCONNECTING "));
    // Closing the progress cannot cut the disconnection short.
    w.progress()->close();
    EXPECT_TRUE(w.progress()->isVisible());
    // The link going down during exit is no lost-link notice.
    w.host.link.SetConnected(0);
    w.dialog.OnTimer();
    EXPECT_TRUE(w.host.boxes.texts.isEmpty());

    w.progress()->OnTimer();
    EXPECT_EQ(w.progress()->windowTitle(), QStringLiteral("KOV Disconnect Progress - DONE "));
    EXPECT_EQ(destroyed.count(), 1);
    EXPECT_FALSE(w.dialog.isVisible());
}

TEST(MainWindow, ExitEndsWhenTheOrbLoopHasEnded)
{
    MainWindow w;
    QSignalSpy destroyed(&w.dialog, &CKovClientDialog::windowDestroyed);
    w.dialog.reject(); // Escape and the close box
    w.dialog.reject();
    EXPECT_EQ(w.host.disconnects, 1);
    w.host.done = 1;
    w.progress()->OnTimer();
    EXPECT_EQ(destroyed.count(), 1);
}

} // namespace

TEST(MainWindow, AWaterBlipStaysLatchedUntilAcknowledgedAndSilenceHidesNothing)
{
    MainWindow w;
    QSignalSpy journal(&w.dialog.events(), &ClientEvents::alarm);
    auto* summary = w.child<QLabel>("alarmSummary");
    w.reading(0, 20, 40, true);
    w.dialog.alarmSound().silence();
    w.reading(0, 20, 40, false);
    EXPECT_EQ(summary->text().toStdString(),
        "1 unacknowledged alarm: Electronics housing water sensor (sound silenced)");
    EXPECT_TRUE(w.dialog.waterSensor(0)->accessibleDescription().startsWith("unacknowledged alarm"));

    // A new alarm while silenced sounds again at once.
    const int sounds = w.dialog.alarmSound().sounds();
    w.reading(1, 40, 40, false);
    EXPECT_EQ(w.dialog.alarmSound().sounds(), sounds + 1);
    EXPECT_TRUE(w.dialog.temperatureGauge(1)->describe().contains(QStringLiteral("unacknowledged alarm")));

    QTest::mouseClick(w.button("acknowledgeButton"), Qt::LeftButton);
    EXPECT_TRUE(summary->text().startsWith(QStringLiteral("No unacknowledged alarms")));
    EXPECT_FALSE(w.dialog.waterSensor(0)->accessibleDescription().contains(QStringLiteral("unacknowledged")));
    // Raised and cleared (water), raised (temperature), two acknowledged.
    ASSERT_EQ(journal.size(), 5);
    const auto last = journal.last().at(0).value<History::AlarmRecord>();
    EXPECT_EQ(last.action, History::AlarmAction::Acknowledged);
    EXPECT_FALSE(last.user.empty());
}

TEST(MainWindow, AShelvedAlarmIsListedWithItsEndButNotCountedOrHeardUntilUnshelved)
{
    MainWindow w;
    auto* summary = w.child<QLabel>("alarmSummary");
    auto* table = w.dialog.statusDialog()->findChild<QTableWidget*>();
    ASSERT_TRUE(table);
    w.reading(0, 33, 40, false);
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("unacknowledged"));

    table->setCurrentCell(0, 0);
    QPushButton* shelve = nullptr;
    for (QPushButton* b : w.dialog.statusDialog()->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Shelve…"))
            shelve = b;
    ASSERT_TRUE(shelve && shelve->isEnabled());
    shelve->click();
    auto* ask = w.dialog.statusDialog()->findChild<QDialog*>(QStringLiteral("ShelveDialog"));
    ASSERT_TRUE(ask);
    ask->findChild<QComboBox*>(QStringLiteral("duration"))->setCurrentIndex(1); // 1 h
    ask->findChild<QLineEdit*>(QStringLiteral("comment"))->setText(QStringLiteral("sensor swap"));
    QSignalSpy journal(&w.dialog.events(), &ClientEvents::alarm);
    ask->accept();

    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("shelved"));
    EXPECT_FALSE(table->item(0, 4)->text().isEmpty());
    EXPECT_EQ(summary->text().toStdString(), "No unacknowledged alarms; 1 shelved");
    ASSERT_EQ(journal.size(), 1);
    const auto shelved = journal.last().at(0).value<History::AlarmRecord>();
    EXPECT_EQ(shelved.action, History::AlarmAction::Shelved);
    EXPECT_EQ(shelved.comment, "sensor swap");
    EXPECT_EQ(shelved.untilMs - shelved.timeMs, 3600 * 1000);

    // Raised again while shelved: not heard.
    const int sounds = w.dialog.alarmSound().sounds();
    w.reading(0, 20, 40, false);
    w.reading(0, 34, 40, false);
    EXPECT_EQ(w.dialog.alarmSound().sounds(), sounds);

    table->setCurrentCell(0, 0);
    w.dialog.alarmCentre().unshelve(AlarmPoint{AlarmPoint::Kind::Temperature, 0});
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("unacknowledged"));
    EXPECT_EQ(w.dialog.alarmSound().sounds(), sounds + 1);
    EXPECT_TRUE(summary->text().startsWith(
        QStringLiteral("1 unacknowledged alarm: Electronics housing temperature")));
}

TEST(AlarmCentre, TheUserInTheJournalIsTheAccountNotTheEnvironment)
{
    const QByteArray saved = qgetenv("USER");
    qputenv("USER", "somebody-else");
    const QString user = AlarmCentre::userName();
    qputenv("USER", saved);
    EXPECT_NE(user, QStringLiteral("somebody-else"));
    EXPECT_EQ(user, QString::fromLocal8Bit(getpwuid(getuid())->pw_name));
}
