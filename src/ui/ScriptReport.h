// The installation debugger's report on the project and the problems in its
// script, both as "kavelo simulate" and "kavelo check" make them: the same
// simulation, the same checks, the same paths.
#pragma once

#include <string>
#include <vector>

#include "script/InstallSimulator.h"
#include "script/ScriptCheck.h"

struct SetupProject;

// Whose paths the report shows: an installation per user or as root on this
// machine, or the example folders ("C:\Programmes\MyDirectory").
enum class ReportPathKind { User, Root, Windows };

struct ProjectReport {
    std::vector<ReportLine> Lines;
    std::vector<ScriptProblem> Problems;
};

// The report and the problems for selection (the panel's values).
ProjectReport SimulateProject(const SetupProject& project, const std::string& selection,
                              ReportPathKind kind);

// The selection the component panel starts with for the project's texts.
std::string StartSelection(const SetupProject& project);

// The problems that concern a script line, as the debugger lists them above
// its report: "### Line N: " and the problem (N from 1).
std::vector<std::string> ProblemLines(const std::vector<ScriptProblem>& problems);
