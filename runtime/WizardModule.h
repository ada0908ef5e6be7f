// The graphical wizard the runtime carries in its own bytes: a small dynamic
// program over the system's Qt 6, packed as an EntryRecord. A static program
// cannot load Qt itself, so the wizard is unpacked into an anonymous memory
// file (memfd_create) and executed from there (fexecve); it tells the
// runtime through a pipe once its window is up. When Qt 6 is missing or no
// display answers, it never says so, and the runtime asks another way.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct WizardStart {
    bool Started = false; // the window came up; Status is the installation's
    int Status = 0;
    std::string WhyNot; // when it did not: why, for the message
};

// Runs the wizard for the setup at self with the runtime's presets and waits
// for it to end.
WizardStart RunGraphicalWizard(const std::string& self, const std::vector<std::string>& presets);

// The size of the wizard as carried (packed), 0 in a runtime without one.
size_t CarriedWizardSize();
