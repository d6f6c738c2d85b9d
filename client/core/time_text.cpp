#include "time_text.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

std::string TimeText::elapsed(std::int64_t seconds)
{
    const std::int64_t magnitude = seconds < 0 ? -seconds : seconds;
    char text[32];
    std::snprintf(text, sizeof text, "%s%02" PRId64 ":%02d:%02d", seconds < 0 ? "-" : "", magnitude / 3600,
        static_cast<int>(magnitude / 60 % 60), static_cast<int>(magnitude % 60));
    return text;
}

std::string TimeText::utc(std::int64_t seconds)
{
    const std::time_t time = static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds));
    std::tm parts{};
    // asctime's fixed layout is only defined for years 1000 to 9999; the
    // 32-bit range stays well inside that.
    if (time < 0 || !gmtime_r(&time, &parts)) {
        char text[48];
        std::snprintf(text, sizeof text, "(time not readable: %" PRId64 ")", static_cast<std::int64_t>(time));
        return text;
    }
    // English names whatever the locale, as asctime writes them.
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[32];
    std::snprintf(text, sizeof text, "%s %s%3d %02d:%02d:%02d %d", days[parts.tm_wday], months[parts.tm_mon],
        parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, parts.tm_year + 1900);
    return text;
}

namespace {

// Calendar parts of a UTC time; false when the C library cannot convert it.
bool utcParts(std::int64_t seconds, std::tm& parts)
{
    const auto time = static_cast<std::time_t>(seconds);
    return gmtime_r(&time, &parts) != nullptr;
}

} // namespace

std::string TimeText::isoMs(std::int64_t milliseconds)
{
    // Floor division, so that times before 1970 keep a positive fraction.
    std::int64_t seconds = milliseconds / 1000;
    std::int64_t fraction = milliseconds % 1000;
    if (fraction < 0) {
        fraction += 1000;
        --seconds;
    }
    std::tm parts{};
    if (!utcParts(seconds, parts))
        return std::string();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
        parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
        static_cast<int>(fraction));
    return text;
}

std::string TimeText::isoSeconds(std::int64_t seconds)
{
    std::tm parts{};
    if (!utcParts(seconds, parts))
        return std::string();
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900, parts.tm_mon + 1,
        parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}
