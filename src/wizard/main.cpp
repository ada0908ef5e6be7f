// The graphical wizard program the setup runtime carries.
#include "wizard/WizardMain.h"

int main(int argc, char** argv) {
    return WizardMain(argc, argv);
}
