// The install simulator on any script, numbered texts and selection:
// input = script 0xFF strings 0xFF selection. It must end, keep its tables
// and leave at most 256 debugger lines.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "project/Project.h"
#include "script/InstallSimulator.h"

namespace {} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t from = 0;
    gProject.ScriptText = NextPart(input, from);
    gProject.StringsText = NextPart(input, from);
    const std::string selection = input.substr(from);
    if (gProject.FileCount == 0) {
        AddFile("myapp.exe", "", false);
        AddFile("a.exe", "", false);
    }
    DebugClear();
    SimulateInstall(selection);
    // Link lines without a shortcut print nothing, so no line at all is fine.
    if (gRun.DebugLineCount < 0 || gRun.DebugLineCount > kMaxDebugLines) __builtin_trap();
    return 0;
}
