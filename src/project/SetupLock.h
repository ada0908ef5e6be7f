// One writer at a time for a setup: whoever changes a setup (a CLI command
// from opening to the rename, the editor while it has the setup open) holds
// an exclusive lock keyed by the setup's path. The lock lives in the user's
// runtime folder, not on the setup's own inode, which a save replaces; the
// system drops it when the holder ends, even by a crash, and its file goes
// with the last holder's release.
#pragma once

#include <chrono>
#include <string>

#include "common/FileDescriptor.h"

class SetupLock {
  public:
    SetupLock() = default;
    ~SetupLock();
    SetupLock(SetupLock&& other) noexcept;
    SetupLock& operator=(SetupLock&& other) noexcept;
    SetupLock(const SetupLock&) = delete;
    SetupLock& operator=(const SetupLock&) = delete;

    // Takes the lock for the setup at path, waiting up to wait for another
    // holder. Throws KaveloError naming the setup: "in use by kavelo,
    // process 1234" when another program holds it, or why the lock could not
    // be made. program is what others are told holds it.
    static SetupLock Acquire(const std::string& path, const std::string& program,
                             std::chrono::milliseconds wait = std::chrono::seconds(3));

    bool Held() const { return fd_.IsOpen(); }
    // Gives the lock up (the destructor does too).
    void Release();

    // The lock file for a setup path (tests).
    static std::string LockPathFor(const std::string& setupPath);

  private:
    FileDescriptor fd_;
    std::string lockPath_;
};
