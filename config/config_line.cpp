#include "config_line.h"

#include "config_item.h"

namespace {
bool onlyBlanks(const std::string& text)
{
    return text.find_first_not_of(" \t") == std::string::npos;
}

bool hasQuote(const std::string& token)
{
    return token.find('"') != std::string::npos;
}
} // namespace

ConfigLine ConfigLine::parse(std::string text)
{
    ConfigLine line;
    // Binary garbage: the line ends at a NUL as a C string would.
    const auto nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    text = stripLineEnd(std::move(text));

    const auto hash = text.find('#');
    std::optional<std::string> comment;
    if (hash != std::string::npos) {
        comment = text.substr(hash);
        text.resize(hash);
    }
    if (onlyBlanks(text))
        return line;

    const auto words = tokens(text);
    if (words.empty())
        return line;
    line.takeValues(words);
    if (line.values_.size() > ConfigItem::maxValues) {
        line.kind_ = Kind::TooManyValues;
        return line;
    }
    if (line.values_.empty())
        return line;
    line.kind_ = Kind::Item;
    line.name_ = words.front();
    line.comment_ = std::move(comment);
    return line;
}

std::string ConfigLine::stripLineEnd(std::string text)
{
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return text;
}

std::vector<std::string> ConfigLine::tokens(const std::string& text)
{
    std::vector<std::string> words;
    std::size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        const std::size_t end = text.find_first_of(delimiters, start);
        words.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(delimiters, end);
    }
    return words;
}

// Values after the name. A token with a double quote opens a quoted value that
// runs up to and including the next token with a double quote, joined with
// single blanks; a quoted value still open at the end of the line is dropped.
void ConfigLine::takeValues(const std::vector<std::string>& words)
{
    std::optional<std::string> quoted;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (quoted) {
            *quoted += ' ';
            *quoted += word;
            if (hasQuote(word)) {
                values_.push_back(std::move(*quoted));
                quoted.reset();
            }
        } else if (hasQuote(word)) {
            quoted = word;
        } else {
            values_.push_back(word);
        }
    }
}
