#include "PanelReport.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "script/ComponentPanel.h"

namespace {

std::string PadRight(std::string s, size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

std::string PadLeft(const std::string& s, size_t width) {
    return s.size() < width ? std::string(width - s.size(), ' ') + s : s;
}

const char* Bool(bool b) {
    return b ? "true" : "false";
}

// The panel decorates the captions of check boxes, options and list items
// with the element ID and its event commands, as the test window shows them;
// JSON gives the text as the numbered text had it.
std::string Undecorated(const std::string& caption, const std::string& decoration) {
    return caption.ends_with(decoration) ? caption.substr(0, caption.size() - decoration.size())
                                         : caption;
}

std::string CaptionDecoration(const ScriptPanelModel& panel, int id) {
    return " (" + std::to_string(id) + ")    " + panel.EventCommands(id, 0) + "    -    " +
           panel.EventCommands(id, 1);
}

std::string ItemDecoration(const ScriptPanelModel& panel, int id, size_t item) {
    return " (" + std::to_string(id) + ")    " +
           (item < kEventSlots ? panel.EventCommands(id, static_cast<int>(item)) : std::string());
}

} // namespace

std::string PanelText(const ScriptPanelModel& panel) {
    std::vector<const PanelControl*> controls = panel.ControlsInLineOrder();
    std::stable_sort(controls.begin(), controls.end(),
                     [](const PanelControl* a, const PanelControl* b) { return a->Top < b->Top; });
    std::string out;
    for (const PanelControl* c : controls) {
        std::string state;
        std::string caption = c->Caption;
        switch (c->Kind) {
        case KindLabel:
            state = c->Bold ? "bold" : "";
            break;
        case KindCheck:
        case KindOption:
            state = std::string(c->Checked ? "[x]" : "[ ]") + (c->Bold ? " bold" : "");
            break;
        case KindCombo:
            state = "item " + std::to_string(c->Selected) + "/" + std::to_string(c->Items.size());
            caption = c->Items[static_cast<size_t>(c->Selected - 1)];
            break;
        }
        const std::string id = c->Kind == KindLabel ? "-" : std::to_string(c->Id);
        out += PadRight(KindName(c->Kind), 6) + " " + PadLeft(id, 2) + "  " +
               PadRight(std::to_string(c->Left) + "," + std::to_string(c->Top), 9) + "  " +
               PadRight(state, 10) + "  " + caption + "\n";
    }
    return out;
}

std::string PanelJson(const ScriptPanelModel& panel) {
    std::string out = "{\"elements\": [";
    bool firstElement = true;
    for (const PanelControl* c : panel.ControlsInLineOrder()) {
        if (!firstElement) out += ", ";
        firstElement = false;
        out += "{\"kind\": \"" + std::string(KindName(c->Kind)) + "\"";
        out += ", \"index\": " + std::to_string(c->Index);
        out += ", \"id\": " + (c->Kind == KindLabel ? std::string("null") : std::to_string(c->Id));
        out += ", \"left\": " + std::to_string(c->Left);
        out += ", \"top\": " + std::to_string(c->Top);
        if (c->Kind == KindCombo) {
            out += ", \"items\": [";
            for (size_t i = 0; i < c->Items.size(); ++i)
                out += (i ? ", " : "") +
                       JsonString(Undecorated(c->Items[i], ItemDecoration(panel, c->Id, i + 1)));
            out += "], \"selected\": " + std::to_string(c->Selected);
        } else {
            out += ", \"bold\": " + std::string(Bool(c->Bold));
            const std::string caption =
                c->Kind == KindLabel ? c->Caption
                                     : Undecorated(c->Caption, CaptionDecoration(panel, c->Id));
            out += ", \"caption\": " + JsonString(caption);
            if (c->Kind != KindLabel) out += ", \"checked\": " + std::string(Bool(c->Checked));
        }
        if (c->Kind != KindLabel)
            out += ", \"value\": " + std::to_string(panel.ElementValue(c->Id));
        out += "}";
    }
    out += "], \"values\": [";
    for (int id = 1; id <= kMaxElements; ++id)
        out += (id > 1 ? ", " : "") + std::to_string(panel.ElementValue(id));
    return out + "]}\n";
}
