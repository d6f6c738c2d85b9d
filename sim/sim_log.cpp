#include "sim_log.h"

#include <cmath>
#include <cstdio>

void SimLog::line(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void SimLog::error(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, "kovsim: %s\n", text.c_str());
    std::fflush(stderr);
}

std::string SimLog::quotedHead(const std::string& text)
{
    if (text.size() <= headBytes)
        return quoted(text);
    return quoted(text.substr(0, headBytes)) + "...";
}

std::string SimLog::quoted(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else
                out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

std::string SimLog::fixed3(double value)
{
    // 1e308 has 309 digits before the point: size the text to the number.
    const int length = std::snprintf(nullptr, 0, "%.3f", value);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, "%.3f", value);
    return text;
}

std::string SimLog::sensorValue(double value)
{
    if (std::fpclassify(value) != FP_SUBNORMAL)
        return fixed3(value);
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}
