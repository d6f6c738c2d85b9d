#include "decimal_text.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

TEST(DecimalText, ParsesDecimalNumbersWhole)
{
    EXPECT_EQ(DecimalText::parse("24.50"), 24.5);
    EXPECT_EQ(DecimalText::parse("       24.75"), 24.75);
    EXPECT_EQ(DecimalText::parse("-3"), -3.0);
    EXPECT_EQ(DecimalText::parse("+7."), 7.0);
    EXPECT_EQ(DecimalText::parse(".25"), 0.25);
    EXPECT_EQ(DecimalText::parse("1.5e2"), 150.0);
    EXPECT_EQ(DecimalText::parse("2E-1"), 0.2);
}

TEST(DecimalText, StopsAtTheFirstCharacterThatIsNotPartOfTheNumber)
{
    EXPECT_EQ(DecimalText::parse("32degrees"), 32.0);
    EXPECT_EQ(DecimalText::parse("1e"), 1.0);
    EXPECT_EQ(DecimalText::parse("1e+x"), 1.0);
    EXPECT_EQ(DecimalText::parse("4.5.6"), 4.5);
    EXPECT_EQ(DecimalText::parse("0x1A"), 0.0);
}

TEST(DecimalText, AnythingButAFiniteNumberGivesNothing)
{
    for (const char* text :
        {"", " ", "nan", "NAN(123)", "inf", "-Infinity", "abc", "-", ".", "e5", "1e999", "-1e999", "\"24\""})
        EXPECT_EQ(DecimalText::parse(text), std::nullopt) << text;
}

TEST(DecimalText, WholeTextMustBeOneDecimalNumber)
{
    const struct {
        const char* text;
        std::optional<double> value;
    } cases[] = {{"40", 40.0}, {" 24.5\t", 24.5}, {"-0.5", -0.5}, {"+1e2", 100.0}, {"7.", 7.0}, {".25", 0.25},
        {"", std::nullopt}, {"  ", std::nullopt}, {"nan", std::nullopt}, {"inf", std::nullopt},
        {"-Infinity", std::nullopt}, {"0x10", std::nullopt}, {"40abc", std::nullopt}, {"1e", std::nullopt},
        {"4.5.6", std::nullopt}, {"24,5", std::nullopt}, {"1 2", std::nullopt}, {"1e999", std::nullopt},
        {"-", std::nullopt}, {".", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(DecimalText::parseWhole(c.text), c.value) << '"' << c.text << '"';
}

TEST(DecimalText, FormatsAsPrintfTwelveDotTwo)
{
    for (const double value : {24.0, 24.5, -3.25, 0.0, 0.005, 2.675, 24.125, 1234567.891, 1e15, -0.001}) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%12.2lf", value);
        EXPECT_EQ(DecimalText::format(value), expected) << value;
    }
    EXPECT_EQ(DecimalText::format(32.0), "       32.00");
    EXPECT_EQ(DecimalText::format(1e300).size(), 304u);
}

// The GUI toolkit sets the locale from the environment; with a decimal comma
// printf would write "24,50", which reads back as two values.
TEST(DecimalText, IgnoresTheProcessLocale)
{
    TempDir dir;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + dir.file("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "cannot build a de_DE locale here";
    ::setenv("LOCPATH", dir.path().c_str(), 1);
    const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    char printed[32];
    std::snprintf(printed, sizeof printed, "%.2f", 24.5);
    const std::optional<double> parsed = DecimalText::parse("24.50");
    const std::optional<double> whole = DecimalText::parseWhole("24.50");
    const std::string formatted = DecimalText::format(24.5);
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");

    ASSERT_TRUE(switched);
    ASSERT_STREQ(printed, "24,50");
    EXPECT_EQ(parsed, 24.5);
    EXPECT_EQ(whole, 24.5);
    EXPECT_EQ(formatted, "       24.50");
}
