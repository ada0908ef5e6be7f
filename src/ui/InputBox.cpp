// The input box, asked of the caller's Dialogs.
#include "ui/InputBox.h"

#include "ui/Dialogs.h"

QString InputBox(Dialogs& dialogs, QWidget* owner, const QString& title, const QString& prompt,
                 const QString& defaultText) {
    return dialogs.Input({owner, title, prompt, defaultText});
}
