// The one command-line reader: options anywhere, "--" ends them, "-" is an
// operand, values after "=" or as the next word, the first problem kept.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/OptionReader.h"

namespace {

const OptionSpec kKnown[] = {{"--json", nullptr, ""}, {"--out", "FILE", ""}, {"-h", nullptr, ""}};

using Options = std::vector<std::pair<std::string, std::string>>;

TEST(ReadOptions, OptionsOperandsAndProblems) {
    struct Case {
        std::vector<std::string> args;
        Options options;
        std::vector<std::string> operands;
        std::string problem;
    };
    const Case cases[] = {
        {{"a", "--json", "b"}, {{"--json", ""}}, {"a", "b"}, ""},
        {{"--out=x", "--out", "y"}, {{"--out", "x"}, {"--out", "y"}}, {}, ""},
        {{"--", "--json", "-"}, {}, {"--json", "-"}, ""},
        {{"-", ""}, {}, {"-", ""}, ""},
        {{"--bogus", "--json=1", "-h"}, {{"-h", ""}}, {}, "unknown option --bogus"},
        {{"--json=1"}, {}, {}, "--json takes no value"},
        {{"a", "--out"}, {}, {"a"}, "--out needs a value (FILE)"},
        {{"-x=1"}, {}, {}, "unknown option -x"},
    };
    for (const Case& c : cases) {
        const ReadArguments read = ReadOptions(c.args, kKnown);
        EXPECT_EQ(read.Options, c.options) << testing::PrintToString(c.args);
        EXPECT_EQ(read.Operands, c.operands) << testing::PrintToString(c.args);
        EXPECT_EQ(read.Problem, c.problem) << testing::PrintToString(c.args);
    }
}

TEST(ReadOptions, TheLastValueCountsAndEveryValueIsKept) {
    const ReadArguments read = ReadOptions({"--out", "a", "--json", "--out=b"}, kKnown);
    EXPECT_TRUE(read.Has("--json"));
    EXPECT_FALSE(read.Has("-h"));
    EXPECT_EQ(read.Value("--out"), "b");
    EXPECT_EQ(read.Value("--json"), "");
    EXPECT_EQ(read.Values("--out"), (std::vector<std::string>{"a", "b"}));
}

} // namespace
