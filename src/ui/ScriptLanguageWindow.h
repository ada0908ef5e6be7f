// The Info menu's "Script language": the script language's description in
// a read-only window, with where it was taken from.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// A modeless, resizable window; closing it deletes it.
class ScriptLanguageWindow : public QDialog {
    Q_OBJECT

  public:
    explicit ScriptLanguageWindow(QWidget* owner = nullptr);

    QLabel* lSource;
    QPlainTextEdit* eText;
    QPushButton* eButton;
};
