// A lock on the setup's own file, which every writer shares whatever its
// session or runtime folder: an exclusive flock on a descriptor opened for
// reading. (A write lock through fcntl would need the file open for writing,
// and a program open for writing cannot be started, which "Create & test
// setup" does while the editor holds the setup.) A save replaces the file, so
// the new file is locked before it is renamed into place and the lock moves
// to it; the lock also tells whether the file was replaced or written by a
// program that does not take it.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <chrono>
#include <string>

#include "common/FileDescriptor.h"

class SetupFileLock {
  public:
    SetupFileLock() = default;
    ~SetupFileLock();
    SetupFileLock(SetupFileLock&& other) noexcept;
    SetupFileLock& operator=(SetupFileLock&& other) noexcept;
    SetupFileLock(const SetupFileLock&) = delete;
    SetupFileLock& operator=(const SetupFileLock&) = delete;

    // Locks the file at path (a link is followed), waiting until deadline for
    // another holder; throws KaveloError "in use by another program" naming
    // path when it does not come free. Nothing is held (and nothing thrown)
    // when there is no regular file to lock: a setup still to be made, or one
    // that cannot be read, which opening then reports.
    static SetupFileLock Take(const std::string& path,
                              std::chrono::steady_clock::time_point deadline);

    bool Held() const { return fd_.IsOpen(); }
    void Release();

    // Throws KaveloError naming path when path no longer names the file
    // locked, or that file was written since it was locked.
    void CheckUnchanged(const std::string& path) const;

  private:
    // Records the identity and modification time of the file held.
    void Remember();

    FileDescriptor fd_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    timespec modified_{};
};
