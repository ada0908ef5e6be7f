// Saving and opening in the editor: SaveSetup and OpenSetup run on a worker
// thread while the windows stay painted and take typing. Meanwhile the
// project is busy (ProjectEvents::Busy): the windows disable what would
// change its files, and the main window takes no command.
#pragma once

#include <string>

class ProjectEvents;

// Saves the project of events into its ProjectPath, as Module1::SaveSetup
// does, with the messages and the progress window of its host. The save
// writes the project as it was when it began: texts typed meanwhile stay in
// the project for the next save.
bool SaveSetupInBackground(ProjectEvents& events);

// Reads the project of events back from the setup at path, as
// Module1::OpenSetup does.
bool OpenSetupInBackground(ProjectEvents& events, const std::string& path);
