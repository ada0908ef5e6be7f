#include "script/PanelArguments.h"

#include "script/ComponentPanel.h"

namespace {

// Decimal digits only, at most nine of them.
bool ParseCount(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

} // namespace

bool ApplyClickArgument(ScriptPanelModel& panel, const std::string& argument, std::string& error) {
    const size_t equals = argument.find('=');
    const std::string idText = argument.substr(0, equals);
    int id = 0;
    if (!ParseCount(idText, id) || id < 1 || id > kMaxElements) {
        error = "--click " + argument + ": the element ID must be a number from 1 to 64";
        return false;
    }
    const PanelControl* c = panel.FindElement(id);
    if (!c) {
        error = "--click " + argument + ": the panel has no element " + idText;
        return false;
    }
    if (c->Kind == KindCombo) {
        int item = 0;
        if (equals == std::string::npos || !ParseCount(argument.substr(equals + 1), item) ||
            item < 1 || item > static_cast<int>(c->Items.size())) {
            error = "--click " + argument + ": element " + idText +
                    " is a drop-down list; give ID=ITEM with ITEM from 1 to " +
                    std::to_string(c->Items.size());
            return false;
        }
        panel.PickItem(c->Index, item);
        return true;
    }
    if (equals != std::string::npos) {
        error = "--click " + argument + ": element " + idText + " is a " + KindName(c->Kind) +
                " element and takes no value";
        return false;
    }
    if (c->Kind == KindCheck)
        panel.ClickCheck(c->Index);
    else
        panel.ClickOption(c->Index);
    return true;
}

bool ApplySelectArgument(std::string& selection, const std::string& argument, std::string& error) {
    selection.resize(kSelectionLength, '\0');
    const std::string work = argument + ",";
    size_t from = 0;
    for (size_t comma; (comma = work.find(',', from)) != std::string::npos; from = comma + 1) {
        const std::string pair = work.substr(from, comma - from);
        const size_t equals = pair.find('=');
        int id = 0;
        int value = 0;
        if (equals == std::string::npos || !ParseCount(pair.substr(0, equals), id) ||
            !ParseCount(pair.substr(equals + 1), value) || id < 1 || id > kMaxElements ||
            value > 255) {
            error = "--select " + argument +
                    ": expected ID=VALUE pairs with ID from 1 to 64 "
                    "and VALUE from 0 to 255";
            return false;
        }
        selection[static_cast<size_t>(id - 1)] = static_cast<char>(value);
    }
    return true;
}
