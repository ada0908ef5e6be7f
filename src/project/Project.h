// The one setup project of the run, the run-time state beside it, and the
// small helpers that the windows, the simulator, saving and opening share.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kMaxFiles = 512;      // entries of the file table
inline constexpr int kFileSlots = 1024;    // name/data slots: 2k name, 2k+1 data
inline constexpr int kSetupLineCount = 7;  // lines of setup\setup.txt
inline constexpr int kMaxDebugLines = 256; // lines kept in DebugText

// Indices of SetupProject::SetupLines.
enum SetupLineIndex : int {
    LineCaption = 0,
    LineStartText = 1,
    LineLicense = 2,
    LineInstallFolder = 3,
    LineStartMenuFolder = 4,
    LineFinishText = 5,
    LineLaunchText = 6,
};

// One user file, copied out of the file table.
struct ProjectFile {
    std::string Name; // lower case, no folder
    std::string Data; // the file's bytes, or its EntryRecord when Packed
    bool Packed = false;
};

struct SetupProject {
    std::string ProjectPath;
    // The file table: slot 2k holds Name and slot 2k+1 Data of entry k.
    // Opening fills the even slots with directory records first.
    std::array<std::string, kFileSlots> Files;
    std::array<bool, kFileSlots> Packed{}; // indexed by entry; 0..511 used
    int32_t FileCount = 0;
    std::string Picture;       // the side picture as a complete .bmp file
    std::string PicturePacked; // its EntryRecord, empty until packed
    std::string StringsText;
    std::array<std::string, kSetupLineCount> SetupLines;
    std::string ScriptText;

    std::string& Name(int k) { return Files[2 * k]; }
    const std::string& Name(int k) const { return Files[2 * k]; }
    std::string& Data(int k) { return Files[2 * k + 1]; }
    const std::string& Data(int k) const { return Files[2 * k + 1]; }
    ProjectFile File(int k) const { return {Name(k), Data(k), Packed[k]}; }
};

// Run-time state, never written into a setup.
struct RunState {
    std::string DebugText; // lines separated by CR LF
    int32_t DebugLineCount = 0;
    bool GenOpen = false;
    bool ScreenOpen = false;
    bool FileListOpen = false;
    bool EditorOpen = false;
    bool TestOpen = false;
    bool DebugOpen = false;
    bool ProgressOpen = false;
    bool InfoOpen = false;
};

extern SetupProject gProject;
extern RunState gRun;

// Fills the project from the built-in template; with the sample program as
// its one file when withSample is set.
void NewProject(bool withSample);

// s with the letters A-Z lowered; bytes from 0x80 on are left alone, so UTF-8
// text survives. Case-insensitive comparisons lower both sides with it.
std::string LowerAscii(std::string_view s);

// Index of the entry whose Name equals name exactly, or -1.
int32_t FindFile(const std::string& name);

// Appends a file to the table; false (and nothing changed) when the table
// already holds kMaxFiles entries.
bool AddFile(const std::string& name, const std::string& data, bool packed);

// What a drop of files on the file manager did.
struct DropResult {
    int Added = 0;
    int Replaced = 0;
    bool AddedTxt = false;            // a new ".txt" file: the licence list changes
    std::vector<std::string> Skipped; // paths that could not be read (folders too)
    std::vector<std::string> Refused; // new files past the 512-entry table
};

// Adds each readable file under its lower-cased name without folders, as raw
// bytes to be packed by the next save; a name already in the list gets the
// new contents and keeps its place.
DropResult DropFiles(const std::vector<std::string>& paths);

// Removes entry k, moving the later entries down one place.
void RemoveFile(int32_t k);

// Splits text at separator into target's slots from the first on; slots after
// the last line keep their contents, lines past the last slot are dropped.
void SplitLines(std::span<std::string> target, const std::string& text,
                const std::string& separator);

// Reads a picture file for the side picture; empty when rejected.
std::string LoadPictureFile(const std::string& path, bool allowTmp, bool checkSize);

// Appends a line to DebugText, keeping the last 256 lines.
void DebugPrint(const std::string& line);
void DebugClear();

// Writes the project into ProjectPath as a setup executable.
bool SaveSetup();
// Reads the project back from the setup executable at ProjectPath.
bool OpenSetup();
