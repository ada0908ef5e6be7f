// A file the project writes for itself, in the temporary folder ($TMPDIR),
// that lives exactly as long as something refers to it: its name is removed
// at once where the system lets the file be opened again through the
// process's descriptor (/proc/self/fd), so that nothing is left behind even
// by a killed process; otherwise it is removed when the object goes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/FileDescriptor.h"

class ScratchFile {
  public:
    // A new, empty file. Throws IoError.
    ScratchFile();
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Appends bytes. Throws IoError naming the file.
    void Append(std::string_view bytes);
    // A path that opens the file for as long as this object lives.
    const std::string& Path() const { return path_; }
    uint64_t Size() const { return size_; }

  private:
    FileDescriptor fd_;
    std::string path_;
    std::string named_; // the name to remove when the object goes, if still there
    uint64_t size_ = 0;
};
