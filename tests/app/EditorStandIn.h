// A stand-in for the editor windows that the main window opens: like the
// real ones it reads its field from the project when it loads, and writes
// the field back when it unloads; its base keeps the open flag.
#pragma once

#include <QLineEdit>

#include <string>
#include <vector>

#include "project/Session.h"
#include "ui/ChildWindow.h"
#include "ui/EditorWindow.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"

class EditorStandIn : public EditorWindow {
  public:
    EditorStandIn(ProjectEvents& events, bool RunState::*flag, int line, std::string name,
                  std::vector<std::string>& log)
        : EditorWindow(events, flag, QSize(200, 40), Frame::Resizable, -1), line_(line),
          name_(std::move(name)), log_(log) {
        edit = new QLineEdit(
            BytesToLine(events.Module().Project.SetupLines[static_cast<size_t>(line_)]), Client());
        setWindowTitle(QString::fromStdString(name_));
        log_.push_back("load " + name_);
    }
    ~EditorStandIn() override { Unload(); }

    QLineEdit* edit;

  protected:
    void storeFields() override {
        module()->Project.SetupLines[static_cast<size_t>(line_)] = LineToBytes(edit->text());
        log_.push_back("unload " + name_);
    }

  private:
    int line_;
    std::string name_;
    std::vector<std::string>& log_;
};
