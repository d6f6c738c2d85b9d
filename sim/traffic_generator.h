#ifndef KOVSIM_TRAFFIC_GENERATOR_H
#define KOVSIM_TRAFFIC_GENERATOR_H

#include "housing_model.h"
#include "sim_options.h"

#include <kov.hh>

#include <condition_variable>
#include <mutex>
#include <random>
#include <string>
#include <thread>

class EventFactory;
class EventSink;

// The simulator's own traffic, on a thread of its own: one tick per reading
// interval, and on each tick one reading of each housing plus whatever the
// scenario adds (messages, texts, events).
class TrafficGenerator {
public:
    TrafficGenerator(EventSink& sink, const EventFactory& factory, const SimOptions& options);
    ~TrafficGenerator();

    TrafficGenerator(const TrafficGenerator&) = delete;
    TrafficGenerator& operator=(const TrafficGenerator&) = delete;

    // Starts the thread unless the scenario is "none".
    void start();
    // Ends the thread; returns within one tick.
    void stop();

private:
    void run();
    void runBackToBack();
    void tick(long n);
    void quietTick(long n);
    void alarmWalkTick(long n);
    void floodTick(long n);

    // How many ticks make `seconds`, at least one.
    long ticks(double seconds) const;
    bool every(long n, double seconds) const;

    void reading(int housing, double temp, double rh, bool water);
    void message(MessagePriority priority, const std::string& text);
    void instrumentEvent(short id, const std::string& name);
    void text(const std::string& text);

    EventSink& sink_;
    const EventFactory& factory_;
    const SimOptions options_;
    std::mt19937 random_;
    HousingModel housings_[2];

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

#endif
