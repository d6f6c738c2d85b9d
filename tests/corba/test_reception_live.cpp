// Event reception and the instrument link against a private naming service
// and kovsim, over loopback IIOP.
#include "args.h"
#include "call_limits.h"
#include "consumer.h"
#include "gui_thread.h"
#include "handoff.h"
#include "handoff_host.h"
#include "kovevtconsumer_i.h"
#include "kovinterface_client.h"
#include "log_capture.h"
#include "naming_service_process.h"
#include "simulator_process.h"
#include "spin_until.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

// What the servant hands off, received on this test's main thread, which
// plays the GUI thread.
class Receiver : public HandoffReceiver {
public:
    struct Received {
        std::string kind;
        std::string text;
        bool onGuiThread;
    };

    void OnEvent(const CORBA::TypeCode* type, const void* value) override
    {
        const bool gui = onGuiThread();
        CORBA::TypeCode_ptr tc = const_cast<CORBA::TypeCode*>(type);
        if (tc->equal(KOV::_tc_HousekeepingData)) {
            const auto* data = static_cast<const KOV::HousekeepingData*>(value);
            received_.push_back({"reading", std::to_string(static_cast<int>(data->id)), gui});
        } else if (tc->equal(KOV::_tc_Message))
            received_.push_back({"message", static_cast<const KOV::Message*>(value)->text.in(), gui});
        else if (tc->equal(KOV::_tc_Event))
            received_.push_back({"event", static_cast<const KOV::Event*>(value)->name.in(), gui});
        else if (tc->equal(CORBA::_tc_string))
            received_.push_back({"string", static_cast<const char*>(value), gui});
    }

    const std::vector<Received>& received() const { return received_; }

private:
    std::vector<Received> received_;
};

// The client's words: the private naming service, listening on loopback only.
std::vector<std::string> clientWords(const NamingServiceProcess& names, std::vector<std::string> front = {})
{
    std::vector<std::string> words = std::move(front);
    for (const std::string& w : names.orbArgs())
        words.push_back(w);
    words.push_back("-ORBendPoint");
    words.push_back("giop:tcp:127.0.0.1:");
    return words;
}

class ReceptionLive : public testing::Test {
protected:
    // Even after a failed assertion the ORB loop must end, or the consumer's
    // thread manager would wait for it for ever.
    void SetUp() override { handoff_.setReceiverUp(true); }
    void TearDown() override
    {
        consumer_.close(1);
        handoff_.close();
    }

    // Consumer::init with the client's words, `front` first.
    int init(std::vector<std::string> front = {})
    {
        Args args(clientWords(names_, std::move(front)));
        return consumer_.init(args.argc(), args.argv(), &servant_);
    }

    // Subscribed and the ORB thread running, as after the application's connect.
    bool connect(SimulatorProcess& sim)
    {
        return init() == 0 && sim.waitForLine("^subscribe ") && consumer_.run() == 0;
    }

    NamingServiceProcess names_;
    Receiver receiver_;
    Handoff handoff_{&receiver_};
    HandoffHost host_{handoff_};
    KOVEventConsumer_i servant_{&host_};
    Consumer consumer_;
};

TEST_F(ReceptionLive, SubscribesWithTheFirstWordAsCriteriaAndDeliversInOrderOnTheGuiThread)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    ASSERT_EQ(init(), 0);
    EXPECT_EQ(consumer_.status(), Consumer::COMPLETE);
    // The first word is an ORB option; it is the criteria, and the ORB used it
    // to find the naming service.
    ASSERT_TRUE(sim.waitForLine("^subscribe consumer=\\d+ criteria=\"-ORBInitRef\" subscribers=1"));
    ASSERT_EQ(consumer_.run(), 0);

    sim.send("push reading 1 21.5 30 0");
    sim.send("push message alarm " + std::string(200, 'm'));
    sim.send("push string plain words");
    sim.send("push event 7 lamp-on");
    sim.send("push reading 0 -1 -1 1");
    ASSERT_TRUE(spinUntil([&] { return receiver_.received().size() >= 5; }));

    const auto& got = receiver_.received();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].kind, "reading");
    EXPECT_EQ(got[0].text, "1");
    EXPECT_EQ(got[1].kind, "message");
    EXPECT_EQ(got[1].text, std::string(200, 'm'));
    EXPECT_EQ(got[2].kind, "string");
    EXPECT_EQ(got[2].text, "plain words");
    EXPECT_EQ(got[3].kind, "event");
    EXPECT_EQ(got[3].text, "lamp-on");
    EXPECT_EQ(got[4].text, "0");
    for (const auto& r : got)
        EXPECT_TRUE(r.onGuiThread) << r.kind;

    consumer_.close(1);
    EXPECT_TRUE(sim.waitForLine("^unsubscribe consumer=\\d+ criteria=\"-ORBInitRef\" subscribers=0"));
    EXPECT_TRUE(spinUntil([&] { return consumer_.done() == 1; }, 3s));
}

TEST_F(ReceptionLive, RefusedSubscriptionLogsTheReasonAndFails)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    sim.send("refuse instrument busy");
    ASSERT_TRUE(sim.waitForLine("^ok refuse"));

    LogCapture log;
    testing::internal::CaptureStdout();
    EXPECT_EQ(init({"STATION7"}), -1);
    const std::string printed = testing::internal::GetCapturedStdout();

    EXPECT_EQ(consumer_.status(), Consumer::FAILED);
    EXPECT_NE(printed.find("Consumer_Handler::init System Exception"), std::string::npos) << printed;
    EXPECT_NE(printed.find("IDL:Event_Comm/Notifier/CannotSubscribe:1.0"), std::string::npos) << printed;
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "instrument busy\n");
    EXPECT_EQ(errors[1].rfind("Consumer_Handler failed to initialize\n", 0), 0u);
    EXPECT_TRUE(sim.waitForLine("^subscribe-refused reason=\"instrument busy\""));
}

TEST_F(ReceptionLive, RefusalWithAnEmptyReasonLogsAnEmptyLine)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    sim.send("refuse");
    ASSERT_TRUE(sim.waitForLine("^ok refuse"));

    LogCapture log;
    EXPECT_EQ(init(), -1);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "\n");
}

TEST_F(ReceptionLive, CloseWithFlagZeroLeavesSubscriptionAndOrbLoopRunning)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    ASSERT_TRUE(connect(sim));

    consumer_.close(0);
    sim.send("push string still here");
    ASSERT_TRUE(spinUntil([&] { return receiver_.received().size() == 1; }));
    EXPECT_EQ(consumer_.done(), 0);
    sim.send("list");
    EXPECT_TRUE(sim.waitForLine("^consumer id=\\d+ criteria="));

    consumer_.close(1);
    EXPECT_TRUE(spinUntil([&] { return consumer_.done() == 1; }, 3s));
}

TEST_F(ReceptionLive, CloseEndsTheOrbLoopEvenWhenTheNotifierHasDied)
{
    auto sim = std::make_unique<SimulatorProcess>(names_, std::vector<std::string>{"--scenario", "none"});
    ASSERT_TRUE(connect(*sim));
    sim->kill();
    sim.reset();

    testing::internal::CaptureStdout();
    consumer_.close(1);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("Consumer_Handler::close"), std::string::npos) << printed;
    EXPECT_TRUE(spinUntil([&] { return consumer_.done() == 1; }, 3s));
}

TEST_F(ReceptionLive, NotifierDisconnectReachesTheHostOnce)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    ASSERT_TRUE(connect(sim));

    sim.send("drop maintenance window");
    ASSERT_TRUE(spinUntil([&] { return host_.drops().size() == 1; }));
    ASSERT_EQ(receiver_.received().size(), 1u);
    EXPECT_EQ(receiver_.received()[0].text, "Got disconnected due to maintenance window");
    EXPECT_TRUE(sim.waitForLine("^consumer-disconnect consumer=\\d+ result=ok"));
}

// Binds `id` in the root context to whatever `target` is bound to, through
// the process's ORB (the one the client will use too).
void rebindAs(const NamingServiceProcess& names, const char* id, const char* target)
{
    Args args(clientWords(names));
    int argc = args.argc();
    CORBA::ORB_var orb = CORBA::ORB_init(argc, args.argv());
    CORBA::Object_var root = orb->resolve_initial_references("NameService");
    CosNaming::NamingContext_var context = CosNaming::NamingContext::_narrow(root);
    CosNaming::Name name(1);
    name.length(1);
    name[0].id = CORBA::string_dup(target);
    CORBA::Object_var object = context->resolve(name);
    name[0].id = CORBA::string_dup(id);
    context->rebind(name, object);
}

TEST_F(ReceptionLive, NotifierThatIsSomethingElseIsAFailedLookUp)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    rebindAs(names_, "Notifier", "KOVSYSTEM");

    LogCapture log;
    EXPECT_EQ(init(), -1);
    EXPECT_EQ(consumer_.status(), Consumer::FAILED);
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_NE(errors[1].find("Unable to get the notifier the TAO_Naming_Client."), std::string::npos);
    EXPECT_FALSE(sim.waitForLine("^subscribe ", 300ms));
}

// The instrument link, set up the way the application does: on the ORB of
// event reception, with its call limit.
using InterfaceLive = ReceptionLive;

TEST_F(InterfaceLive, InitFindsTheSystemAndShutdownTellsTheInstrument)
{
    SimulatorProcess sim(names_, {"--scenario", "none", "--on-time", "3600"});
    ASSERT_TRUE(connect(sim));
    KOVInterface_Client client;
    ASSERT_EQ(client.init(consumer_.orb()), 0);
    ASSERT_FALSE(CORBA::is_nil(client.system()));
    const CORBA::ULongLong on = client.system()->elapsedTime();
    EXPECT_GE(on, 3600u);
    EXPECT_LT(on, 3700u);

    EXPECT_EQ(client.shutdown(), 0);
    EXPECT_TRUE(sim.waitForLine("^system-disconnect reason=\"client interface shutdown.\""));
    // The reference stays until the next init.
    EXPECT_FALSE(CORBA::is_nil(client.system()));
}

TEST_F(InterfaceLive, MissingSystemKeepsTheEarlierReferenceAndANewInitReplacesIt)
{
    auto sim = std::make_unique<SimulatorProcess>(names_, std::vector<std::string>{"--scenario", "none"});
    ASSERT_TRUE(connect(*sim));
    KOVInterface_Client client;
    ASSERT_EQ(client.init(consumer_.orb()), 0);
    KOV::System_var first = KOV::System::_duplicate(client.system());

    // The instrument goes away and unbinds its names.
    EXPECT_EQ(sim->quit(), 0);
    sim.reset();
    testing::internal::CaptureStdout();
    EXPECT_EQ(client.init(consumer_.orb()), -1);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("KOVInterface_Client::init\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("NotFound"), std::string::npos) << printed;
    EXPECT_TRUE(client.system()->_is_equivalent(first));

    // A dead target: shutdown fails without a word.
    testing::internal::CaptureStdout();
    EXPECT_EQ(client.shutdown(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // The instrument comes back: a second init takes the new object.
    SimulatorProcess again(names_, {"--scenario", "none"});
    ASSERT_EQ(client.init(consumer_.orb()), 0);
    EXPECT_FALSE(client.system()->_is_equivalent(first));
    EXPECT_EQ(client.shutdown(), 0);
}

TEST_F(InterfaceLive, SystemThatIsSomethingElseGivesANilReference)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    ASSERT_TRUE(connect(sim));
    rebindAs(names_, "KOVSYSTEM", "Notifier");
    KOVInterface_Client client;
    EXPECT_EQ(client.init(consumer_.orb()), 0);
    EXPECT_TRUE(CORBA::is_nil(client.system()));
    EXPECT_EQ(client.shutdown(), -1);
}

TEST_F(InterfaceLive, HungElapsedTimeFailsWithinTheCallLimit)
{
    SimulatorProcess sim(names_, {"--scenario", "none"});
    ASSERT_TRUE(connect(sim));
    KOVInterface_Client client;
    ASSERT_EQ(client.init(consumer_.orb()), 0);
    sim.send("elapsed hang 30 60");
    ASSERT_TRUE(sim.waitForLine("^ok elapsed"));

    const auto start = std::chrono::steady_clock::now();
    std::string raised;
    try {
        client.system()->elapsedTime();
    } catch (const CORBA::SystemException& ex) {
        raised = ex._name();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(raised, "TIMEOUT");
    EXPECT_GE(took, std::chrono::milliseconds(CallLimits::kCallTimeoutMs - 500));
    EXPECT_LT(took, std::chrono::milliseconds(CallLimits::kCallTimeoutMs + 2000));
}

TEST_F(InterfaceLive, TargetReferenceMayOutliveEventReception)
{
    // The application destroys event reception (and with it the ORB) before
    // the instrument link.
    SimulatorProcess sim(names_, {"--scenario", "none"});
    KOVInterface_Client client;
    {
        Handoff handoff;
        HandoffHost host(handoff);
        KOVEventConsumer_i servant(&host);
        Consumer consumer;
        Args args(clientWords(names_));
        ASSERT_EQ(consumer.init(args.argc(), args.argv(), &servant), 0);
        ASSERT_EQ(consumer.run(), 0);
        ASSERT_EQ(client.init(consumer.orb()), 0);
        consumer.close(1);
        ASSERT_TRUE(spinUntil([&] { return consumer.done() == 1; }, 3s));
    }
    EXPECT_EQ(client.shutdown(), -1);
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
