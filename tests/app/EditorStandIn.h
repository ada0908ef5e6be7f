// A stand-in for the editor windows that the main window opens: like the
// real ones it reads its field from the project when it loads and sets its
// open flag, and writes the field back and clears the flag when it unloads.
#pragma once

#include <QLineEdit>
#include <QMdiSubWindow>

#include <string>
#include <vector>

#include "project/Session.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"

class EditorStandIn : public QMdiSubWindow {
  public:
    EditorStandIn(ProjectEvents& events, bool RunState::*flag, int line, std::string name,
                  std::vector<std::string>& log)
        : module_(events.Module()), flag_(flag), line_(line), name_(std::move(name)), log_(log) {
        edit = new QLineEdit(BytesToLine(module_.Project.SetupLines[static_cast<size_t>(line_)]));
        setWidget(edit);
        setWindowTitle(QString::fromStdString(name_));
        module_.Run.*flag_ = true;
        log_.push_back("load " + name_);
    }
    ~EditorStandIn() override {
        module_.Project.SetupLines[static_cast<size_t>(line_)] = LineToBytes(edit->text());
        module_.Run.*flag_ = false;
        log_.push_back("unload " + name_);
    }

    QLineEdit* edit;

  private:
    Module1& module_;
    bool RunState::*flag_;
    int line_;
    std::string name_;
    std::vector<std::string>& log_;
};
