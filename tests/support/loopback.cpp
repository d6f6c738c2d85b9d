#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

int boundSocket(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        throw std::runtime_error("bind failed");
    }
    port = ntohs(addr.sin_port);
    return fd;
}

} // namespace

int closedLoopbackPort()
{
    int port = 0;
    ::close(boundSocket(port));
    return port;
}

SilentListener::SilentListener()
{
    fd_ = boundSocket(port_);
    if (::listen(fd_, 16) != 0) {
        ::close(fd_);
        throw std::runtime_error("listen failed");
    }
}

SilentListener::~SilentListener()
{
    ::close(fd_);
}

std::string nameServiceLocation(int port)
{
    return "NameService=corbaloc::127.0.0.1:" + std::to_string(port) + "/NameService";
}
