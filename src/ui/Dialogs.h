// The modal dialogs the editor asks the user through: the file dialogs, the
// input box, error messages and yes-or-no questions. The windows and the
// program's host ask the one their ProjectEvents holds; this class shows
// Qt's dialogs, and a test hands the windows a subclass that answers at once.
#pragma once

#include <QString>

#include "ui/FileDialogs.h"
#include "ui/InputBox.h"

class QWidget;

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // The chosen path (several, one per line, for a request of several
    // files); the empty string when the dialog was cancelled.
    virtual QString FileDialog(const FileDialogRequest& request);
    // The text in the field when OK was pressed; the empty string on Cancel.
    virtual QString Input(const InputBoxRequest& request);
    // An error message over parent (null for none): the error icon, an OK
    // button, the title string 30.
    virtual void Message(QWidget* parent, const QString& text);
    // A question over parent with the warning icon, Yes and No (the
    // default), the title string 30; true for Yes.
    virtual bool Question(QWidget* parent, const QString& text);
};
