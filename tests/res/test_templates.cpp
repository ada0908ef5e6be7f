// The built-in files: the new-project template and the setup runtime.
#include "res/BuiltInFiles.h"

#include "package/PackageReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "ProcessRun.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Committed(const std::string& name) {
    return ReadFile(std::string(KAVELO_TEMPLATE_DIR) + "/" + name);
}

uint32_t BigEndian(const std::string& s, std::size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3]));
}

int32_t LittleEndian(const std::string& s, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return static_cast<int32_t>(v);
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

TEST(ResFiles, NamesAreFoundWithoutRegardToCase) {
    const std::string setup = LoadResFile("SETUP.TXT");
    ASSERT_EQ(setup.size(), 194u);
    for (const char* name : {"setup.txt", "Setup.Txt", "sEtUp.tXt"}) {
        EXPECT_EQ(LoadResFile(name), setup) << name;
        EXPECT_EQ(LoadResFile(name, "file"), setup) << name;
    }
    EXPECT_EQ(LoadResFile("picture.bmp"), LoadResFile("PICTURE.BMP"));
    EXPECT_EQ(LoadResFile("MyApp.exe"), LoadResFile("MYAPP.EXE"));
}

TEST(ResFiles, MissingNamesAndTypesAreEmpty) {
    for (const char* name : {"", "setup", "setup.txt ", " setup.txt", "setup.txt\r\n",
                             "setup\\setup.txt", "readme.txt", "SETUP.TXTX"})
        EXPECT_EQ(LoadResFile(name), "") << name;
    EXPECT_EQ(LoadResFile("setup.txt", "BITMAP"), "");
    EXPECT_EQ(LoadResFile("setup.txt", ""), "");
}

TEST(ResFiles, EveryBuiltInFileIsListed) {
    auto names = ResFileNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"KAVELO.EXE", "MYAPP.EXE", "PICTURE.BMP",
                                               "SCRIPT.TXT", "SETUP.TXT", "STRINGS.TXT"}));
}

TEST(ResFiles, SetupLinesOfTheTemplate) {
    const std::string setup = LoadResFile("setup.txt");
    EXPECT_EQ(setup, "My Application setup\r\n"
                     "This will install My Application||    ...\r\n"
                     "\r\n"
                     "My Company\\My Application\r\n"
                     "My Company\\My Application\r\n"
                     "My Application installed successfully||    ...\r\n"
                     "Launch My Application now");
    EXPECT_EQ(setup.size(), 194u);
    EXPECT_EQ(setup, Committed("SETUP.TXT"));
}

TEST(ResFiles, NumberedTextsOfTheTemplate) {
    const std::string strings = LoadResFile("strings.txt");
    EXPECT_EQ(strings, "Components to install:\r\nMy Application\r\n\r\nStart My Application\r\n");
    EXPECT_EQ(strings.size(), 64u);
    EXPECT_EQ(strings, Committed("STRINGS.TXT"));
}

TEST(ResFiles, ScriptHasTheSizeAndLineBreaksOfTheTemplate) {
    const std::string script = LoadResFile("script.txt");
    EXPECT_EQ(script, Committed("SCRIPT.TXT"));
    ASSERT_EQ(script.size(), 5437u);
    ASSERT_GE(script.size(), 2u);
    EXPECT_EQ(script.substr(script.size() - 2), "\r\n");
    std::size_t crlf = 0, cr = 0, lf = 0;
    for (std::size_t i = 0; i < script.size(); ++i) {
        cr += script[i] == '\r';
        lf += script[i] == '\n';
        if (script.compare(i, 2, "\r\n") == 0) ++crlf;
        EXPECT_TRUE(script[i] == '\r' || script[i] == '\n' ||
                    (script[i] >= 0x20 && script[i] < 0x7f))
            << "byte " << i;
    }
    EXPECT_EQ(crlf, 133u);
    EXPECT_EQ(cr, 133u);
    EXPECT_EQ(lf, 133u);
}

TEST(ResFiles, ScriptActsOnExactlyTheTemplateLines) {
    const std::vector<std::string> acting = {
        "[Create]",
        "Label 1            // Display a text next to the icon",
        "  Check 2          // Display a checkbox, which is checked",
        "[Event_1_0]  // user unchecks our checkbox",
        "Add 1        // We re-check it",
        "[Install]",
        "{1} // Always",
        "Check ,1,,MyApp.exe,,,1.0",
        "Del ,1,,MyApp.log         // Delete old logfile",
        "Copy MyApp.exe,1,,MyApp.exe,ADQS 4",
    };
    auto lines = SplitCrLf(LoadResFile("script.txt"));
    ASSERT_EQ(lines.size(), 134u); // the text after the last CR LF
    EXPECT_EQ(lines.back(), "");
    lines.pop_back();

    std::vector<std::string> found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line.rfind("//", 0) == 0) continue;
        found.push_back(line);
        if (line == "[Create]") {
            ASSERT_LT(i + 1, lines.size());
            EXPECT_EQ(lines[i + 1], "// Icon myapp.v6p  // Display an icon (not yet working)");
        }
    }
    EXPECT_EQ(found, acting);
}

TEST(ResFiles, ScriptGuideHidesNothingAParserReads) {
    // Each parser cuts a line at its first "//", then trims blanks; whatever
    // is left must be one of the acting lines' own texts.
    for (const std::string& line : SplitCrLf(LoadResFile("script.txt"))) {
        std::string code = line.substr(0, line.find("//"));
        code.erase(0, code.find_first_not_of(' '));
        code.erase(code.find_last_not_of(' ') + 1);
        if (line.rfind("//", 0) == 0 || line.empty()) {
            EXPECT_EQ(code, "") << line;
        }
        if (!code.empty() && code[0] == '[') {
            EXPECT_TRUE(code == "[Create]" || code == "[Event_1_0]" || code == "[Install]") << line;
        }
    }
}

// The record framing every packed template file shares: flags, four zero
// bytes, stored size, uncompressed size, then the stored bytes.
void ExpectEntryFraming(const std::string& entry, std::size_t uncompressed) {
    ASSERT_GE(entry.size(), 13u);
    EXPECT_TRUE(entry[0] == 0 || entry[0] == 1);
    EXPECT_EQ(BigEndian(entry, 1), 0u);
    EXPECT_EQ(BigEndian(entry, 5), entry.size() - 13);
    EXPECT_EQ(BigEndian(entry, 9), uncompressed);
}

TEST(ResFiles, PictureIsAPackedBitmapOf128By320With256Colours) {
    const std::string entry = LoadResFile("picture.bmp");
    ExpectEntryFraming(entry, 42038);
    EXPECT_EQ(entry[0], 1) << "the picture compresses, so it is stored compressed";
    EXPECT_LT(entry.size(), 42038u);

    const EntryRecord record = DecodeEntryRecord(entry);
    const std::string bmp = ExtractEntry(record);
    EXPECT_EQ(record.Size, 42038u);
    ASSERT_EQ(bmp.size(), 42038u);
    EXPECT_EQ(bmp, Committed("picture.bmp"));
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(LittleEndian(bmp, 2), 42038);           // file size
    EXPECT_EQ(LittleEndian(bmp, 10), 14 + 40 + 1024); // pixels after the palette
    EXPECT_EQ(LittleEndian(bmp, 14), 40);             // information header size
    EXPECT_EQ(LittleEndian(bmp, 18), 128);            // width
    EXPECT_EQ(LittleEndian(bmp, 22), 320);            // height, bottom-up
    EXPECT_EQ(bmp[26] | bmp[27] << 8, 1);             // planes
    EXPECT_EQ(bmp[28] | bmp[29] << 8, 8);             // bits per pixel
    EXPECT_EQ(LittleEndian(bmp, 30), 0);              // uncompressed
}

TEST(ResFiles, SampleProgramUnpacksToTheCommittedBinary) {
    const std::string entry = LoadResFile("myapp.exe");
    const std::string program = Committed("myapp.exe");
    ASSERT_FALSE(program.empty());
    ExpectEntryFraming(entry, program.size());
    const EntryRecord record = DecodeEntryRecord(entry);
    EXPECT_EQ(ExtractEntry(record), program);
    EXPECT_EQ(record.Size, program.size());
}

#if defined(__linux__) && defined(__x86_64__)
TEST(ResFiles, SampleProgramRunsAndGreets) {
    const std::string program = ExtractEntry(DecodeEntryRecord(LoadResFile("myapp.exe")));
    const auto dir =
        std::filesystem::temp_directory_path() / ("kavelo_res_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "myapp.exe";
    {
        std::ofstream out(path, std::ios::binary);
        out << program;
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);

    const ProcessResult run = RunProcess({path.string()});
    std::filesystem::remove_all(dir);

    EXPECT_EQ(run.out, "Hello from My Application\n");
    EXPECT_EQ(run.status, 0);
}
#endif

TEST(ResFiles, RuntimeIsCarriedByteForByteWhenBuilt) {
    const std::string runtime = LoadResFile("kavelo.exe");
#ifdef KAVELO_RUNTIME_FILE
    const std::string built = ReadFile(KAVELO_RUNTIME_FILE);
    ASSERT_FALSE(built.empty());
    EXPECT_EQ(runtime, built);
    EXPECT_EQ(runtime.substr(0, 4), "\x7f"
                                    "ELF");
#else
    EXPECT_EQ(runtime, "");
#endif
}

} // namespace
