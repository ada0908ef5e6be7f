// A host that records the messages the core shows, and a temporary folder
// that removes itself.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/Host.h"
#include "common/Progress.h"

class RecordingHost : public Host {
  public:
    void ShowError(const std::string& text) override { errors.push_back(text); }
    ProgressSink* BeginPacking() override {
        ++packings;
        return nullptr;
    }
    void EndPacking() override { ++ends; }
    void PackingLabel(const std::string& text) override { labels.push_back(text); }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }

    std::vector<std::string> errors;
    std::vector<std::string> questions;
    bool answer = false; // to every question
    std::vector<std::string> labels;
    int packings = 0;
    int ends = 0;
};

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavelo-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// TMPDIR names folder until the object goes (scratch files go there).
class TemporaryFolderVariable {
  public:
    explicit TemporaryFolderVariable(const std::string& folder)
        : had_(std::getenv("TMPDIR") != nullptr), old_(had_ ? std::getenv("TMPDIR") : "") {
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TemporaryFolderVariable() { had_ ? setenv("TMPDIR", old_.c_str(), 1) : unsetenv("TMPDIR"); }

  private:
    bool had_;
    std::string old_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
