// Planning reads of a version 2 tree only its header and index: with the
// same damage past them, a version 1 tree (its names among the contents) is
// refused while planning, while a version 2 tree plans every entry and is
// refused only as its contents are installed, naming the tree, and undone.
#include "install/TreeIndex.h"

#include <gtest/gtest.h>

#include <random>

#include "InstallMachine.h"
#include "TreeV1.h"
#include "package/PackageWriter.h"

namespace {

Tree AppTree() {
    std::mt19937 rng(3);
    std::string program(1 << 20, '\0');
    for (char& c : program)
        c = static_cast<char>('a' + rng() % 16);
    return {"App",
            {{TreeKind::Folder, "bin", ""},
             {TreeKind::Program, "bin/app", program},
             {TreeKind::Link, "run", "bin/app"},
             {TreeKind::File, "z.txt", "last"}}};
}

// The tree packed with zstd, its stream's last 4 KB gone.
RawEntry CutShort(const std::string& bytes) {
    EntryRecord record = CompressEntry(bytes, EntryCodec::Zstd);
    record.Stored.resize(record.Stored.size() - 4096);
    return {"app.tree", record.Stored, record.Flags, static_cast<int64_t>(bytes.size())};
}

bool Planned(const InstallPlan& plan, const std::string& path) {
    return std::any_of(plan.Steps.begin(), plan.Steps.end(),
                       [&](const PlanStep& s) { return s.Path == path; });
}

TEST(TreeIndex, PlanningReadsOnlyAVersion2TreesIndex) {
    const std::string script = "[Install]\r\nCopy app.tree,1,app,\r\n";
    Machine v1(5, script, {CutShort(EncodeTreeV1(AppTree()))});
    EXPECT_THROW(v1.Plan(), DamagedInput);

    Machine m(5, script, {CutShort(EncodeTree(AppTree()))});
    const InstallPlan plan = m.Plan();
    for (const char* name : {"bin", "bin/app", "run", "z.txt"})
        EXPECT_TRUE(Planned(plan, m / "root/inst/app/" + name)) << name;
    const TreeIndex index = ReadTreeIndex(m.Setup().File, *m.Setup().FindUserFile("app.tree"));
    // In the container's order: bin, run, bin/app, z.txt.
    EXPECT_EQ(index.Sizes, (std::vector<uint32_t>{0, 7, 1 << 20, 4}));
    EXPECT_EQ(index.Entries.Entries[1].Data, "bin/app");

    const TreeSnapshot before = m.Tree();
    StopAt never(1 << 30, false);
    std::optional<InstallLock> lock;
    const InstallResult r = RunInstallation(m.Setup(), plan, never, lock);
    EXPECT_EQ(r.Outcome, InstallOutcome::FailedUndone);
    ASSERT_TRUE(r.Failure);
    EXPECT_EQ(r.Failure->Reason().rfind("the tree app.tree is damaged: ", 0), 0u)
        << r.Failure->Reason();
    EXPECT_EQ(SnapshotDifference(before, m.Tree()), "");
}

} // namespace
