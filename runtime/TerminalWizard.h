// The setup's wizard in a terminal, for a machine without a display: the
// startup text, the licence, the component panel as a numbered list, the
// installation folder, progress with a bar, the finish text and the offer to
// start the program. Answers are typed lines; Ctrl-C undoes everything.
#pragma once

#include <string>

struct InstallOptions;

// Runs the wizard for the setup at self, with presets from options (--dir,
// --accept-license, --no-launch, --log). Returns the exit status.
int RunWizard(const std::string& self, const InstallOptions& options);
