#pragma once

#include "alarm_engine.h"
#include "alarm_room.h"
#include "alarm_setpoints.h"
#include "archive_address.h"
#include "failure_log.h"
#include "housing.h"
#include "reconnect_backoff.h"

#include <QObject>
#include <QThread>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

class AlarmObserver;
class QTimer;

namespace Recorder {

// The recorder's alarm engine, and the instrument's alarm service for the
// control room when this recorder holds the service lock of the instrument
// in the archive. It lives on a thread of its own with its own connection.
// Every recorder of the instrument runs the engine on what it receives; the
// one holding the lock (tried at start and every 5 s) writes: the state of
// every point (all at the take-over, then each change), every journal
// record, a heartbeat every 10 s, and applies the actions queued through
// kov_alarm_action in the order they came, at once on their notification
// and on its 1 s tick. A standby writes nothing. At a take-over the shelves
// and acknowledgements in the archive are taken over too. A lost connection
// loses the lock as well: the service becomes a standby, connects again
// with the reconnect backoff and tries the lock again.
class AlarmService : public QObject {
public:
    using Setpoints = std::array<AlarmSetpoints, Housing::count>;

    struct Options {
        History::ArchiveAddress address;
        std::string instrument;
        // "kovrecorder on HOST, process PID": who the consoles see as the service.
        std::string service;
        // Signs what the engine does of its own (raise, clear, a shelf's end).
        std::string user;
        AlarmSettings settings;
        Setpoints setpoints{};
        AlarmObserver* observer = nullptr;           // may be null; the service's thread
        std::function<void(const std::string&)> log; // any thread, one at a time
        std::chrono::milliseconds tickPeriod{1000};
        // Readings are gathered this long and judged together: one wake of
        // the service's thread for many readings, as the writer's.
        std::chrono::milliseconds gatherPeriod{50};
        std::chrono::milliseconds lockPeriod{5000};
        std::chrono::milliseconds heartbeatPeriod{10000};
    };

    explicit AlarmService(Options options);
    ~AlarmService() override;

    AlarmService(const AlarmService&) = delete;
    AlarmService& operator=(const AlarmService&) = delete;

    void start();
    // Ends the thread (the connection, and with it the lock, goes), waiting
    // at most `limit`; false when it did not end in time.
    bool stop(std::chrono::milliseconds limit);

    // Readings the thread has not judged yet, at most: beyond that (a
    // thread held up by a server gone silent) the newest are not taken.
    static constexpr std::size_t mostGathered = 100000;

    // Any thread: queued to the service's thread.
    void reading(int housing, double celsius, double percent, bool water);
    void linkUp(bool up);
    void setSettings(const AlarmSettings& settings, const Setpoints& setpoints);

    // Whether this recorder is the instrument's service now.
    bool active() const { return active_; }

private:
    void begin();
    void finish();
    void judgeGathered();
    void tick();
    void connectNow();
    void tryTakeOver();
    void takeOver();
    void restore(const std::vector<AlarmRoom::State>& rows);
    void beat();
    void applyActions();
    std::string apply(const AlarmRoom::Action& action);
    // Writes what changed (everything with `all`) and the actions done;
    // false when the archive went away meanwhile.
    bool flush(const std::vector<AlarmRoom::Done>& done = {}, bool all = false);
    void lost(const std::string& why);
    void recorded(const AlarmRecord& record);
    AlarmRoom::State stateOf(AlarmPoint point) const;
    void say(const std::string& text) const;
    std::int64_t steadyMs() const;

    // What the last acknowledgement or shelf of a point said.
    struct Acted {
        std::string by;
        std::int64_t ms = 0;
        std::string comment;
    };

    struct Sample {
        int housing;
        double celsius;
        double percent;
        bool water;
    };

    Options options_;
    QThread thread_;
    std::mutex gatheredMutex_;
    std::vector<Sample> gathered_; // under gatheredMutex_
    // Everything below: the service's thread only.
    AlarmEngine engine_;
    AlarmRoom room_;
    Setpoints setpoints_;
    QTimer* timer_ = nullptr;
    QTimer* gather_ = nullptr;
    ReconnectBackoff backoff_;
    FailureLog failures_;
    std::mt19937 random_{std::random_device{}()};
    bool connected_ = false;
    bool restoring_ = false;
    bool saidStandby_ = false;
    bool dirty_ = true; // something a state row shows may have changed
    std::array<std::array<AlarmEngine::Level, 2>, Housing::count> levels_{};
    std::int64_t lastLockTryMs_ = 0;
    std::int64_t lastBeatMs_ = 0;
    std::int64_t startedMs_ = 0; // UTC, the take-over
    std::vector<AlarmRecord> unwritten_;
    std::array<std::optional<AlarmRoom::State>, AlarmPoint::count> written_;
    std::array<Acted, AlarmPoint::count> acted_;
    std::atomic<bool> active_{false};
};

} // namespace Recorder
