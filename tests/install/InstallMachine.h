// A temporary machine for the engine in-process: an installation folder with
// an earlier installation in it, files outside that must never change, the
// setup to install; and a progress that stops or dies at a chosen call.
#pragma once

#include <unistd.h>

#include <random>

#include "PackageBuilder.h"
#include "TestHost.h"
#include "TreeSnapshot.h"
#include "huffman/Huffman.h"
#include "install/InstallEngine.h"
#include "common/Sha256.h"

inline const char* const kScript = "[Install]\r\n"
                                   "Del ,1,,old.log\r\n"
                                   "Copy a.bin,1,,a.bin\r\n"
                                   "Copy b.txt,1,sub\\deep,b.txt\r\n"
                                   "Copy c.txt,2,kt,c.txt\r\n"
                                   "Copy b.txt,1,,hard.txt\r\n"
                                   "Copy d.sh,1,,d.sh,SD 1\r\n";

// A temporary machine: an installation folder with an earlier installation
// in it, files outside that must never change, and the setup to install.
class Machine {
  public:
    explicit Machine(uint32_t bSize = 5, const std::string& script = kScript,
                     const std::vector<RawEntry>& extra = {}) {
        std::mt19937 rng(9);
        std::string a(3u << 20, '\0');
        for (char& c : a)
            c = static_cast<char>(rng() % 7 == 0 ? rng() : 'a' + rng() % 4);
        const std::string stream = CompressHuffman(a);
        std::vector<RawEntry> entries = {
            {"setup\\picture.bmp", "BM"},
            {"setup\\script.txt", WithRoot(script)},
            {"setup\\setup.txt", "Cap\r\n\r\n\r\nAcme\\Tool\r\nAcme\r\n\r\nGo"},
            {"setup\\strings.txt", "Start D\r\n"},
            {"a.bin", stream, 1, static_cast<int64_t>(a.size())},
            {"b.txt", "bee", 0, bSize == 5 ? 3 : bSize},
            {"c.txt", "sea"},
            {"d.sh", "#!/bin/sh\n"}};
        entries.insert(entries.end(), extra.begin(), extra.end());
        WriteFile(dir_ / "setup.exe", BuildSetup("RUNTIME", entries));
        for (const char* folder : {"root/inst", "root/outside", "root/share", "root/desktop"})
            std::filesystem::create_directories(dir_ / folder);
        WriteFile(dir_ / "root/inst/old.log", "log");
        WriteFile(dir_ / "root/inst/a.bin", "old a");
        WriteFile(dir_ / "root/inst/gone.txt", "gone");
        WriteFile(dir_ / "root/outside/victim.txt", "victim");
        std::filesystem::create_hard_link(dir_ / "root/outside/victim.txt",
                                          dir_ / "root/inst/hard.txt");
        Manifest earlier;
        earlier.Roots.Add(dir_ / "root/inst");
        earlier.Files.push_back({{0, "gone.txt"}, 4, Sha256Hex("gone"), "", false});
        WriteFile(dir_ / "root/inst/.kavelo-manifest", ManifestText(earlier));
        std::filesystem::permissions(dir_ / "root/inst/.kavelo-manifest",
                                     std::filesystem::perms(0644));
    }

    const SetupPackage& Setup() {
        if (!setup_) setup_ = OpenSetupPackage(dir_ / "setup.exe");
        return *setup_;
    }

    // script with "@ROOT@" standing for the machine's root folder, as "\" text.
    std::string WithRoot(std::string script) const {
        std::string root = dir_ / "root";
        for (char& c : root)
            if (c == '/') c = '\\';
        for (size_t at; (at = script.find("@ROOT@")) != std::string::npos;)
            script.replace(at, 6, root);
        return script;
    }

    LinuxFolders Folders() const {
        return {dir_ / "root/inst",
                dir_ / "root/lib",
                dir_ / "root/share",
                dir_ / "root/share/applications",
                "",
                dir_ / "root/desktop",
                dir_ / "root/bin"};
    }

    InstallPlan Plan(const FolderRules& rules = {}) {
        PlanRequest request;
        request.Setup = &Setup();
        request.Folders = Folders();
        request.Rules = rules;
        return PlanInstallation(request);
    }

    TreeSnapshot Tree() const { return Snapshot(dir_ / "root"); }
    std::string operator/(const std::string& name) const { return dir_ / name; }

  private:
    TempDir dir_;
    std::optional<SetupPackage> setup_;
};

// Counts its calls; from call stopAt on it asks to stop (or, with die, ends
// the process as a kill would).
class StopAt : public InstallProgress {
  public:
    StopAt(int stopAt, bool die) : stopAt_(stopAt), die_(die) {}
    bool Cancelled() override {
        if (++calls_ < stopAt_) return false;
        if (die_) _exit(9);
        return true;
    }
    int Calls() const { return calls_; }

  private:
    int stopAt_;
    bool die_;
    int calls_ = 0;
};
