#include "config_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using Values = std::vector<std::string>;

std::string repeatedValues(int count)
{
    std::string line = "N";
    for (int i = 0; i < count; ++i)
        line += " " + std::to_string(i);
    return line + "\n";
}
} // namespace

TEST(ConfigLine, ThreeTokenisationsOfABC)
{
    for (const char* text : {"A,B,C\n", "A   B    C\n", "A\t,B\t,C\n", "  A , B ,, C \r\n"}) {
        const ConfigLine line = ConfigLine::parse(text);
        ASSERT_EQ(line.kind(), ConfigLine::Kind::Item) << text;
        EXPECT_EQ(line.name(), "A") << text;
        EXPECT_EQ(line.values(), (Values{"B", "C"})) << text;
        EXPECT_FALSE(line.comment()) << text;
    }
}

TEST(ConfigLine, CommentRunsFromTheFirstHashWithoutTheLineEnd)
{
    const ConfigLine line = ConfigLine::parse("A B#one # two\r\n");
    ASSERT_EQ(line.kind(), ConfigLine::Kind::Item);
    EXPECT_EQ(line.values(), (Values{"B"}));
    EXPECT_EQ(line.comment(), std::string("#one # two"));
}

TEST(ConfigLine, LinesThatAreNotItems)
{
    for (const char* text : {"", "\n", " \t \r\n", "# only a comment\n", "   # indented comment\n", "NAME\n",
             "NAME   # comment\n", ",,, ,\n", "NAME \"open quote\n"}) {
        EXPECT_EQ(ConfigLine::parse(text).kind(), ConfigLine::Kind::NotItem) << text;
    }
}

TEST(ConfigLine, CaseAndTextOfTokensStayAsWritten)
{
    const ConfigLine line = ConfigLine::parse("kov-e1 MiXeD 0x1F -0.50e+1\n");
    EXPECT_EQ(line.name(), "kov-e1");
    EXPECT_EQ(line.values(), (Values{"MiXeD", "0x1F", "-0.50e+1"}));
}

TEST(ConfigLine, QuotesJoinTokensWithSingleBlanks)
{
    EXPECT_EQ(ConfigLine::parse("A \"x,,y   z\" B\n").values(), (Values{"\"x y z\"", "B"}));
    // A token with a quote at each end opens a value; it closes at the next quote.
    EXPECT_EQ(ConfigLine::parse("A \"x\" y \"z\" B\n").values(), (Values{"\"x\" y \"z\"", "B"}));
    // Still open at the end of the line: dropped, earlier values kept.
    EXPECT_EQ(ConfigLine::parse("A B \"x y\n").values(), (Values{"B"}));
}

TEST(ConfigLine, QuotedValueLongerThanSixtyThreeCharactersIsKeptWhole)
{
    const std::string words = "\"" + std::string(80, 'w') + " " + std::string(40, 'v') + "\"";
    const ConfigLine line = ConfigLine::parse("A " + words + "\n");
    ASSERT_EQ(line.kind(), ConfigLine::Kind::Item);
    EXPECT_EQ(line.values(), (Values{words}));
}

TEST(ConfigLine, TwentyValuesAreAnItemTwentyOneAreTooMany)
{
    const ConfigLine twenty = ConfigLine::parse(repeatedValues(20));
    ASSERT_EQ(twenty.kind(), ConfigLine::Kind::Item);
    EXPECT_EQ(twenty.values().size(), 20u);
    EXPECT_EQ(twenty.values().back(), "19");
    EXPECT_EQ(ConfigLine::parse(repeatedValues(21)).kind(), ConfigLine::Kind::TooManyValues);
}

TEST(ConfigLine, ValuesAreCountedAfterQuotesAreJoined)
{
    // 21 value tokens, two of which form one quoted value: 20 values.
    std::string text = "N \"a b\"";
    for (int i = 0; i < 19; ++i)
        text += " " + std::to_string(i);
    const ConfigLine line = ConfigLine::parse(text);
    ASSERT_EQ(line.kind(), ConfigLine::Kind::Item);
    EXPECT_EQ(line.values().size(), 20u);
}

TEST(ConfigLine, NulEndsTheLine)
{
    const ConfigLine line = ConfigLine::parse(std::string("A B\0 C D\n", 9));
    ASSERT_EQ(line.kind(), ConfigLine::Kind::Item);
    EXPECT_EQ(line.values(), (Values{"B"}));
}
