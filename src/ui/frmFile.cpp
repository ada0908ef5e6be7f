// The file manager window: the list with its drop target, popup menu and
// keys, the buttons, the resize arithmetic and the status line for refused
// files.
#include "ui/frmFile.h"

#include "common/AsciiCase.h"
#include "project/FileIntake.h"
#include "project/Session.h"
#include "res/StringTable.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/FileDialogs.h"
#include "ui/InputBox.h"
#include "ui/ProjectEvents.h"
#include "ui/TextConvert.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace {

constexpr int kIconId = 202;    // the file manager's picture in the menu bar
constexpr int kMargin = 8;      // the list's left edge
constexpr int kListTop = 8;     // the list's top edge
constexpr int kBottomBand = 33; // list top + height of a button
constexpr int kButtonHeight = 25;
constexpr int kStatusGap = 4; // between the list and the status line

bool IsLicenceName(std::string_view name) {
    return name.size() >= 4 && name.substr(name.size() - 4) == ".txt";
}

// The local files of a drop, as paths the file system takes.
std::vector<std::string> LocalPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return paths;
}

// The list box: takes files dropped from a desktop file manager.
class FileList : public QListWidget {
  public:
    FileList(QWidget* parent, std::function<void(const std::vector<std::string>&)> onDrop)
        : QListWidget(parent), onDrop_(std::move(onDrop)) {
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDragEnabled(false);
        setDropIndicatorShown(false);
    }

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override { acceptFiles(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { acceptFiles(event); }
    void dropEvent(QDropEvent* event) override {
        const std::vector<std::string> paths = LocalPaths(event->mimeData());
        if (paths.empty()) return event->ignore();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        onDrop_(paths);
    }

  private:
    static void acceptFiles(QDropEvent* event) {
        if (LocalPaths(event->mimeData()).empty()) return event->ignore();
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
    std::function<void(const std::vector<std::string>&)> onDrop_;
};

QString FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return BytesToLine(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The line that says which files a drop could not add.
// The files a drop did not take, in a line of their own: those past the
// 512-file limit by name (string 505), the others by name and reason (506).
// Files that cannot be read, folders among them, are passed over silently.
QString RefusedText(const DropResult& result) {
    QStringList full;
    QStringList others;
    for (const DropProblem& p : result.Problems) {
        if (p.Unreadable) continue;
        const bool pastLimit =
            std::find(result.Refused.begin(), result.Refused.end(), p.Path) != result.Refused.end();
        if (pastLimit)
            full << FileNameOf(p.Path);
        else
            others << FileNameOf(p.Path) + QStringLiteral(" (") + BytesToLine(p.Reason) +
                          QStringLiteral(")");
    }
    QStringList parts;
    if (!others.isEmpty()) parts << ResText(506).replace(u'$', others.join(QStringLiteral(", ")));
    if (!full.isEmpty()) parts << ResText(505).replace(u'$', full.join(QStringLiteral(", ")));
    return parts.join(QStringLiteral("; "));
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
    const double share = width / 4.0;
    for (int i = 0; i < 4; ++i)
        layout.Buttons[static_cast<size_t>(i)] =
            QRectF(kMargin + i * share, top, share, kButtonHeight);
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
    layOut();
}

frmFile::~frmFile() = default;

void frmFile::buildControls(QWidget* client) {
    eList = Place(new FileList(client, [this](const auto& paths) { DropPaths(paths); }), 8, 8, 401,
                  279);
    eList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    eList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    eList->setFont(ListingFont());
    eList->setAccessibleName(CaptionToPlain(ResText(500)));
    const int lefts[] = {8, 104, 208, 312};
    for (int i = 0; i < 4; ++i) {
        eButton[i] = Place(new QPushButton(CaptionRef(501 + i), client), lefts[i], 296, 97, 25);
        connect(eButton[i], &QPushButton::clicked, this, [this, i] { runAction(i); });
    }
    lStatus = new QLabel(client);
    lStatus->setTextFormat(Qt::PlainText);
    lStatus->setWordWrap(true);
    lStatus->hide();
    QWidget::setTabOrder(eList, eButton[0]);
    QWidget::setTabOrder(eButton[0], eButton[1]);
    QWidget::setTabOrder(eButton[1], eButton[2]);
    QWidget::setTabOrder(eButton[2], eButton[3]);
}

void frmFile::buildMenu() {
    mM = new QMenu(this);
    mM->setObjectName(QStringLiteral("mM"));
    for (int i = 0; i < 4; ++i) {
        menM[i] = mM->addAction(CaptionRef(501 + i));
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

void frmFile::load() {
    ResolveCaptions(this, -1);
    for (const ProjectFile& file : module()->Project.Files)
        eList->addItem(BytesToLine(file.Name));
}

void frmFile::resizeControls(QSize) {
    layOut();
}

// The status line wraps at the list's width and takes the lines it needs,
// up to half the height the list would have without it.
void frmFile::layOut() {
    const QSize client = Client()->size();
    int statusHeight = 0;
    if (!statusText_.isEmpty()) {
        const int width = LayOutFileManager(client, 0).List.width();
        const int room = LayOutFileManager(client, 0).List.height() / 2;
        statusHeight = std::min(std::max(lStatus->heightForWidth(width), 0), room);
        statusHeight = std::max(statusHeight, lStatus->fontMetrics().height());
    }
    const FileManagerLayout layout = LayOutFileManager(client, statusHeight);
    eList->setGeometry(layout.List);
    for (size_t i = 0; i < eButton.size(); ++i) {
        // Whole pixels from the fractional edges, so the buttons tile the
        // list's width without gaps.
        const QRectF& b = layout.Buttons[i];
        const int left = qRound(b.left());
        eButton[i]->setGeometry(left, qRound(b.top()), qRound(b.right()) - left,
                                qRound(b.height()));
    }
    lStatus->setGeometry(layout.Status);
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

void frmFile::renameSelected() {
    const QList<QListWidgetItem*> selected = eList->selectedItems();
    if (selected.size() != 1) return;
    const int k = eList->row(selected.front());
    ProjectFile& file = module()->Project.Files[static_cast<size_t>(k)];
    const QString answer = InputBox(events()->GetDialogs(), this, CaptionToPlain(ResText(510)),
                                    CaptionToPlain(ResText(511)), BytesToLine(file.Name));
    const std::string name = LowerAscii(LineToBytes(answer));
    if (name.empty() || !IsValidFileName(name)) return;
    // The licence list offers ".txt" files by name: a rename to or from one
    // changes it.
    const bool licenceListChanges =
        name != file.Name && (IsLicenceName(file.Name) || IsLicenceName(name));
    file.Name = name;
    eList->item(k)->setText(BytesToLine(name));
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
    SetupProject& project = module()->Project;
    const size_t before = project.Files.size();
    const DropResult result = DropFiles(project, paths);
    for (size_t k = before; k < project.Files.size(); ++k)
        eList->addItem(BytesToLine(project.Files[k].Name));
    showStatus(RefusedText(result));
    if (result.AddedTxt) emit events()->LicenceListChanged();
}

void frmFile::showStatus(const QString& text) {
    statusText_ = text;
    lStatus->setText(text);
    lStatus->setVisible(!text.isEmpty());
    lStatus->setToolTip(text);
    lStatus->setAccessibleName(text);
    layOut();
}
