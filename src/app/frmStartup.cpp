// The startup dialog: four buttons with their icons, the recent list, and
// the three ways to a project.
#include "app/frmStartup.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ProjectOpener.h"
#include "common/Host.h"
#include "project/Messages.h"
#include "project/SetupFileName.h"
#include "res/StringTable.h"
#include "ui/Captions.h"
#include "ui/FileDialogs.h"
#include "ui/Icons.h"
#include "ui/TextConvert.h"

namespace {

constexpr int kButtonIconSize = 32;

// Description, NUL, patterns: the setup files of the file dialogs; the first
// pattern gives a name typed without an extension its ".run".
std::string SetupFilter() {
    return GetResString(20, false) + '\0' + "*.run;*.exe";
}

} // namespace

frmStartup::frmStartup(ProjectOpener& opener, Host& host, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), opener_(opener), host_(host), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmStartup"));
    setWindowTitle(QStringLiteral("$150"));
    buildControls();
    buildLayout();
    ResolveCaptions(this, 110);
    eList->setAccessibleName(CaptionToPlain(ResText(155)));
    recent_.Read();
    fillList();
}

void frmStartup::buildControls() {
    for (int i = 0; i < 4; ++i) {
        QPushButton* button = new QPushButton(QStringLiteral("$%1").arg(151 + i), this);
        button->setObjectName(QStringLiteral("eButton%1").arg(i));
        button->setIcon(LoadIcon(111 + i));
        button->setIconSize(QSize(kButtonIconSize, kButtonIconSize));
        button->setAutoDefault(false);
        eButton[static_cast<size_t>(i)] = button;
    }
    eList = new QListWidget(this);
    eList->setObjectName(QStringLiteral("eList"));
    eList->setSelectionMode(QAbstractItemView::SingleSelection);
    eList->setTextElideMode(Qt::ElideMiddle);
    eList->setUniformItemSizes(true);
    eList->setSpacing(1);
    eList->installEventFilter(this);
    lLabel = new QLabel(QStringLiteral("$155"), this);
    lLabel->setObjectName(QStringLiteral("lLabel"));
    lLabel->setBuddy(eList);

    connect(eButton[0], &QPushButton::clicked, this, &frmStartup::newProject);
    connect(eButton[1], &QPushButton::clicked, this, &frmStartup::openSetup);
    connect(eButton[2], &QPushButton::clicked, this, &frmStartup::loadSelected);
    connect(eButton[3], &QPushButton::clicked, this, &QWidget::close);
    connect(eList, &QListWidget::itemDoubleClicked, this, &frmStartup::loadSelected);
    connect(eList, &QListWidget::itemSelectionChanged, this, &frmStartup::updateButtons);
}

// The two ways to a setup not in the list at the top, the list beneath, and
// the list's own button beside Quit at the bottom. Tab runs in that order.
void frmStartup::buildLayout() {
    auto* top = new QHBoxLayout;
    top->addWidget(eButton[0], 1);
    top->addWidget(eButton[1], 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(eButton[2]);
    bottom->addStretch(1);
    bottom->addWidget(eButton[3]);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    column->addLayout(top);
    column->addSpacing(4);
    column->addWidget(lLabel);
    column->addWidget(eList, 1);
    column->addLayout(bottom);
    for (QPushButton* button : eButton)
        button->setMinimumHeight(kButtonIconSize + 16);
    setTabOrder(eButton[0], eButton[1]);
    setTabOrder(eButton[1], eList);
    setTabOrder(eList, eButton[2]);
    setTabOrder(eButton[2], eButton[3]);
    resize(560, 360);
}

// The most recent project is selected, so Enter in the list opens it.
void frmStartup::fillList() {
    eList->clear();
    for (const std::string& path : recent_.Entries()) {
        auto* item = new QListWidgetItem(BytesToLine(path), eList);
        item->setToolTip(item->text());
    }
    if (eList->count() > 0) {
        eList->setCurrentRow(0);
        eList->setFocus();
    } else {
        eButton[0]->setFocus();
    }
    updateButtons();
}

void frmStartup::updateButtons() {
    eButton[2]->setEnabled(eList->selectedItems().size() == 1);
}

void frmStartup::newProject() {
    std::string path =
        ShowFileDialog(dialogs_, this, SetupFilter(), kFileDialogSave, GetResString(21, false));
    if (path.empty()) return;
    path = WithSetupExtension(path);
    if (opener_.CreateProject(path))
        finish();
    else
        host_.ShowError(MessageWithPath(31, path));
}

void frmStartup::openSetup() {
    const std::string chosen =
        ShowFileDialog(dialogs_, this, SetupFilter(), kFileDialogOpen, GetResString(22, false));
    if (chosen.empty()) return;
    if (opener_.OpenProject(SetupToOpen(chosen))) finish();
}

// A project that fails to open stays in the list.
void frmStartup::loadSelected() {
    const QList<QListWidgetItem*> selected = eList->selectedItems();
    if (selected.size() != 1) return;
    const int row = eList->row(selected.front());
    if (row < 0 || static_cast<size_t>(row) >= recent_.Entries().size()) return;
    if (opener_.OpenProject(recent_.Entries()[static_cast<size_t>(row)])) finish();
}

void frmStartup::finish() {
    opener_.ShowMainWindow();
    close();
}

// Enter in the list acts as "Load selected project".
bool frmStartup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == eList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            loadSelected();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
