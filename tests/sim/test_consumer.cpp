#include "test_consumer.h"

#include "message_codec.h"
#include "test_orb.h"

#include <thread>

TestConsumer::TestConsumer()
{
    id_ = TestOrb::poa()->activate_object(this);
    active_ = true;
}

TestConsumer::~TestConsumer()
{
    release();
    deactivate();
    // The POA lets go of the servant once its last call has returned.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (_refcount_value() > 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // The count is the ORB's own; the lock orders the last call's writes
    // before the members are destroyed.
    std::lock_guard<std::mutex> lastCall(mutex_);
}

Event_Comm::Consumer_ptr TestConsumer::reference()
{
    CORBA::Object_var object = TestOrb::poa()->id_to_reference(id_.in());
    return Event_Comm::Consumer::_narrow(object.in());
}

void TestConsumer::deactivate()
{
    if (!active_)
        return;
    active_ = false;
    TestOrb::poa()->deactivate_object(id_.in());
}

void TestConsumer::hang(Duration limit)
{
    std::lock_guard<std::mutex> lock(mutex_);
    hanging_ = true;
    hangLimit_ = limit;
}

void TestConsumer::release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    hanging_ = false;
    changed_.notify_all();
}

void TestConsumer::push(const Event_Comm::Event& ev)
{
    ReceivedEvent received;
    try {
        received = decode(ev);
    } catch (const CORBA::MARSHAL&) {
        // A value this consumer cannot read, such as an unknown housing:
        // kept as an event of its tag only.
        received = ReceivedEvent();
        received.tag = static_cast<const char*>(ev.tag_);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (hanging_)
        changed_.wait_for(lock, hangLimit_, [this] { return !hanging_; });
    events_.push_back(std::move(received));
    changed_.notify_all();
}

void TestConsumer::disconnect(const char* reason)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (disconnects_.empty())
        eventsBeforeDisconnect_ = events_.size();
    disconnects_.push_back(reason);
    changed_.notify_all();
}

ReceivedEvent TestConsumer::decode(const Event_Comm::Event& ev)
{
    ReceivedEvent r;
    r.tag = static_cast<const char*>(ev.tag_);
    CORBA::TypeCode_var type = ev.value_.type();
    if (type->kind() == CORBA::tk_string) {
        const char* text = nullptr;
        if (ev.value_ >>= text)
            r.text = text;
        r.kind = ReceivedEvent::Kind::String;
        return r;
    }
    if (type->kind() == CORBA::tk_struct)
        r.repositoryId = type->id();
    const KOV::HousekeepingData* reading = nullptr;
    const KOV::Event* record = nullptr;
    if (type->equal(KOV::_tc_HousekeepingData) && (ev.value_ >>= reading)) {
        r.kind = ReceivedEvent::Kind::Reading;
        r.reading = *reading;
    } else if (type->equal(KOV::_tc_Message)) {
        KOV::Message message;
        MessageCodec::decode(ev.value_, message);
        r.kind = ReceivedEvent::Kind::Message;
        r.text = static_cast<const char*>(message.text);
        r.priority = message.priority;
        r.time = message.arrival_time;
    } else if (type->equal(KOV::_tc_Event) && (ev.value_ >>= record)) {
        r.kind = ReceivedEvent::Kind::Event;
        r.id = record->id;
        r.text = static_cast<const char*>(record->name);
        r.time = record->arrival_time;
    }
    return r;
}

bool TestConsumer::waitUntil(Duration limit, const std::function<bool()>& done)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, done);
}

bool TestConsumer::waitForEvents(std::size_t count, Duration limit)
{
    return waitUntil(limit, [this, count] { return events_.size() >= count; });
}

bool TestConsumer::waitForDisconnects(std::size_t count, Duration limit)
{
    return waitUntil(limit, [this, count] { return disconnects_.size() >= count; });
}

std::vector<ReceivedEvent> TestConsumer::events() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<std::string> TestConsumer::disconnects() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return disconnects_;
}

std::size_t TestConsumer::eventsBeforeDisconnect() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return eventsBeforeDisconnect_;
}
