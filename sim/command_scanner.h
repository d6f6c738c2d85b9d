#ifndef KOVSIM_COMMAND_SCANNER_H
#define KOVSIM_COMMAND_SCANNER_H

#include <stdexcept>
#include <string>

// A control command that cannot be carried out; its text is shown to the
// operator as is.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Walks through one control line word by word. Free texts (message texts,
// reasons) are the verbatim rest of the line, so they may hold spaces.
class CommandScanner {
public:
    explicit CommandScanner(std::string line);

    bool atEnd() const;

    // The next word, or "" at the end of the line.
    std::string word();

    // The next word, which must be there; `field` names it in the error.
    std::string requiredWord(const char* field);

    // The next word without taking it.
    std::string peek() const;

    // Fails with a clear message when words are left over.
    void expectEnd() const;

    // The rest of the line from the next word on, unchanged ("" at the end).
    std::string rest();

    // The next word as a finite number / integer within [low, high].
    double number(const char* field);
    long long integer(const char* field, long long low, long long high);

    // The next word as a sensor value, which may be a fault: any finite
    // number (an underflow to a subnormal or zero included), or "nan", "inf",
    // "+inf", "-inf" in any case.
    double sensorValue(const char* field);

    // Number parsing shared with the command-line options; false on any
    // trailing garbage, overflow, underflow or non-finite value.
    static bool parseNumber(const std::string& text, double& value);
    static bool parseInteger(const std::string& text, long long& value);
    static bool parseSensorValue(const std::string& text, double& value);

private:
    void skipBlanks();

    std::string line_;
    std::size_t pos_ = 0;
};

#endif
