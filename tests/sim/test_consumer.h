#ifndef KOV_TEST_SIM_TEST_CONSUMER_H
#define KOV_TEST_SIM_TEST_CONSUMER_H

#include "received_event.h"

#include <event_comm.hh>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A consumer built from the project's IDL, active in the test ORB's POA.
// It decodes and records every pushed event, records "disconnect" calls, and
// can be told to hang inside "push" to stand for a stalled client.
class TestConsumer : public POA_Event_Comm::Consumer {
public:
    using Duration = std::chrono::milliseconds;

    TestConsumer();
    // Releases a hang, deactivates, and waits (bounded) until no call runs.
    ~TestConsumer() override;

    // A reference to this consumer (owned by the caller).
    Event_Comm::Consumer_ptr reference();

    // Deactivates now: later pushes fail with OBJECT_NOT_EXIST.
    void deactivate();

    // From now on each "push" waits up to `limit` (or until release()).
    void hang(Duration limit);
    void release();

    void push(const Event_Comm::Event& ev) override;
    void disconnect(const char* reason) override;

    bool waitForEvents(std::size_t count, Duration limit);
    bool waitForDisconnects(std::size_t count, Duration limit);

    std::vector<ReceivedEvent> events() const;
    std::vector<std::string> disconnects() const;
    // How many events had arrived when the first "disconnect" came.
    std::size_t eventsBeforeDisconnect() const;

private:
    static ReceivedEvent decode(const Event_Comm::Event& ev);
    bool waitUntil(Duration limit, const std::function<bool()>& done);

    PortableServer::ObjectId_var id_;
    bool active_ = false;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ReceivedEvent> events_;
    std::vector<std::string> disconnects_;
    std::size_t eventsBeforeDisconnect_ = 0;
    bool hanging_ = false;
    Duration hangLimit_{0};
    int callsRunning_ = 0;
};

#endif
