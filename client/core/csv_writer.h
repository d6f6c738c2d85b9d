#pragma once

#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as RFC 4180 has them: fields joined by commas, each
// row ended by CR LF, a field quoted (inner quotes doubled) when it holds a
// comma, a quote, a CR or an LF. Texts pass as UTF-8 bytes, unchanged, but
// for one thing: a text that begins with "=", "+", "-", "@", a tab or a CR
// would be run as a formula by a spreadsheet that opens the file, so it is
// written after an apostrophe, which spreadsheets read as "this is text".
// Numbers are cells of their own kind and are never changed.
class CsvWriter {
public:
    // One cell of a row: a text, or a number as number() writes it.
    struct Cell {
        Cell(std::string value) : text(std::move(value)) {}
        Cell(const char* value) : text(value) {}
        std::string text;
        bool numeric = false;
    };

    // A text cell, quoted and guarded as it needs.
    static std::string field(std::string_view text);
    static std::string row(const std::vector<Cell>& cells);
    // A number in the shortest form that reads back exactly, with a point
    // whatever the locale; empty for a value that is not finite (no data).
    static Cell number(double value);
};
