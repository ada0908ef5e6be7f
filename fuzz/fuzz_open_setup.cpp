// Opens fuzzed bytes as a setup: OpenSetup must give true or false (with its
// message), never crash, hang or allocate from a count it has not checked.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/Host.h"
#include "package/ByteSource.h"
#include "project/OpenSetup.h"

namespace {
class CountingHost : public Host {
  public:
    void ShowError(const std::string&) override { ++errors; }
    int errors = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CountingHost host;
    static SetupProject project;
    project.ProjectPath = "fuzzed.exe";
    host.errors = 0;
    const MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size),
                              project.ProjectPath);
    const bool opened = OpenSetup(project, host, source);
    // A false result always comes with exactly one message; true with none.
    if (host.errors != (opened ? 0 : 1)) __builtin_trap();
    if (project.FileCount() > kMaxFiles) __builtin_trap();
    for (const ProjectFile& f : project.Files)
        if (!f.Packed() || f.Record().Stored.size() != f.Record().StoredSize) __builtin_trap();
    return 0;
}
