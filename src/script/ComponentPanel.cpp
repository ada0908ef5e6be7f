#include "script/ComponentPanel.h"

#include <algorithm>

#include "script/ScriptLines.h"
#include "script/GuardEvaluator.h"

using namespace script_lines;

const std::string EmptySlotMark(1, '\0');

namespace {

// Left edge of an entry and the pixels per half line.
constexpr int kPanelMargin = 8;
constexpr int kIndentStep = 8;
constexpr int kHalfLine = 8;

int ClampLinePosition(long long position) {
    return static_cast<int>(std::clamp<long long>(position, 0, kMaxLinePosition));
}

} // namespace

ParsedArguments ParseArguments(const std::string& text) {
    const std::string work = text + ",,,";
    std::string fields[3];
    size_t from = 0;
    for (std::string& field : fields) {
        const size_t comma = work.find(',', from);
        field = work.substr(from, comma - from);
        from = comma + 1;
        if (field.empty()) field = "-1";
    }
    auto number = [](const std::string& field) {
        const int32_t v = RoundHalfEven(NumberValue(field));
        return v < 0 ? -1 : v;
    };
    return {fields[0], number(fields[1]), number(fields[2])};
}

const char* KindName(ElementKind kind) {
    switch (kind) {
    case KindLabel:
        return "label";
    case KindCheck:
        return "check";
    case KindOption:
        return "option";
    case KindCombo:
        return "combo";
    }
    return "?";
}

ScriptPanelModel::ScriptPanelModel() = default;

void ScriptPanelModel::Clear() {
    for (auto& slots : eventCommands_)
        for (std::string& slot : slots)
            slot.clear();
    elementValues_.fill(0);
    elementIndent_.fill(0);
    kindCounts_.fill(0);
    for (auto& map : controlMap_)
        map.fill(0);
    elementCount_ = 0;
    for (auto& list : controls_)
        list.clear();
    lineOrder_.clear();
}

// One line of the [Create] section: a keyword that moves the string number or
// the line position, or an entry.
void ScriptPanelModel::ReadCreateLine(std::string_view line, CreateState& state) {
    const size_t indent = std::min<size_t>(line.find_first_not_of(' '), line.size());
    const std::string_view body = TrimBlanks(line);
    const size_t blank = body.find(' ');
    const std::string_view keyword = body.substr(0, blank);
    const std::string arguments(blank == std::string_view::npos ? std::string_view()
                                                                : body.substr(blank + 1));
    const ParsedArguments args = ParseArguments(arguments);
    const int n = std::max<int32_t>(RoundHalfEven(NumberValue(args.First)), 0);
    const int left =
        kPanelMargin + kIndentStep * static_cast<int>(std::min<size_t>(indent, kMaxIndent));

    if (keyword == "strjump") {
        if (n >= 1 && n <= state.size - 1) state.stringNumber = n;
        return;
    }
    if (keyword == "break") {
        state.linePosition =
            ClampLinePosition(static_cast<long long>(state.linePosition) + (n == 0 ? 2 : n));
        return;
    }
    if (keyword == "lpos") {
        state.linePosition = ClampLinePosition(n == 0 ? 1 : n);
        return;
    }
    static const std::pair<std::string_view, ElementKind> kEntries[] = {
        {"label", KindLabel}, {"check", KindCheck}, {"option", KindOption}, {"combo", KindCombo}};
    const auto entry = std::find_if(std::begin(kEntries), std::end(kEntries),
                                    [&](const auto& e) { return e.first == keyword; });
    if (entry == std::end(kEntries)) return;
    const ElementKind kind = entry->second;
    // Entries beyond the tables are ignored like unknown lines.
    if (kindCounts_[kind] >= kMaxControlsPerKind) return;
    if (kind != KindLabel && elementCount_ >= kMaxElements) return;

    AddEntry(kind, left, state.linePosition, n, args.Second, state.strings, state.stringNumber);
    state.linePosition =
        ClampLinePosition(static_cast<long long>(state.linePosition) + (kind == KindCombo ? 3 : 2));
    if (state.stringNumber < state.size + 1) ++state.stringNumber;
}

bool ScriptPanelModel::LoadScript(const std::string& script, std::span<const std::string> strings,
                                  int32_t stringCount) {
    const int size = static_cast<int>(std::clamp<long long>(
        stringCount, 0, std::min<long long>(static_cast<long long>(strings.size()), kMaxStrings)));
    Clear();
    suppressEvents_ = true;

    const std::string lowered = LowerAscii(script) + "\r\n";
    const std::vector<std::string_view> lines = SplitCrLfLines(lowered);
    size_t first = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (RemoveBlanks(CutComment(lines[i])) == "[create]") {
            first = i + 1;
            break;
        }
    }
    CreateState state{strings.first(static_cast<size_t>(size)), size};
    for (size_t i = first; i < lines.size(); ++i) {
        const std::string_view line = CutComment(lines[i]);
        const size_t indent = std::min<size_t>(line.find_first_not_of(' '), line.size());
        if (indent < line.size() && line[indent] == '[') break;
        if (!TrimBlanks(line).empty()) ReadCreateLine(line, state);
    }

    ReadEventSections(lowered);
    for (auto& slots : eventCommands_)
        for (std::string& slot : slots)
            if (slot == EmptySlotMark) slot.clear();
    DecorateCaptions();
    suppressEvents_ = false;
    return elementCount_ != 0;
}

void ScriptPanelModel::AddEntry(ElementKind kind, int left, int linePosition, int n, int d,
                                std::span<const std::string> strings, int& stringNumber) {
    const int size = static_cast<int>(strings.size());
    const auto text = [&](int number) -> std::string {
        return number >= 1 && number <= size ? strings[static_cast<size_t>(number - 1)]
                                             : std::string();
    };
    PanelControl control;
    control.Kind = kind;
    control.Left = left;
    control.Top = kHalfLine * linePosition;

    int itemCount = 0;
    if (kind == KindLabel) {
        controlMap_[kind][kindCounts_[kind]] = -1;
    } else {
        const int id = elementCount_;
        controlMap_[kind][kindCounts_[kind]] = id;
        elementIndent_[id] = left;
        if (kind == KindCombo) {
            itemCount = std::clamp(n, 1, kMaxComboItems);
            // The 16th item has no slot: choosing it stores its value only.
            for (int v = 1; v <= itemCount && v < kEventSlots; ++v)
                eventCommands_[id][v] = EmptySlotMark;
        } else {
            eventCommands_[id][0] = EmptySlotMark;
            eventCommands_[id][1] = EmptySlotMark;
        }
        ++elementCount_;
        control.Id = elementCount_;
    }
    control.Index = ++kindCounts_[kind];

    if (kind == KindCombo) {
        for (int item = 1; item <= itemCount; ++item) {
            control.Items.push_back(text(stringNumber));
            if (item < itemCount && stringNumber < size + 1) ++stringNumber;
        }
        const int position = d - 1;
        control.ItemTexts = control.Items;
        control.Selected = position < 0 || position >= itemCount ? 1 : position + 1;
        elementValues_[control.Id - 1] = control.Selected;
    } else {
        control.Caption = text(stringNumber);
        control.Text = control.Caption;
        control.Bold = (n & 1) != 0;
        if (kind != KindLabel) {
            control.Checked = (n & 2) != 0;
            elementValues_[control.Id - 1] = control.Checked ? 1 : 0;
        }
    }
    controls_[kind].push_back(std::move(control));
    lineOrder_.push_back({kind, kindCounts_[kind]});
}

void ScriptPanelModel::ReadEventSections(const std::string& lowered) {
    bool collecting = false;
    int id = 0;
    int value = 0;
    std::string collected;
    for (const std::string_view raw : SplitCrLfLines(lowered)) {
        const std::string_view line = TrimBlanks(CutComment(raw));
        if (line.empty()) continue;
        if (line[0] != '[') {
            // Lines outside a section that is collected would be thrown away
            // at the next header; they are not gathered at all.
            if (collecting) collected.append("|").append(line);
            continue;
        }
        if (collecting) StoreSection(id, value, collected);
        collecting = false;
        collected.clear();
        const std::string header = RemoveBlanks(line);
        const std::string prefix = "[event_";
        if (header.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = header.substr(prefix.size());
        const size_t u = rest.find('_');
        if (u == 0) continue; // no element ID
        if (u == std::string::npos) {
            id = RoundHalfEven(NumberValue(rest));
            value = 1;
        } else {
            id = RoundHalfEven(NumberValue(rest.substr(0, u)));
            value = RoundHalfEven(NumberValue(rest.substr(u + 1)));
        }
        // Only a slot the element has and no earlier section filled.
        collecting = id >= 1 && id <= kMaxElements && value >= 0 && value < kEventSlots &&
                     eventCommands_[id - 1][value] == EmptySlotMark;
    }
    if (collecting) StoreSection(id, value, collected);
}

void ScriptPanelModel::StoreSection(int id, int value, const std::string& collected) {
    std::string commands;
    commands.reserve(collected.size());
    for (char c : collected)
        if (c != '|' || commands.empty() || commands.back() != '|') commands += c;
    if (!commands.empty()) commands.erase(0, 1);
    // A lone NUL command would read as the mark of an unfilled slot.
    if (commands == EmptySlotMark) commands.clear();
    eventCommands_[id - 1][value] = std::move(commands);
}

void ScriptPanelModel::DecorateCaptions() {
    for (ElementKind kind : {KindCheck, KindOption}) {
        for (PanelControl& c : controls_[kind]) {
            c.Caption += " (" + std::to_string(c.Id) + ")    " + eventCommands_[c.Id - 1][0] +
                         "    -    " + eventCommands_[c.Id - 1][1];
        }
    }
    for (PanelControl& c : controls_[KindCombo]) {
        for (size_t i = 0; i < c.Items.size(); ++i) {
            const size_t value = i + 1;
            c.Items[i] += " (" + std::to_string(c.Id) + ")    " +
                          (value < kEventSlots ? eventCommands_[c.Id - 1][value] : std::string());
        }
    }
}

std::string ScriptPanelModel::GetScriptValues() const {
    std::string values(kSelectionLength, '\0');
    for (int i = 0; i < kSelectionLength; ++i)
        values[static_cast<size_t>(i)] = static_cast<char>(elementValues_[static_cast<size_t>(i)]);
    return values;
}

void ScriptPanelModel::ClickCheck(int k) {
    if (suppressEvents_ || k < 1 || k > kindCounts_[KindCheck]) return;
    PanelControl& c = controls_[KindCheck][k - 1];
    c.Checked = !c.Checked;
    RunEvent(KindCheck, k, c.Checked ? 1 : 0);
}

void ScriptPanelModel::ClickOption(int k) {
    if (suppressEvents_ || k < 1 || k > kindCounts_[KindOption]) return;
    PanelControl& c = controls_[KindOption][k - 1];
    // A click on a ticked option unticks the box, which ticks itself again
    // without an event: only event commands untick options.
    if (c.Checked) return;
    c.Checked = true;
    RunEvent(KindOption, k, 1);
}

void ScriptPanelModel::PickItem(int k, int item) {
    if (suppressEvents_ || k < 1 || k > kindCounts_[KindCombo]) return;
    PanelControl& c = controls_[KindCombo][k - 1];
    if (item < 1 || item > static_cast<int>(c.Items.size())) return;
    c.Selected = item;
    RunEvent(KindCombo, k, item);
}

void ScriptPanelModel::RunEvent(ElementKind kind, int k, int v) {
    if (kind < KindCheck || kind > KindCombo || k < 1 || k > kindCounts_[kind]) return;
    // The control shows the value it raises: 0 or 1 for checks and options,
    // an item number for lists; any other value is refused.
    PanelControl& control = controls_[kind][k - 1];
    if (kind == KindCombo) {
        if (v < 1 || v > static_cast<int>(control.Items.size())) return;
        control.Selected = v;
    } else {
        if (v != 0 && v != 1) return;
        control.Checked = v == 1;
    }
    suppressEvents_ = true;
    const int32_t id = controlMap_[kind][k - 1];
    elementValues_[id] = v;
    if (v < kEventSlots) {
        const std::string commands = eventCommands_[id][v] + "|";
        size_t from = 0;
        for (size_t bar; (bar = commands.find('|', from)) != std::string::npos; from = bar + 1) {
            const std::string command = commands.substr(from, bar - from);
            const size_t blank = command.find(' ');
            const std::string keyword = command.substr(0, blank);
            std::string list(1, ',');
            if (blank != std::string::npos) list.append(command, blank + 1, std::string::npos);
            list += ',';
            if (keyword == "clear")
                ApplySelection(list, 1, 0);
            else if (keyword == "fill")
                ApplySelection(list, 0, 1);
            else if (keyword == "add")
                ApplySelection(list, 1, kKeepValue);
            else if (keyword == "rem")
                ApplySelection(list, 0, kKeepValue);
        }
    }
    suppressEvents_ = false;
}

void ScriptPanelModel::ApplySelection(const std::string& list, int valueListed, int valueOthers) {
    for (ElementKind kind : {KindOption, KindCheck}) {
        for (int k = 1; k <= kindCounts_[kind]; ++k) {
            const int32_t id = controlMap_[kind][k - 1];
            const std::string item = std::string(1, ',').append(std::to_string(id + 1)).append(",");
            const bool listed = list.find(item) != std::string::npos;
            const int value = listed ? valueListed : valueOthers;
            if (value != 0 && value != 1) continue;
            SetTicked(kind, k, value == 1);
            elementValues_[id] = value;
        }
    }
}

void ScriptPanelModel::SetTicked(ElementKind kind, int k, bool ticked) {
    controls_[kind][k - 1].Checked = ticked;
}

int ScriptPanelModel::ComboWidth(int k, int innerWidth) const {
    if (k < 1 || k > kindCounts_[KindCombo]) return 0;
    const int32_t id = controlMap_[KindCombo][k - 1];
    return std::max(innerWidth - kPanelMargin - elementIndent_[id], 0);
}

std::vector<const PanelControl*> ScriptPanelModel::ControlsInLineOrder() const {
    std::vector<const PanelControl*> out;
    out.reserve(lineOrder_.size());
    for (const LineRef& ref : lineOrder_)
        out.push_back(&controls_[ref.kind][ref.k - 1]);
    return out;
}

const PanelControl* ScriptPanelModel::FindElement(int id) const {
    for (ElementKind kind : {KindCheck, KindOption, KindCombo})
        for (const PanelControl& c : controls_[kind])
            if (c.Id == id) return &c;
    return nullptr;
}
