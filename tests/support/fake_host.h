#pragma once

#include "alarm_centre.h"
#include "alarm_setpoints.h"
#include "client_events.h"
#include "client_host.h"
#include "link_state.h"
#include "message_boxes.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Message boxes that record their texts instead of waiting for a press.
class RecordedBoxes : public MessageBoxes {
public:
    void warning(QWidget*, const QString& text) override { texts << text; }
    QStringList texts;
};

// The application as the dialogs see it, with every answer set by the test.
class FakeHost : public ClientHost {
public:
    AlarmSetpoints& setpoints(int housing) override { return records[housing == 1 ? 1 : 0]; }
    LinkState& linkState() override { return link; }
    MessageBoxes& messageBoxes() override { return boxes; }
    ClientEvents& events() override { return bus; }
    AlarmCentre& alarmCentre() override
    {
        if (!alarms)
            alarms = std::make_unique<AlarmCentre>(bus, alarmSettings,
                [this](int housing) -> const AlarmSetpoints& { return records[housing]; });
        return *alarms;
    }

    void Reconnect(std::function<void()> done) override
    {
        ++reconnects;
        if (onReconnect)
            onReconnect();
        done();
    }
    void Disconnect() override { ++disconnects; }
    int consumerStatus() const override { return status; }
    int consumerDone() const override { return done; }
    bool storeSetpoints() override
    {
        ++stores;
        return store ? store() : true;
    }

    HistorySourceFactory historySourceFactory() override { return history; }

    ClientEvents bus;
    // The defaults, but readings never go stale.
    AlarmSettings alarmSettings{
        AlarmSettings::defaultDeadbandCelsius, AlarmSettings::defaultDeadbandPercent, 0, 0};
    std::unique_ptr<AlarmCentre> alarms;
    AlarmSetpoints records[2];
    HistorySourceFactory history;
    LinkState link;
    RecordedBoxes boxes;
    std::function<void()> onReconnect;
    std::function<bool()> store;
    int status = 2; // Consumer::COMPLETE
    int done = 0;
    int reconnects = 0;
    int disconnects = 0;
    int stores = 0;
};
