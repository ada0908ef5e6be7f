#include "install/DesktopEntry.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/BigEndian.h"
#include "common/Errors.h"
#include "common/Utf8Text.h"
#include "install/DisplayText.h"

namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

// The registered main and additional categories of desktop menus (the
// reserved ones, which need OnlyShowIn, left out).
constexpr std::string_view kCategories =
    ";AudioVideo;Audio;Video;Development;Education;Game;Graphics;Network;Office;Science;"
    "Settings;System;Utility;Building;Debugger;IDE;GUIDesigner;Profiling;RevisionControl;"
    "Translation;Calendar;ContactManagement;Database;Dictionary;Chart;Email;Finance;"
    "FlowChart;PDA;ProjectManagement;Presentation;Spreadsheet;WordProcessor;2DGraphics;"
    "VectorGraphics;RasterGraphics;3DGraphics;Scanning;OCR;Photography;Publishing;Viewer;"
    "TextTools;DesktopSettings;HardwareSettings;Printing;PackageManager;Dialup;"
    "InstantMessaging;Chat;IRCClient;Feed;FileTransfer;HamRadio;News;P2P;RemoteAccess;"
    "Telephony;TelephonyTools;VideoConference;WebBrowser;WebDevelopment;Midi;Mixer;Sequencer;"
    "Tuner;TV;AudioVideoEditing;Player;Recorder;DiscBurning;ActionGame;AdventureGame;"
    "ArcadeGame;BoardGame;BlocksGame;CardGame;KidsGame;LogicGame;RolePlaying;Shooter;"
    "Simulation;SportsGame;StrategyGame;Art;Construction;Music;Languages;"
    "ArtificialIntelligence;Astronomy;Biology;Chemistry;ComputerScience;DataVisualization;"
    "Economy;Electricity;Geography;Geology;Geoscience;History;Humanities;ImageProcessing;"
    "Literature;Maps;Math;NumericalAnalysis;MedicalSoftware;Physics;Robotics;Spirituality;"
    "Sports;ParallelComputing;Amusement;Archiving;Compression;Electronics;Emulator;"
    "Engineering;FileTools;FileManager;TerminalEmulator;Filesystem;Monitor;Security;"
    "Accessibility;Calculator;Clock;TextEditor;Documentation;Adult;Core;KDE;GNOME;XFCE;GTK;"
    "Qt;Motif;Java;ConsoleOnly;";

// The sizes of the hicolor theme's fixed-size application icon folders.
constexpr std::array<uint32_t, 13> kIconSizes = {16, 22, 24,  32,  36,  48, 64,
                                                 72, 96, 128, 192, 256, 512};

bool IsCategoryName(std::string_view name) {
    if (name.starts_with("X-") && name.size() > 2)
        return name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                      "0123456789-_") == std::string_view::npos;
    return name.find(';') == std::string_view::npos &&
           kCategories.find(";" + std::string(name) + ";") != std::string_view::npos;
}

std::string QuoteArgument(const std::string& word) {
    std::string out;
    const bool quote = word.empty() || word.find_first_of(kReserved) != std::string::npos;
    if (quote) out += '"';
    for (const char c : word) {
        if (c == '%') {
            out += "%%";
            continue;
        }
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        out += c;
    }
    if (quote) out += '"';
    return out;
}

} // namespace

std::vector<std::string> SplitOptions(const std::string& options) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : options) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string DesktopString(const std::string& value) {
    std::string out;
    for (const char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string DesktopExec(const std::string& program, const std::vector<std::string>& arguments) {
    std::string exec = QuoteArgument(program);
    for (const std::string& argument : arguments)
        exec += " " + QuoteArgument(argument);
    return DesktopString(exec);
}

std::string LauncherName(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (kept)
            out += c;
        else if (out.empty() || out.back() != '-')
            out += '-';
        if (out.size() >= 100) break;
    }
    // No hidden names, and never "." or "..".
    const size_t first = out.find_first_not_of("-.");
    if (first == std::string::npos) return "launcher";
    out.erase(0, first);
    while (out.back() == '-')
        out.pop_back();
    return out;
}

std::string MenuSubfolder(const std::string& startMenuFolder) {
    std::string folder;
    size_t from = 0;
    while (from <= startMenuFolder.size()) {
        size_t cut = startMenuFolder.find_first_of("\\/", from);
        if (cut == std::string::npos) cut = startMenuFolder.size();
        const std::string part = startMenuFolder.substr(from, cut - from);
        from = cut + 1;
        if (part.find_first_not_of(" .") == std::string::npos) continue;
        folder += (folder.empty() ? "" : "/") + LauncherName(part);
    }
    return folder;
}

std::string DesktopEntryText(const Launcher& launcher) {
    std::string folder = launcher.Program.substr(0, launcher.Program.rfind('/'));
    if (folder.empty()) folder = "/";
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Version=1.0\n";
    text += "Name=" + DesktopString(BytesToUtf8(launcher.Name)) + "\n";
    text += "Exec=" + DesktopExec(launcher.Program, launcher.Arguments) + "\n";
    text += "Path=" + DesktopString(folder) + "\n";
    text += "Icon=" + DesktopString(launcher.Icon) + "\n";
    text += std::string("Terminal=") + (launcher.Terminal ? "true" : "false") + "\n";
    text += "Categories=" + DesktopString(launcher.Categories) + "\n";
    return text;
}

std::string LauncherCategories(const std::string& categories) {
    if (categories.empty()) return "Utility;";
    std::string value;
    bool audioVideo = false, needsAudioVideo = false;
    for (size_t from = 0; from < categories.size();) {
        const size_t end = std::min(categories.find(';', from), categories.size());
        const std::string name = categories.substr(from, end - from);
        from = end + 1;
        if (name.empty()) continue;
        if (!IsCategoryName(name))
            throw InvalidRequest("\"" + name +
                                 "\" is no registered launcher category; a category of one's "
                                 "own begins with \"X-\"");
        audioVideo |= name == "AudioVideo";
        needsAudioVideo |= name == "Audio" || name == "Video";
        value += name + ";";
    }
    if (needsAudioVideo && !audioVideo)
        throw InvalidRequest("the launcher categories Audio and Video need AudioVideo beside "
                             "them: \"" +
                             categories + "\"");
    return value.empty() ? "Utility;" : value;
}

std::string IconThemePath(const std::string& name, std::string_view iconFile,
                          std::string_view contents) {
    if (iconFile.ends_with(".svg")) return "hicolor/scalable/apps/" + LauncherName(name) + ".svg";
    // A PNG's size is in its IHDR chunk, which follows the 8-byte signature.
    if (!iconFile.ends_with(".png") || contents.size() < 24 ||
        contents.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8))
        return {};
    const uint32_t width = CharsToLong(contents, 16);
    if (width < kIconSizes.front() || width > 1024 || CharsToLong(contents, 20) != width) return {};
    // The theme looks for icons only in the folders its index names.
    const auto fits = std::upper_bound(kIconSizes.begin(), kIconSizes.end(), width) - 1;
    const std::string size = std::to_string(*fits);
    return "hicolor/" + size + "x" + size + "/apps/" + LauncherName(name) + ".png";
}
