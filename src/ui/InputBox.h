// The modal input box: a title, a prompt, a one-line text field filled with
// a default, OK and Cancel. Like the file dialogs it sits behind a
// replaceable answering function, so tests answer it without a window.
#pragma once

#include <QString>

#include <functional>

class QWidget;

// What the box is asked to show.
struct InputBoxRequest {
    QWidget* owner = nullptr;
    QString title;
    QString prompt;
    QString defaultText;
};

// The text in the field when OK was pressed; the empty string on Cancel.
QString InputBox(QWidget* owner, const QString& title, const QString& prompt,
                 const QString& defaultText);

// Answers a request as the user would (empty for Cancel).
using InputBoxAnswer = std::function<QString(const InputBoxRequest&)>;

// Installs the function that answers every later InputBox (an empty one
// restores the real box); returns the previous one.
InputBoxAnswer SetInputBoxAnswer(InputBoxAnswer answer);
