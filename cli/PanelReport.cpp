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

} // namespace

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

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
                out += (i ? ", " : "") + JsonString(c->Items[i]);
            out += "], \"selected\": " + std::to_string(c->Selected);
        } else {
            out += ", \"bold\": " + std::string(Bool(c->Bold));
            out += ", \"caption\": " + JsonString(c->Caption);
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

