#ifndef KOV_TESTS_LOOPBACK_H
#define KOV_TESTS_LOOPBACK_H

#include <string>

// A loopback port on which nothing listens (it was free a moment ago).
int closedLoopbackPort();

// A loopback port that accepts connections (the kernel completes them) but
// never reads or answers: a peer that hangs.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// "corbaloc::127.0.0.1:PORT/NameService"
std::string nameServiceLocation(int port);

#endif
