// The main window: menus and menu bar from the command table, the editor
// windows in the window area, saving, closing, and "Create & test setup".
#include "app/frmMaker.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "app/BackgroundSetup.h"
#include "app/ProcessWait.h"
#include "common/Errors.h"
#include "project/Messages.h"
#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/EditorWindow.h"
#include "ui/FORM_Info.h"
#include "ui/ProjectEvents.h"
#include "ui/ScriptLanguageWindow.h"
#include "ui/TextConvert.h"
#include "ui/qkMenuA.h"

namespace {

constexpr int kMenuBarWidth = 100;
constexpr int kMenuBarTextHeight = 26;
constexpr int kWaitIntervalMs = 1000;

// No command, close or second save starts while one runs: the window is
// disabled or hidden then, but events are still processed.
class BusyScope {
  public:
    explicit BusyScope(int& busy) : busy_(busy) { ++busy_; }
    ~BusyScope() { --busy_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    int& busy_;
};

QString Reference(int32_t id) {
    return QStringLiteral("$%1").arg(id);
}

} // namespace

frmMaker::frmMaker(ProjectEvents& events, QWidget* parent) : QMainWindow(parent), events_(events) {
    setObjectName(QStringLiteral("frmMaker"));
    setWindowTitle(Reference(200));
    for (int i = 0; i < kEditorWindowCount; ++i) {
        if (const EditorWindowFactory make = MakerCommands()[static_cast<size_t>(i)].Make)
            factories_[static_cast<size_t>(i)] = make;
    }

    auto* centre = new QWidget(this);
    auto* row = new QHBoxLayout(centre);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    qkMenuA1 = new qkMenuA(centre);
    qkMenuA1->setObjectName(QStringLiteral("qkMenuA1"));
    qkMenuA1->setFixedWidth(kMenuBarWidth);
    mdiArea = new QMdiArea(centre);
    mdiArea->setObjectName(QStringLiteral("mdiArea"));
    updateAreaBackground();
    row->addWidget(qkMenuA1);
    row->addWidget(mdiArea, 1);
    setCentralWidget(centre);

    // The setup being edited: the title is the program's name only.
    pathLabel_ = new QLabel(BytesToLine(events_.Module().Project.ProjectPath), this);
    pathLabel_->setTextFormat(Qt::PlainText);
    pathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pathLabel_->setContentsMargins(4, 0, 0, 0);
    statusBar()->addWidget(pathLabel_, 1);
    statusBar()->setSizeGripEnabled(true);

    buildMenus();
    buildMenuBar();
    ResolveCaptions(this, 120);
    qkMenuA1->setAccessibleName(CaptionToPlain(ResText(230)));
    pathLabel_->setAccessibleName(pathLabel_->text());
    resize(820, 580);
    qkMenuA1->setFocus();
    connect(&events_, &ProjectEvents::BusyChanged, this, &frmMaker::updateCommands);
}

frmMaker::~frmMaker() = default;

void frmMaker::buildMenus() {
    menP = menuBar()->addMenu(Reference(210));
    menP->setObjectName(QStringLiteral("menP"));
    const int32_t projectItems[] = {211, 212, 0, 213, 214, 0, 215};
    for (size_t i = 0; i < menPrj.size(); ++i)
        menPrj[i] =
            projectItems[i] ? menP->addAction(Reference(projectItems[i])) : menP->addSeparator();
    // New, Open and Save as are present but have no action.
    for (const size_t i : {0, 1, 4})
        menPrj[i]->setEnabled(false);
    menPrj[3]->setShortcut(QKeySequence::Save);
    menPrj[6]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(menPrj[3], &QAction::triggered, this, [this] { Save(); });
    connect(menPrj[6], &QAction::triggered, this, &QWidget::close);

    menT = menuBar()->addMenu(Reference(230));
    menT->setObjectName(QStringLiteral("menT"));
    for (int i = 0; i < kMakerCommandCount; ++i)
        menTool[static_cast<size_t>(i)] =
            menT->addAction(Reference(MakerCommands()[static_cast<size_t>(i)].MenuCaption));
    menTool[6] = menT->addSeparator();
    menTool[kCloseAllEntry] = menT->addAction(Reference(239));
    for (int i = 0; i < static_cast<int>(menTool.size()); ++i)
        connect(menTool[static_cast<size_t>(i)], &QAction::triggered, this,
                [this, i] { toolMenuClicked(i); });

    menI = menuBar()->addMenu(Reference(250));
    menI->setObjectName(QStringLiteral("menI"));
    menScriptLanguage = menI->addAction(QStringLiteral("&Script language"));
    connect(menScriptLanguage, &QAction::triggered, this, &frmMaker::ShowScriptLanguage);
    menInfo = menI->addAction(Reference(251));
    connect(menInfo, &QAction::triggered, this, &frmMaker::ShowAbout);
}

void frmMaker::buildMenuBar() {
    qkMenuA1->ItemCount(kMakerCommandCount);
    for (int i = 0; i < kMakerCommandCount; ++i) {
        const MakerCommand& command = MakerCommands()[static_cast<size_t>(i)];
        qkMenuA1->SetItem(i, ResText(command.BarCaption), command.Icon);
    }
    qkMenuA1->TextHeight(kMenuBarTextHeight);
    connect(qkMenuA1, &qkMenuA::ItemClick, this, &frmMaker::RunCommand);
}

void frmMaker::toolMenuClicked(int i) {
    if (i == kCloseAllEntry)
        CloseAll();
    else if (i >= 0 && i < kMakerCommandCount)
        RunCommand(i);
}

void frmMaker::RunCommand(int i) {
    if (Busy() || i < 0 || i >= kMakerCommandCount) return;
    if (i == kCreateSetupCommand)
        CreateAndTestSetup();
    else
        openEditorWindow(i);
}

// An open window is brought to the front and keeps what it shows; a window
// that does not exist yet is made, which loads it from the project.
void frmMaker::openEditorWindow(int i) {
    const size_t k = static_cast<size_t>(i);
    if (QMdiSubWindow* open = EditorWindow(i)) {
        mdiArea->setActiveSubWindow(open);
        return;
    }
    if (!factories_[k]) return;
    QMdiSubWindow* window = factories_[k](events_, nullptr);
    if (!window) return;
    window->setAttribute(Qt::WA_DeleteOnClose);
    mdiArea->addSubWindow(window);
    window->show();
    mdiArea->setActiveSubWindow(window);
}

void frmMaker::CloseAll() {
    for (int i = 0; i < kEditorWindowCount; ++i)
        if (QMdiSubWindow* open = EditorWindow(i)) open->close();
}

bool frmMaker::Save() {
    if (Busy()) return false;
    BusyScope busy(busy_);
    return SaveSetupInBackground(events_);
}

void frmMaker::CreateAndTestSetup() {
    if (Busy() || !Save()) return;
    Module1& module = events_.Module();
    const std::string path = module.Project.ProjectPath;
    int64_t processId = 0;
    try {
        processId = StartProgram(path, {path});
    } catch (const KaveloError& e) {
        ShowErrorWithPath(module.GetHost(), 35, path, e.Reason());
        return;
    }
    runStartedSetup(processId);
}

// Hidden until the setup ends. With this window hidden, closing the last
// other window (the About window) must not end the program meanwhile.
void frmMaker::runStartedSetup(int64_t processId) {
    BusyScope busy(busy_);
    const bool quitOnLastClosed = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Repaints the save left pending (the About window enabled again) are
    // dropped once this window hides; they are made first.
    QCoreApplication::processEvents();
    // A window manager may place a window shown again anywhere: it comes
    // back where it was.
    const QByteArray placed = saveGeometry();
    hide();
    WaitOnProgramm(processId, kWaitIntervalMs);
    restoreGeometry(placed);
    show();
    raise();
    activateWindow();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastClosed);
}

void frmMaker::ShowAbout() {
    if (!about_) {
        RunState& run = events_.Module().Run;
        about_ = new FORM_Info(this, [&run](bool open) { run.InfoOpen = open; });
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void frmMaker::ShowScriptLanguage() {
    if (!scriptLanguage_) scriptLanguage_ = new ScriptLanguageWindow(this);
    scriptLanguage_->show();
    scriptLanguage_->raise();
    scriptLanguage_->activateWindow();
}

void frmMaker::SetWindowFactory(int i, WindowFactory factory) {
    if (i >= 0 && i < kEditorWindowCount) factories_[static_cast<size_t>(i)] = std::move(factory);
}

QMdiSubWindow* frmMaker::EditorWindow(int i) const {
    if (i < 0 || i >= kEditorWindowCount) return nullptr;
    return ::EditorWindow::FindOpen(mdiArea, MakerCommands()[static_cast<size_t>(i)].OpenFlag);
}

// The editor windows close first and store their fields in the project; then
// the project is saved, and only a save that worked lets the window close.
void frmMaker::closeEvent(QCloseEvent* event) {
    if (Busy()) {
        event->ignore();
        return;
    }
    mdiArea->closeAllSubWindows();
    unloadClosedWindows();
    if (!Save()) {
        event->ignore();
        return;
    }
    if (events_.Module().Run.InfoOpen && about_) about_->close();
    if (scriptLanguage_) scriptLanguage_->close();
    event->accept();
}

// A window writes its fields back as it unloads; those closed here unload
// (are deleted) before the save instead of at the next turn of the event loop.
void frmMaker::unloadClosedWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The window area is a shade darker than the window, light or dark alike.
void frmMaker::updateAreaBackground() {
    mdiArea->setBackground(palette().color(QPalette::Window).darker(112));
}

void frmMaker::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) updateAreaBackground();
}

bool frmMaker::Busy() const {
    return busy_ > 0 || events_.Busy();
}

// While the project is busy the menus and the menu bar take no command; the
// editor windows stay open to typing.
void frmMaker::updateCommands(bool busy) {
    menuBar()->setEnabled(!busy);
    qkMenuA1->setEnabled(!busy);
}

FORM_Info* frmMaker::About() const {
    return about_;
}
