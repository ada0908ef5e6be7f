// The graphical wizard program's entry point, as the setup runtime starts it
// from memory: parses the arguments, shows the wizard, tells the runtime on
// --ready-fd that it could start, and returns the installation's exit status.
#pragma once

int WizardMain(int argc, char** argv);
