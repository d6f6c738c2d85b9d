#pragma once

#include <optional>
#include <string>
#include <vector>

// The meaning of one line (or 249-character piece of a line) of the
// configuration file: an item, not an item, or a line with too many values.
class ConfigLine {
public:
    enum class Kind {
        NotItem,
        Item,
        TooManyValues
    };

    // Longest piece taken as one line; a longer line is read in such pieces.
    static constexpr std::size_t maxPiece = 249;
    static constexpr const char* delimiters = " ,\t\n\r";

    static ConfigLine parse(std::string text);

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    const std::vector<std::string>& values() const { return values_; }
    const std::optional<std::string>& comment() const { return comment_; }

private:
    static std::string stripLineEnd(std::string text);
    static std::vector<std::string> tokens(const std::string& text);
    void takeValues(const std::vector<std::string>& tokens);

    Kind kind_ = Kind::NotItem;
    std::string name_;
    std::vector<std::string> values_;
    std::optional<std::string> comment_;
};
