// The click and selection arguments of the command-line tools ("3",
// "4=2", "1=1,2=0"), checked against the panel and applied to it.
#pragma once

#include <string>

class ScriptPanelModel;

// Applies one click given as "ID" (a check toggles, an option ticks) or
// "ID=VALUE" (a drop-down list picks item VALUE). False with a message in
// error when the argument does not fit the panel.
bool ApplyClickArgument(ScriptPanelModel& panel, const std::string& argument, std::string& error);

// Overrides single element values of a selection text from "ID=VALUE[,ID=VALUE]...",
// IDs 1 to 64 and values 0 to 255. False with a message in error otherwise.
bool ApplySelectArgument(std::string& selection, const std::string& argument, std::string& error);
