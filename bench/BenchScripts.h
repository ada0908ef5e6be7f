// The scripts the script benchmarks share: a component script of the size
// the editor must stay fluent with.
#pragma once

#include <string>

namespace bench_scripts {

// 2,000 lines: 64 elements of every kind, comments between them, and one
// event section for each element.
inline std::string LargeComponentScript() {
    std::string s = "// A component script of two thousand lines\r\n[Create]\r\n";
    int lines = 2;
    for (int id = 1; id <= 64; ++id) {
        switch (id % 4) {
        case 0:
            s += "Label 1            // a heading\r\n";
            break;
        case 1:
            s += "  Check 3          // checked and bold\r\n";
            break;
        case 2:
            s += "    Option 2\r\n";
            break;
        case 3:
            s += "  Combo 4,2        // four items\r\n";
            break;
        }
        s += "break 1\r\n";
        lines += 2;
    }
    // Labels take no ID: top up to 64 elements.
    for (int i = 0; i < 16; ++i, ++lines)
        s += "check 2\r\n";
    for (int id = 1; id <= 64; ++id) {
        s += "[Event_" + std::to_string(id) + "_1]   // ticked\r\n";
        s +=
            "Add " + std::to_string(id % 64 + 1) + "," + std::to_string((id * 7) % 64 + 1) + "\r\n";
        s += "Rem " + std::to_string((id * 3) % 64 + 1) + "\r\n";
        lines += 3;
    }
    while (lines < 2000) {
        s += "// a comment line explaining the script to the user, as the template does\r\n";
        ++lines;
    }
    return s;
}

} // namespace bench_scripts
