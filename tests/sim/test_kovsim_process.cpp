// kovsim as a program: options, the control channel's error handling, the
// ways it ends, and start-up failures.
#include "sim_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {
std::vector<std::string> namingArgs(int port)
{
    return {"-ORBInitRef", "NameService=corbaloc::127.0.0.1:" + std::to_string(port) + "/NameService"};
}

// A loopback port that accepts connections but never answers.
class SilentPort {
public:
    SilentPort()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 8) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no silent port");
        port_ = ntohs(address.sin_port);
    }
    ~SilentPort() { ::close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

class KovsimControl : public SimFixture {
protected:
    void SetUp() override { start(); }
};

TEST_F(KovsimControl, BadCommandsAreExplainedAndChangeNothing)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"frobnicate now", "unknown command \"frobnicate\""},
        {"push reading 0 abc 30 0", "bad number \"abc\" for TEMP"},
        {"push reading 32768 20 30 0", "bad HOUSING \"32768\""},
        {"push reading -1 20 30 0", "bad HOUSING \"-1\""},
        {"push reading 0 20 30 2", "bad number \"2\" for WATER"},
        {"push reading 0 20 30 1 extra", "unexpected \"extra\""},
        {"push reading 0 20", "missing RH"},
        {"push reading 0 1e999 30 0", "bad number \"1e999\" for TEMP"},
        {"push reading 0 20 infinity 0", "bad number \"infinity\" for RH"},
        {"push reading 0 20 30 nan", "bad number \"nan\" for WATER"},
        {"push reading at=yesterday 0 20 30 0", "bad number \"yesterday\" for TIME"},
        {"push message loud text", "bad PRIORITY \"loud\""},
        {"push message size=0 alarm x", "bad number \"0\" for size"},
        {"push message count=1000001 alarm x", "bad number \"1000001\" for count"},
        {"push message count=2 size=10 alarm x", "bad PRIORITY \"size=10\""},
        {"push event 40000 BIG", "bad number \"40000\" for ID"},
        {"push parcel", "cannot push \"parcel\""},
        {"elapsed fail soon", "bad number \"soon\" for SECONDS"},
        {"elapsed fail -1", "bad number for SECONDS"},
        {"elapsed fail inf", "bad number \"inf\" for SECONDS"},
        {"elapsed fail 4.9e-324", "bad number \"4.9e-324\" for SECONDS"},
        {"elapsed sleep 1", "bad elapsed mode \"sleep\""},
    };
    for (const auto& c : cases) {
        sim().send(c.first);
        EXPECT_TRUE(sim().waitForErrorLine("^kovsim: error: .*" + c.second)) << c.first;
    }
    // A line beyond the 1 MiB bound is dropped whole, not buffered without end.
    sim().send("push string " + std::string(1100000, 'x'));
    EXPECT_TRUE(sim().waitForErrorLine("^kovsim: error: command line longer than 1048576 bytes ignored$"));
    // Still running, and none of them pushed anything.
    sim().send("push string alive");
    EXPECT_TRUE(sim().waitForLine("^push seq=1 consumers=0 kind=string text=\"alive\"$"));
    EXPECT_TRUE(sim().running());
}

TEST_F(KovsimControl, CommentsAndEmptyLinesAreIgnored)
{
    sim().send("");
    sim().send("   ");
    sim().send("# push string not this");
    sim().send("list");
    EXPECT_TRUE(sim().waitForLine("^ok list consumers=0$"));
    EXPECT_EQ(sim().errorText(), "");
    for (const std::string& line : sim().outputLines())
        EXPECT_EQ(line.find("push seq="), std::string::npos) << line;
}

TEST_F(KovsimControl, QuitUnbindsTheNamesAndExitsWithZero)
{
    EXPECT_EQ(sim().quit(), 0);
    EXPECT_TRUE(sim().waitForLine("^stopping cause=quit$", 1s));
    EXPECT_THROW(TestOrb::resolve(names_, "Notifier"), CosNaming::NamingContext::NotFound);
    EXPECT_THROW(TestOrb::resolve(names_, "KOVSYSTEM"), CosNaming::NamingContext::NotFound);
}

TEST_F(KovsimControl, EndOfInputEndsItWhenAskedTo)
{
    sim().closeInput();
    EXPECT_EQ(sim().waitForExit(5s), std::optional<int>(0));
    EXPECT_TRUE(sim().waitForLine("^stopping cause=eof$", 1s));
}

TEST(KovsimLifetime, EndOfInputKeepsItRunningByDefaultAndSigtermEndsIt)
{
    NamingServiceProcess names;
    std::vector<std::string> args = names.orbArgs();
    args.insert(args.end(), {"--scenario", "none"});
    std::unique_ptr<SimulatorProcess> sim = SimulatorProcess::startRaw(args);
    ASSERT_TRUE(sim->waitForLine("^ready "));
    sim->closeInput();
    EXPECT_TRUE(sim->waitForErrorLine("standard input ended; still running"));
    EXPECT_FALSE(sim->waitForExit(500ms));

    ::kill(sim->pid(), SIGTERM);
    EXPECT_EQ(sim->waitForExit(5s), std::optional<int>(0));
    EXPECT_TRUE(sim->waitForLine("^stopping cause=signal$", 1s));
}

TEST(KovsimStartup, UnreachableNamingServiceEndsWithStatusTwo)
{
    int port = 0;
    {
        NamingServiceProcess gone;
        port = gone.port();
    }
    std::unique_ptr<SimulatorProcess> sim = SimulatorProcess::startRaw(namingArgs(port));
    EXPECT_EQ(sim->waitForExit(10s), std::optional<int>(2));
    EXPECT_NE(sim->errorText().find("naming service unreachable"), std::string::npos) << sim->errorText();
    EXPECT_TRUE(sim->outputLines().empty());
}

TEST(KovsimStartup, NamingServiceThatNeverAnswersEndsWithinTheCallTimeLimit)
{
    SilentPort silent;
    std::vector<std::string> args = namingArgs(silent.port());
    args.insert(args.end(), {"--call-timeout", "1"});
    const auto started = std::chrono::steady_clock::now();
    std::unique_ptr<SimulatorProcess> sim = SimulatorProcess::startRaw(args);
    EXPECT_EQ(sim->waitForExit(8s), std::optional<int>(2));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_NE(sim->errorText().find("TIMEOUT"), std::string::npos) << sim->errorText();
}

TEST(KovsimStartup, MissingNamingServiceReferenceEndsWithStatusTwo)
{
    std::unique_ptr<SimulatorProcess> sim = SimulatorProcess::startRaw({"--scenario", "none"});
    EXPECT_EQ(sim->waitForExit(10s), std::optional<int>(2));
    EXPECT_NE(sim->errorText().find("-ORBInitRef NameService=corbaloc::127.0.0.1:PORT/NameService"),
        std::string::npos)
        << sim->errorText();
}

TEST(KovsimStartup, BadOptionsEndWithStatusOneAndAReason)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--rate", "0"}, "bad --rate \"0\""},
        {{"--rate=abc"}, "bad --rate \"abc\""},
        {{"--rate", "100001"}, "bad --rate \"100001\""},
        {{"--backpressure=1"}, "unknown option \"--backpressure=1\""},
        {{"--scenario", "storm"}, "unknown scenario \"storm\""},
        {{"--on-time", "-5"}, "bad --on-time \"-5\""},
        {{"--call-timeout"}, "option --call-timeout needs a value"},
        {{"--seed", "1.5"}, "bad --seed \"1.5\""},
        {{"--verbose"}, "unknown option \"--verbose\""},
        {{"-ORBnoSuchOption", "1"}, "the ORB refused its options"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<SimulatorProcess> sim = SimulatorProcess::startRaw(c.first);
        EXPECT_EQ(sim->waitForExit(10s), std::optional<int>(1)) << c.second;
        EXPECT_NE(sim->errorText().find(c.second), std::string::npos) << sim->errorText();
    }
}

TEST(KovsimStartup, HelpDescribesOptionsCommandsAndReportLines)
{
    std::unique_ptr<SimulatorProcess> sim = SimulatorProcess::startRaw({"--help"});
    EXPECT_EQ(sim->waitForExit(10s), std::optional<int>(0));
    for (const char* needle : {"--scenario NAME", "--exit-on-eof", "push reading", "refuse \\[REASON\\]",
             "elapsed hang DELAY SECONDS", "subscribe-refused reason="})
        EXPECT_TRUE(sim->waitForLine(needle, 1s)) << needle;
}
} // namespace
