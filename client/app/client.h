#pragma once

#include "alarm_centre.h"
#include "alarm_setpoints.h"
#include "auto_reconnect.h"
#include "client_events.h"
#include "client_host.h"
#include "client_timing.h"
#include "command_words.h"
#include "consumer.h"
#include "consumer_host.h"
#include "handoff.h"
#include "history_records.h"
#include "housing.h"
#include "kov_instrument_config.h"
#include "kovevtconsumer_i.h"
#include "kovinterface_client.h"
#include "message_boxes.h"
#include "remote_call_worker.h"
#include "setpoint_store.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CKovClientDialog;
class HistoryRecorder;

// The root of the client: owns every long-lived part, connects to the
// instrument before any window is shown, reconnects and drops the link, and
// at the end writes the setpoints back to "kov.cfg".
//
// Threads: the GUI thread runs everything here but the remote calls made
// once the window is up, which run on the remote-call worker one at a time;
// the ORB's threads reach the window only through the synchronous hand-off
// (events and the loss of the link).
class CKovClientApp : public QObject, public ConsumerHost, public ClientHost {
    Q_OBJECT

public:
    // `words`: the command line after the program's name (all for the ORB);
    // `directory`: where "kov.cfg" lives; `boxes`: the message boxes (the
    // real ones when null).
    explicit CKovClientApp(CommandWords words, std::string directory = ConfigFile::startDirectory(),
        std::unique_ptr<MessageBoxes> boxes = nullptr);
    ~CKovClientApp() override;

    CKovClientApp(const CKovClientApp&) = delete;
    CKovClientApp& operator=(const CKovClientApp&) = delete;

    // Reads the setpoints, connects, shows the main window. 1 keeps the
    // program running; 0 ends it (the failure has been shown).
    int InitInstance();
    int Connect();

    // The alarms; null until InitInstance has read the settings.
    AlarmCentre* alarms() const { return alarms_.get(); }
    // The main window; null until InitInstance has connected.
    CKovClientDialog* mainDialog() const { return dialog_.get(); }
    // The history recorder; null until InitInstance has read the settings.
    HistoryRecorder* history() const { return history_.get(); }

    // ClientHost (GUI thread)
    AlarmSetpoints& setpoints(int housing) override;
    LinkState& linkState() override;
    ClientEvents& events() override { return events_; }
    AlarmCentre& alarmCentre() override { return *alarms_; }
    MessageBoxes& messageBoxes() override { return *boxes_; }
    void Reconnect(std::function<void()> done) override;
    void Disconnect() override;
    int consumerStatus() const override { return consumer_.status(); }
    int consumerDone() const override { return consumer_.done(); }
    bool storeSetpoints() override;
    // The trends window and the journal read the history file through this.
    HistorySourceFactory historySourceFactory() override;
    std::string instrument() const override { return instrument_; }
    int reconnectSecondsLeft() const override;

    // ConsumerHost (ORB threads)
    bool IsWindowUp() const override { return handoff_.isReceiverUp(); }
    void HandOff(const CORBA::TypeCode* type, const void* value) override;
    // The event channel dropped the client. From an ORB thread it runs on
    // the GUI thread through the hand-off and returns when done there.
    void DropLink() override;

signals:
    // The main window is gone: the program's message loop should end.
    void finished();

private:
    void dropLinkNow(const std::string& reason);
    void restoreShelves();
    void startHistory();
    void followRoomAlarms();
    void emitLink(History::LinkEvent kind, std::string reason = {});
    void pollTargetOnTime();
    void startReconnect();
    bool targetAnswers();
    void finishReconnect(int target, int events);
    void reconnectFailed(const char* logText);
    void reconnected();
    void closeReception();
    void shutDown();
    void report(const char* logText, const char* boxText);

    // Members in the order of construction; destroyed in reverse.
    KOVInterface_Client target_;
    // The event bus and the alarms outlive the window that shows them.
    ClientEvents events_;
    std::unique_ptr<AlarmCentre> alarms_;
    std::unique_ptr<CKovClientDialog> dialog_;
    KOVEventConsumer_i servant_;
    Consumer consumer_;
    KovInstrumentConfig settings_;
    AlarmSetpoints setpoints_[Housing::count];
    SetpointStore store_;
    const CommandWords words_;
    std::string instrument_ = "KOV"; // KOV-INSTRUMENT, read with the settings

    std::unique_ptr<MessageBoxes> boxes_;
    std::unique_ptr<HistoryRecorder> history_;
    Handoff handoff_;
    RemoteCallWorker worker_;
    ClientTiming timing_;
    std::unique_ptr<AutoReconnect> autoReconnect_;
    // Told when the reconnect under way ends (the operator's presses).
    std::vector<std::function<void()>> reconnectDone_;
    bool operatorAsked_ = false;
    bool exiting_ = false;
    bool reconnecting_ = false;
    bool subscribed_ = false;
    std::atomic<bool> receptionClosed_{false};
};
