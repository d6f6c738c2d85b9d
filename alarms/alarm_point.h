#pragma once

#include "housing.h"

#include <optional>
#include <string>

// One thing that can be in alarm: per housing its temperature or humidity
// over the limit, its water sensor, the absence of readings and readings
// without data (a sensor fault); and the link to the instrument. Kinds are
// listed from the most severe: with the link lost nothing else can be
// trusted, a leak does damage fastest.
struct AlarmPoint {
    enum class Kind {
        LinkLost,
        Water,
        Temperature,
        Humidity,
        NoReadings,
        NoValidData
    };
    static constexpr int kindsPerHousing = 5;
    static constexpr int count = 1 + kindsPerHousing * Housing::count;

    Kind kind = Kind::LinkLost;
    int housing = 0; // not used for LinkLost

    // Dense index 0..count-1; a lower index is more severe.
    int index() const;
    static AlarmPoint at(int index);
    static AlarmPoint link() { return {Kind::LinkLost, 0}; }

    // As the operator reads it: "Electronics housing water sensor".
    std::string name() const;
    // Short and stable, for commands and stored state: "link",
    // "electronics.water", "spectrometer.temperature", ...
    std::string key() const;
    static std::optional<AlarmPoint> fromKey(const std::string& key);
    // A temperature or humidity point: judged against setpoints, with
    // deadband and on-delay.
    bool measured() const { return kind == Kind::Temperature || kind == Kind::Humidity; }

    friend bool operator==(AlarmPoint a, AlarmPoint b) { return a.index() == b.index(); }
    friend bool operator!=(AlarmPoint a, AlarmPoint b) { return !(a == b); }
};
