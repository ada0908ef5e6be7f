// What the process knows about itself: the path of its own program and its
// umask.
#pragma once

#include <sys/types.h>

#include <string>

// The path of the running program (/proc/self/exe); empty when the system
// does not tell it.
std::string OwnPath();

// The process's umask (read without changing it for longer than the call).
mode_t CurrentUmask();
