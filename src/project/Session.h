// Module1: the one project of a run with its run-time state, and the host
// the program provides. The windows, the CLI and the tests bind to it; the
// operations it offers are thin calls to those beneath, which take the
// project and the host as arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Host.h"
#include "project/Project.h"
#include "project/SaveSetup.h"
#include "project/SetupLock.h"

inline constexpr int kMaxDebugLines = 256; // lines kept in DebugText

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

class Module1 {
  public:
    // Messages go to standard error until SetHost names the program's host.
    Module1();
    explicit Module1(Host& host) : host_(&host) {}
    Module1(const Module1&) = delete;
    Module1& operator=(const Module1&) = delete;

    SetupProject Project;
    RunState Run;
    // Where saves find the setup runtime and how they write (the program's
    // own unless a test or benchmark chooses).
    SaveOptions Saving;
    // The lock on the project's setup while the program changes it; saving
    // checks the setup is still the one locked and moves the lock to the
    // file it writes.
    SetupLock Lock;

    Host& GetHost() const { return *host_; }
    void SetHost(Host& host) { host_ = &host; }

    // Fills the project from the built-in template (with the sample program
    // as its one file when withSample is set); the path stays.
    void NewProject(bool withSample);
    // Writes the project into its ProjectPath as a setup executable.
    bool SaveSetup();
    // Reads the project back from the setup executable at path.
    bool OpenSetup(const std::string& path);

    // Appends a line to DebugText, keeping the last 256 lines.
    void DebugPrint(const std::string& line);
    void DebugClear();
    // Prints every line of a report (the simulator's) with DebugPrint.
    void PrintReport(const std::vector<std::string>& lines);

  private:
    Host* host_;
};
