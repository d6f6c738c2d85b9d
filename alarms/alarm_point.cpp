#include "alarm_point.h"

namespace {
const char* const kindNames[] = {
    "", "water sensor", "temperature over limit", "humidity over limit", "no readings", "no valid data"};
const char* const kindKeys[] = {"link", "water", "temperature", "humidity", "readings", "data"};
} // namespace

int AlarmPoint::index() const
{
    if (kind == Kind::LinkLost)
        return 0;
    const int h = housing == 1 ? 1 : 0;
    return 1 + (static_cast<int>(kind) - 1) * Housing::count + h;
}

AlarmPoint AlarmPoint::at(int index)
{
    if (index <= 0 || index >= count)
        return link();
    return {static_cast<Kind>(1 + (index - 1) / Housing::count), (index - 1) % Housing::count};
}

std::string AlarmPoint::name() const
{
    if (kind == Kind::LinkLost)
        return "Link lost";
    return std::string(Housing::names[housing == 1 ? 1 : 0]) + " " + kindNames[static_cast<int>(kind)];
}

std::string AlarmPoint::key() const
{
    if (kind == Kind::LinkLost)
        return kindKeys[0];
    return std::string(Housing::keys[housing == 1 ? 1 : 0]) + "." + kindKeys[static_cast<int>(kind)];
}

std::optional<AlarmPoint> AlarmPoint::fromKey(const std::string& key)
{
    for (int i = 0; i < count; ++i)
        if (at(i).key() == key)
            return at(i);
    return std::nullopt;
}
