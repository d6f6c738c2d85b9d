#include "decimal_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t skipSpace(const std::string& text, std::size_t at)
{
    while (at < text.size() && isSpace(text[at]))
        ++at;
    return at;
}

std::size_t skipDigits(const std::string& text, std::size_t at)
{
    while (at < text.size() && isDigit(text[at]))
        ++at;
    return at;
}
} // namespace

// Length of the decimal number starting at start (after the sign), 0 when
// there is none.
std::size_t DecimalText::numberLength(const std::string& text, std::size_t start)
{
    std::size_t at = skipDigits(text, start);
    bool digits = at > start;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = at + 1;
        at = skipDigits(text, fraction);
        digits = digits || at > fraction;
    }
    if (!digits)
        return 0;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        std::size_t exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        const std::size_t end = skipDigits(text, exponent);
        if (end > exponent)
            at = end;
    }
    return at - start;
}

// Reads a signed decimal number starting at `at` into value; the index just
// past it, or npos when there is none or it does not fit a double.
std::size_t DecimalText::scan(const std::string& text, std::size_t at, double& value)
{
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::size_t length = numberLength(text, at);
    if (length == 0)
        return std::string::npos;
    double magnitude = 0.0;
    const char* first = text.data() + at;
    const auto result = std::from_chars(first, first + length, magnitude, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(magnitude))
        return std::string::npos;
    value = negative ? -magnitude : magnitude;
    return at + length;
}

std::optional<double> DecimalText::parse(const std::string& text)
{
    double value = 0.0;
    if (scan(text, skipSpace(text, 0), value) == std::string::npos)
        return std::nullopt;
    return value;
}

std::optional<double> DecimalText::parseWhole(const std::string& text)
{
    double value = 0.0;
    const std::size_t end = scan(text, skipSpace(text, 0), value);
    if (end == std::string::npos || skipSpace(text, end) != text.size())
        return std::nullopt;
    return value;
}

std::string DecimalText::format(double value)
{
    // Fixed notation of the largest double needs 309 digits, a sign and ".00".
    std::array<char, 400> digits{};
    const auto result =
        std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed, 2);
    std::string text(digits.data(), result.ptr);
    constexpr std::size_t width = 12;
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}
