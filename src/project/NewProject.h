// A new project from the built-in template.
#pragma once

#include "project/Project.h"

// Replaces everything in project but its path with the template: side
// picture, script, numbered texts and setup lines, and the sample program as
// the one file when withSample is set (no files otherwise).
void NewProject(SetupProject& project, bool withSample);
