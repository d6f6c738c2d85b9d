// Records one reading a millisecond, arrival times counted from the start,
// and says how many it has pushed every 100, until it is killed.
#include "history_writer.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: history_child PATH\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    History::HistoryWriter::Options options;
    options.path = argv[1];
    History::HistoryWriter writer(options);
    writer.start();
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t i = 0;; ++i) {
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(i))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        writer.push(History::Reading{0, i, 1'700'000'000'000 + i, 20.0, 40.0, false});
        if (i % 100 == 0)
            std::printf("pushed %lld\n", static_cast<long long>(i)), std::fflush(stdout);
    }
}
