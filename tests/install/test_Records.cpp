// The installer's record files read back: the journal (a line a kill cut
// short included), record line escaping, and which paths lie below a folder.
#include <gtest/gtest.h>

#include "common/Errors.h"
#include "install/Journal.h"
#include "install/LinuxFolders.h"
#include "install/Places.h"

namespace {

const std::string kHead = "kavelo-journal\t1\n";
const std::string kRoot = "root\t0\t/opt/app\n";

TEST(ReadJournal, ReadsWhatItCanTrustAndNamesTheLineItCannot) {
    const struct {
        std::string name, text;
        size_t records;     // when it reads
        std::string reason; // when it does not
    } cases[] = {
        {"header only", kHead, 0, ""},
        {"cut-off header", "kavelo-jour", 0, ""},
        {"root and a folder", kHead + kRoot + "mkdir\t0\tbin\n", 2, ""},
        {"cut-off last line", kHead + kRoot + "mkdir\t0\tbin\nnew\t0\tbin/a\t12", 2, ""},
        {"cut-off inside an escape", kHead + kRoot + "temp\t0\ta\\x4", 1, ""},
        {"every kind",
         kHead + kRoot +
             "mkdir\t0\tb\nkeep\t0\tb/a\t.k\t1\t2\ntemp\t0\tb/.p\nnew\t0\tb/a\t1\t3\ncommit\n",
         6, ""},
        {"another header", "kavelo-manifest\t1\n", 0, "not a journal of an installation"},
        {"no header, records first", kRoot + kHead, 0, "not a journal of an installation"},
        {"second root before the first", kHead + "root\t1\t/opt\n", 0, "line 2 does not read"},
        {"a root not absolute", kHead + "root\t0\topt\n", 0, "line 2 does not read"},
        {"a record before its root", kHead + "mkdir\t0\tbin\n", 0, "line 2 does not read"},
        {"an unknown root", kHead + kRoot + "temp\t1\tx\n", 0, "line 3 does not read"},
        {"kept aside in another folder", kHead + kRoot + "keep\t0\ta\t../x\t1\t2\n", 0,
         "line 3 does not read"},
        {"a number that is none", kHead + kRoot + "new\t0\ta\t1x\t2\n", 0, "line 3 does not read"},
        {"commit with a field", kHead + kRoot + "commit\tx\n", 0, "line 3 does not read"},
        {"an unknown kind", kHead + kRoot + "rmdir\t0\tx\n", 0, "line 3 does not read"},
        {"a broken escape", kHead + kRoot + "temp\t0\ta\\q\n", 0, "line 3 does not read"},
    };
    for (const auto& c : cases) {
        try {
            const auto records = ReadJournal(c.text, "/opt/app/.kavelo-journal");
            EXPECT_EQ(c.reason, "") << c.name << " was read";
            EXPECT_EQ(records.size(), c.records) << c.name;
        } catch (const DamagedInput& e) {
            EXPECT_EQ(e.Reason(), c.reason) << c.name;
            EXPECT_EQ(e.Path(), "/opt/app/.kavelo-journal") << c.name;
        }
    }
}

TEST(ReadJournal, EveryKindRoundTripsWithHostileNames) {
    const std::string odd = "a\tb\nc\\d\x01\x7f\xc3\xa9";
    const std::vector<JournalRecord> records = {
        {JournalKind::Root, {0, ""}, "/opt/" + odd, "", 0, 0},
        {JournalKind::MakeFolder, {0, odd}, "", "", 0, 0},
        {JournalKind::Keep, {0, odd + "/f"}, "", ".kavelo-keep-" + odd, 7, 18446744073709551615u},
        {JournalKind::Temp, {0, odd + "/.t"}, "", "", 0, 0},
        {JournalKind::New, {0, odd + "/f"}, "", "", 3, 4},
        {JournalKind::Commit, {}, "", "", 0, 0},
    };
    std::string text = kHead;
    for (const JournalRecord& r : records)
        text += JournalLine(r);
    const auto read = ReadJournal(text, "j");
    ASSERT_EQ(read.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(read[i].Kind, records[i].Kind) << i;
        EXPECT_EQ(read[i].Where, records[i].Where) << i;
        EXPECT_EQ(read[i].Folder, records[i].Folder) << i;
        EXPECT_EQ(read[i].Aside, records[i].Aside) << i;
        EXPECT_EQ(read[i].Device, records[i].Device) << i;
        EXPECT_EQ(read[i].Inode, records[i].Inode) << i;
    }
}

TEST(RecordLine, EscapesWhatWouldBreakALineAndReadsBack) {
    const struct {
        std::vector<std::string> fields;
        std::string line;
    } cases[] = {
        {{"plain", "two words"}, "plain\ttwo words\n"},
        {{"tab\there"}, "tab\\there\n"},
        {{"line\nbreak", "cr\r"}, "line\\nbreak\tcr\\x0d\n"},
        {{"back\\slash"}, "back\\\\slash\n"},
        {{std::string("nul\0", 4), "\x1b\x7f"}, "nul\\x00\t\\x1b\\x7f\n"},
        {{"caf\xc3\xa9 \x80"}, "caf\xc3\xa9 \x80\n"},
        {{"", ""}, "\t\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordLine(c.fields), c.line);
        const auto back = ReadRecordLine(c.line.substr(0, c.line.size() - 1));
        ASSERT_TRUE(back) << c.line;
        EXPECT_EQ(*back, c.fields) << c.line;
    }
    EXPECT_EQ(ReadRecordLine("\\x4A\\x4a"), std::vector<std::string>{"JJ"});
    for (const char* broken : {"end\\", "a\\q", "\\x4", "\\xz1", "\\x1"})
        EXPECT_FALSE(ReadRecordLine(broken)) << broken;
}

TEST(IsBelow, ComparesWholePartsOnly) {
    const struct {
        const char *path, *folder;
        bool below;
    } cases[] = {
        {"/opt/app", "/opt/app", true},
        {"/opt/app/bin/x", "/opt/app", true},
        {"/opt/app2", "/opt/app", false},
        {"/opt/app2/x", "/opt/app", false},
        {"/opt", "/opt/app", false},
        {"/opt/ap", "/opt/app", false},
        {"/anything", "/", true},
        {"/", "/", true},
        {"", "/", false},
        {"/opt/app.d/x", "/opt/app", false},
        {"/home/ann", "/home/ann/.local", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsBelow(c.path, c.folder), c.below) << c.path << " below " << c.folder;
    RootTable roots;
    roots.Add("/opt/app");
    roots.Add("/opt");
    EXPECT_EQ(roots.PlaceOf("/opt/app2/x"), (Place{1, "app2/x"}));
    EXPECT_EQ(roots.PlaceOf("/opt/app/x"), (Place{0, "x"}));
    EXPECT_EQ(roots.PlaceOf("/usr/x"), std::nullopt);
}

} // namespace
