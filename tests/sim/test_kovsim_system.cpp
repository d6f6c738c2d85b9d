// The simulator's KOV::System object and its fault settings.
#include "sim_fixture.h"

#include <omniORB4/omniORB.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {
class KovsimSystem : public SimFixture {
protected:
    void SetUp() override { start({"--scenario", "none", "--on-time", "1000"}); }
};

TEST_F(KovsimSystem, ElapsedTimeCountsOnFromTheGivenOnTime)
{
    KOV::System_var instrument = system();
    const CORBA::ULongLong first = instrument->elapsedTime();
    EXPECT_GE(first, 1000u);
    EXPECT_LE(first, 1003u);
    EXPECT_TRUE(sim().waitForLine("^elapsedTime answer=" + std::to_string(first) + "$"));

    std::this_thread::sleep_for(1100ms);
    const CORBA::ULongLong later = instrument->elapsedTime();
    EXPECT_GE(later, first + 1);
    EXPECT_LE(later, first + 3);
}

TEST_F(KovsimSystem, FailRaisesASystemExceptionForTheGivenTimeOnly)
{
    KOV::System_var instrument = system();
    sim().send("elapsed fail 1.5");
    ASSERT_TRUE(sim().waitForLine("^ok elapsed fail seconds=1.500$"));
    EXPECT_THROW(instrument->elapsedTime(), CORBA::COMM_FAILURE);
    EXPECT_TRUE(sim().waitForLine("^elapsedTime fail exception=COMM_FAILURE$"));

    std::this_thread::sleep_for(1600ms);
    EXPECT_GE(instrument->elapsedTime(), 1000u);
}

TEST_F(KovsimSystem, HangOutlastsTheCallersTimeLimitUntilSetBackToNormal)
{
    KOV::System_var instrument = system();
    omniORB::setClientCallTimeout(instrument.in(), 500);
    sim().send("elapsed hang 3 60");
    ASSERT_TRUE(sim().waitForLine("^ok elapsed hang delay=3.000 seconds=60.000$"));

    const auto called = std::chrono::steady_clock::now();
    EXPECT_THROW(instrument->elapsedTime(), CORBA::TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - called, 2s);
    EXPECT_TRUE(sim().waitForLine("^elapsedTime hang seconds=3.000$"));

    sim().send("elapsed normal");
    ASSERT_TRUE(sim().waitForLine("^ok elapsed normal$"));
    EXPECT_GE(instrument->elapsedTime(), 1000u);
}

TEST_F(KovsimSystem, DisconnectIsReportedWithItsReason)
{
    KOV::System_var instrument = system();
    instrument->disconnect("client interface shutdown.");
    EXPECT_TRUE(sim().waitForLine("^system-disconnect reason=\"client interface shutdown.\"$"));
}

TEST(KovsimNames, ANewSimulatorTakesTheNamesOverAndQuittingLeavesItsNamesAlone)
{
    NamingServiceProcess names;
    SimulatorProcess older(names, {"--scenario", "none", "--on-time", "100"});
    SimulatorProcess newer(names, {"--scenario", "none", "--on-time", "50000"});
    auto instrumentOnTime = [&names] {
        CORBA::Object_var object = TestOrb::resolve(names, "KOVSYSTEM");
        KOV::System_var instrument = KOV::System::_narrow(object.in());
        return instrument->elapsedTime();
    };
    EXPECT_GE(instrumentOnTime(), 50000u);

    // The older one no longer owns the names, so it must not unbind them.
    EXPECT_EQ(older.quit(), 0);
    EXPECT_GE(instrumentOnTime(), 50000u);

    EXPECT_EQ(newer.quit(), 0);
    EXPECT_THROW(TestOrb::resolve(names, "KOVSYSTEM"), CosNaming::NamingContext::NotFound);
    EXPECT_THROW(TestOrb::resolve(names, "Notifier"), CosNaming::NamingContext::NotFound);
}
} // namespace
