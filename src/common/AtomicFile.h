// The one way a file is written: under a temporary name in the target's
// folder, pushed to the disk, given its mode and renamed over the target only
// when complete, so a failed or killed write never damages what was there.
// The temporary file is unnamed (O_TMPFILE) where the file system has unnamed
// files, so a killed writer leaves nothing behind; elsewhere it is named
// "TARGET.saving-PID-XXXXXX" from the start.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

#include "common/FileDescriptor.h"

class AtomicFile {
  public:
    // Creates the temporary file beside target. allowUnnamed false makes it
    // a named one from the start, as on a file system without unnamed files.
    // Throws IoError naming target.
    explicit AtomicFile(std::string target, bool allowUnnamed = true);
    // Removes the temporary file when Commit did not put it in place.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::string& Target() const { return target_; }
    int Fd() const { return fd_.Get(); }
    // A path that opens the temporary file, for writers that open by name.
    std::string OpenPath() const;
    // Appends bytes at the file's offset; throws IoError.
    void Write(std::string_view bytes);
    // Pushes the file to the disk, gives it mode and renames it over the
    // target; beforeRename is told the file's temporary name just before.
    // Throws IoError naming the target.
    void Commit(mode_t mode, const std::function<void(const std::string&)>& beforeRename = {});

  private:
    bool OpenUnnamed();
    void OpenNamed();
    void NameUnnamed();

    std::string target_;
    FileDescriptor fd_;
    bool unnamed_ = false;
    std::string named_; // the temporary name while the file has one
};

// Writes bytes into a new file at path with mode, in the AtomicFile way.
void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode);

// The mode a new file gets when nobody chooses one: 0666 less the umask.
mode_t NewFileMode();

// Removes the named temporary files that writers of target which no longer
// run left behind (killed between naming the file and the rename).
void RemoveStaleTemporaries(const std::string& target);
