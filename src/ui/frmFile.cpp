// The file manager window: the list with its drop target, popup menu and
// keys, the buttons, the resize arithmetic, the status line for refused
// files, and the progress bar while added files are read.
#include "ui/frmFile.h"

#include "common/AsciiCase.h"
#include "common/TreeName.h"
#include "project/Session.h"
#include "res/StringTable.h"
#include "ui/BackgroundIntake.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/FileDialogs.h"
#include "ui/FileDropList.h"
#include "ui/FileManagerText.h"
#include "ui/InputBox.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"
#include "ui/qkProgressA.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kIconId = 202;    // the file manager's picture in the menu bar
constexpr int kMargin = 8;      // the list's left edge
constexpr int kListTop = 8;     // the list's top edge
constexpr int kBottomBand = 33; // list top + height of a button
constexpr int kButtonHeight = 25;
constexpr int kStatusGap = 4;           // between the list and the status line
constexpr int kProgressHeight = 17;     // as the progress window's bar
constexpr int kRetryMs = 200;           // a tree's facts wait for the project to be free
constexpr int kLineTail = Qt::UserRole; // what a list line shows after the name

bool IsLicenceName(std::string_view name) {
    return name.size() >= 4 && name.substr(name.size() - 4) == ".txt";
}

int32_t CaptionOf(int action) {
    return action == 4 ? 507 : 501 + action;
}

} // namespace

bool IsValidFileName(std::string_view name) {
    if (name == "." || name == "..") return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return AllowedNameChars.find(c) != std::string_view::npos; });
}

FileManagerLayout LayOutFileManager(QSize client, int statusHeight) {
    FileManagerLayout layout;
    const int width = std::max(0, client.width() - 2 * kMargin);
    const int top = client.height() - kBottomBand; // not clamped: may lie above the window
    const int band = statusHeight > 0 ? statusHeight + kStatusGap : 0;
    const int listHeight = std::max(0, top - 2 * kListTop - band);
    layout.List = QRect(kMargin, kListTop, width, listHeight);
    const double share = width / static_cast<double>(layout.Buttons.size());
    for (size_t i = 0; i < layout.Buttons.size(); ++i)
        layout.Buttons[i] =
            QRectF(kMargin + static_cast<double>(i) * share, top, share, kButtonHeight);
    layout.Status = QRect(kMargin, kListTop + listHeight + kStatusGap, width, statusHeight);
    return layout;
}

frmFile::frmFile(ProjectEvents& events, QWidget* parent)
    : EditorWindow(events, &RunState::FileListOpen, QSize(416, 327), Frame::Resizable, kIconId,
                   parent) {
    setObjectName(QStringLiteral("frmFile"));
    setWindowTitle(CaptionRef(500));
    buildControls(Client());
    buildMenu();
    load();
    connect(&events, &ProjectEvents::BusyChanged, this, &frmFile::updateBusy);
    updateBusy(events.Busy());
}

frmFile::~frmFile() = default;

void frmFile::buildControls(QWidget* client) {
    eList = Place(new FileDropList(client, [this](const auto& paths) { DropPaths(paths); }), 8, 8,
                  401, 279);
    eList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    eList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    eList->setFont(ListingFont());
    eList->setAccessibleName(CaptionToPlain(ResText(500)));
    QWidget* previous = eList;
    for (const int i : kFileButtonRow) {
        eButton[i] = new QPushButton(CaptionRef(CaptionOf(i)), client);
        connect(eButton[i], &QPushButton::clicked, this, [this, i] { runAction(i); });
        QWidget::setTabOrder(previous, eButton[i]);
        previous = eButton[i];
    }
    lStatus = new QLabel(client);
    lStatus->setTextFormat(Qt::PlainText);
    lStatus->setWordWrap(true);
    lStatus->hide();
    eProgress = new qkProgressA(client);
    eProgress->setAccessibleName(CaptionToPlain(ResText(160)));
    eProgress->hide();
}

void frmFile::buildMenu() {
    mM = new QMenu(this);
    mM->setObjectName(QStringLiteral("mM"));
    for (const int i : kFileButtonRow) {
        menM[i] = mM->addAction(CaptionRef(CaptionOf(i)));
        connect(menM[i], &QAction::triggered, this, [this, i] { runAction(i); });
    }
    // Delete on the list removes, like the menu's Remove, which shows the key.
    menM[2]->setShortcut(QKeySequence::Delete);
    menM[2]->setShortcutContext(Qt::WidgetShortcut);
    menM[2]->setAutoRepeat(false);
    eList->addAction(menM[2]);
    // Right click and the context-menu key, as the desktop opens popup menus.
    eList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(eList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { mM->popup(eList->viewport()->mapToGlobal(at)); });
}

// Trees show what they hold once it is read, off the window thread.
void frmFile::load() {
    ResolveCaptions(this, -1);
    bool trees = false;
    for (const ProjectFile& file : module()->Project.Files) {
        eList->addItem(BytesToLine(file.Name));
        trees = trees || IsTreeName(file.Name);
    }
    if (trees) QTimer::singleShot(0, this, &frmFile::readTrees);
}

void frmFile::readTrees() {
    if (reading_ || !events()) return;
    if (events()->Busy()) return QTimer::singleShot(kRetryMs, this, &frmFile::readTrees);
    std::vector<int32_t> trees;
    for (int32_t k = 0; k < module()->Project.FileCount(); ++k)
        if (IsTreeName(module()->Project.Files[static_cast<size_t>(k)].Name)) trees.push_back(k);
    reading_ = true;
    const std::map<int32_t, TreeFacts> facts = ReadTreesInBackground(*events(), trees, eProgress);
    reading_ = false;
    for (const auto& [k, tree] : facts) {
        const std::string& name = module()->Project.Files[static_cast<size_t>(k)].Name;
        const QString line = FileLine(name, &tree);
        eList->item(k)->setText(line);
        eList->item(k)->setData(kLineTail, line.mid(BytesToLine(name).size()));
    }
    layOut();
}

void frmFile::resizeControls(QSize) {
    layOut();
}

// The status line wraps at the list's width and takes the lines it needs,
// up to half the height the list would have without it; the progress bar
// takes its place while files are read.
void frmFile::layOut() {
    const QSize client = Client()->size();
    int statusHeight = 0;
    if (reading_) {
        statusHeight = kProgressHeight;
    } else if (!statusText_.isEmpty()) {
        const int width = LayOutFileManager(client, 0).List.width();
        const int room = LayOutFileManager(client, 0).List.height() / 2;
        statusHeight = std::min(std::max(lStatus->heightForWidth(width), 0), room);
        statusHeight = std::max(statusHeight, lStatus->fontMetrics().height());
    }
    const FileManagerLayout layout = LayOutFileManager(client, statusHeight);
    eList->setGeometry(layout.List);
    for (size_t slot = 0; slot < kFileButtonRow.size(); ++slot) {
        // Whole pixels from the fractional edges, so the buttons tile the
        // list's width without gaps.
        const QRectF& b = layout.Buttons[slot];
        const int left = qRound(b.left());
        eButton[kFileButtonRow[slot]]->setGeometry(left, qRound(b.top()), qRound(b.right()) - left,
                                                   qRound(b.height()));
    }
    lStatus->setGeometry(layout.Status);
    lStatus->setVisible(!reading_ && !statusText_.isEmpty());
    eProgress->setGeometry(layout.Status);
    eProgress->setVisible(reading_);
}

void frmFile::runAction(int i) {
    switch (i) {
    case 0:
        addFiles();
        break;
    case 1:
        renameSelected();
        break;
    case 2:
        removeSelected();
        break;
    case 3:
        close();
        break;
    case 4:
        addFolder();
        break;
    default:
        break;
    }
}

// The files chosen in the dialog are taken as a drop of them would be.
void frmFile::addFiles() {
    const std::vector<std::string> paths = ShowOpenFilesDialog(
        events()->GetDialogs(), this, LineToBytes(CaptionToPlain(ResText(501))));
    if (!paths.empty()) DropPaths(paths);
}

void frmFile::addFolder() {
    const std::string folder =
        ShowFolderDialog(events()->GetDialogs(), this, LineToBytes(CaptionToPlain(ResText(507))));
    if (!folder.empty()) AddFolders({folder});
}

void frmFile::renameSelected() {
    const QList<QListWidgetItem*> selected = eList->selectedItems();
    if (selected.size() != 1) return;
    const int k = eList->row(selected.front());
    ProjectFile& file = module()->Project.Files[static_cast<size_t>(k)];
    const QString answer = InputBox(events()->GetDialogs(), this, CaptionToPlain(ResText(510)),
                                    CaptionToPlain(ResText(511)), BytesToLine(file.Name));
    const std::string name = LowerAscii(LineToBytes(answer));
    if (name.empty() || !IsValidFileName(name)) return;
    // A tree stays a tree and a file a file: the suffix tells them apart.
    if (IsTreeName(name) != IsTreeName(file.Name)) return;
    // The licence list offers ".txt" files by name: a rename to or from one
    // changes it.
    const bool licenceListChanges =
        name != file.Name && (IsLicenceName(file.Name) || IsLicenceName(name));
    file.Name = name;
    eList->item(k)->setText(BytesToLine(name) + eList->item(k)->data(kLineTail).toString());
    showStatus({}); // the list changed: what the last addition refused is past
    if (licenceListChanges) emit events()->LicenceListChanged();
}

void frmFile::removeSelected() {
    std::vector<int> rows;
    for (const QListWidgetItem* item : eList->selectedItems())
        rows.push_back(eList->row(item));
    if (rows.empty()) return;
    std::sort(rows.rbegin(), rows.rend()); // from the end, so lower rows keep their index
    SetupProject& project = module()->Project;
    bool removedTxt = false;
    for (const int k : rows) {
        removedTxt = removedTxt || IsLicenceName(project.Files[static_cast<size_t>(k)].Name);
        project.RemoveFile(k);
        delete eList->takeItem(k);
    }
    showStatus({});
    if (removedTxt) emit events()->LicenceListChanged();
}

void frmFile::DropPaths(const std::vector<std::string>& paths) {
    intake(paths, {});
}

void frmFile::AddFolders(const std::vector<std::string>& folders) {
    intake({}, folders);
}

// Nothing is taken while the project is busy (a save runs): the window's
// controls are disabled then, and a drop made just before is dropped.
void frmFile::intake(const std::vector<std::string>& files,
                     const std::vector<std::string>& folders) {
    if (reading_ || !events() || events()->Busy()) return;
    reading_ = true;
    eProgress->ValueSet(0);
    const Intake read = ReadInBackground(*events(), files, folders, eProgress);
    reading_ = false;
    showIntake(read, folders);
}

void frmFile::showIntake(const Intake& read, const std::vector<std::string>& folders) {
    const SetupProject& project = module()->Project;
    for (const int32_t k : read.Changed) {
        const std::string& name = project.Files[static_cast<size_t>(k)].Name;
        const auto tree = read.Trees.find(k);
        const QString line = FileLine(name, tree == read.Trees.end() ? nullptr : &tree->second);
        if (k >= eList->count()) eList->addItem(line);
        eList->item(k)->setText(line);
        eList->item(k)->setData(kLineTail, line.mid(BytesToLine(name).size()));
    }
    QStringList refused;
    for (const QString& text :
         {RefusedFilesText(read.Files), RefusedFoldersText(read.Folders, folders)})
        if (!text.isEmpty()) refused << text;
    showStatus(refused.join(QStringLiteral("; ")));
    if (read.Files.AddedTxt) emit events()->LicenceListChanged();
}

// While the project is busy nothing here may change its files.
void frmFile::updateBusy(bool busy) {
    eList->setEnabled(!busy);
    for (QPushButton* button : eButton)
        button->setEnabled(!busy);
    for (QAction* item : menM)
        item->setEnabled(!busy);
    layOut();
}

void frmFile::showStatus(const QString& text) {
    statusText_ = text;
    lStatus->setText(text);
    lStatus->setToolTip(text);
    lStatus->setAccessibleName(text);
    layOut();
}

// The window stays while its own reading runs: the work reports into it.
void frmFile::closeEvent(QCloseEvent* event) {
    if (reading_) return event->ignore();
    EditorWindow::closeEvent(event);
}
