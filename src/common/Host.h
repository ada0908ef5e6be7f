// What the core asks of the program around it: message boxes, the progress
// window while packing, and the debugger window's text. The editor implements
// it with windows; the CLI, the runtime and the tests with plain text or
// nothing. Operations that need a host are handed one.
#pragma once

#include <string>

struct ProgressSink;

class Host {
  public:
    virtual ~Host() = default;
    // A message box with the error icon and an OK button, titled "KaveloMaker".
    // Lines are separated by "\n".
    virtual void ShowError(const std::string& text) = 0;
    // A question with Yes and No buttons; true for Yes. A host that cannot
    // ask answers No.
    virtual bool AskYesNo(const std::string& text) {
        (void)text;
        return false;
    }
    // Disables the main window, shows the progress window and returns its bar
    // (or null when there is nothing to show progress on).
    virtual ProgressSink* BeginPacking() { return nullptr; }
    // The progress window's label: the name of the file being packed.
    virtual void PackingLabel(const std::string& text) { (void)text; }
    // Closes the progress window and enables the main window again.
    virtual void EndPacking() {}
    // The debugger window's text box is to show this text (called only while
    // the debugger window is open).
    virtual void DebugTextChanged(const std::string& text) { (void)text; }
};

// Writes messages to standard error, one line per line; shows nothing else.
class StderrHost : public Host {
  public:
    void ShowError(const std::string& text) override;
};
