#include "alarm_walk.h"

namespace {
const char* housingName(int housing)
{
    return housing == 0 ? "Electronics" : "Spectrograph";
}
} // namespace

AlarmWalk::AlarmWalk(long step)
{
    const long inCycle = ((step % stepsPerCycle) + stepsPerCycle) % stepsPerCycle;
    housing_ = static_cast<int>(inCycle / phaseCount);
    phase_ = static_cast<Phase>(inCycle % phaseCount);
}

void AlarmWalk::apply(double& temp, double& rh, bool& water) const
{
    switch (phase_) {
    case Phase::TempWarning:
        temp = warningTemp;
        break;
    case Phase::TempOver:
        temp = overTemp;
        break;
    case Phase::RhWarning:
        rh = warningRh;
        break;
    case Phase::RhOver:
        rh = overRh;
        break;
    case Phase::Water:
        water = true;
        break;
    case Phase::NoData:
        temp = -1.0;
        rh = -1.0;
        break;
    default:
        break;
    }
}

MessagePriority AlarmWalk::priority() const
{
    switch (phase_) {
    case Phase::TempWarning:
    case Phase::RhWarning:
        return WARNING;
    case Phase::TempOver:
    case Phase::RhOver:
    case Phase::Water:
    case Phase::NoData:
        return ALARM;
    default:
        return MESSAGE;
    }
}

std::string AlarmWalk::announcement() const
{
    const std::string housing = std::string(housingName(housing_)) + " housing ";
    switch (phase_) {
    case Phase::TempWarning:
        return housing + "temperature above warning level";
    case Phase::TempOver:
        return housing + "temperature over limit";
    case Phase::TempBack:
        return housing + "temperature back to normal";
    case Phase::RhWarning:
        return housing + "humidity above warning level";
    case Phase::RhOver:
        return housing + "humidity over limit";
    case Phase::RhBack:
        return housing + "humidity back to normal";
    case Phase::Water:
        return housing + "water sensor alarm";
    case Phase::WaterBack:
        return housing + "water sensor dry again";
    case Phase::NoData:
        return housing + "sensors not answering";
    case Phase::DataBack:
        return housing + "sensors answering again";
    }
    return housing;
}

short AlarmWalk::eventId() const
{
    return static_cast<short>(100 + housing_ * phaseCount + static_cast<int>(phase_));
}

std::string AlarmWalk::eventName() const
{
    static const char* const names[phaseCount] = {"TEMP_WARNING", "TEMP_OVER", "TEMP_NORMAL", "RH_WARNING",
        "RH_OVER", "RH_NORMAL", "WATER", "WATER_DRY", "NO_DATA", "DATA_BACK"};
    return std::string(housing_ == 0 ? "E1_" : "S1_") + names[static_cast<int>(phase_)];
}
