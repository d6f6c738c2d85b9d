#ifndef KOV_TESTS_ARGS_H
#define KOV_TESTS_ARGS_H

#include <string>
#include <vector>

// A writable argc/argv pair, as main() gets it (without the program name).
class Args {
public:
    Args(std::initializer_list<std::string> words) : words_(words) { rebuild(); }
    explicit Args(std::vector<std::string> words) : words_(std::move(words)) { rebuild(); }

    int argc() const { return static_cast<int>(words_.size()); }
    char** argv() { return pointers_.data(); }
    const std::string& word(size_t i) const { return words_[i]; }

private:
    void rebuild()
    {
        pointers_.clear();
        for (std::string& w : words_)
            pointers_.push_back(w.data());
        pointers_.push_back(nullptr);
    }

    std::vector<std::string> words_;
    std::vector<char*> pointers_;
};

#endif
