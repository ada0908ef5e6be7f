// Contents the project makes for one of its files (a folder's tree, a file
// unpacked for another codec), appended in pieces: held in memory while
// small, written to a scratch file beyond that, so that a large one is never
// held whole; the next save reads it from there as it reads a user's file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "project/Project.h"

class ContentsBuilder {
  public:
    // Contents up to this many bytes stay in memory.
    static constexpr uint64_t kHeldInMemory = 4u << 20;

    // Throws IoError when the scratch file cannot be made or written.
    void Append(std::string_view bytes);
    // The contents as a project file holds them: the bytes, or the scratch
    // file that holds them. Throws IoError.
    std::variant<std::string, EntryRecord, FileOnDisk> Finish();

  private:
    std::string held_;
    std::shared_ptr<ScratchFile> scratch_;
};
