#include "time_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>

TEST(TimeText, Elapsed)
{
    const struct {
        std::int64_t seconds;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},
        {3725, "01:02:05"},
        {86399, "23:59:59"},
        {90061, "25:01:01"},
        {360000, "100:00:00"},
        {4294967295LL, "1193046:28:15"}, // the largest 32-bit ON time
        {-3725, "-01:02:05"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeText::elapsed(c.seconds), c.text) << c.seconds;
}

TEST(TimeText, UtcAsAsctimeWritesIt)
{
    // English names and UTC whatever the locale and time zone.
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    setenv("TZ", "Pacific/Auckland", 1);
    const struct {
        std::int64_t seconds;
        const char* text;
    } cases[] = {
        {0, "Thu Jan  1 00:00:00 1970"},
        {86399, "Thu Jan  1 23:59:59 1970"},
        {1796306709, "Thu Dec  3 14:05:09 2026"},
        {0x7fffffff, "Tue Jan 19 03:14:07 2038"},
        // Only the low 32 bits count.
        {(std::int64_t{1} << 32) + 86399, "Thu Jan  1 23:59:59 1970"},
        {-1, "(time not readable: -1)"},
        {0x80000000LL, "(time not readable: -2147483648)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeText::utc(c.seconds), c.text) << c.seconds;
    std::setlocale(LC_ALL, "C");
}
