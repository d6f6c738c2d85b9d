#pragma once

#include <functional>
#include <memory>
#include <string>

struct AlarmSetpoints;
class AlarmCentre;
class ClientEvents;
class LinkState;
class MessageBoxes;
namespace History {
class HistorySource;
}

// Makes a reader of the history; called on the thread that will use it.
using HistorySourceFactory = std::function<std::unique_ptr<History::HistorySource>()>;

// What the dialogs need of the application object: the setpoints of both
// housings, the link state, the event bus and the alarms, the message boxes, the link operations and the
// progress of event reception. Every call is made on the GUI thread.
class ClientHost {
public:
    virtual ~ClientHost() = default;

    // By housing: 0 the electronics housing, 1 the spectrograph housing.
    virtual AlarmSetpoints& setpoints(int housing) = 0;
    virtual LinkState& linkState() = 0;
    // What every event carried, typed, and the alarms latched from it: the
    // application's, which the windows listen to and show.
    virtual ClientEvents& events() = 0;
    virtual AlarmCentre& alarmCentre() = 0;
    virtual MessageBoxes& messageBoxes() = 0;

    // Starts a reconnect when the link is down and calls `done` on the GUI
    // thread when the attempt is over (its failure already reported); when
    // the link is up, calls `done` at once and changes nothing.
    virtual void Reconnect(std::function<void()> done) = 0;

    // Ends the connection when it is up; the progress dialog watches the end
    // through consumerDone and the link state.
    virtual void Disconnect() = 0;

    // Event reception: its set-up status (Consumer::Status) and whether its
    // ORB loop has ended (1) or still runs (0).
    virtual int consumerStatus() const = 0;
    virtual int consumerDone() const = 0;

    // Writes the setpoints of both housings to the configuration file now.
    // False when the file could not be written; the reason is in the log.
    virtual bool storeSetpoints() = 0;

    // How the trends and the journal read the history; empty when there is
    // none, and the windows then show the live data only.
    virtual HistorySourceFactory historySourceFactory() { return {}; }
    // The instrument's name in the shared archive (KOV-INSTRUMENT, else the
    // criteria): whose rows the windows read there and the report names.
    virtual std::string instrument() const { return "KOV"; }
    // Seconds until the next automatic reconnect; 0 when none is planned.
    virtual int reconnectSecondsLeft() const { return 0; }
};
