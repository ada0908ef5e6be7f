// The tests' process runner: no shell between the test and the program, the
// two output streams apart, a signal told as 128 + N.
#include <gtest/gtest.h>

#include "ProcessRun.h"

namespace {

TEST(RunProcess, ArgumentsArriveAsGivenAndStreamsStayApart) {
    const ProcessResult r =
        RunProcess({"sh", "-c", "printf '%s|' \"$@\"; echo oops >&2; exit 3", "sh", "a b", "'$x'"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "a b|'$x'|");
    EXPECT_EQ(r.err, "oops\n");
}

TEST(RunProcess, SignalsInputAndMergedStreams) {
    EXPECT_EQ(RunProcess({"sh", "-c", "kill -9 $$"}).status, 128 + 9);
    ProcessOptions options;
    options.Input = "typed\n";
    options.MergeErrors = true;
    const ProcessResult r = RunProcess({"sh", "-c", "read x; echo \"$x\" >&2; echo out"}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "typed\nout\n");
    EXPECT_EQ(RunProcess({"/nonexistent/program"}).status, -1);
}

} // namespace
