// Text and JSON forms of a loaded component panel, so that setups can be
// checked without a display.
#pragma once

#include <string>

class ScriptPanelModel;

// One line per control, top to bottom (line order among equal tops):
// kind, element ID ("-" for labels), left,top, state and the decorated caption
// (for a drop-down list the selected item's text).
std::string PanelText(const ScriptPanelModel& panel);

// {"elements": [...], "values": [...]} on one line, elements in line order.
std::string PanelJson(const ScriptPanelModel& panel);

// A JSON string literal; bytes from 0x7F on are written as \u00XX, their
// Latin-1 code points.
std::string JsonString(const std::string& bytes);
