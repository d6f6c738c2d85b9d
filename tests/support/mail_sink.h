#pragma once

#include "child_process.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// A mail server on a loopback port that keeps each mail it is given as a
// file (Debian's python3-aiosmtpd), and a private configuration for Debian's
// msmtp that sends to it: the sender program is `sendmail()`, a script that
// runs msmtp with that file. setReachable(false) points the sender at a
// port where nothing listens, a server that has gone away, without
// starting a process (a test may have threads by then).
class MailSink {
public:
    explicit MailSink(std::string folder);
    ~MailSink();

    void start();
    void stop();
    void setReachable(bool reachable);

    // A program to give as the sender: `sendmail -t -i` semantics.
    const std::string& sendmail() const { return sendmail_; }
    // Every mail taken so far, whole (headers and body), oldest first.
    std::vector<std::string> mails() const;
    // Waits until at least `count` mails were taken.
    bool waitFor(std::size_t count, std::chrono::milliseconds limit) const;

private:
    std::string folder_;
    int port_;
    std::string sendmail_;
    std::unique_ptr<ChildProcess> server_;
};
