// The install simulator on a fuzzed script, numbered texts and selection
// (parts split at 0xFF bytes): it must finish with a report whose lines are
// all either actions ("    ...") or warnings ("###...").
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "script/InstallSimulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t from = 0;
    const std::string script = NextPart(input, from);
    const std::string strings = NextPart(input, from);
    const std::string selection = input.substr(from);
    const InstallSource source{script, strings, [](const std::string& name) {
                                   return name == "myapp.exe" || name == "a.exe";
                               }};
    for (const std::string& line : SimulateInstall(source, selection))
        if (line.rfind("    ", 0) != 0 && line.rfind("###", 0) != 0) __builtin_trap();
    return 0;
}
