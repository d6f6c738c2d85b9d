#include "archive_recorder.h"

#include "alarm_service.h"
#include "payload_decoder.h"

#include <chrono>
#include <optional>

namespace Recorder {

namespace {

std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t utcMs()
{
    return PayloadDecoder::utcNowMs();
}

} // namespace

ArchiveRecorder::ArchiveRecorder(CommandWords words, ArchiveWriter& writer, Log log)
    : words_(std::move(words)),
      writer_(writer),
      log_(std::move(log)),
      servant_(this),
      backoff_(1, 60, steadyMs, [this] { return std::uniform_real_distribution<double>(0, 1)(random_); })
{}

ArchiveRecorder::~ArchiveRecorder()
{
    stop();
}

bool ArchiveRecorder::start()
{
    receiving_ = true;
    CommandWords::Argv argv(words_.words());
    const bool subscribed = consumer_.init(argv.argc(), argv.argv(), &servant_) == 0;
    if (CORBA::is_nil(consumer_.orb())) {
        log_("cannot set up the ORB with the words given");
        return false;
    }
    if (consumer_.run() == -1) {
        log_("cannot start the ORB thread");
        return false;
    }
    orbRunning_ = true;
    if (subscribed) {
        linked_ = true;
        everLinked_ = true;
        lastEventMs_ = steadyMs();
        linkChange(History::LinkEvent::Connected, {});
        log_("subscribed to the instrument's notifier");
    } else {
        log_("cannot subscribe to the instrument's notifier yet; trying again");
        if (alarms_)
            alarms_->linkUp(false);
    }
    worker_.start([this] { poll(); });
    return true;
}

void ArchiveRecorder::stop()
{
    worker_.stop();
    receiving_ = false;
    if (!orbRunning_)
        return;
    // The archive shows the gap until the next recorder starts.
    if (linked_.exchange(false))
        linkChange(History::LinkEvent::Lost, "the recorder stopped");
    orbRunning_ = false;
    consumer_.close(1);
}

void ArchiveRecorder::linkChange(History::LinkEvent kind, const std::string& reason)
{
    // A stop is no loss of the instrument: the alarm service is not told.
    if (alarms_ && receiving_)
        alarms_->linkUp(kind != History::LinkEvent::Lost);
    History::LinkChange change{kind, reason, 0};
    {
        std::lock_guard<std::mutex> lock(keysMutex_);
        keys_.key(change, utcMs());
    }
    writer_.push(History::Event(std::move(change)));
}

void ArchiveRecorder::setpointChange(History::SetpointChange change)
{
    {
        std::lock_guard<std::mutex> lock(keysMutex_);
        keys_.key(change, utcMs());
    }
    writer_.push(History::Event(change));
}

void ArchiveRecorder::lose(const std::string& reason)
{
    if (!linked_.exchange(false))
        return;
    linkChange(History::LinkEvent::Lost, reason);
    log_("lost the instrument: " + reason);
}

void ArchiveRecorder::HandOff(const CORBA::TypeCode* type, const void* value)
{
    lastEventMs_ = steadyMs();
    const std::int64_t now = utcMs();
    std::optional<PayloadDecoder::Record> record = PayloadDecoder::decode(type, value, now);
    if (!record || record->kind == PayloadDecoder::Kind::InstrumentEvent)
        return; // instrument events are not kept
    std::unique_lock<std::mutex> lock(keysMutex_);
    if (record->kind == PayloadDecoder::Kind::Reading) {
        if (!keys_.key(record->reading, now))
            return;
        lock.unlock();
        writer_.push(record->reading);
        if (alarms_) {
            const History::Reading& r = record->reading;
            alarms_->reading(r.housing, r.temperature, r.humidity, r.water);
        }
        return;
    }
    keys_.key(record->message, now);
    lock.unlock();
    writer_.push(History::Event(std::move(record->message)));
}

void ArchiveRecorder::DropLink()
{
    lose("the event channel dropped the recorder");
}

// Worker thread, once a second.
void ArchiveRecorder::poll()
{
    if (!receiving_)
        return;
    if (!linked_) {
        // The first try a backoff's wait after the loss.
        if (!backoff_.scheduled())
            backoff_.schedule();
        else if (backoff_.msUntilTry() == 0)
            subscribe();
        return;
    }
    if (steadyMs() - lastEventMs_ >= silenceMs && steadyMs() - lastCheckMs_ >= silenceMs)
        checkInstrument();
}

void ArchiveRecorder::subscribe()
{
    CORBA::ORB_var orb = CORBA::ORB::_duplicate(consumer_.orb());
    if (target_.init(orb.in()) == -1 || consumer_.resubscribe() == -1) {
        backoff_.schedule();
        const FailureLog::Verdict verdict = failures_.failed("subscribe", steadyMs());
        if (verdict.write)
            log_("cannot subscribe to the instrument's notifier; next try in " +
                std::to_string(backoff_.secondsUntilTry()) + " s");
        if (verdict.summarised > 0)
            log_(std::to_string(verdict.summarised) + " more tries to subscribe failed");
        return;
    }
    backoff_.reset();
    failures_.succeeded();
    lastEventMs_ = steadyMs();
    linked_ = true;
    const bool again = everLinked_.exchange(true);
    linkChange(again ? History::LinkEvent::Reconnected : History::LinkEvent::Connected, {});
    log_(again ? "subscribed again to the instrument's notifier" : "subscribed to the instrument's notifier");
}

// After a silence: is the instrument still there? One call, bounded by the
// call limit.
void ArchiveRecorder::checkInstrument()
{
    lastCheckMs_ = steadyMs();
    CORBA::ORB_var orb = CORBA::ORB::_duplicate(consumer_.orb());
    try {
        if (CORBA::is_nil(target_.system()) && target_.init(orb.in()) == -1) {
            lose("the instrument is not named any more");
            return;
        }
        target_.system()->elapsedTime();
    } catch (const CORBA::Exception& ex) {
        lose(std::string("the instrument did not answer: ") + ex._name());
    }
}

} // namespace Recorder
