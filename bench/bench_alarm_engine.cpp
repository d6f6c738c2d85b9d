// The alarm engine on its own: a reading flapping ±0.3 °C around the
// over-limit setpoint for 10 minutes at 10 readings a second, with the
// default deadband and with none (raises, journal rows, upward crossings),
// and the engine's cost per reading. Prints "name value" lines.
#include "alarm_engine.h"
#include "alarm_setpoints.h"

#include <chrono>
#include <cstdio>

namespace {

struct Flapping {
    int raises = 0;
    int journal = 0;
    int crossings = 0;
    int heard = 0;
};

Flapping flap(double deadband)
{
    std::int64_t now = 0;
    AlarmSettings settings;
    settings.deadbandCelsius = deadband;
    AlarmEngine engine(settings, "bench", {[&] { return now; }, [&] { return 1'700'000'000'000 + now; }});
    Flapping f;
    // Only the flapping point: the other housing sends nothing and goes stale.
    const AlarmPoint flapping{AlarmPoint::Kind::Temperature, 0};
    engine.setListener({[&](const AlarmRecord& r) {
                            if (r.pointKey != flapping.key())
                                return;
                            ++f.journal;
                            f.raises += r.action == AlarmAction::Raised;
                        },
        [&](const AlarmEngine::Announcement& a) { f.heard += a.point == flapping; }, nullptr});
    const AlarmSetpoints limits; // over temperature at 32 °C
    double last = 0;
    for (int i = 0; i < 10 * 60 * 10; ++i, now += 100) {
        // Up and down about the setpoint, never further than 0.3 °C.
        const double value = limits.overTemp + (i % 2 == 0 ? 0.3 : -0.3) * ((i / 2) % 3 + 1) / 3.0;
        f.crossings += last < limits.overTemp && value >= limits.overTemp;
        last = value;
        engine.reading(0, value, 40, false, limits);
        if (i % 10 == 0)
            engine.tick();
    }
    return f;
}

double nsPerReading()
{
    using Clock = std::chrono::steady_clock;
    auto ms = [] { return std::int64_t(Clock::now().time_since_epoch().count() / 1'000'000); };
    AlarmEngine engine(AlarmSettings{}, "bench", {ms, ms});
    const AlarmSetpoints limits;
    const int readings = 2'000'000;
    const auto start = Clock::now();
    for (int i = 0; i < readings; ++i)
        engine.reading(i & 1, 20.0 + (i % 100) * 0.01, 40.0, false, limits);
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / readings;
}

} // namespace

int main()
{
    for (double deadband : {0.5, 0.0}) {
        const Flapping f = flap(deadband);
        const char* name = deadband > 0 ? "deadband" : "no_deadband";
        std::printf("flap_%s_raises %d\nflap_%s_journal %d\nflap_%s_heard %d\nflap_%s_crossings %d\n", name,
            f.raises, name, f.journal, name, f.heard, name, f.crossings);
    }
    std::printf("engine_ns_per_reading %.1f\n", nsPerReading());
    return 0;
}
