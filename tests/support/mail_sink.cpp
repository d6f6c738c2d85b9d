#include "mail_sink.h"

#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

MailSink::MailSink(std::string folder) : folder_(std::move(folder)), port_(closedLoopbackPort())
{
    setReachable(true);
    const std::string config = folder_ + "/msmtprc";
    sendmail_ = folder_ + "/sendmail";
    std::ofstream(sendmail_) << "#!/bin/sh\nexec /usr/bin/msmtp -C " << config << " \"$@\"\n";
    ::chmod(sendmail_.c_str(), 0700);
    // The server makes the mailbox folder itself (it refuses one that exists but is not one).
}

MailSink::~MailSink()
{
    stop();
}

void MailSink::start()
{
    server_ = std::make_unique<ChildProcess>("/usr/bin/python3",
        std::vector<std::string>{"-m", "aiosmtpd", "-n", "-l", "127.0.0.1:" + std::to_string(port_), "-c",
            "aiosmtpd.handlers.Mailbox", folder_ + "/mail"});
    // Up once it takes a connection (the interpreter needs a moment).
    for (int i = 0; i < 200 && !accepts(port_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
}

void MailSink::setReachable(bool reachable)
{
    const std::string config = folder_ + "/msmtprc";
    const std::string next = config + ".new";
    std::ofstream(next) << "defaults\nhost 127.0.0.1\nport " << (reachable ? port_ : closedLoopbackPort())
                        << "\nfrom kov@localhost\nauth off\ntls off\naccount default\n";
    ::chmod(next.c_str(), 0600); // msmtp refuses a configuration others may read
    std::rename(next.c_str(), config.c_str());
}

void MailSink::stop()
{
    if (server_)
        server_->terminate();
    server_.reset();
}

std::vector<std::string> MailSink::mails() const
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ + "/mail/new", error))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return std::filesystem::last_write_time(a) < std::filesystem::last_write_time(b);
    });
    std::vector<std::string> mails;
    for (const auto& file : files) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        mails.push_back(text.str());
    }
    return mails;
}

bool MailSink::waitFor(std::size_t count, std::chrono::milliseconds limit) const
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (mails().size() < count) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}
