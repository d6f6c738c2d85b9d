#include "naming_service_process.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#ifndef KOV_OMNINAMES_PATH
#define KOV_OMNINAMES_PATH "omniNames"
#endif
#ifndef KOV_NAMECLT_PATH
#define KOV_NAMECLT_PATH "nameclt"
#endif

namespace {
const int startAttempts = 5;

// A port that was free a moment ago; omniNames may still lose it to another
// process, in which case the caller tries the next one.
int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    if (!ok)
        throw std::runtime_error(std::string("no free loopback port: ") + std::strerror(errno));
    return ntohs(address.sin_port);
}

std::string makeTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kov-names-XXXXXX").string();
    if (::mkdtemp(&pattern[0]) == nullptr)
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    return pattern;
}
} // namespace

std::string NamingServiceProcess::omniNamesPath()
{
    return KOV_OMNINAMES_PATH;
}

std::string NamingServiceProcess::namecltPath()
{
    return KOV_NAMECLT_PATH;
}

NamingServiceProcess::NamingServiceProcess(std::chrono::milliseconds startLimit) : dataDir_(makeTempDir())
{
    const auto deadline = std::chrono::steady_clock::now() + startLimit;
    std::string log;
    try {
        for (int attempt = 0; attempt < startAttempts; ++attempt) {
            if (startOn(freeLoopbackPort(), deadline))
                return;
            log = process_->text(ChildProcess::Stream::Output) + process_->text(ChildProcess::Stream::Error);
            process_.reset();
            if (std::chrono::steady_clock::now() >= deadline)
                break;
        }
    } catch (...) {
        process_.reset();
        std::filesystem::remove_all(dataDir_);
        throw;
    }
    std::filesystem::remove_all(dataDir_);
    throw std::runtime_error("omniNames did not start: " + log);
}

bool NamingServiceProcess::startOn(int port, std::chrono::steady_clock::time_point deadline)
{
    port_ = port;
    // A fresh folder for each attempt: omniNames keeps the port in its log.
    for (const auto& entry : std::filesystem::directory_iterator(dataDir_))
        std::filesystem::remove_all(entry.path());
    const std::string portText = std::to_string(port);
    process_ = std::make_unique<ChildProcess>(omniNamesPath(),
        std::vector<std::string>{"-start", portText, "-datadir", dataDir_, "-always", "-ORBendPoint",
            "giop:tcp:127.0.0.1:" + portText});
    while (std::chrono::steady_clock::now() < deadline) {
        if (!process_->running())
            return false;
        if (answers(std::chrono::milliseconds(2000)))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

NamingServiceProcess::~NamingServiceProcess()
{
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(dataDir_, ignored);
}

void NamingServiceProcess::stop()
{
    if (process_)
        process_->terminate(std::chrono::seconds(2));
}

pid_t NamingServiceProcess::pid() const
{
    return process_ ? process_->pid() : -1;
}

bool NamingServiceProcess::running() const
{
    return process_ && process_->running();
}

std::string NamingServiceProcess::corbaloc() const
{
    return "corbaloc::127.0.0.1:" + std::to_string(port_) + "/NameService";
}

std::string NamingServiceProcess::initRef() const
{
    return "NameService=" + corbaloc();
}

std::vector<std::string> NamingServiceProcess::orbArgs() const
{
    return {"-ORBInitRef", initRef()};
}

bool NamingServiceProcess::answers(std::chrono::milliseconds limit) const
{
    ChildProcess probe(namecltPath(),
        {"-ORBInitRef", initRef(), "-ORBclientCallTimeOutPeriod", std::to_string(limit.count()), "list"});
    const std::optional<int> status = probe.waitForExit(limit + std::chrono::milliseconds(500));
    return status && *status == 0;
}
