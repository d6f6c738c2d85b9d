// The typed path: what OnEvent and the setpoints windows emit on ClientEvents.
#include "alarmdialog.h"
#include "client_events.h"
#include "clientdialog.h"
#include "fake_host.h"

#include <kov.hh>

#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

TEST(ClientEvents, EachAcceptedEventIsEmittedTyped)
{
    FakeHost host;
    CKovClientDialog dialog(host);
    dialog.Create();
    std::vector<History::Reading> readings;
    std::vector<History::MessageRecord> messages;
    std::vector<History::SetpointChange> changes;
    QObject::connect(&dialog.events(), &ClientEvents::reading, [&](const auto& r) { readings.push_back(r); });
    QObject::connect(&dialog.events(), &ClientEvents::message, [&](const auto& m) { messages.push_back(m); });
    QObject::connect(
        &dialog.events(), &ClientEvents::setpointChanged, [&](const auto& c) { changes.push_back(c); });

    // A housing number the enum cannot hold never gets this far: the ORB
    // refuses it on the wire.
    KOV::HousekeepingData data{};
    data.id = SPECTROGRAPH_HOUSING;
    data.temp = std::numeric_limits<double>::infinity();
    data.rh = 41.5;
    data.wateralarm = true;
    data.readingTime = 1234;
    dialog.OnEvent(KOV::_tc_HousekeepingData, &data);
    ASSERT_EQ(readings.size(), 1u);
    EXPECT_EQ(readings[0].housing, 1);
    EXPECT_TRUE(std::isnan(readings[0].temperature));
    EXPECT_EQ(readings[0].humidity, 41.5);
    EXPECT_TRUE(readings[0].water);
    EXPECT_EQ(readings[0].readingTime, 1234);
    EXPECT_GT(readings[0].arrivalMs, 1'600'000'000'000);

    dialog.OnEvent(CORBA::_tc_string, "a plain text");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "a plain text");
    EXPECT_EQ(messages[0].priority, static_cast<int>(MESSAGE));

    // A Set that changes the value is a change; one that keeps it is not.
    CAlarmDialog* setpoints = dialog.alarmDialog(1);
    for (const char* text : {"30.5", "30.5"}) {
        setpoints->findChild<QLineEdit*>(QStringLiteral("overTempEdit"))->setText(QString::fromLatin1(text));
        setpoints->findChild<QPushButton*>(QStringLiteral("setOverTempButton"))->click();
    }
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].housing, 1);
    EXPECT_EQ(changes[0].which, History::Setpoint::OverTemp);
    EXPECT_EQ(changes[0].oldValue, 32.0);
    EXPECT_EQ(changes[0].newValue, 30.5);
}
