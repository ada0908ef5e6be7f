// The editor's Host: the core's messages as message boxes, the progress
// window while a setup is packed (its owner window disabled meanwhile), and
// the debugger text passed on to the debugger window.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "common/Host.h"

class ProjectEvents;
class frmProgress;

// Shows one error message over parent (null for none). The real one is a
// modal message box; tests install their own to answer without blocking.
using MessageBoxAnswer = std::function<void(QWidget* parent, const QString& text)>;

// Installs the function that shows every later error message (an empty one
// restores the real message box); returns the previous one.
MessageBoxAnswer SetMessageBoxAnswer(MessageBoxAnswer answer);

// Answers one yes-or-no question over parent; the same for questions.
using QuestionAnswer = std::function<bool(QWidget* parent, const QString& text)>;
QuestionAnswer SetQuestionAnswer(QuestionAnswer answer);

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
    // Disables the owner, shows frmProgress over it (ProgressOpen true while
    // it exists) and returns its bar; the next yield paints it.
    ProgressSink* BeginPacking() override;
    void PackingLabel(const std::string& text) override;
    // Closes the progress window and enables the owner again.
    void EndPacking() override;
    void DebugTextChanged(const std::string& text) override;

    // The progress window while a save packs, else null.
    frmProgress* Progress() const { return progress_.get(); }

  private:
    ProjectEvents& events_;
    QPointer<QWidget> owner_;
    std::unique_ptr<frmProgress> progress_;
};
