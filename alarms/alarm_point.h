#pragma once

#include "housing.h"

#include <array>
#include <string>

// One thing that can be in alarm: per housing its temperature or humidity
// over the limit, its water sensor and the absence of readings; and the link
// to the instrument. Kinds are listed from the most severe: with the link
// lost nothing else can be trusted, a leak does damage fastest.
struct AlarmPoint {
    enum class Kind {
        LinkLost,
        Water,
        Temperature,
        Humidity,
        NoReadings
    };
    static constexpr int count = 1 + 4 * Housing::count;

    Kind kind = Kind::LinkLost;
    int housing = 0; // not used for LinkLost

    // Dense index 0..count-1; a lower index is more severe.
    int index() const;
    static AlarmPoint at(int index);
    static AlarmPoint link() { return {Kind::LinkLost, 0}; }

    // As the operator reads it: "Electronics housing water sensor".
    std::string name() const;

    friend bool operator==(AlarmPoint a, AlarmPoint b) { return a.index() == b.index(); }
    friend bool operator!=(AlarmPoint a, AlarmPoint b) { return !(a == b); }
};
