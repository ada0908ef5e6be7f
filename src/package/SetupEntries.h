// What makes a package a setup: the four setup files that come first, under
// names of their own, and the setup lines in setup\setup.txt. Shared by
// saving and opening, the setup runtime and the CLI.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "package/EntryCodec.h"
#include "package/PackageRecords.h"

// The package's names of the four setup files, in the order they are written.
inline constexpr std::string_view kSetupPictureName = "setup\\picture.bmp";
inline constexpr std::string_view kSetupScriptName = "setup\\script.txt";
inline constexpr std::string_view kSetupLinesName = "setup\\setup.txt";
inline constexpr std::string_view kSetupStringsName = "setup\\strings.txt";
inline constexpr int kSetupLineCount = 7; // lines of setup\setup.txt

// Indices of the setup lines (SetupProject::SetupLines, SetupLineText).
enum SetupLineIndex : int {
    LineCaption = 0,
    LineStartText = 1,
    LineLicense = 2,
    LineInstallFolder = 3,
    LineStartMenuFolder = 4,
    LineFinishText = 5,
    LineLaunchText = 6,
};

// Every setup file's name starts so; any other name is a user's file.
inline constexpr std::string_view kSetupFolderPrefix = "setup\\";

// The first entry whose name equals lowerName without regard to ASCII case;
// null when there is none.
const DirectoryEntry* FindEntry(const std::vector<DirectoryEntry>& entries,
                                std::string_view lowerName);

// A name our writer could never have stored: a ".." part, an absolute path or
// a drive, nothing after the last backslash, or a NUL byte. Opening refuses a
// package that holds one, so a file that would get such a name is never added.
bool IsUnsafeEntryName(std::string_view name);

// Line index (0 to 6) of the setup text, "|" turned into line breaks ("\n").
std::string SetupLineText(std::string_view setupText, int index);

// The project's codec rides in setup\setup.txt as a line past the seven,
// "compression=zstd"; every reader splits off the seven lines and drops the
// rest. A Huffman project has no such line, so its setup text stays as it was.
inline constexpr std::string_view kCodecKey = "compression=";
// What follows the seventh line for codec: nothing for Huffman, else CR LF and
// the key line.
std::string CodecLine(EntryCodec codec);
// The codec a setup text names past its seventh line; Huffman when it names
// none or one this program does not know.
EntryCodec SetupTextCodec(std::string_view setupText);
