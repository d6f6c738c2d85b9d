#pragma once

#include <cstdint>

// A 24-bit display colour. The display's fixed colours are below.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend constexpr bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
    friend constexpr bool operator!=(Rgb a, Rgb b) { return !(a == b); }
};

namespace DisplayColour {
constexpr Rgb overLimit{255, 0, 0};      // red
constexpr Rgb warning{255, 255, 0};      // yellow
constexpr Rgb noData{164, 72, 255};      // violet
constexpr Rgb gaugeWithin{53, 168, 111}; // green, gauge bars within limits
constexpr Rgb neutral{192, 192, 192};    // light grey
constexpr Rgb listBackground{255, 255, 255};
} // namespace DisplayColour
