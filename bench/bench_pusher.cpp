// The instrument side of the push benchmark: two-way "push" calls of a
// housekeeping reading, one after the other from one thread, as fast as the
// receiver answers; the reading changes with every push. Warm-up pushes
// first, then the timed ones, each timed on its own; "disconnect" at the end
// tells the receiver to report. Prints one line:
//   pushes_per_s=N p50_us=N p99_us=N
//
//   bench_pusher IOR [timed-pushes [warm-up-pushes]]
#include <event_comm.hh>
#include <kov.hh>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

Event_Comm::Event reading(long n)
{
    KOV::HousekeepingData data;
    data.id = ELECTRONICS_HOUSING;
    data.temp = 15.0 + (n % 2000) / 100.0;
    data.rh = 30.0 + (n % 3000) / 100.0;
    data.wateralarm = false;
    data.readingTime = static_cast<TimeBase::TimeT>(1700000000 + n);
    Event_Comm::Event ev;
    ev.tag_ = CORBA::string_dup("housekeeping");
    ev.value_ <<= data;
    ev.object_ref_ = CORBA::Object::_nil();
    return ev;
}

double percentile(std::vector<double> sorted, double p)
{
    const auto at = static_cast<size_t>(p * (sorted.size() - 1));
    return sorted[at];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_pusher IOR [timed-pushes [warm-up-pushes]]\n");
        return 2;
    }
    const long timed = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 20000;
    const long warmUp = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 2000;
    if (timed <= 0 || warmUp < 0)
        return 2;
    int orbArgc = 2;
    char opt[] = "-ORBclientCallTimeOutPeriod";
    char value[] = "20000";
    char* orbArgv[] = {opt, value, nullptr};
    CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, orbArgv);
    int status = 0;
    try {
        CORBA::Object_var object = orb->string_to_object(argv[1]);
        Event_Comm::Consumer_var consumer = Event_Comm::Consumer::_narrow(object);
        for (long n = 0; n < warmUp; ++n)
            consumer->push(reading(n));
        std::vector<double> latencyUs;
        latencyUs.reserve(static_cast<size_t>(timed));
        const Clock::time_point start = Clock::now();
        for (long n = warmUp; n < warmUp + timed; ++n) {
            // Built before the clock starts: only the call is timed.
            const Event_Comm::Event ev = reading(n);
            const Clock::time_point before = Clock::now();
            consumer->push(ev);
            latencyUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::sort(latencyUs.begin(), latencyUs.end());
        std::printf("pushes_per_s=%.0f p50_us=%.1f p99_us=%.1f\n", timed / seconds,
            percentile(latencyUs, 0.50), percentile(latencyUs, 0.99));
        std::fflush(stdout);
        consumer->disconnect("bench over");
    } catch (const CORBA::Exception& e) {
        std::fprintf(stderr, "bench_pusher: %s\n", e._name());
        status = 1;
    }
    orb->destroy();
    return status;
}
