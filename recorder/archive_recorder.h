#pragma once

#include "archive_writer.h"
#include "command_words.h"
#include "consumer.h"
#include "consumer_host.h"
#include "failure_log.h"
#include "kovevtconsumer_i.h"
#include "kovinterface_client.h"
#include "reconnect_backoff.h"
#include "record_keys.h"
#include "remote_call_worker.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>

namespace Recorder {

class AlarmService;

// Subscribes to the instrument's notifier as the client does (the first
// word is the criteria, every word goes to the ORB) and hands every
// reading, message and link change to the archive writer. The ORB thread
// only decodes and copies. Once a second a worker thread subscribes again
// when the link is down and its backoff is due; the instrument itself is
// asked only after ten seconds without an event, whether it is still there.
class ArchiveRecorder : public ConsumerHost {
public:
    static constexpr std::int64_t silenceMs = 10000;

    using Log = std::function<void(const std::string&)>;
    ArchiveRecorder(CommandWords words, ArchiveWriter& writer, Log log);
    ~ArchiveRecorder() override;

    ArchiveRecorder(const ArchiveRecorder&) = delete;
    ArchiveRecorder& operator=(const ArchiveRecorder&) = delete;

    // Sets the ORB up and subscribes (or plans the next try). False when
    // the ORB cannot be set up at all (bad ORB options).
    bool start();
    // Ends reception: unsubscribes and stops the ORB, each call bounded by
    // the call limit.
    void stop();

    bool linked() const { return linked_; }

    // Every reading and link change received goes to `service` too (before
    // start(); null: none).
    void setAlarmService(AlarmService* service) { alarms_ = service; }
    // A setpoint of the recorder's configuration, keyed and into the archive.
    void setpointChange(History::SetpointChange change);

    // ConsumerHost (ORB threads)
    bool IsWindowUp() const override { return receiving_; }
    void HandOff(const CORBA::TypeCode* type, const void* value) override;
    void DropLink() override;

private:
    void poll();
    void subscribe();
    void checkInstrument();
    void linkChange(History::LinkEvent kind, const std::string& reason);
    void lose(const std::string& reason);

    const CommandWords words_;
    ArchiveWriter& writer_;
    AlarmService* alarms_ = nullptr;
    Log log_;
    KOVInterface_Client target_;
    KOVEventConsumer_i servant_;
    Consumer consumer_;
    RemoteCallWorker worker_;
    std::mutex keysMutex_;
    RecordKeys keys_;
    std::mt19937 random_{std::random_device{}()};
    ReconnectBackoff backoff_; // worker thread only
    FailureLog failures_;      // worker thread only
    std::atomic<bool> receiving_{false};
    std::atomic<bool> linked_{false};
    std::atomic<bool> everLinked_{false};
    std::atomic<std::int64_t> lastEventMs_{0};
    std::int64_t lastCheckMs_ = 0; // worker thread only
    bool orbRunning_ = false;
};

} // namespace Recorder
