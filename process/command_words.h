#pragma once

#include <string>
#include <vector>

// The words of the command line after the program's name: every one goes to
// the ORB, the first is also the subscription's criteria. Kept untouched:
// ORB_init removes the options it consumes from the array it is given, so
// each use gets a fresh copy.
class CommandWords {
public:
    CommandWords() = default;
    explicit CommandWords(std::vector<std::string> words) : words_(std::move(words)) {}

    // argv[1..argc-1], each split further at blanks, carriage returns and
    // line feeds; empty words are dropped.
    static CommandWords fromCommandLine(int argc, char** argv);

    const std::vector<std::string>& words() const { return words_; }

    // A writable argc/argv pair over a private copy of the words, with a
    // terminating null pointer.
    class Argv {
    public:
        explicit Argv(const std::vector<std::string>& words);
        Argv(const Argv&) = delete;
        Argv& operator=(const Argv&) = delete;

        int& argc() { return argc_; }
        char** argv() { return pointers_.data(); }

    private:
        std::vector<std::string> words_;
        std::vector<char*> pointers_;
        int argc_ = 0;
    };

private:
    std::vector<std::string> words_;
};
