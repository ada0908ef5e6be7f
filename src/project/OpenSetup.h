// Opening a setup executable: its package becomes the project again. The four
// setup files are extracted; user files stay packed as they were stored.
#pragma once

#include "common/Host.h"
#include "package/ByteSource.h"
#include "project/Project.h"

// Reads the project back from the setup at project.ProjectPath: its directory
// and setup files; the user's files stay in the setup file (project.Source)
// until a save copies them or someone asks for them. On failure
// shows string 32 with the reason beneath and leaves the template's project
// (as a new project without files) in place; returns false.
bool OpenSetup(SetupProject& project, Host& host);

// The same from bytes already at hand, the user's files read into the
// project; project.ProjectPath is only named in the message.
bool OpenSetup(SetupProject& project, Host& host, const ByteSource& source);
