// The checks of "kavelo simulate --strict" and "kavelo check": what the
// install script and a selection do that the simulator passes over without a
// word (a guard it cannot reduce is false, a line that is no command is
// skipped, a selection value is taken as it is).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/InstallSimulator.h"

class ScriptPanelModel;

// One problem as check tells it, and the line of the script text it is about
// (0-based); -1 for a problem of no one line.
struct ScriptProblem {
    int Line = -1;
    std::string Text;
};

// The lines of the script's [Install] section that it does not understand,
// each told as "guard not understood: {...}" or "line not understood: ...": a
// guard that reduces to neither true nor false for selection, and a line that
// is neither a guard nor a command.
std::vector<ScriptProblem> UnclearInstallLines(std::string_view script,
                                               const std::string& selection);

// What check reports for a script and a selection, given the simulation's
// report of them: the report's "###" lines, then the lines not understood.
std::vector<ScriptProblem> ScriptProblems(const std::vector<ReportLine>& report,
                                          std::string_view script, const std::string& selection);

// The pairs of a --select argument ("ID=VALUE,...", already well formed) that
// give an element a value it cannot take: an ID the panel has no element for,
// a check box or option other than 0 or 1, a drop-down list item that is not
// one of its items.
std::vector<std::string> SelectionsOutOfRange(const ScriptPanelModel& panel,
                                              const std::string& argument);

// The simulator's warning lines ("### Warning: ...").
std::vector<std::string> WarningLines(const std::vector<std::string>& lines);
