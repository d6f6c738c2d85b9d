#pragma once

#include "child_process.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// A web server on a loopback port that answers every POST with 204 and
// keeps its body as a file (Python's http.server): the other end of a
// notification webhook.
class WebhookSink {
public:
    explicit WebhookSink(std::string folder);

    void start();
    // "http://127.0.0.1:PORT/kov"
    std::string url() const;
    // Every body taken so far, oldest first.
    std::vector<std::string> bodies() const;
    bool waitFor(std::size_t count, std::chrono::milliseconds limit) const;

private:
    std::string folder_;
    int port_;
    std::unique_ptr<ChildProcess> server_;
};
