// Event reception when there is no instrument side to talk to.
#include "args.h"
#include "call_limits.h"
#include "consumer.h"
#include "log_capture.h"
#include "loopback.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

class NullConsumer : public POA_Event_Comm::Consumer {
public:
    void push(const Event_Comm::Event&) override {}
    void disconnect(const char*) override {}
};

TEST(ConsumerOffline, EmptyCommandLineGivesCriteriaKovAndFailsWithoutNamingService)
{
    NullConsumer servant;
    Consumer_Handler handler(nullptr);
    EXPECT_EQ(handler.init(0, nullptr, &servant), -1);
    EXPECT_STREQ(handler.criteria(), "KOV");
    EXPECT_FALSE(CORBA::is_nil(handler.orb()));
}

TEST(ConsumerOffline, FirstWordIsTheCriteriaEvenWhenTheOrbConsumesIt)
{
    NullConsumer servant;
    Consumer_Handler handler(nullptr);
    Args args{"-ORBInitRef", nameServiceLocation(closedLoopbackPort())};
    char* const first = args.argv()[0];
    EXPECT_EQ(handler.init(args.argc(), args.argv(), &servant), -1);
    EXPECT_STREQ(handler.criteria(), "-ORBInitRef");
    // The copy is the handler's own, not the caller's word.
    first[0] = 'X';
    EXPECT_STREQ(handler.criteria(), "-ORBInitRef");
}

TEST(ConsumerOffline, SecondInitReplacesTheCriteria)
{
    NullConsumer servant;
    Consumer_Handler handler(nullptr);
    Args first{"alpha"};
    handler.init(first.argc(), first.argv(), &servant);
    Args second{"beta"};
    handler.init(second.argc(), second.argv(), &servant);
    EXPECT_STREQ(handler.criteria(), "beta");
}

TEST(ConsumerOffline, UnreachableNamingServiceReportsTheLookupThenTheConsumerLine)
{
    LogCapture log;
    NullConsumer servant;
    Consumer consumer;
    EXPECT_EQ(consumer.status(), Consumer::NOT_STARTED);

    Args args{"-ORBInitRef", nameServiceLocation(closedLoopbackPort())};
    EXPECT_EQ(consumer.init(args.argc(), args.argv(), &servant), -1);
    EXPECT_EQ(consumer.status(), Consumer::FAILED);
    EXPECT_EQ(consumer.done(), 0);

    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_NE(errors[0].find("Unable to initialize the TAO_Naming_Client."), std::string::npos);
    EXPECT_NE(errors[1].find("Unable to get the notifier the TAO_Naming_Client."), std::string::npos);
    EXPECT_EQ(errors[2].rfind("Consumer_Handler failed to initialize\n: ", 0), 0u) << errors[2];

    // Nothing was subscribed: closing makes no call and reports nothing.
    testing::internal::CaptureStdout();
    consumer.close(1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ConsumerOffline, NamingServiceThatNeverAnswersFailsWithinTheCallLimit)
{
    SilentListener silent;
    LogCapture log;
    NullConsumer servant;
    Consumer consumer;
    Args args{"-ORBInitRef", nameServiceLocation(silent.port())};

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(consumer.init(args.argc(), args.argv(), &servant), -1);
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(consumer.status(), Consumer::FAILED);
    EXPECT_GE(took, std::chrono::milliseconds(CallLimits::kCallTimeoutMs - 500));
    EXPECT_LT(took, std::chrono::milliseconds(CallLimits::kCallTimeoutMs + 3000));
    EXPECT_EQ(log.errors().size(), 3u);
}

TEST(ConsumerOffline, CallLimitOnTheCommandLineWins)
{
    SilentListener silent;
    NullConsumer servant;
    Consumer consumer;
    Args args{"-ORBclientCallTimeOutPeriod", "700", "-ORBInitRef", nameServiceLocation(silent.port())};

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(consumer.init(args.argc(), args.argv(), &servant), -1);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(500));
    EXPECT_LT(took, std::chrono::milliseconds(CallLimits::kCallTimeoutMs - 1000));
}

TEST(ConsumerOffline, CloseBeforeInitDoesNotThrow)
{
    Consumer consumer;
    consumer.close(0);
    consumer.close(1);
    EXPECT_EQ(consumer.done(), 0);
}

} // namespace
