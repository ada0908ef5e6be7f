// Where the setup locks of this user live: a folder no other user can plant
// a file or a link in, because a lock file is opened, truncated and written.
#pragma once

#include <string>

// The folder for lock files, made when missing: kavelo-locks in the user's
// runtime folder ($XDG_RUNTIME_DIR), else in kavelo-UID in the temporary
// folder, else, when that one is not safe, in the user's cache folder. A
// folder is taken only when it is a real folder (not a link), belongs to
// this user and has mode 0700 (its parent may not be writable by others).
// Throws KaveloError naming the last folder refused, and why, when none is.
std::string SetupLockFolder();
