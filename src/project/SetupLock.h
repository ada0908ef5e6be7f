// One writer at a time for a setup: whoever changes a setup (a CLI command
// from opening to the rename, the editor while it has the setup open) holds
// two exclusive locks. One is keyed by the setup's path in a lock folder of
// the user's own (it names its holder, and covers a setup still to be made);
// the other is on the setup's own file, which writers of other sessions and
// other users share, and moves to the new file when a save replaces it. The
// system drops both when the holder ends, even by a crash; the lock file goes
// with the last holder's release.
#pragma once

#include <chrono>
#include <string>

#include "common/FileDescriptor.h"
#include "project/SetupFileLock.h"

class SetupLock {
  public:
    SetupLock() = default;
    ~SetupLock();
    SetupLock(SetupLock&& other) noexcept;
    SetupLock& operator=(SetupLock&& other) noexcept;
    SetupLock(const SetupLock&) = delete;
    SetupLock& operator=(const SetupLock&) = delete;

    // Takes the locks for the setup at path, waiting up to wait for another
    // holder. Throws KaveloError naming the setup: "in use by kavelo,
    // process 1234" when another program of this user's session holds it,
    // "in use by another program" when one elsewhere does, or why the lock
    // could not be made. program is what others are told holds it.
    static SetupLock Acquire(const std::string& path, const std::string& program,
                             std::chrono::milliseconds wait = std::chrono::seconds(3));

    bool Held() const { return fd_.IsOpen(); }
    // Gives the lock up (the destructor does too).
    void Release();

    // The lock file for a setup path (tests).
    static std::string LockPathFor(const std::string& setupPath);

    // Throws KaveloError naming the setup when the file at its path is not
    // the one locked any more, or was written since, by a program that does
    // not take the lock.
    void CheckUnchanged() const;
    // A save's new file, at newPath until it is renamed over the setup, is
    // locked before the rename, so that no writer finds it unlocked in place;
    // once renamed it is the file held (ReplacementInPlace).
    void LockReplacement(const std::string& newPath);
    void ReplacementInPlace();

  private:
    FileDescriptor fd_;
    std::string lockPath_;
    std::string setupPath_;
    SetupFileLock file_;
    SetupFileLock replacement_;
};
