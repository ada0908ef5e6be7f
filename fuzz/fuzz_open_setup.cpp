// Opens a fuzzed file as a setup: OpenSetup must give true or false (with its
// message), never crash, hang or allocate from a count it has not checked.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/Host.h"
#include "project/Project.h"

namespace {
class SilentHost : public Host {
public:
    void ShowError(const std::string&) override { ++errors; }
    int errors = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SilentHost host;
    static const std::string path = "/tmp/kavelo-fuzz-open-" + std::to_string(getpid()) + ".exe";
    SetHost(&host);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    gProject.ProjectPath = path;
    host.errors = 0;
    const bool opened = OpenSetup();
    // A false result always comes with exactly one message; true with none.
    if (host.errors != (opened ? 0 : 1)) __builtin_trap();
    if (gProject.FileCount < 0 || gProject.FileCount > kMaxFiles) __builtin_trap();
    for (int32_t k = 0; k < gProject.FileCount; ++k)
        if (!gProject.Packed[k] || gProject.Data(k).size() < 13) __builtin_trap();
    return 0;
}
