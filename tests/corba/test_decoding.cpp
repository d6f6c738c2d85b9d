// Decoding of pushed events through a real ORB: a second process pushes
// over loopback IIOP to the servant, whose hand-off reaches a receiver on
// the GUI thread (this test's main thread, running the Qt event loop).
#include "child_process.h"
#include "console_echo.h"
#include "gui_thread.h"
#include "handoff.h"
#include "handoff_host.h"
#include "kovevtconsumer_i.h"
#include "log_capture.h"
#include "pushed_events.h"
#include "spin_until.h"
#include "test_orb.h"
#include "trace.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <gtest/gtest.h>
#include <omniORB4/cdrStream.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Trace lines of the kov.trace category, from any thread.
std::mutex traceMutex;
std::vector<std::string> traceLines;
QtMessageHandler previousHandler = nullptr;

void collectTrace(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (context.category != nullptr && std::string(context.category) == "kov.trace") {
        std::lock_guard<std::mutex> lock(traceMutex);
        traceLines.push_back(text.toStdString());
        return;
    }
    if (previousHandler != nullptr)
        previousHandler(type, context, text);
}

// The servant, watched: how many pushes have started and returned, and on
// which thread they ran.
class ObservedConsumer : public KOVEventConsumer_i {
public:
    using KOVEventConsumer_i::KOVEventConsumer_i;

    void push(const Event_Comm::Event& ev) override
    {
        ++started;
        if (onGuiThread())
            ranOnGuiThread = true;
        KOVEventConsumer_i::push(ev);
        ++returned;
    }

    std::atomic<int> started{0};
    std::atomic<int> returned{0};
    std::atomic<bool> ranOnGuiThread{false};
};

// What the receiver saw of one hand-off; copies, since the pointers die
// with the call.
struct Seen {
    enum Kind {
        EVENT,
        READING,
        MESSAGE,
        TEXT,
        OTHER
    } kind = OTHER;
    KOV::Event event{};
    KOV::HousekeepingData reading{};
    KOV::Message message{};
    std::string text;
    bool onGuiThread = false;
    int pushesReturnedAtEnd = -1;
};

// Stands in for the main dialog: tells the kinds apart by TypeCode
// equality, in the dialog's order, and throws on the "failing" event.
class GuiReceiver : public HandoffReceiver {
public:
    explicit GuiReceiver(const ObservedConsumer*& servant) : servant_(servant) {}

    void OnEvent(const CORBA::TypeCode* type, const void* value) override
    {
        Seen seen;
        seen.onGuiThread = onGuiThread();
        CORBA::TypeCode_ptr tc = const_cast<CORBA::TypeCode*>(type);
        if (KOV::_tc_Event->equal(tc)) {
            seen.kind = Seen::EVENT;
            seen.event = *static_cast<const KOV::Event*>(value);
        } else if (KOV::_tc_HousekeepingData->equal(tc)) {
            seen.kind = Seen::READING;
            seen.reading = *static_cast<const KOV::HousekeepingData*>(value);
        } else if (KOV::_tc_Message->equal(tc)) {
            seen.kind = Seen::MESSAGE;
            seen.message = *static_cast<const KOV::Message*>(value);
        } else if (CORBA::_tc_string->equal(tc)) {
            seen.kind = Seen::TEXT;
            seen.text = static_cast<const char*>(value);
        }
        // Long enough for a push that did not wait to have returned by now.
        std::this_thread::sleep_for(20ms);
        seen.pushesReturnedAtEnd = servant_->returned;
        records.push_back(seen);
        if (seen.kind == Seen::EVENT && seen.event.id == PushedEvents::failingEvent().id)
            fail();
    }

    std::vector<Seen> records; // GUI thread only
    std::function<void()> fail = [] { throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO); };

private:
    const ObservedConsumer*& servant_;
};

struct PushRun {
    bool finished = false;
    int exitCode = -1;
    std::string output;
};

class Decoding : public testing::Test {
protected:
    void SetUp() override
    {
        servant_ = std::make_unique<ObservedConsumer>(&host_);
        observed_ = servant_.get();
        id_ = TestOrb::poa()->activate_object(servant_.get());
        CORBA::Object_var ref = TestOrb::poa()->id_to_reference(id_.in());
        ior_ = CORBA::String_var(TestOrb::orb()->object_to_string(ref.in())).in();
        handoff_.setReceiverUp(true);
    }

    void TearDown() override
    {
        TestOrb::poa()->deactivate_object(id_.in());
        // Etherealisation happens once no call is active; give it the loop.
        spinUntil([&] { return servant_->_refcount_value() == 1; }, 5s);
        handoff_.close();
    }

    // Runs kov_push_client with the names while the GUI loop turns; at most
    // 60 s, then the process is ended. Not QProcess: it starts the child in
    // this process's address space (vfork), which ThreadSanitizer does not
    // survive.
    PushRun push(const std::vector<std::string>& names)
    {
        std::vector<std::string> args{ior_};
        args.insert(args.end(), names.begin(), names.end());
        ChildProcess process(KOV_PUSH_CLIENT, args);
        PushRun run;
        run.finished = spinUntil([&] { return !process.running(); }, 60s);
        if (!run.finished)
            return run;
        run.exitCode = process.waitForExit(5s).value_or(-1);
        run.output = process.text(ChildProcess::Stream::Output);
        std::cerr << process.text(ChildProcess::Stream::Error);
        return run;
    }

    PushRun pushCapturingEcho(const std::vector<std::string>& names, std::string& echoed)
    {
        testing::internal::CaptureStdout();
        PushRun run = push(names);
        echoed = testing::internal::GetCapturedStdout();
        return run;
    }

    LogCapture log_{LogCapture::Scope::Process};
    const ObservedConsumer* observed_ = nullptr;
    GuiReceiver receiver_{observed_};
    Handoff handoff_{&receiver_};
    HandoffHost host_{handoff_};
    std::unique_ptr<ObservedConsumer> servant_;
    PortableServer::ObjectId_var id_;
    std::string ior_;
};

void expectEqual(const KOV::Event& a, const KOV::Event& b)
{
    EXPECT_EQ(a.id, b.id);
    EXPECT_STREQ(a.name.in(), b.name.in());
    EXPECT_EQ(a.arrival_time, b.arrival_time);
}

void expectEqual(const KOV::Message& a, const KOV::Message& b)
{
    EXPECT_STREQ(a.text.in(), b.text.in());
    EXPECT_EQ(a.priority, b.priority);
    EXPECT_EQ(a.arrival_time, b.arrival_time);
}

void expectEqual(const KOV::HousekeepingData& a, const KOV::HousekeepingData& b)
{
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.temp, b.temp);
    EXPECT_EQ(a.rh, b.rh);
    EXPECT_EQ(a.wateralarm, b.wateralarm);
    EXPECT_EQ(a.readingTime, b.readingTime);
}

TEST_F(Decoding, EachKnownKindReachesTheGuiThreadWhileThePushWaits)
{
    std::string echoed;
    const PushRun run =
        pushCapturingEcho({"event", "message", "message-long", "hk0", "hk1", "string", "ref"}, echoed);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(observed_->returned, 7);
    EXPECT_FALSE(observed_->ranOnGuiThread); // the servant runs on an ORB thread

    const std::vector<Seen>& seen = receiver_.records;
    ASSERT_EQ(seen.size(), 7u);
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(seen[i].onGuiThread);
        // The push that carried this payload had not returned yet.
        EXPECT_EQ(seen[i].pushesReturnedAtEnd, static_cast<int>(i));
    }

    ASSERT_EQ(seen[0].kind, Seen::EVENT);
    expectEqual(seen[0].event, PushedEvents::instrumentEvent());
    ASSERT_EQ(seen[1].kind, Seen::MESSAGE);
    expectEqual(seen[1].message, PushedEvents::shortMessage());
    ASSERT_EQ(seen[2].kind, Seen::MESSAGE);
    EXPECT_EQ(std::string(seen[2].message.text.in()).size(), 200u);
    expectEqual(seen[2].message, PushedEvents::longMessage());
    ASSERT_EQ(seen[3].kind, Seen::READING);
    expectEqual(seen[3].reading, PushedEvents::reading(ELECTRONICS_HOUSING));
    ASSERT_EQ(seen[4].kind, Seen::READING);
    expectEqual(seen[4].reading, PushedEvents::reading(SPECTROGRAPH_HOUSING));
    ASSERT_EQ(seen[5].kind, Seen::TEXT);
    EXPECT_EQ(seen[5].text, PushedEvents::plainText());
    ASSERT_EQ(seen[6].kind, Seen::EVENT); // with a non-nil object_ref_
    expectEqual(seen[6].event, PushedEvents::instrumentEvent());

    // Messages and texts are echoed once each, after their hand-off.
    const std::string expectedEcho = std::string(PushedEvents::shortMessage().text.in()) + "\n" +
        PushedEvents::longMessage().text.in() + "\n" + PushedEvents::plainText() + "\n";
    EXPECT_EQ(echoed, expectedEcho);
    EXPECT_EQ(log_.count(LM_ERROR, ""), 0);
}

TEST_F(Decoding, UnknownStructsAndLookalikesOfMessageHandNothingOff)
{
    std::string echoed;
    const PushRun run = pushCapturingEcho({"unknown", "lookalike-id", "lookalike-names", "event"}, echoed);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(observed_->returned, 4);
    ASSERT_EQ(receiver_.records.size(), 1u);
    EXPECT_EQ(receiver_.records[0].kind, Seen::EVENT);
    EXPECT_EQ(echoed, "");
    EXPECT_EQ(log_.count(LM_ERROR, ""), 0);
}

TEST_F(Decoding, EventsBeforeTheWindowIsUpAreDroppedNotQueued)
{
    handoff_.setReceiverUp(false);
    std::string echoed;
    PushRun run = pushCapturingEcho({"event", "message", "hk0", "string"}, echoed);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(observed_->returned, 4);
    EXPECT_EQ(echoed, "");
    spinUntil([] { return false; }, 100ms);
    EXPECT_TRUE(receiver_.records.empty());

    handoff_.setReceiverUp(true);
    run = push({"hk1"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(receiver_.records.size(), 1u); // the dropped ones did not come back
    EXPECT_EQ(receiver_.records[0].kind, Seen::READING);
    EXPECT_EQ(receiver_.records[0].reading.id, SPECTROGRAPH_HOUSING);
}

TEST_F(Decoding, AFailureWhileDecodingOneEventDoesNotStopTheNext)
{
    const PushRun run = push({"failing", "bad-priority", "event"});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0); // the notifier never sees an exception
    EXPECT_EQ(run.output, "returned failing\nreturned bad-priority\nreturned event\n");
    EXPECT_EQ(log_.count(LM_ERROR, "Error in extracting the data.\n"), 2);

    ASSERT_EQ(receiver_.records.size(), 2u);
    EXPECT_EQ(receiver_.records[0].event.id, PushedEvents::failingEvent().id);
    ASSERT_EQ(receiver_.records[1].kind, Seen::EVENT);
    expectEqual(receiver_.records[1].event, PushedEvents::instrumentEvent());
}

TEST_F(Decoding, NoOtherExceptionOfTheDisplayReachesTheNotifierEither)
{
    const struct {
        std::function<void()> fail;
        const char* logged;
    } cases[] = {
        {[] { throw std::runtime_error("display fault"); }, "Error in handling the event: display fault\n"},
        {[] { throw 42; }, "Error in handling the event.\n"},
    };
    for (const auto& c : cases) {
        log_.clear();
        receiver_.fail = c.fail;
        const PushRun run = push({"failing", "event"});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.output, "returned failing\nreturned event\n");
        EXPECT_EQ(log_.count(LM_ERROR, c.logged), 1) << c.logged;
    }
    EXPECT_EQ(receiver_.records.size(), 4u);
}

TEST_F(Decoding, DisconnectShowsTheWholeReasonThenDropsTheLink)
{
    std::string echoed;
    const PushRun run = pushCapturingEcho({"disconnect-empty", "disconnect-long", "event"}, echoed);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);

    const std::string prefix = "Got disconnected due to ";
    ASSERT_EQ(receiver_.records.size(), 3u);
    EXPECT_EQ(receiver_.records[0].kind, Seen::TEXT);
    EXPECT_EQ(receiver_.records[0].text, prefix);
    EXPECT_EQ(receiver_.records[1].kind, Seen::TEXT);
    EXPECT_EQ(receiver_.records[1].text, prefix + PushedEvents::longReason());
    // The servant still serves after a disconnect.
    EXPECT_EQ(receiver_.records[2].kind, Seen::EVENT);

    // One DropLink per disconnect, each after its notice was handled.
    EXPECT_EQ(host_.drops(), (std::vector<int>{1, 2}));
    EXPECT_EQ(log_.count(LM_DEBUG, "**** got disconnected due to " + PushedEvents::longReason() + "\n"), 1);
    EXPECT_EQ(echoed, ""); // notices are shown, not echoed
}

TEST_F(Decoding, TraceLinesAreOffByDefaultAndKeepTheirFormats)
{
    {
        std::lock_guard<std::mutex> lock(traceMutex);
        traceLines.clear();
    }
    previousHandler = qInstallMessageHandler(collectTrace);
    EXPECT_FALSE(kovTraceCategory().isDebugEnabled());
    PushRun run = push({"hk0"});
    ASSERT_TRUE(run.finished);
    {
        std::lock_guard<std::mutex> lock(traceMutex);
        EXPECT_TRUE(traceLines.empty());
    }

    QLoggingCategory::setFilterRules(QStringLiteral("kov.trace.debug=true"));
    run = push({"hk0", "hk1", "message", "string"});
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previousHandler);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);

    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(traceMutex);
        lines = traceLines;
    }
    const std::vector<std::string> firstEvent = {"\n\nTYPECODE: 15\n", "TAG: hk0\n",
        "ID: IDL:KOV/HousekeepingData:1.0\n", "Name: HousekeepingData\n", "member_count: 5 \n",
        // 23.7 and 41.9 truncated toward zero, not rounded.
        "KOV::HousekeepingData: Electronics temp: 23 rh: 41 readingtime:1700000002\n"};
    ASSERT_GE(lines.size(), firstEvent.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + firstEvent.size()), firstEvent);
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("KOV::HousekeepingData: Spectrograph temp: -1 rh: 55 readingtime:1700000003\n"));
    EXPECT_TRUE(has("KOV::Message: Lamp warm priority: 2\n"));
    EXPECT_TRUE(has("\n\nTYPECODE: 18\n"));
    EXPECT_TRUE(has("UNKNOWN EVENT: plain text payload\n\n"));
}

} // namespace

namespace {

// Records each payload. The servant runs on the Handoff's own thread here,
// so the hand-off calls it directly; no ORB in between.
class DirectReceiver : public HandoffReceiver {
public:
    void OnEvent(const CORBA::TypeCode* type, const void* value) override
    {
        ++handOffs;
        lastType = type;
        lastText = CORBA::_tc_string->equal(const_cast<CORBA::TypeCode*>(type))
            ? static_cast<const char*>(value)
            : "";
        if (failHandOff)
            throw CORBA::TRANSIENT(0, CORBA::COMPLETED_NO);
    }

    int handOffs = 0;
    bool failHandOff = false;
    const CORBA::TypeCode* lastType = nullptr;
    std::string lastText;
};

class Shutdown : public ShutdownCallback {
public:
    void close() override { ++closed; }
    int closed = 0;
};

class ServantLocally : public testing::Test {
protected:
    void SetUp() override { handoff_.setReceiverUp(true); }

    LogCapture log_{LogCapture::Scope::Process};
    DirectReceiver receiver_;
    Handoff handoff_{&receiver_};
    HandoffHost host_{handoff_};
};

TEST_F(ServantLocally, BaseConsumerLogsAndClosesThroughItsCallback)
{
    Consumer_i consumer;
    Shutdown shutdown;
    consumer.set_shutdown(&shutdown);

    Event_Comm::Event ev;
    ev.tag_ = "first tag";
    consumer.push(ev);
    EXPECT_EQ(log_.count(LM_DEBUG, "**** got notification = first tag\n"), 1);
    EXPECT_EQ(shutdown.closed, 0);

    consumer.disconnect("gone");
    EXPECT_EQ(log_.count(LM_DEBUG, "**** got disconnected due to gone\n"), 1);
    EXPECT_EQ(shutdown.closed, 1);
}

TEST_F(ServantLocally, PlainStringIsHandedOffWithTheTypeCodeOfString)
{
    KOVEventConsumer_i servant(&host_);
    Event_Comm::Event ev;
    ev.tag_ = "text";
    ev.value_ <<= "hello there";
    testing::internal::CaptureStdout();
    servant.push(ev);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "hello there\n");
    EXPECT_EQ(receiver_.handOffs, 1);
    EXPECT_TRUE(CORBA::_tc_string->equal(const_cast<CORBA::TypeCode*>(receiver_.lastType)));
    EXPECT_EQ(receiver_.lastText, "hello there");
}

TEST_F(ServantLocally, BoundedStringPayloadLeavesNothingToHandOff)
{
    KOVEventConsumer_i servant(&host_);
    CORBA::TypeCode_var bounded = TestOrb::orb()->create_string_tc(16);
    cdrMemoryStream stream;
    stream.marshalString("bounded", 16);
    Event_Comm::Event ev;
    ev.tag_ = "bounded";
    ev.value_ = CORBA::Any(bounded.in(), nullptr);
    ev.value_.NP_unmarshalDataOnly(stream);

    testing::internal::CaptureStdout();
    servant.push(ev);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(receiver_.handOffs, 0);
    EXPECT_EQ(log_.count(LM_ERROR, ""), 0);
}

TEST_F(ServantLocally, DisconnectDropsTheLinkEvenWhenTheNoticeFails)
{
    receiver_.failHandOff = true;
    KOVEventConsumer_i servant(&host_);
    servant.disconnect("cable cut");
    EXPECT_EQ(receiver_.handOffs, 1);
    EXPECT_EQ(receiver_.lastText, "Got disconnected due to cable cut");
    EXPECT_EQ(host_.drops().size(), 1u);
    EXPECT_EQ(log_.count(LM_ERROR, ""), 1);
}

TEST_F(ServantLocally, ConstructionIsTraced)
{
    {
        std::lock_guard<std::mutex> lock(traceMutex);
        traceLines.clear();
    }
    previousHandler = qInstallMessageHandler(collectTrace);
    QLoggingCategory::setFilterRules(QStringLiteral("kov.trace.debug=true"));
    KOVEventConsumer_i servant(&host_);
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previousHandler);

    std::lock_guard<std::mutex> lock(traceMutex);
    EXPECT_EQ(traceLines, (std::vector<std::string>{"KOVEventConsumer_i::KOVEventConsumer_i\n"}));
}

} // namespace
