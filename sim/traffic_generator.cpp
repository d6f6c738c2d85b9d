#include "traffic_generator.h"

#include "alarm_walk.h"
#include "event_factory.h"
#include "event_sink.h"

#include <chrono>
#include <cmath>

namespace {
const char* const statusTexts[] = {
    "Spectrometer status nominal",
    "Detector cooling stable",
    "Calibration lamp off",
    "Shutter closed",
    "Housekeeping cycle complete",
};

const char* const plainTexts[] = {
    "kovsim: link check",
    "Filter wheel at position 3",
    "Data archive rotated",
};
} // namespace

TrafficGenerator::TrafficGenerator(EventSink& sink, const EventFactory& factory, const SimOptions& options)
    : sink_(sink),
      factory_(factory),
      options_(options),
      random_(static_cast<std::mt19937::result_type>(options.seed)),
      housings_{HousingModel(20.0, 25.0), HousingModel(18.0, 20.0)}
{}

TrafficGenerator::~TrafficGenerator()
{
    stop();
}

void TrafficGenerator::start()
{
    if (options_.scenario == SimOptions::Scenario::None || thread_.joinable())
        return;
    thread_ = std::thread([this] { run(); });
}

void TrafficGenerator::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void TrafficGenerator::run()
{
    if (options_.rateMax) {
        runBackToBack();
        return;
    }
    using Clock = std::chrono::steady_clock;
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / options_.rate));
    Clock::time_point next = Clock::now();
    for (long n = 0;; ++n) {
        tick(n);
        next += period;
        // A consumer-side stall must not turn into a burst afterwards.
        const Clock::time_point now = Clock::now();
        if (next < now - std::chrono::seconds(1))
            next = now;
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_until(lock, next, [this] { return stopping_; }))
            return;
    }
}

// The pace is set by the consumers: publish() waits while their queues are full.
void TrafficGenerator::runBackToBack()
{
    for (long n = 0;;) {
        {
            // Nobody to load: idle instead of filling standard output.
            std::unique_lock<std::mutex> lock(mutex_);
            const auto idle = std::chrono::milliseconds(sink_.consumers() == 0 ? 10 : 0);
            if (wake_.wait_for(lock, idle, [this] { return stopping_; }))
                return;
        }
        if (sink_.consumers() > 0)
            tick(n++);
    }
}

void TrafficGenerator::tick(long n)
{
    switch (options_.scenario) {
    case SimOptions::Scenario::Quiet:
        quietTick(n);
        break;
    case SimOptions::Scenario::AlarmWalk:
        alarmWalkTick(n);
        break;
    case SimOptions::Scenario::Flood:
        floodTick(n);
        break;
    case SimOptions::Scenario::None:
        break;
    }
}

long TrafficGenerator::ticks(double seconds) const
{
    return std::max(1L, std::lround(seconds * options_.rate));
}

bool TrafficGenerator::every(long n, double seconds) const
{
    return n % ticks(seconds) == 0;
}

void TrafficGenerator::quietTick(long n)
{
    if (n == 0)
        message(MESSAGE, "Instrument simulator started: quiet scenario");
    for (int h = 0; h < 2; ++h) {
        housings_[h].step(random_);
        // Now and then a sensor does not answer in time.
        const bool noData = std::uniform_int_distribution<int>(0, 299)(random_) == 0;
        reading(h, noData ? -1.0 : housings_[h].temp(), noData ? -1.0 : housings_[h].rh(), false);
    }
    if (n > 0 && every(n, 15))
        message(MESSAGE, statusTexts[(n / ticks(15)) % 5]);
    if (n > 0 && every(n + ticks(20), 40))
        text(plainTexts[(n / ticks(40)) % 3]);
    if (n > 0 && every(n + ticks(30), 60))
        instrumentEvent(1, "HOUSEKEEPING_CYCLE");
}

void TrafficGenerator::alarmWalkTick(long n)
{
    const long perStep = ticks(options_.stepSeconds);
    const long stepIndex = n / perStep;
    const AlarmWalk step(stepIndex);
    if (n % perStep == 0) {
        if (stepIndex > 0 && stepIndex % AlarmWalk::stepsPerCycle == 0)
            text("Alarm walk cycle " + std::to_string(stepIndex / AlarmWalk::stepsPerCycle) + " complete");
        message(step.priority(), step.announcement());
        instrumentEvent(step.eventId(), step.eventName());
    }
    for (int h = 0; h < 2; ++h) {
        housings_[h].step(random_);
        double temp = housings_[h].temp();
        double rh = housings_[h].rh();
        bool water = false;
        if (h == step.housing())
            step.apply(temp, rh, water);
        reading(h, temp, rh, water);
    }
}

void TrafficGenerator::floodTick(long n)
{
    for (int h = 0; h < 2; ++h) {
        housings_[h].step(random_);
        double temp = housings_[h].temp();
        double rh = housings_[h].rh();
        bool water = false;
        // Every state now and then, from a walk that runs one step per tick.
        AlarmWalk(n + h * 7).apply(temp, rh, water);
        reading(h, temp, rh, water);
    }
    const MessagePriority priority = static_cast<MessagePriority>(n % 3);
    if (n % 10 == 9)
        message(priority, "Flood message " + std::to_string(n) + ": " + std::string(190, 'x'));
    else
        message(priority, "Flood message " + std::to_string(n));
    if (n % 5 == 0) {
        text("Flood text " + std::to_string(n));
        instrumentEvent(static_cast<short>(n % 1000), "FLOOD_EVENT");
    }
    if (n % 50 == 0)
        sink_.publish(factory_.unknown("Flood unknown " + std::to_string(n)));
}

void TrafficGenerator::reading(int housing, double temp, double rh, bool water)
{
    WireReading reading;
    reading.housing = housing == 0 ? ELECTRONICS_HOUSING : SPECTROGRAPH_HOUSING;
    reading.temp = temp;
    reading.rh = rh;
    reading.water = water;
    reading.time = EventFactory::now();
    sink_.publish(factory_.reading(reading));
}

void TrafficGenerator::message(MessagePriority priority, const std::string& text)
{
    KOV::Message m;
    m.text = CORBA::string_dup(text.c_str());
    m.priority = priority;
    m.arrival_time = EventFactory::now();
    sink_.publish(factory_.message(m));
}

void TrafficGenerator::instrumentEvent(short id, const std::string& name)
{
    KOV::Event e;
    e.id = id;
    e.name = CORBA::string_dup(name.c_str());
    e.arrival_time = EventFactory::now();
    sink_.publish(factory_.instrumentEvent(e));
}

void TrafficGenerator::text(const std::string& value)
{
    sink_.publish(factory_.text(value));
}
