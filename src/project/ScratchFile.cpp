#include "project/ScratchFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "common/Errors.h"

ScratchFile::ScratchFile() {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    std::string pattern =
        ((ec ? std::filesystem::path("/tmp") : folder) / "kavelo-XXXXXX").string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) throw IoError(errno, pattern, "cannot make a scratch file");
    fd_.Reset(fd);
    const std::string viaDescriptor = "/proc/self/fd/" + std::to_string(fd);
    if (::access(viaDescriptor.c_str(), R_OK) == 0 && ::unlink(pattern.c_str()) == 0) {
        path_ = viaDescriptor;
    } else {
        path_ = pattern;
        named_ = pattern;
    }
}

ScratchFile::~ScratchFile() {
    if (!named_.empty()) ::unlink(named_.c_str());
}

void ScratchFile::Append(std::string_view bytes) {
    WriteAll(fd_.Get(), bytes, path_, "cannot write a scratch file");
    size_ += bytes.size();
}
