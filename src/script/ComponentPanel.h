// The component panel without its widgets: reads the [Create] section and the
// event sections of a component script, holds the panel's controls, element
// values and event commands, and runs the events when the user clicks.
// The widget qkScriptSetupA owns one and places, captions and ticks its
// controls from it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kMaxElements = 64;          // element IDs 1 ... 64
inline constexpr int kMaxControlsPerKind = 64;   // controls of one kind
inline constexpr int kEventSlots = 16;           // event values 0 ... 15 per element
inline constexpr int kMaxComboItems = 16;        // items of one drop-down list
inline constexpr int kMaxStrings = 1024;         // numbered texts
inline constexpr int kSelectionLength = 64;      // characters of GetScriptValues
inline constexpr int kMaxLinePosition = 1000000; // half lines; keeps 8 x position in range
inline constexpr int kMaxIndent = 100000;        // blanks counted in front of an entry

enum ElementKind : int {
    KindLabel = 0,
    KindCheck = 1,
    KindOption = 2,
    KindCombo = 3,
};
inline constexpr int kKindCount = 4;

// "label", "check", "option" or "combo".
const char* KindName(ElementKind kind);

// Marks, during a load, an event slot that exists but has no commands yet.
extern const std::string EmptySlotMark;

// "No change" for ApplySelection.
inline constexpr int kKeepValue = -1;

// One control of the panel, as the widget shows it.
struct PanelControl {
    ElementKind Kind = KindLabel;
    int Index = 0; // control index within its kind, from 1
    int Id = 0;    // element ID 1 ... 64; 0 for labels
    int Left = 0;  // pixels
    int Top = 0;
    std::string Caption;            // decorated; empty for drop-down lists
    bool Bold = false;              // labels, checks and options
    bool Checked = false;           // checks and options
    std::vector<std::string> Items; // drop-down lists: decorated item texts
    int Selected = 0;               // drop-down lists: selected item, from 1

    // The caption and the items as the numbered texts give them, without the
    // element ID and event commands that decorate them for the test window.
    std::string Text;
    std::vector<std::string> ItemTexts;
};

// The first field of the arguments as text, the second and third as numbers
// (-1 for an empty or negative field).
struct ParsedArguments {
    std::string First;
    int32_t Second = -1;
    int32_t Third = -1;
};
ParsedArguments ParseArguments(const std::string& text);

class ScriptPanelModel {
  public:
    ScriptPanelModel();

    // Builds the panel from the script and the numbered texts (entry n - 1 is
    // text number n; at most stringCount and kMaxStrings of them are read).
    // True when at least one element ID was given out.
    bool LoadScript(const std::string& script, std::span<const std::string> strings,
                    int32_t stringCount);

    // The 64 element values as character codes.
    std::string GetScriptValues() const;

    // What the user does. Each is ignored while SuppressEvents is set, and for
    // a control index or item that does not exist.
    void ClickCheck(int k);         // toggles check element k and runs its event
    void ClickOption(int k);        // ticks option element k; a ticked one stays ticked
    void PickItem(int k, int item); // drop-down list k selects item (from 1)

    // Stores v as the element's value (the control follows it) and runs the
    // commands of slot v. Values a control cannot show are ignored.
    void RunEvent(ElementKind kind, int k, int v);
    // Ticks or unticks check and option elements: listed ones get
    // valueListed, the others valueOthers (0, 1 or kKeepValue).
    void ApplySelection(const std::string& list, int valueListed, int valueOthers);

    bool SuppressEvents() const { return suppressEvents_; }
    void SetSuppressEvents(bool on) { suppressEvents_ = on; }

    int KindCount(ElementKind kind) const { return kindCounts_[kind]; }
    const PanelControl& Control(ElementKind kind, int k) const { return controls_[kind][k - 1]; }
    // Every control in the order of its line in the script.
    std::vector<const PanelControl*> ControlsInLineOrder() const;
    // The control that carries element ID id; null when there is none.
    const PanelControl* FindElement(int id) const;

    // Width of drop-down list k in a panel whose inner width is innerWidth:
    // it ends 8 pixels short of the right edge; 0 when that leaves nothing.
    int ComboWidth(int k, int innerWidth) const;

    int ElementCount() const { return elementCount_; }
    int32_t ElementValue(int id) const { return elementValues_[id - 1]; }
    int ElementIndent(int id) const { return elementIndent_[id - 1]; }
    const std::string& EventCommands(int id, int value) const {
        return eventCommands_[id - 1][value];
    }
    // Element ID - 1 of control k of a kind; -1 for labels.
    int32_t ControlMap(ElementKind kind, int k) const { return controlMap_[kind][k - 1]; }

  private:
    struct LineRef {
        ElementKind kind;
        int k;
    };
    // Where a load of the [Create] section stands.
    struct CreateState {
        std::span<const std::string> strings;
        int size;             // numbered texts that may be used
        int stringNumber = 1; // the next entry's text
        int linePosition = 1; // in half lines
    };
    void Clear();
    void ReadCreateLine(std::string_view line, CreateState& state);
    void AddEntry(ElementKind kind, int left, int linePosition, int n, int d,
                  std::span<const std::string> strings, int& stringNumber);
    void ReadEventSections(const std::string& lowered);
    void StoreSection(int id, int value, const std::string& collected);
    void DecorateCaptions();
    void SetTicked(ElementKind kind, int k, bool ticked);

    std::array<int32_t, kKindCount> kindCounts_{};
    std::array<std::array<int32_t, kMaxControlsPerKind>, kKindCount> controlMap_{};
    int32_t elementCount_ = 0;
    std::array<int32_t, kMaxElements> elementIndent_{};
    std::array<int32_t, kMaxElements> elementValues_{};
    std::array<std::array<std::string, kEventSlots>, kMaxElements> eventCommands_;
    bool suppressEvents_ = false;

    std::array<std::vector<PanelControl>, kKindCount> controls_;
    std::vector<LineRef> lineOrder_;
};
