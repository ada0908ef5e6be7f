#include "CliIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "CommandLine.h"
#include "install/DisplayText.h"
#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/LineEnds.h"
#include "package/BinaryFile.h"
#include "package/PackageFormat.h"
#include "package/PackageReader.h"
#include "project/OpenSetup.h"
#include "project/Session.h"
#include "project/SetupFileName.h"

namespace {

const std::string kStandardInput = "standard input";

// Standard input whole; throws KaveloError past maxSize bytes.
std::string ReadStandardInput(uint64_t maxSize) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw IoError(errno, kStandardInput, "cannot read");
        if (n == 0) return bytes;
        if (bytes.size() + static_cast<uint64_t>(n) > maxSize)
            throw KaveloError("more than the " + std::to_string(maxSize) + " bytes allowed",
                              kStandardInput);
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

// A file is only opened as a setup when it is one: a named pipe or a device
// would wait for input that never comes.
void RequireRegularFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) throw IoError(ec.value(), path);
    if (std::filesystem::is_directory(status)) throw IoError(EISDIR, path);
    if (!std::filesystem::is_regular_file(status)) throw KaveloError("not a regular file", path);
}

} // namespace

int Fail(const std::string& what) {
    Note(what);
    return kExitFailure;
}

void Note(const std::string& what) {
    std::fprintf(stderr, "kavelo: %s\n", PrintableText(what).c_str());
}

void CliHost::ShowError(const std::string& text) {
    for (size_t from = 0;;) {
        const size_t at = text.find('\n', from);
        Note(text.substr(from, at - from));
        if (at == std::string::npos) return;
        from = at + 1;
    }
}

Module1& Session() {
    static CliHost host;
    static Module1 session(host);
    return session;
}

bool ReadInputFile(const std::string& path, std::string& bytes, uint64_t maxSize) {
    try {
        bytes = path == "-" ? ReadStandardInput(maxSize) : ReadWholeFile(path, maxSize);
        return true;
    } catch (const KaveloError& e) {
        Fail(e.what());
        return false;
    }
}

bool WriteOutputFile(const std::string& path, const std::string& bytes) {
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
            std::fflush(stdout) == 0)
            return true;
        Fail("standard output: cannot write: " + std::string(std::strerror(errno)));
        return false;
    }
    try {
        const OutputTarget target = OutputTargetFor(path);
        if (target.Special) {
            std::ofstream out(target.Path, std::ios::binary);
            if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
                !out.flush())
                throw IoError(errno, path, "cannot write");
        } else {
            WriteFileAtomically(target.Path, bytes, target.Mode);
        }
        return true;
    } catch (const KaveloError& e) {
        Fail(e.what());
        return false;
    }
}

OutputTarget OutputTargetFor(const std::string& path) {
    OutputTarget target{path, NewFileMode(), false};
    // A link is followed: the file it names is the one replaced.
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) target.Path = resolved.string();
    }
    struct stat st {};
    if (::stat(target.Path.c_str(), &st) != 0) return target;
    if (S_ISDIR(st.st_mode)) throw IoError(EISDIR, path);
    target.Special = !S_ISREG(st.st_mode);
    target.Mode = st.st_mode & 07777;
    return target;
}

std::string ProjectText(std::string_view fileBytes) {
    if (fileBytes.starts_with("\xEF\xBB\xBF")) fileBytes.remove_prefix(3);
    return BareLfToCrLf(fileBytes);
}

std::string SetupPathFor(const std::string& given) {
    std::error_code ec;
    if (given == "-" || std::filesystem::exists(std::filesystem::symlink_status(given, ec)))
        return given;
    return SetupToOpen(given);
}

namespace {
int64_t gOpenedPackageOffset = -1;
} // namespace

int64_t OpenedRuntimeSize() {
    return gOpenedPackageOffset;
}

bool OpenSetupForReading(const std::string& given) {
    gOpenedPackageOffset = -1;
    if (given != "-") {
        const std::string path = SetupPathFor(given);
        if (!Session().OpenSetup(path)) return false;
        try {
            gOpenedPackageOffset = FindPackage(BinaryFile::OpenRead(path));
        } catch (const KaveloError&) {
            // Opened a moment ago; the size is only told when it can be read.
        }
        return true;
    }
    std::string bytes;
    if (!ReadInputFile("-", bytes, 2 * static_cast<uint64_t>(kMaxPackageNumber))) return false;
    SetupProject& project = Session().Project;
    project.ProjectPath = kStandardInput;
    const MemorySource source(bytes, kStandardInput);
    if (!::OpenSetup(project, Session().GetHost(), source)) return false;
    gOpenedPackageOffset = FindPackage(source);
    return true;
}

bool SetupChange::Open(const std::string& given) {
    const std::string path = SetupPathFor(given);
    return Lock(path) && Session().OpenSetup(path);
}

bool SetupChange::Lock(const std::string& path) {
    try {
        // A link to a setup shares the lock of the setup it names.
        std::error_code ec;
        const auto resolved = std::filesystem::weakly_canonical(path, ec);
        Session().Lock = SetupLock::Acquire(ec ? path : resolved.string(), "kavelo");
        return true;
    } catch (const KaveloError& e) {
        Fail(path + ": " + e.Reason());
        return false;
    }
}

bool SetupChange::Save() {
    return Session().SaveSetup();
}

PackageInput::PackageInput() = default;
PackageInput::~PackageInput() = default;

bool PackageInput::Open(const std::string& given) {
    if (given == "-") {
        shown_ = kStandardInput;
        if (!ReadInputFile("-", bytes_, 2 * static_cast<uint64_t>(kMaxPackageNumber))) return false;
        memory_ = std::make_unique<MemorySource>(bytes_, shown_);
        source_ = memory_.get();
        return true;
    }
    shown_ = SetupPathFor(given);
    try {
        RequireRegularFile(shown_);
        file_ = BinaryFile::OpenRead(shown_);
        source_ = &file_;
        return true;
    } catch (const KaveloError& e) {
        Fail(e.what());
        return false;
    }
}
