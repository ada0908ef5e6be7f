// What the startup dialog asks of the program to put a project in place: the
// program holds the setup's lock for as long as the project is open.
#pragma once

#include <string>

class ProjectOpener {
  public:
    virtual ~ProjectOpener() = default;
    // A new project from the template with the sample program, saved at once
    // at path. False (its messages shown) when the setup is held by another
    // program or cannot be written.
    virtual bool CreateProject(const std::string& path) = 0;
    // The setup at path read into the project. False (string 32 shown) when
    // it is held by another program or cannot be read.
    virtual bool OpenProject(const std::string& path) = 0;
    // Puts the project at the top of the recent list and shows the main window.
    virtual void ShowMainWindow() = 0;
};
