// Text and JSON forms of a loaded component panel, and the click and selection
// arguments of the command line, so that setups can be checked without a
// display.
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

// Applies one click given as "ID" (a check toggles, an option ticks) or
// "ID=VALUE" (a drop-down list picks item VALUE). False with a message in
// error when the argument does not fit the panel.
bool ApplyClickArgument(ScriptPanelModel& panel, const std::string& argument, std::string& error);

// Overrides single element values of a selection text from "ID=VALUE[,ID=VALUE]...",
// IDs 1 to 64 and values 0 to 255. False with a message in error otherwise.
bool ApplySelectArgument(std::string& selection, const std::string& argument, std::string& error);
