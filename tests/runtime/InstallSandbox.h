// A temporary machine for running setups end to end: a home with its data,
// config and desktop folders, an installation folder, a folder "outside" that
// nothing may touch, setups made with kavelo. Setups run with a clean
// environment pointing into the sandbox (no display), and, when the tests run
// as root, as the user "nobody", so that the user's mapping applies and
// nothing reaches the machine's own folders.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ProcessRun.h"
#include "TestHost.h"
#include "TreeSnapshot.h"

struct RunResult {
    int status = -1; // exit status; 128 + N for a signal N
    std::string out; // standard output and error, as a terminal shows them
};

// Runs command (no shell), its two output streams together.
inline RunResult RunCommand(const std::vector<std::string>& command) {
    ProcessOptions options;
    options.MergeErrors = true;
    const ProcessResult r = RunProcess(command, options);
    return {r.status, r.out + r.err};
}

// CR LF line ends, as scripts and numbered texts are stored.
inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

class Sandbox {
  public:
    Sandbox() {
        ::umask(022);
        for (const char* folder :
             {"home/Desktop", "home/.config", "home/.local/share", "outside", "src"})
            std::filesystem::create_directories(dir_ / folder);
    }

    std::string operator/(const std::string& name) const { return dir_ / name; }
    bool AsRoot() const { return ::geteuid() == 0; }

    // Gives everything below the sandbox to the user the setups run as.
    void HandOver() const {
        if (!AsRoot()) return;
        RunCommand({"chown", "-R", "65534:65534", dir_.Path().string()});
        ::chmod(dir_.Path().c_str(), 0755);
    }

    // The command's words for running a program as the installing user in
    // the sandbox's environment, with extra variables ("NAME=VALUE").
    std::vector<std::string> Words(const std::vector<std::string>& command,
                                   const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> words;
        if (AsRoot()) words = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        const std::string home = dir_ / "home";
        for (const std::string& w :
             {std::string("env"), std::string("-i"), std::string("PATH=/usr/bin:/bin"),
              std::string("LANG=C.UTF-8"), "HOME=" + home,
              "XDG_DATA_HOME=" + home + "/.local/share", "XDG_CONFIG_HOME=" + home + "/.config",
              "XDG_DESKTOP_DIR=" + home + "/Desktop"})
            words.push_back(w);
        words.insert(words.end(), env_.begin(), env_.end());
        words.insert(words.end(), extra.begin(), extra.end());
        words.insert(words.end(), command.begin(), command.end());
        return words;
    }

    // Adds NAME=VALUE to the environment of every later command (a later
    // PATH= replaces the sandbox's own).
    void SetEnv(const std::string& assignment) { env_.push_back(assignment); }

    // Runs the command as the installing user.
    RunResult Run(const std::vector<std::string>& command,
                  const std::vector<std::string>& extra = {}) const {
        return RunCommand(Words(command, extra));
    }

    // Makes a setup with kavelo: its files (name, contents), script, numbered
    // texts and setup lines (key, value). Returns its path.
    std::string
    MakeSetup(const std::string& kavelo, const std::string& name,
              const std::vector<std::pair<std::string, std::string>>& files,
              const std::string& script, const std::string& strings,
              const std::vector<std::pair<std::string, std::string>>& lines = {}) const {
        const std::string folder = dir_ / ("src/" + name);
        std::filesystem::create_directories(folder);
        const std::string setup = dir_ / ("src/" + name + ".exe");
        std::vector<std::string> add = {kavelo, "add", setup};
        for (const auto& [file, contents] : files) {
            WriteFile(folder + "/" + file, contents);
            add.push_back(folder + "/" + file);
        }
        WriteFile(folder + ".script", script);
        WriteFile(folder + ".strings", strings);
        std::vector<std::vector<std::string>> commands = {{kavelo, "new", setup, "--empty"}};
        if (!files.empty()) commands.push_back(add);
        commands.push_back({kavelo, "script", setup, "--set", folder + ".script", "--strings",
                            folder + ".strings"});
        for (const auto& [key, value] : lines)
            commands.push_back({kavelo, "set", setup, key, value});
        for (const std::vector<std::string>& command : commands) {
            const RunResult made = RunCommand(command);
            if (made.status == 0) continue;
            ADD_FAILURE() << "making " << name << ": " << made.out;
            break;
        }
        return setup;
    }

    // The sandbox's tree, leaving out the setups and their sources.
    TreeSnapshot Tree() const {
        TreeSnapshot tree = Snapshot(dir_.Path());
        std::erase_if(tree, [](const auto& entry) { return entry.first.rfind("src", 0) == 0; });
        return tree;
    }

    // The folder in the "\" form an install script writes.
    std::string ScriptPath(const std::string& name) const {
        std::string path = dir_ / name;
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }

  private:
    TempDir dir_;
    std::vector<std::string> env_;
};

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
