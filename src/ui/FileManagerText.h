// What the file manager writes besides plain names: the status line naming
// what an addition did not take and why.
#pragma once

#include <QString>

#include "project/FileIntake.h"

// The files a drop did not take: those past the 512-file limit by name
// (string 505), the others by name and reason (string 506). Files that
// cannot be read, folders among them, are passed over silently.
QString RefusedFilesText(const DropResult& result);
