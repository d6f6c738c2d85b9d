#include "command_words.h"

CommandWords CommandWords::fromCommandLine(int argc, char** argv)
{
    std::vector<std::string> words;
    for (int i = 1; i < argc && argv[i]; ++i) {
        const std::string arg = argv[i];
        std::size_t start = 0;
        while (start < arg.size()) {
            const std::size_t end = arg.find_first_of(" \r\n", start);
            const std::size_t stop = end == std::string::npos ? arg.size() : end;
            if (stop > start)
                words.push_back(arg.substr(start, stop - start));
            start = stop + 1;
        }
    }
    return CommandWords(std::move(words));
}

CommandWords::Argv::Argv(const std::vector<std::string>& words) : words_(words)
{
    for (std::string& word : words_)
        pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
    argc_ = static_cast<int>(words_.size());
}
