// The editor's Host: the core's messages as message boxes, the progress
// window while a setup is packed, and the debugger text passed on to the
// debugger window. Work on a worker thread reaches it through WorkerHost.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "common/Host.h"

class ProjectEvents;
class frmProgress;

// Messages and questions are shown by the Dialogs of the ProjectEvents it is
// given, so tests answer them without blocking.
class MakerHost : public Host {
  public:
    explicit MakerHost(ProjectEvents& events);
    ~MakerHost() override;

    // The window messages show over and that is disabled while packing: the
    // startup dialog, then the main window.
    void SetOwner(QWidget* window) { owner_ = window; }
    QWidget* Owner() const { return owner_; }

    // A message box with the error icon, an OK button and the title string 30.
    void ShowError(const std::string& text) override;
    // A message box with the warning icon, Yes and No (the default), and the
    // title string 30.
    bool AskYesNo(const std::string& text) override;
    // Shows frmProgress over the owner (ProgressOpen true while it exists),
    // painted, and returns its bar. Whoever runs the save disables what must
    // not be touched meanwhile.
    ProgressSink* BeginPacking() override;
    void PackingLabel(const std::string& text) override;
    // Closes the progress window.
    void EndPacking() override;
    void DebugTextChanged(const std::string& text) override;

    // The progress window while a save packs, else null.
    frmProgress* Progress() const { return progress_.get(); }

  private:
    ProjectEvents& events_;
    QPointer<QWidget> owner_;
    std::unique_ptr<frmProgress> progress_;
};
