// The graphical wizard's own window icon, drawn in code so that the wizard
// needs no image plugin: a setup window with a box in it.
#pragma once

#include <QIcon>

QIcon WizardIcon();
