// Files entering the project, read on a worker thread while the windows
// stay painted: the drop's intake (DropFiles) runs on a copy of the
// project's file names, and what it read is taken into the project on the
// window thread afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/FileIntake.h"

class ProjectEvents;
class qkProgressA;

// What one addition did.
struct Intake {
    DropResult Files;             // DropFiles' result
    std::vector<int32_t> Changed; // the files added or replaced, by index
};

// Adds files (as a drop) to the project of events, read on a worker thread
// with bar told the progress. The project is busy meanwhile.
Intake ReadInBackground(ProjectEvents& events, const std::vector<std::string>& files,
                        qkProgressA* bar);
