// The setup runtime's ways to install: --unattended, --dry-run, the wizards
// with presets, and the uninstall program (the runtime started under the
// name "uninstall"). main.cpp only dispatches to these.
#pragma once

#include <cstdio>
#include <string>

// The documented exit statuses of installing and uninstalling.
enum InstallExit : int {
    kExitInstalled = 0,      // installed (dry run: it would install; uninstall: removed)
    kExitFailed = 1,         // failed; nothing was changed (what was done was undone)
    kExitUsage = 2,          // wrong options
    kExitLicence = 3,        // the licence was not accepted
    kExitCancelled = 4,      // cancelled by the user; nothing was changed
    kExitUndoIncomplete = 5, // failed, and not all of it could be undone
    kExitNoWizard = 6,       // no wizard could be shown (no display, no terminal); nothing done
};

// True when one of the arguments is an option of the installing modes.
bool HasInstallOption(int argc, char** argv);

struct WizardRequest;

// Runs --unattended, --dry-run, or (with only presets such as --dir) the
// wizard the start matrix picks, as request asks. self is the setup's own file.
int RunInstallMode(int argc, char** argv, const std::string& self, const WizardRequest& request);

// True when the runtime runs as the uninstall program of an installation.
bool IsUninstallProgram(const char* argv0, const std::string& self);
int RunUninstall(int argc, char** argv, const std::string& self);

// The help text's block about installing, and the exit statuses.
void PrintInstallHelp(FILE* out);
