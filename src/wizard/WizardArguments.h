// The graphical wizard's command line, as the setup runtime starts it:
// --setup PATH (the setup file), --ready-fd N (written to once the window is
// shown, so that the runtime knows the wizard could start) and the runtime's
// presets --dir DIR, --accept-license, --no-launch and --log FILE.
#pragma once

#include <string>
#include <vector>

struct WizardArguments {
    std::string Setup;
    int ReadyFd = -1;
    std::string Dir;
    bool AcceptLicense = false;
    bool NoLaunch = false;
    std::string Log;
};

// Throws InvalidRequest for an unknown option, a missing value or no --setup.
WizardArguments ParseWizardArguments(const std::vector<std::string>& words);
