// How a setup started without --unattended or --dry-run asks its questions:
// the graphical wizard on a display, else the terminal wizard in a terminal,
// else the terminal wizard in a terminal emulator opened on the display,
// else a message saying how to install without asking.
#pragma once

#include <string>
#include <vector>

struct InstallOptions;

// Which wizard the person asked for: either (no option), --gui or --text.
enum class WizardChoice { Either, Graphical, Text };

// The ways a setup can ask, tried in the order StartOrder gives.
enum class StartWay { Graphical, Terminal, Emulator, Message };

// What the start looks at: a display (DISPLAY or WAYLAND_DISPLAY set) and a
// terminal (standard input and output both terminals).
struct StartPlace {
    bool Display = false;
    bool Terminal = false;
};
StartPlace CurrentStartPlace();

// The ways to try, best first. A forced choice lists only its own ways and
// ends without Message (its caller says why it cannot run instead).
std::vector<StartWay> StartOrder(const StartPlace& place, WizardChoice choice);

// What a started setup asks for, besides the presets in InstallOptions.
struct WizardRequest {
    WizardChoice Choice = WizardChoice::Either;
    bool Hold = false; // --hold: the terminal wizard waits for Enter at the end
};

// Starts the wizard the start order gives for the setup at self, with the
// presets of options (--dir, --accept-license, --no-launch, --log). Returns
// the exit status.
int StartWizard(const std::string& self, const InstallOptions& options,
                const WizardRequest& request);

// The command-line words that give a wizard started elsewhere (a terminal
// emulator, the graphical wizard) the same presets.
std::vector<std::string> PresetArguments(const InstallOptions& options);
