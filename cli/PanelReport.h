// Text and JSON forms of a loaded component panel, so that setups can be
// checked without a display.
#pragma once

#include <string>

#include "setup/JsonText.h"

class ScriptPanelModel;

// One line per control, top to bottom (line order among equal tops):
// kind, element ID ("-" for labels), left,top, state and the decorated caption
// (for a drop-down list the selected item's text).
std::string PanelText(const ScriptPanelModel& panel);

// {"elements": [...], "values": [...]} on one line, elements in line order;
// captions and items as the numbered texts give them, without the
// decoration the text form shows.
std::string PanelJson(const ScriptPanelModel& panel);
