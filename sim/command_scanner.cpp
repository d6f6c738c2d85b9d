#include "command_scanner.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// strtod over the whole text, finite results only. strtod reports ERANGE for
// results below the normal range as well as for overflow.
bool parseFinite(const std::string& text, bool underflowAllowed, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(parsed))
        return false;
    // A finite result with ERANGE is an underflow.
    if (errno != 0 && !(errno == ERANGE && underflowAllowed))
        return false;
    value = parsed;
    return true;
}
} // namespace

CommandScanner::CommandScanner(std::string line) : line_(std::move(line))
{
    while (!line_.empty() && (line_.back() == '\r' || line_.back() == '\n'))
        line_.pop_back();
    skipBlanks();
}

void CommandScanner::skipBlanks()
{
    while (pos_ < line_.size() && isBlank(line_[pos_]))
        ++pos_;
}

bool CommandScanner::atEnd() const
{
    return pos_ >= line_.size();
}

std::string CommandScanner::word()
{
    const std::size_t start = pos_;
    while (pos_ < line_.size() && !isBlank(line_[pos_]))
        ++pos_;
    std::string result = line_.substr(start, pos_ - start);
    skipBlanks();
    return result;
}

std::string CommandScanner::peek() const
{
    std::size_t end = pos_;
    while (end < line_.size() && !isBlank(line_[end]))
        ++end;
    return line_.substr(pos_, end - pos_);
}

void CommandScanner::expectEnd() const
{
    if (!atEnd())
        throw CommandError("unexpected \"" + line_.substr(pos_) + "\" at the end");
}

std::string CommandScanner::requiredWord(const char* field)
{
    if (atEnd())
        throw CommandError(std::string("missing ") + field);
    return word();
}

std::string CommandScanner::rest()
{
    std::string result = line_.substr(pos_);
    pos_ = line_.size();
    return result;
}

double CommandScanner::number(const char* field)
{
    const std::string text = requiredWord(field);
    double value = 0;
    if (!parseNumber(text, value))
        throw CommandError("bad number \"" + text + "\" for " + field);
    return value;
}

long long CommandScanner::integer(const char* field, long long low, long long high)
{
    const std::string text = requiredWord(field);
    long long value = 0;
    if (!parseInteger(text, value) || value < low || value > high)
        throw CommandError("bad number \"" + text + "\" for " + field + " (whole number from " +
            std::to_string(low) + " to " + std::to_string(high) + ")");
    return value;
}

double CommandScanner::sensorValue(const char* field)
{
    const std::string text = requiredWord(field);
    double value = 0;
    if (!parseSensorValue(text, value))
        throw CommandError("bad number \"" + text + "\" for " + field + " (a number, nan, inf or -inf)");
    return value;
}

bool CommandScanner::parseNumber(const std::string& text, double& value)
{
    return parseFinite(text, false, value);
}

bool CommandScanner::parseSensorValue(const std::string& text, double& value)
{
    // Spelled out rather than left to strtod, which also takes "infinity",
    // "nan(...)" and overflow to infinity.
    if (strcasecmp(text.c_str(), "nan") == 0) {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (strcasecmp(text.c_str(), "inf") == 0 || strcasecmp(text.c_str(), "+inf") == 0) {
        value = std::numeric_limits<double>::infinity();
        return true;
    }
    if (strcasecmp(text.c_str(), "-inf") == 0) {
        value = -std::numeric_limits<double>::infinity();
        return true;
    }
    return parseFinite(text, true, value);
}

bool CommandScanner::parseInteger(const std::string& text, long long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    value = parsed;
    return true;
}
