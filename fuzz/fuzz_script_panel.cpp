// The component panel on any script and numbered texts, then clicks driven by
// the input: input = script 0xFF strings 0xFF clicks, two bytes per click.
// After every click the controls must agree with the element values.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "common/TextLines.h"
#include "script/ComponentPanel.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckPanel(const ScriptPanelModel& panel) {
    Check(panel.GetScriptValues().size() == static_cast<size_t>(kSelectionLength));
    Check(panel.ElementCount() >= 0 && panel.ElementCount() <= kMaxElements);
    size_t controls = 0;
    for (ElementKind kind : {KindLabel, KindCheck, KindOption, KindCombo}) {
        Check(panel.KindCount(kind) >= 0 && panel.KindCount(kind) <= kMaxControlsPerKind);
        controls += static_cast<size_t>(panel.KindCount(kind));
        for (int k = 1; k <= panel.KindCount(kind); ++k) {
            const PanelControl& c = panel.Control(kind, k);
            Check(c.Kind == kind && c.Index == k);
            if (kind == KindLabel) {
                Check(c.Id == 0 && panel.ControlMap(kind, k) == -1);
                continue;
            }
            Check(c.Id >= 1 && c.Id <= panel.ElementCount());
            Check(panel.ControlMap(kind, k) == c.Id - 1);
            const int32_t value = panel.ElementValue(c.Id);
            if (kind == KindCombo) {
                Check(!c.Items.empty() && c.Items.size() <= static_cast<size_t>(kMaxComboItems));
                Check(c.Selected >= 1 && c.Selected <= static_cast<int>(c.Items.size()));
                Check(value == c.Selected);
            } else {
                Check(c.Checked == (value == 1) && (value == 0 || value == 1));
            }
        }
    }
    Check(panel.ControlsInLineOrder().size() == controls);
    Check(!panel.SuppressEvents());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t from = 0;
    const std::string script = NextPart(input, from);
    const std::string stringsText = NextPart(input, from);
    static std::array<std::string, kMaxStrings> strings;
    for (std::string& s : strings)
        s.clear();
    SplitLines(strings, stringsText, "\r\n");

    ScriptPanelModel panel;
    panel.LoadScript(script, strings, kMaxStrings);
    CheckPanel(panel);
    for (size_t i = from; i + 1 < input.size(); i += 2) {
        const auto a = static_cast<unsigned char>(input[i]);
        const auto b = static_cast<unsigned char>(input[i + 1]);
        // Indices and items run a little past what exists, to try the guards.
        const int k = (a >> 2) + 1 - (a & 1);
        switch (a & 3) {
        case 0:
            panel.ClickCheck(k);
            break;
        case 1:
            panel.ClickOption(k);
            break;
        case 2:
            panel.PickItem(k, b % 19);
            break;
        case 3:
            panel.RunEvent(static_cast<ElementKind>(b % 5), k, b % 19 - 1);
            break;
        }
        CheckPanel(panel);
    }
    return 0;
}
