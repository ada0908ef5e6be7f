#include "project/Project.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/Host.h"

SetupProject gProject;
RunState gRun;

namespace {

const std::string kCrLf = "\r\n";

class StderrHost : public Host {
  public:
    void ShowError(const std::string& text) override {
        // Message texts break lines with CR; a terminal wants LF.
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
                out += '\n';
            } else {
                out += text[i];
            }
        }
        std::fprintf(stderr, "%s\n", out.c_str());
    }
};

StderrHost gDefaultHost;
Host* gHost = &gDefaultHost;

int32_t LittleEndian32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return static_cast<int32_t>(v);
}

} // namespace

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

Host& GetHost() {
    return *gHost;
}
void SetHost(Host* host) {
    gHost = host ? host : &gDefaultHost;
}

int32_t FindFile(const std::string& name) {
    for (int32_t k = 0; k < gProject.FileCount; ++k)
        if (gProject.Name(k) == name) return k;
    return -1;
}

bool AddFile(const std::string& name, const std::string& data, bool packed) {
    if (gProject.FileCount >= kMaxFiles) return false;
    const int32_t k = gProject.FileCount++;
    gProject.Name(k) = name;
    gProject.Data(k) = data;
    gProject.Packed[k] = packed;
    return true;
}

void RemoveFile(int32_t k) {
    if (k < 0 || k >= gProject.FileCount) return;
    for (int32_t j = k; j + 1 < gProject.FileCount; ++j) {
        gProject.Name(j) = std::move(gProject.Name(j + 1));
        gProject.Data(j) = std::move(gProject.Data(j + 1));
        gProject.Packed[j] = gProject.Packed[j + 1];
    }
    const int32_t last = --gProject.FileCount;
    gProject.Name(last).clear();
    gProject.Data(last).clear();
    gProject.Packed[last] = false;
}

DropResult DropFiles(const std::vector<std::string>& paths) {
    DropResult result;
    for (const std::string& path : paths) {
        const size_t slash = path.find_last_of("\\/");
        const std::string name =
            LowerAscii(slash == std::string::npos ? path : path.substr(slash + 1));
        std::error_code ec;
        if (name.empty() || !std::filesystem::is_regular_file(path, ec)) {
            result.Skipped.push_back(path);
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            result.Skipped.push_back(path);
            continue;
        }
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) {
            result.Skipped.push_back(path);
            continue;
        }
        const int32_t k = FindFile(name);
        if (k >= 0) {
            gProject.Data(k) = std::move(bytes);
            gProject.Packed[k] = false;
            ++result.Replaced;
        } else if (AddFile(name, bytes, false)) {
            ++result.Added;
            if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
                result.AddedTxt = true;
        } else {
            result.Refused.push_back(path);
        }
    }
    return result;
}

void SplitLines(std::span<std::string> target, const std::string& text,
                const std::string& separator) {
    if (target.empty() || separator.empty()) return;
    // The text is read with one separator after it, so the last line (even
    // an empty one) is always stored.
    const std::string work = text + separator;
    size_t from = 0;
    for (size_t i = 0; i < target.size(); ++i) {
        const size_t at = work.find(separator, from);
        if (at == std::string::npos) return;
        target[i] = work.substr(from, at - from);
        from = at + separator.size();
    }
}

std::string LoadPictureFile(const std::string& path, bool allowTmp, bool checkSize) {
    if (path.size() < 4) return {};
    const std::string ext = LowerAscii(path.substr(path.size() - 4));
    if (ext != ".bmp" && ext != ".jpg" && ext != ".gif" && ext != ".ico" && ext != ".tmp")
        return {};
    if (ext == ".tmp" && !allowTmp) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return {};
    if (bytes.size() <= 93) return {};
    // The width and height of the bitmap information header that follows
    // the 14-byte file header.
    if (checkSize && (LittleEndian32(bytes, 18) != 128 || LittleEndian32(bytes, 22) != 320))
        return {};
    return bytes;
}

void DebugPrint(const std::string& line) {
    if (gRun.DebugLineCount >= kMaxDebugLines) {
        const size_t end = gRun.DebugText.find(kCrLf);
        gRun.DebugText.erase(0, end == std::string::npos ? gRun.DebugText.size() : end + 2);
        gRun.DebugText += kCrLf;
        gRun.DebugText += line;
        gRun.DebugLineCount = kMaxDebugLines;
    } else {
        if (gRun.DebugLineCount == 0)
            gRun.DebugText = line;
        else
            gRun.DebugText += kCrLf + line;
        ++gRun.DebugLineCount;
    }
    if (gRun.DebugOpen) GetHost().DebugTextChanged(gRun.DebugText);
}

void DebugClear() {
    gRun.DebugLineCount = 0;
    gRun.DebugText.clear();
    if (gRun.DebugOpen) GetHost().DebugTextChanged(gRun.DebugText);
}
