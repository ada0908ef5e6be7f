#include "ScriptCheck.h"

#include "common/AsciiCase.h"
#include "script/ComponentPanel.h"
#include "script/GuardEvaluator.h"
#include "script/InstallScript.h"
#include "script/InstallSimulator.h"
#include "script/ScriptLines.h"

namespace {

// A guard is understood when it reduces to "1" or to "0"; the reducer says
// only whether it gave "1", so the negation is asked about "0".
bool GuardUnderstood(const std::string& guard) {
    return EvaluateCondition(guard) || EvaluateCondition("not (" + guard + ")");
}

} // namespace

std::vector<ScriptProblem> UnclearInstallLines(std::string_view script,
                                               const std::string& selection) {
    using namespace script_lines;
    std::vector<ScriptProblem> unclear;
    for (const SectionLine& kept : ExtractSectionLines(script, "install")) {
        const std::string line(TrimBlanks(kept.Text));
        if (line.empty()) continue;
        if (line[0] == '{') {
            // Read as the install script reads it: "}" at the end is optional.
            std::string guard = line.substr(1);
            if (!guard.empty() && guard.back() == '}') guard.pop_back();
            guard = LowerAscii(guard);
            ReplaceElementReferences(guard, selection);
            if (!GuardUnderstood(guard))
                unclear.push_back({kept.Number, "guard not understood: " + line});
        } else if (ParseInstallCommand(line, SimulatedFolders()).Kind == InstallNone) {
            unclear.push_back({kept.Number, "line not understood: " + line});
        }
    }
    return unclear;
}

std::vector<ScriptProblem> ScriptProblems(const std::vector<ReportLine>& report,
                                          std::string_view script, const std::string& selection) {
    std::vector<ScriptProblem> problems;
    for (const ReportLine& line : report)
        if (line.Text.starts_with("###")) problems.push_back({line.ScriptLine, line.Text});
    for (ScriptProblem& unclear : UnclearInstallLines(script, selection))
        problems.push_back(std::move(unclear));
    return problems;
}

std::vector<std::string> SelectionsOutOfRange(const ScriptPanelModel& panel,
                                              const std::string& argument) {
    std::vector<std::string> wrong;
    const std::string work = argument + ",";
    for (size_t from = 0, comma; (comma = work.find(',', from)) != std::string::npos;
         from = comma + 1) {
        const std::string pair = work.substr(from, comma - from);
        const size_t equals = pair.find('=');
        if (equals == std::string::npos) continue;
        const int id = std::stoi(pair.substr(0, equals));
        const int value = std::stoi(pair.substr(equals + 1));
        const PanelControl* c = panel.FindElement(id);
        const std::string head = "--select " + pair + ": ";
        if (!c) {
            wrong.push_back(head + "the panel has no element " + std::to_string(id));
        } else if (c->Kind == KindCombo &&
                   (value < 1 || value > static_cast<int>(c->Items.size()))) {
            wrong.push_back(head + "element " + std::to_string(id) +
                            " is a drop-down list of items 1 to " +
                            std::to_string(c->Items.size()));
        } else if (c->Kind != KindCombo && value > 1) {
            wrong.push_back(head + "element " + std::to_string(id) + " is a " + KindName(c->Kind) +
                            " element and takes 0 or 1");
        }
    }
    return wrong;
}

std::vector<std::string> WarningLines(const std::vector<std::string>& lines) {
    std::vector<std::string> warnings;
    for (const std::string& line : lines)
        if (line.starts_with("### Warning: ")) warnings.push_back(line);
    return warnings;
}
