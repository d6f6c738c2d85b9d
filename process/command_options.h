#pragma once

#include <map>
#include <string>
#include <vector>

// A program's own options and the words it passes on to the ORB, split by
// one rule that every program of the project follows:
//   - "--name VALUE", "--name=VALUE" and the switches "--name" (and their
//     one-letter forms, "-h") are the program's own, wherever they stand;
//   - before the first other word, the criteria of the subscription, a word
//     starting with "--" that the program does not know is refused: a
//     mistyped option must not become the criteria;
//   - the criteria and every other word after it go to the ORB untouched,
//     as does every word after a lone "--".
class CommandOptions {
public:
    struct Option {
        std::string name;      // without the dashes: "archive"
        std::string valueName; // shown in the usage ("ADDRESS"); empty for a switch
        std::string help;
        char letter = 0; // a one-letter form ("-h"), or 0
    };

    // `words` describes what follows the options in the usage line.
    CommandOptions(std::string program, std::string words, std::string summary, std::vector<Option> options);

    // argv[1..argc-1]. False, with error() set, for an unknown option, a
    // missing value or a value given to a switch.
    bool parse(int argc, char** argv);

    bool isSet(const std::string& name) const { return values_.count(name) > 0; }
    // The value last given, or `fallback`.
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    // The words for the ORB, the criteria first.
    const std::vector<std::string>& rest() const { return rest_; }
    const std::string& error() const { return error_; }

    // "Usage: PROGRAM [options] WORDS", the summary and one entry per option.
    std::string usage() const;

private:
    const Option* find(const std::string& name) const;
    const Option* findLetter(char letter) const;

    std::string program_;
    std::string words_;
    std::string summary_;
    std::vector<Option> options_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> rest_;
    std::string error_;
};
