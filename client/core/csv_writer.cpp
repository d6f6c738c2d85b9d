#include "csv_writer.h"

#include <charconv>
#include <cmath>

namespace {
// What makes a spreadsheet take a cell for a formula (or, for a tab or a
// CR, what it strips before looking for one).
bool startsLikeFormula(std::string_view text)
{
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}
} // namespace

std::string CsvWriter::field(std::string_view text)
{
    const std::string_view guard = startsLikeFormula(text) ? "'" : "";
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(guard) + std::string(text);
    std::string quoted;
    quoted.reserve(text.size() + 3);
    quoted += '"';
    quoted += guard;
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string CsvWriter::row(const std::vector<Cell>& cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += ',';
        line += cells[i].numeric ? cells[i].text : field(cells[i].text);
    }
    line += "\r\n";
    return line;
}

CsvWriter::Cell CsvWriter::number(double value)
{
    Cell cell{std::string()};
    cell.numeric = true;
    if (!std::isfinite(value))
        return cell;
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    cell.text.assign(text, end.ptr);
    return cell;
}
