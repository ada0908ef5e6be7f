#include "project/Session.h"

#include "project/NewProject.h"
#include "project/OpenSetup.h"
#include "project/SaveSetup.h"

namespace {
const std::string kCrLf = "\r\n";

Host& DefaultHost() {
    static StderrHost host;
    return host;
}
} // namespace

Module1::Module1() : host_(&DefaultHost()) {}

void Module1::NewProject(bool withSample) {
    ::NewProject(Project, withSample);
}

bool Module1::SaveSetup() {
    return ::SaveSetup(Project, *host_, Lock.Held() ? &Lock : nullptr, Saving);
}

bool Module1::OpenSetup(const std::string& path) {
    Project.ProjectPath = path;
    return ::OpenSetup(Project, *host_);
}

void Module1::DebugPrint(const std::string& line) {
    if (Run.DebugLineCount >= kMaxDebugLines) {
        const size_t end = Run.DebugText.find(kCrLf);
        Run.DebugText.erase(0, end == std::string::npos ? Run.DebugText.size() : end + 2);
        Run.DebugText += kCrLf;
        Run.DebugText += line;
        Run.DebugLineCount = kMaxDebugLines;
    } else {
        if (Run.DebugLineCount == 0)
            Run.DebugText = line;
        else
            Run.DebugText += kCrLf + line;
        ++Run.DebugLineCount;
    }
    if (Run.DebugOpen) host_->DebugTextChanged(Run.DebugText);
}

void Module1::DebugClear() {
    Run.DebugLineCount = 0;
    Run.DebugText.clear();
    if (Run.DebugOpen) host_->DebugTextChanged(Run.DebugText);
}

void Module1::PrintReport(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        DebugPrint(line);
}
