#ifndef KOVSIM_ALARM_WALK_H
#define KOVSIM_ALARM_WALK_H

#include <kov.hh>

#include <string>

// The steps of the alarm-walk scenario: each housing in turn goes through
// every alarm state of both quantities, the water alarm and a sensor
// failure, returning to normal after each. The other housing stays normal.
class AlarmWalk {
public:
    enum class Phase {
        TempWarning,
        TempOver,
        TempBack,
        RhWarning,
        RhOver,
        RhBack,
        Water,
        WaterBack,
        NoData,
        DataBack
    };

    static constexpr int phaseCount = 10;
    static constexpr int stepsPerCycle = 2 * phaseCount;

    explicit AlarmWalk(long step);

    int housing() const { return housing_; }
    Phase phase() const { return phase_; }

    // Replaces the normal values of the walking housing by this step's.
    void apply(double& temp, double& rh, bool& water) const;

    // The announcement of this step, and its event number and name.
    MessagePriority priority() const;
    std::string announcement() const;
    short eventId() const;
    std::string eventName() const;

    // Values used, between the client's default levels (warning 24.0 and
    // over limit 32.0 degrees; warning 35.0 and over limit 60.0 percent).
    static constexpr double warningTemp = 28.0;
    static constexpr double overTemp = 35.0;
    static constexpr double warningRh = 47.0;
    static constexpr double overRh = 70.0;

private:
    int housing_;
    Phase phase_;
};

#endif
