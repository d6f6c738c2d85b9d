#include "utc_time.h"

#include <cstdio>

namespace UtcTime {

namespace {

constexpr std::int64_t dayMs = 86'400'000;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = static_cast<int>(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = static_cast<int>(z - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400) + (m <= 2);
}

int daysIn(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

std::string format(std::int64_t ms, bool seconds)
{
    const std::int64_t day = ms >= 0 ? ms / dayMs : (ms - dayMs + 1) / dayMs;
    const std::int64_t inDay = (ms - day * dayMs) / 1000;
    int y = 0, m = 0, d = 0;
    civilFromDays(day, y, m, d);
    char text[64];
    const int h = static_cast<int>(inDay / 3600), mi = static_cast<int>(inDay / 60 % 60),
              s = static_cast<int>(inDay % 60);
    if (seconds)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, mi, s);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", y, m, d, h, mi);
    return text;
}

} // namespace

std::optional<std::int64_t> parse(const std::string& text)
{
    std::string t = text;
    if (!t.empty() && (t.back() == 'Z' || t.back() == 'z'))
        t.pop_back();
    if (t.size() != 10 && t.size() != 16 && t.size() != 19)
        return std::nullopt;
    // Each field by its place: "YYYY-MM-DD", then "[T ]HH:MM", then ":SS".
    const char* const shape = "dddd-dd-ddTdd:dd:dd";
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        const bool ok = shape[i] == 'd' ? c >= '0' && c <= '9'
            : shape[i] == 'T'           ? c == 'T' || c == 't' || c == ' '
                                        : c == shape[i];
        if (!ok)
            return std::nullopt;
    }
    auto field = [&](std::size_t at, std::size_t length) {
        return t.size() > at ? std::stoi(t.substr(at, length)) : 0;
    };
    const int y = field(0, 4), m = field(5, 2), d = field(8, 2), h = field(11, 2), mi = field(14, 2),
              s = field(17, 2);
    if (y < 1970 || m < 1 || m > 12 || d < 1 || d > daysIn(y, m) || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    return (daysFromCivil(y, m, d) * 86400 + h * 3600 + mi * 60 + s) * std::int64_t{1000};
}

std::string minute(std::int64_t ms)
{
    return format(ms, false);
}

std::string second(std::int64_t ms)
{
    return format(ms, true);
}

std::string clock(std::int64_t ms)
{
    return minute(ms).substr(11);
}

std::string duration(std::int64_t ms)
{
    const std::int64_t s = (ms < 0 ? 0 : ms) / 1000;
    char text[40];
    if (s < 60)
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(s));
    else if (s < 3600)
        std::snprintf(text, sizeof text, "%lld min", static_cast<long long>(s / 60));
    else if (s < 2 * 86400)
        std::snprintf(text, sizeof text, "%lld h %02lld min", static_cast<long long>(s / 3600),
            static_cast<long long>(s / 60 % 60));
    else
        std::snprintf(text, sizeof text, "%lld d %lld h", static_cast<long long>(s / 86400),
            static_cast<long long>(s / 3600 % 24));
    return text;
}

} // namespace UtcTime
