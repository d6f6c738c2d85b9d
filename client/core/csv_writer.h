#pragma once

#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as RFC 4180 has them: fields joined by commas, each
// row ended by CR LF, a field quoted (inner quotes doubled) when it holds a
// comma, a quote, a CR or an LF. Texts pass as UTF-8 bytes, unchanged.
class CsvWriter {
public:
    static std::string field(std::string_view text);
    static std::string row(const std::vector<std::string>& fields);
    // A number in the shortest form that reads back exactly, with a point
    // whatever the locale; empty for a value that is not finite (no data).
    static std::string number(double value);
};
