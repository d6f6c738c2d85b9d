#pragma once

#include <optional>
#include <string>

// Setpoint values as stored in the configuration file and typed by the
// operator, independent of the process locale (the GUI toolkit sets it from
// the environment, and a decimal comma would split a value in two: ','
// separates values in the file).
class DecimalText {
public:
    // A finite decimal number at the start of text: leading white space, an
    // optional sign, digits with an optional decimal point, an optional
    // exponent. Nothing when anything else starts the text ("nan", "inf",
    // words) or the number is out of the double range.
    static std::optional<double> parse(const std::string& text);

    // The same number, but only when it is the whole text (white space
    // around it allowed); nothing for an empty text, trailing characters,
    // "nan", "inf", hexadecimal forms and numbers out of the double range.
    static std::optional<double> parseWhole(const std::string& text);

    // As printf's "%12.2lf" in the C locale: two decimals, right-aligned in
    // at least 12 characters.
    static std::string format(double value);

private:
    static std::size_t scan(const std::string& text, std::size_t at, double& value);
    static std::size_t numberLength(const std::string& text, std::size_t start);
};
