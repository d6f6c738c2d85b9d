#include "webhook_sink.h"

#include "loopback.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// Each body is written under a temporary name, then renamed: a reader never
// sees half of one. Files are numbered in the order taken.
const char* server = R"(
import http.server, os, sys, threading
folder, port = sys.argv[1], int(sys.argv[2])
lock, taken = threading.Lock(), [0]
class Hook(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get('Content-Length', '0')))
        with lock:
            taken[0] += 1
            name = os.path.join(folder, '%06d.json' % taken[0])
        with open(name + '.part', 'wb') as out:
            out.write(body)
        os.rename(name + '.part', name)
        self.send_response(204)
        self.end_headers()
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(('127.0.0.1', port), Hook)
print('listening', flush=True)
server.serve_forever()
)";

} // namespace

WebhookSink::WebhookSink(std::string folder) : folder_(std::move(folder)), port_(closedLoopbackPort())
{
    std::filesystem::create_directories(folder_);
}

void WebhookSink::start()
{
    server_ = std::make_unique<ChildProcess>(
        "/usr/bin/python3", std::vector<std::string>{"-c", server, folder_, std::to_string(port_)});
    server_->waitForLine(ChildProcess::Stream::Output, "^listening", std::chrono::seconds(10));
}

std::string WebhookSink::url() const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/kov";
}

std::vector<std::string> WebhookSink::bodies() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
        if (entry.path().extension() == ".json")
            names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> bodies;
    for (const std::string& name : names) {
        std::ifstream in(name);
        std::stringstream text;
        text << in.rdbuf();
        bodies.push_back(text.str());
    }
    return bodies;
}

bool WebhookSink::waitFor(std::size_t count, std::chrono::milliseconds limit) const
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (bodies().size() < count) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}
