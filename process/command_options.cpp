#include "command_options.h"

CommandOptions::CommandOptions(
    std::string program, std::string words, std::string summary, std::vector<Option> options)
    : program_(std::move(program)),
      words_(std::move(words)),
      summary_(std::move(summary)),
      options_(std::move(options))
{}

const CommandOptions::Option* CommandOptions::find(const std::string& name) const
{
    for (const Option& option : options_)
        if (option.name == name)
            return &option;
    return nullptr;
}

const CommandOptions::Option* CommandOptions::findLetter(char letter) const
{
    for (const Option& option : options_)
        if (letter != 0 && option.letter == letter)
            return &option;
    return nullptr;
}

bool CommandOptions::parse(int argc, char** argv)
{
    values_.clear();
    rest_.clear();
    error_.clear();
    bool passedCriteria = false;
    for (int i = 1; i < argc && argv[i]; ++i) {
        const std::string word = argv[i];
        if (word == "--") {
            for (++i; i < argc && argv[i]; ++i)
                rest_.emplace_back(argv[i]);
            break;
        }
        const bool longForm = word.size() > 2 && word.compare(0, 2, "--") == 0;
        const std::size_t equals = word.find('=');
        const Option* option = longForm
            ? find(word.substr(2, equals == std::string::npos ? equals : equals - 2))
            : word.size() == 2 && word[0] == '-' ? findLetter(word[1])
                                                 : nullptr;
        if (!option) {
            if (longForm && !passedCriteria) {
                error_ = "unknown option " + word.substr(0, equals);
                return false;
            }
            passedCriteria = true;
            rest_.push_back(word);
            continue;
        }
        const std::string shown = longForm ? "--" + option->name : word;
        if (option->valueName.empty()) {
            if (longForm && equals != std::string::npos) {
                error_ = shown + " takes no value";
                return false;
            }
            values_[option->name];
            continue;
        }
        if (longForm && equals != std::string::npos) {
            values_[option->name] = word.substr(equals + 1);
            continue;
        }
        if (i + 1 >= argc || !argv[i + 1]) {
            error_ = shown + " needs a value (" + option->valueName + ")";
            return false;
        }
        values_[option->name] = argv[++i];
    }
    return true;
}

std::string CommandOptions::value(const std::string& name, const std::string& fallback) const
{
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

std::string CommandOptions::usage() const
{
    std::string text = "Usage: " + program_ + " [options] " + words_ + "\n" + summary_ + "\n\nOptions:\n";
    for (const Option& option : options_) {
        text += "  ";
        if (option.letter != 0)
            text += std::string("-") + option.letter + ", ";
        text += "--" + option.name;
        if (!option.valueName.empty())
            text += " " + option.valueName;
        text += "\n      " + option.help + "\n";
    }
    return text;
}
