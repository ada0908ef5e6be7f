// The input box: Qt's text input dialog, or the installed answering function.
#include "ui/InputBox.h"

#include <QInputDialog>

namespace {

InputBoxAnswer& Answer() {
    static InputBoxAnswer answer;
    return answer;
}

} // namespace

QString InputBox(QWidget* owner, const QString& title, const QString& prompt,
                 const QString& defaultText) {
    if (Answer()) return Answer()({owner, title, prompt, defaultText});
    bool ok = false;
    const QString text =
        QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

InputBoxAnswer SetInputBoxAnswer(InputBoxAnswer answer) {
    InputBoxAnswer previous = std::move(Answer());
    Answer() = std::move(answer);
    return previous;
}
