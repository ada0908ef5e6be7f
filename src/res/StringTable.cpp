#include "res/StringTable.h"

#include <algorithm>
#include <array>

namespace {

// Numbers are grouped by window in blocks of hundreds: 10-35 general texts and
// messages, 100-106 About window, 150-155 startup dialog, 160 progress window,
// 200-285 main window, 300-370 general information, 400-410 startup and finish
// text, 500-511 file manager (505, 506 and 508 name what an addition could not take, 507 adds a
// folder), 600 script editor, 700-704 test window, 800 debugger. "&" marks an access key,
// "|" a line break, "$" (and "%" in 102) a slot the caller fills. Kept sorted
// by number for the binary search.
constexpr std::array<ResString, 91> kStrings{{
    {10, "KaveloMaker"},
    {20, "Kavelo setup files (*.run *.exe)"},
    {21, "Create new setup..."},
    {22, "Load setup..."},
    {30, "KaveloMaker"},
    {31, "Error creating setup file|$"},
    {32, "Error opening setup file|$"},
    {33, "File is no Kavelo setup file"},
    {34, "Error opening '$\""},
    // Our own: "Create & test setup" could not start the setup it wrote.
    {35, "Error starting setup file|$"},
    {100, "About..."},
    {101, "KaveloMaker $"},
    {102, "KaveloMaker $ [beta %]"},
    {103, "Copyright (c) the KaveloMaker authors. All rights reserved."},
    {104, "Further information and credits are in readme.txt."},
    {105, "KaveloMaker is free to use and to pass on.|The licence terms are in license.txt."},
    {106, "&Close"},
    {150, "KaveloMaker - Startup"},
    {151, "Create a new setup..."},
    {152, "Open an existing setup..."},
    {153, "Load selected project"},
    {154, "Quit"},
    // Our own: the label of the startup dialog's recent list.
    {155, "&Recent projects"},
    {160, "Packing file(s)..."},
    {200, "KaveloMaker"},
    {210, "&Project"},
    {211, "&New..."},
    {212, "&Open..."},
    {213, "&Save"},
    {214, "Save &as..."},
    {215, "&Quit"},
    {230, "&Windows"},
    {231, "&General & Interface"},
    {232, "&Startup & finishtext"},
    {233, "&File manager"},
    {234, "Edit &scripts"},
    {235, "&Test scripts"},
    {236, "&Create & test setup"},
    {239, "&Close all"},
    {250, "&Info"},
    {251, "&About"},
    {280, "General info & interface"},
    {281, "Startup and finish text"},
    {282, "Manage files"},
    {283, "Edit script"},
    {284, "Test script"},
    {285, "Create setup.exe"},
    {300, "General setup information"},
    {301, "&Close"},
    {310, "Window caption"},
    {320, "Window icon"},
    {321, "Clear"},
    {322, "Open"},
    {325, "Choose icon"},
    {326, "32x32 pixel icon (*.ico)"},
    {330, "<- Picture"},
    {331, "Clear"},
    {332, "Open"},
    {335, "Choose picture"},
    {336, "128x320 pixel picture (*.bmp)"},
    {340, "License to display"},
    {341, "(none)"},
    {350, "Installation subfolder"},
    {360, "Startmenu subfolder for shortcuts"},
    {370, "Launch program after installation text"},
    {380, "Co&mpression"},
    {381, "Huffman"},
    {382, "zstd (smaller)"},
    {400, "Startup & end text"},
    {401, "&Startup"},
    {402, "&Finish"},
    {403, "&Close"},
    {410, "(Launch 'My Application' now...)"},
    {500, "File explorer"},
    {501, "&Add files..."},
    {502, "&Rename"},
    {503, "&Remove"},
    {504, "&Close"},
    {505, "Not added, a setup holds at most 512 files: $"},
    {506, "Not added: $"},
    {507, "Add &folder..."},
    {508, "Folder not added: $"},
    {510, "Rename file..."},
    {511, "Enter new filename"},
    {600, "Component and Installation script editor"},
    {700, "Test component window"},
    {701, "Choose the components you want to install"},
    {702, "&Update"},
    {703, "&Install"},
    {704, "&Close"},
    {800, "Installation debugger"},
}};

constexpr bool IsSortedById() {
    for (std::size_t i = 1; i < kStrings.size(); ++i)
        if (kStrings[i - 1].Id >= kStrings[i].Id) return false;
    return true;
}
static_assert(IsSortedById(), "the string table must be sorted by number, without repeats");

} // namespace

// Every "|" becomes a line break and then every pair of line breaks so made
// becomes one "|" again; a single left-to-right pass gives the same.
std::string ExpandLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '|') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '|') {
            out += '|';
            ++i;
        } else {
            out += kResLineBreak;
        }
    }
    return out;
}

std::string GetResString(int32_t id, bool multiline) {
    auto it = std::lower_bound(kStrings.begin(), kStrings.end(), id,
                               [](const ResString& s, int32_t n) { return s.Id < n; });
    if (it == kStrings.end() || it->Id != id) return "#" + std::to_string(id);
    if (!multiline) return std::string(it->Text);
    return ExpandLineBreaks(it->Text);
}

std::span<const ResString> ResStringTable() {
    return kStrings;
}
