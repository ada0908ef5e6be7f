#include "ui/ScriptLanguageWindow.h"

#include "res/StringTable.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/Icons.h"
#include "ui/ScriptLanguageText.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kIconId = 203; // the script editor's picture

} // namespace

ScriptLanguageWindow::ScriptLanguageWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("ScriptLanguageWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Script language"));
    setWindowIcon(LoadIcon(kIconId));
    const ScriptLanguageHelp help = LoadScriptLanguageHelp();
    lSource = new QLabel(QStringLiteral("From %1").arg(help.Source), this);
    lSource->setTextFormat(Qt::PlainText);
    eText = new QPlainTextEdit(help.Text, this);
    eText->setReadOnly(true);
    eText->setFont(ListingFont());
    eText->setLineWrapMode(QPlainTextEdit::NoWrap);
    eText->setAccessibleName(windowTitle());
    eButton = new QPushButton(ResText(106), this); // "&Close", as in the About window
    connect(eButton, &QPushButton::clicked, this, &QWidget::close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(lSource);
    column->addWidget(eText, 1);
    column->addWidget(eButton, 0, Qt::AlignRight);
    resize(560, 480);
}
