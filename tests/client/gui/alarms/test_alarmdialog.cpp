#include "alarmdialog.h"
#include "fake_host.h"
#include "kov_instrument_config.h"
#include "setpoint_store.h"

#include <kov.hh>

#include <QAccessible>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <utility>

namespace {

const QColor red(255, 0, 0);
const QColor yellow(255, 255, 0);
const QColor violet(164, 72, 255);
const QColor grey(192, 192, 192);

bool sameRecord(const AlarmSetpoints& a, const AlarmSetpoints& b)
{
    return a.overTemp == b.overTemp && a.tempWarning == b.tempWarning && a.overRh == b.overRh &&
        a.rhWarning == b.rhWarning;
}

// One housing's setpoints window on the host's record 0, created from
// `initial`, with its controls found by name.
struct Window {
    explicit Window(const AlarmSetpoints& initial = {})
    {
        host.records[0] = initial;
        EXPECT_TRUE(dialog.Create(QStringLiteral("KOV Electronics Housing Setpoints"), &record()));
    }

    AlarmSetpoints& record() { return host.records[0]; }
    QLineEdit* edit(const char* name) const { return dialog.findChild<QLineEdit*>(name); }
    QLabel* label(const char* name) const { return dialog.findChild<QLabel*>(name); }

    void type(const std::map<const char*, const char*>& texts)
    {
        for (const auto& [name, text] : texts)
            edit(name)->setText(QString::fromUtf8(text));
    }

    void press(const char* name) { dialog.findChild<QPushButton*>(name)->click(); }

    void feed(double temp, double rh)
    {
        KOV::HousekeepingData reading{};
        reading.id = ELECTRONICS_HOUSING;
        reading.temp = temp;
        reading.rh = rh;
        reading.wateralarm = false;
        reading.readingTime = 0;
        dialog.OnHousekeeping(&reading);
    }

    // What a status field shows: its text and its background.
    std::pair<QString, QColor> status(const char* name) const
    {
        const QLineEdit* field = edit(name);
        return {field->text(), field->palette().color(QPalette::Base)};
    }

    FakeHost host;
    CAlarmDialog dialog{host, nullptr};
};

std::pair<QString, QColor> shown(const char* text, QColor colour)
{
    return {QString::fromLatin1(text), colour};
}

TEST(AlarmDialog, EditsAreFilledOnceWithShortNumbers)
{
    FakeHost host;
    host.records[1] = {32.0, 24.5, 60.125, 0.1};
    CAlarmDialog dialog(host, nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("KOV HOUSEKEEPING SETPOINTS"));
    ASSERT_TRUE(dialog.Create(QStringLiteral("KOV Spectrometer Housing Setpoints"), &host.records[1]));
    host.records[1].overTemp = 50.0;
    dialog.show();

    QStringList texts;
    for (const char* name : {"overTempEdit", "tempWarningEdit", "overRhEdit", "rhWarningEdit"})
        texts << dialog.findChild<QLineEdit*>(name)->text();
    EXPECT_EQ(texts, QStringList({"32", "24.5", "60.125", "0.1"}));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("KOV Spectrometer Housing Setpoints"));
}

// Edits are checked in the order 1020, 1024, 1025, 1021; the first bad one
// is named, gets the focus, and nothing is stored.
TEST(AlarmDialog, BadEditIsRefusedAtTheFirstFailure)
{
    const struct {
        std::map<const char*, const char*> typed;
        const char* pressed;
        const char* focused;
        const char* text;
    } cases[] = {
        {{{"overTempEdit", "150"}}, "setOverTempButton", "overTempEdit",
            "Over Temp at (°C): please enter a number between 0 and 100."},
        {{{"overRhEdit", "abc"}, {"tempWarningEdit", "x"}}, "setTempWarningButton", "overRhEdit",
            "Over Humidity at (%): please enter a number."},
        {{{"tempWarningEdit", "-0.01"}, {"rhWarningEdit", "nan"}}, "setOverRhButton", "rhWarningEdit",
            "Warning at (%): please enter a number."},
        {{{"tempWarningEdit", "inf"}}, "setOverTempButton", "tempWarningEdit",
            "Warning at (°C): please enter a number."},
        {{{"overTempEdit", "0x10"}}, "setOverTempButton", "overTempEdit",
            "Over Temp at (°C): please enter a number."},
        {{{"overRhEdit", ""}}, "setOverRhButton", "overRhEdit",
            "Over Humidity at (%): please enter a number."},
        {{{"rhWarningEdit", "40abc"}}, "setRhWarningButton", "rhWarningEdit",
            "Warning at (%): please enter a number."},
        {{{"tempWarningEdit", "100.001"}}, "setTempWarningButton", "tempWarningEdit",
            "Warning at (°C): please enter a number between 0 and 100."},
    };
    for (const auto& c : cases) {
        Window w;
        w.dialog.show();
        w.type(c.typed);
        w.press(c.pressed);
        EXPECT_EQ(w.host.boxes.texts, QStringList(QString::fromUtf8(c.text))) << c.text;
        EXPECT_EQ(w.dialog.focusWidget(), w.edit(c.focused)) << c.text;
        EXPECT_TRUE(sameRecord(w.record(), AlarmSetpoints{})) << c.text;
        EXPECT_EQ(w.host.stores, 0) << c.text;
    }
}

// Each "Set" stores its own edit only (0 and 100 included), and writes the
// file at once.
TEST(AlarmDialog, SetStoresExactlyItsOwnField)
{
    const struct {
        const char* pressed;
        double AlarmSetpoints::*field;
        double value;
    } cases[] = {
        {"setOverTempButton", &AlarmSetpoints::overTemp, 100.0},
        {"setTempWarningButton", &AlarmSetpoints::tempWarning, 0.0},
        {"setOverRhButton", &AlarmSetpoints::overRh, 42.5},
        {"setRhWarningButton", &AlarmSetpoints::rhWarning, 10.0},
    };
    for (const auto& c : cases) {
        Window w;
        w.type({{"overTempEdit", "100"}, {"tempWarningEdit", " -0 "}, {"overRhEdit", "42.5"},
            {"rhWarningEdit", "1e1"}});
        w.press(c.pressed);
        AlarmSetpoints expected;
        expected.*c.field = c.value;
        EXPECT_TRUE(sameRecord(w.record(), expected)) << c.pressed;
        EXPECT_FALSE(std::signbit(w.record().tempWarning)) << c.pressed;
        EXPECT_EQ(w.host.stores, 1) << c.pressed;
        EXPECT_TRUE(w.host.boxes.texts.isEmpty()) << c.pressed;
    }
}

TEST(AlarmDialog, EnterSetsTheEditItWasTypedIn)
{
    Window w;
    w.type({{"overTempEdit", "40"}, {"overRhEdit", "42"}});
    QTest::keyClick(w.edit("overRhEdit"), Qt::Key_Return);
    AlarmSetpoints expected;
    expected.overRh = 42.0;
    EXPECT_TRUE(sameRecord(w.record(), expected));
}

TEST(AlarmDialog, SetReachesTheConfigurationFileAtOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("kov.cfg")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("KOV-E1-TEMP_ALARM_SETPOINTS 20,30\nKOV-E1-RH_ALARM_SETPOINTS 35,60\n");
    file.close();

    Window w;
    KovInstrumentConfig config(dir.path().toStdString());
    SetpointStore store(config, w.host.records);
    config.openDefaultConfig();
    store.loadSetpoints(Housing::configNames[0], 0);
    w.host.store = [&store] { return store.saveSetpoints(); };
    w.type({{"overTempEdit", "40.5"}});
    w.press("setOverTempButton");

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
        QByteArray("KOV-E1-TEMP_ALARM_SETPOINTS        20.00,       40.50\n"
                   "KOV-E1-RH_ALARM_SETPOINTS        35.00,       60.00\n"));
    EXPECT_TRUE(w.host.boxes.texts.isEmpty());
}

TEST(AlarmDialog, FailedWriteIsReportedAndTheSetpointKept)
{
    Window w;
    w.host.store = [] { return false; };
    w.feed(31.0, 50.0);
    w.type({{"overTempEdit", "31"}});
    w.press("setOverTempButton");
    EXPECT_EQ(w.host.boxes.texts,
        QStringList(
            QStringLiteral("The setpoint could not be written to kov.cfg. See client.log for details")));
    EXPECT_EQ(w.record().overTemp, 31.0);
    EXPECT_EQ(w.status("tempStatus"), shown("OVER TEMP     ", red));
}

// Temperature levels 32 / 24, humidity levels 60 / 35.
TEST(AlarmDialog, ReadingsAreClassifiedAtOrAboveTheLevels)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double temp;
        double rh;
        std::pair<QString, QColor> tempStatus;
        std::pair<QString, QColor> rhStatus;
    } cases[] = {
        {32.0, 60.0, shown("OVER TEMP     ", red), shown("OVER HUMIDITY ", red)},
        {24.0, 35.0, shown("WARNING       ", yellow), shown("WARNING       ", yellow)},
        {23.99, -0.5, shown("OK            ", grey), shown("OK            ", grey)},
        {-1.0, -1.0, shown("INVALID DATA  ", violet), shown("INVALID DATA  ", violet)},
        {nan, nan, shown("INVALID DATA  ", violet), shown("INVALID DATA  ", violet)},
    };
    Window w;
    for (const auto& c : cases) {
        w.feed(c.temp, c.rh);
        EXPECT_EQ(w.status("tempStatus"), c.tempStatus) << c.temp;
        EXPECT_EQ(w.status("rhStatus"), c.rhStatus) << c.rh;
    }
}

// Readings arrive hidden or not; showing evaluates again against the record.
TEST(AlarmDialog, ShowingEvaluatesWithTheRecordAsItIsNow)
{
    Window w;
    w.dialog.OnHousekeeping(nullptr);
    EXPECT_EQ(w.edit("tempStatus")->text(), QString());
    w.dialog.show();
    EXPECT_EQ(w.status("tempStatus"), shown("INVALID DATA  ", violet));
    EXPECT_EQ(w.status("rhStatus"), shown("INVALID DATA  ", violet));
    EXPECT_EQ(
        w.label("currentTempValue")->text() + w.label("currentRhValue")->text(), QStringLiteral("TEMPRH"));
    // The style really paints the field in it (beside the text, inside the frame).
    const QImage painted = w.edit("rhStatus")->grab().toImage();
    EXPECT_EQ(QColor(painted.pixel(painted.width() - 5, 3)), violet);

    w.dialog.hide();
    w.feed(23.456, 100.0);
    EXPECT_EQ(w.label("currentTempValue")->text() + w.label("currentRhValue")->text(),
        QStringLiteral("       23.46      100.00"));
    w.record().overTemp = 23.0;
    w.dialog.show();
    EXPECT_EQ(w.status("tempStatus"), shown("OVER TEMP     ", red));
}

TEST(AlarmDialog, EscapeAndCloseOnlyHide)
{
    Window w;
    w.dialog.show();
    w.type({{"overTempEdit", "40"}});
    QTest::keyClick(&w.dialog, Qt::Key_Escape);
    EXPECT_FALSE(w.dialog.isVisible());
    w.dialog.show();
    EXPECT_TRUE(w.dialog.close());
    w.dialog.show();
    EXPECT_TRUE(w.dialog.isVisible());
    EXPECT_EQ(w.edit("overTempEdit")->text(), QStringLiteral("40"));
    EXPECT_TRUE(sameRecord(w.record(), AlarmSetpoints{}));
}

TEST(AlarmDialog, ControlsHaveDistinctAccessibleNames)
{
    Window w;
    QStringList names;
    for (const char* name :
        {"overTempEdit", "tempWarningEdit", "overRhEdit", "rhWarningEdit", "tempStatus", "rhStatus",
            "setOverTempButton", "setTempWarningButton", "setOverRhButton", "setRhWarningButton"}) {
        QObject* control = w.dialog.findChild<QWidget*>(name);
        names << QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    }
    EXPECT_EQ(names,
        QStringList({"Over Temp at  (°C):", "Warning at (°C):", "Over Humidity at  (%):", "Warning at (%):",
            "Temperature alarm status", "Humidity alarm status", "Set over temperature",
            "Set temperature warning", "Set over humidity", "Set humidity warning"}));
}

} // namespace
