// The modal input box: a title, a prompt, a one-line text field filled with
// a default, OK and Cancel. Like the file dialogs it is shown by the caller's
// Dialogs, so tests answer it without a window.
#pragma once

#include <QString>

class Dialogs;
class QWidget;

// What the box is asked to show.
struct InputBoxRequest {
    QWidget* owner = nullptr;
    QString title;
    QString prompt;
    QString defaultText;
};

// The text in the field when OK was pressed; the empty string on Cancel.
QString InputBox(Dialogs& dialogs, QWidget* owner, const QString& title, const QString& prompt,
                 const QString& defaultText);
