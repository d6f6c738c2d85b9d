// One rule for every program's command line: its own options wherever they
// stand, an unknown --word before the criteria refused, the rest for the ORB.
#include "args.h"
#include "command_options.h"

#include <gtest/gtest.h>

namespace {

CommandOptions recorderLike()
{
    return CommandOptions("prog", "[criteria] [ORB options]", "Does things.",
        {{"archive", "ADDRESS", "Where."}, {"buffer", "ROWS", "How many."}, {"help", "", "Help.", 'h'}});
}

TEST(CommandOptions, TakesItsOwnOptionsAndPassesTheRestOn)
{
    using Words = std::vector<std::string>;
    struct Case {
        Words words;
        const char* error; // empty: parsed
        const char* archive;
        Words rest;
    };
    const Case cases[] = {
        {{"--archive", "A", "KOV", "-ORBInitRef", "x"}, "", "A", {"KOV", "-ORBInitRef", "x"}},
        {{"--archive=A=B", "-ORBendPoint", "giop:tcp::"}, "", "A=B", {"-ORBendPoint", "giop:tcp::"}},
        {{"KOV", "--archive", "A", "--buffer=5"}, "", "A", {"KOV"}},
        // After the criteria a word is the ORB's, as it always was.
        {{"--archive", "A", "KOV", "--instrumnet", "B"}, "", "A", {"KOV", "--instrumnet", "B"}},
        {{"--archive", "A", "--", "--odd-criteria", "--archive"}, "", "A", {"--odd-criteria", "--archive"}},
        {{"--instrumnet", "A", "--archive", "B"}, "unknown option --instrumnet", "", {}},
        {{"--archive", "A", "--instrumnet=A", "KOV"}, "unknown option --instrumnet", "", {}},
        {{"--archive"}, "--archive needs a value (ADDRESS)", "", {}},
        {{"--help=yes"}, "--help takes no value", "", {}},
    };
    for (const Case& c : cases) {
        Words words{"prog"};
        words.insert(words.end(), c.words.begin(), c.words.end());
        Args args(words);
        CommandOptions options = recorderLike();
        const bool parsed = options.parse(args.argc(), args.argv());
        EXPECT_EQ(parsed, *c.error == '\0') << words[1];
        EXPECT_EQ(options.error(), c.error) << words[1];
        if (!parsed)
            continue;
        EXPECT_EQ(options.value("archive"), c.archive) << words[1];
        EXPECT_EQ(options.rest(), c.rest) << words[1];
    }
}

TEST(CommandOptions, SwitchesAndTheirLettersAndTheUsage)
{
    Args args({"prog", "-h", "KOV"});
    CommandOptions options = recorderLike();
    ASSERT_TRUE(options.parse(args.argc(), args.argv()));
    EXPECT_TRUE(options.isSet("help"));
    EXPECT_FALSE(options.isSet("buffer"));
    EXPECT_EQ(options.value("buffer", "1000"), "1000");
    EXPECT_EQ(options.usage(),
        "Usage: prog [options] [criteria] [ORB options]\nDoes things.\n\nOptions:\n"
        "  --archive ADDRESS\n      Where.\n  --buffer ROWS\n      How many.\n  -h, --help\n      Help.\n");
}

} // namespace
