// Renders every window built so far into PNG files for people to look at:
// NAME.png with the default palette and NAME-dark.png with a dark one; run
// with QT_SCALE_FACTOR=2 and "--suffix -2x --light-only" for NAME-2x.png.
// A new window is one more line in the table of builders.
#include "app/ProjectOpener.h"
#include "app/frmMaker.h"
#include "app/frmStartup.h"
#include "project/Session.h"
#include "ui/FORM_Info.h"
#include "ui/ProjectEvents.h"
#include "ui/Icons.h"
#include "ui/frmProgress.h"
#include "ui/qkMenuA.h"
#include "ui/qkProgressA.h"
#include <QCheckBox>
#include <QRadioButton>
#include <QLabel>
#include "ui/Captions.h"
#include "ui/ProjectEvents.h"
#include "ui/frmTest.h"
#include "ui/frmEditor.h"
#include "ui/frmDebug.h"
#include "ui/frmFile.h"
#include "package/TreeArchive.h"
#include "ui/frmGen.h"
#include "ui/frmScreen.h"
#include "project/Session.h"
#include "wizard/SetupWizard.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QStyleFactory>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

using Builder = std::function<std::unique_ptr<QWidget>()>;

// The menu bar as the main window docks it: six items, TextHeight 26, with
// the focus so that the selected item shows in highlight colours.
std::unique_ptr<QWidget> MenuBar() {
    auto bar = std::make_unique<qkMenuA>();
    bar->resize(100, 500);
    bar->ItemCount(6);
    for (int i = 0; i < 6; ++i)
        bar->SetItem(i, ResText(280 + i), 200 + i);
    bar->TextHeight(26);
    bar->setFocus();
    return bar;
}

// The progress window in the middle of a save.
std::unique_ptr<QWidget> Progress() {
    auto window = std::make_unique<frmProgress>();
    window->SetLabel(QStringLiteral("setup\\picture.bmp"));
    window->Bar()->ValueSet(0.3712f);
    return window;
}

// The startup dialog over a recent list of three setups (in a settings
// folder of its own, never the user's).
std::unique_ptr<QWidget> Startup() {
    struct NoOpener : ProjectOpener {
        bool CreateProject(const std::string&) override { return false; }
        bool OpenProject(const std::string&) override { return false; }
        void ShowMainWindow() override {}
    };
    static NoOpener opener;
    static StderrHost host;
    static Dialogs dialogs;
    QSettings settings(QStringLiteral("Tavrin"), QStringLiteral("KaveloMaker"));
    settings.setValue(QStringLiteral("01"), QStringLiteral("/home/anna/setups/photo-tools.exe"));
    settings.setValue(QStringLiteral("02"),
                      QStringLiteral("/home/anna/setups/Invoice Helper 2.exe"));
    settings.setValue(QStringLiteral("03"), QStringLiteral("/srv/builds/nightly/kavelo-demo.exe"));
    settings.sync();
    auto window = std::make_unique<frmStartup>(opener, host, dialogs);
    window->eButton[0]->setFocus();
    return window;
}

// The main window with its menus and menu bar, as a project is opened.
std::unique_ptr<QWidget> Main() {
    static Module1 module;
    static ProjectEvents events(module);
    module.Project.ProjectPath = "/home/anna/setups/photo-tools.exe";
    return std::make_unique<frmMaker>(events);
}

std::unique_ptr<QWidget> About() {
    return std::make_unique<FORM_Info>();
}

// Every icon at 16, 32 and 64 pixels on the window colour, its 16-pixel
// form magnified four times (to judge its pixels), and the rule.
class IconSheet : public QWidget {
  public:
    IconSheet() { setFixedSize(14 * 72 + 16, 264); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        const int ids[] = {10, 100, 110, 111, 112, 113, 114, 120, 200, 201, 202, 203, 204, 205};
        int x = 8;
        for (const int id : ids) {
            const QIcon icon = LoadIcon(id);
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(QRect(x, 4, 64, 16), Qt::AlignCenter, QString::number(id));
            icon.paint(&painter, QRect(x + 24, 24, 16, 16));
            icon.paint(&painter, QRect(x + 16, 48, 32, 32));
            icon.paint(&painter, QRect(x, 88, 64, 64));
            QPixmap small = icon.pixmap(QSize(16, 16), 1.0);
            small.setDevicePixelRatio(1.0);
            painter.drawPixmap(QRect(x, 160, 64, 64), small);
            x += 72;
        }
        painter.drawPixmap(QPoint(8, 240), LoadBitmap(100, devicePixelRatioF()));
    }
};

std::unique_ptr<QWidget> Icons() {
    return std::make_unique<IconSheet>();
}

// An editor window as the main window shows it: a child of an MDI area, over
// a new project from the template. The area is as large as the window.
class EditorScene : public QMdiArea {
  public:
    EditorScene() : events_(module_) { module_.NewProject(false); }
    // The windows unload into the project, so they go before it.
    ~EditorScene() override { qDeleteAll(subWindowList()); }
    ProjectEvents& Events() { return events_; }
    Module1& Module() { return module_; }
    void Show(QMdiSubWindow* window, QSize size = {}) {
        addSubWindow(window);
        window->show();
        if (size.isValid()) window->resize(size);
        window->move(0, 0);
        resize(window->size());
    }

  private:
    Module1 module_;
    ProjectEvents events_;
};

std::unique_ptr<QWidget> General() {
    auto scene = std::make_unique<EditorScene>();
    scene->Show(new frmGen(scene->Events()));
    return scene;
}

// The finish page, with the launch check box below the text.
std::unique_ptr<QWidget> ScreenFinish() {
    auto scene = std::make_unique<EditorScene>();
    auto* window = new frmScreen(scene->Events());
    scene->Show(window);
    window->eButton[1]->click();
    return scene;
}

std::unique_ptr<QWidget> Screen() {
    auto scene = std::make_unique<EditorScene>();
    scene->Show(new frmScreen(scene->Events()));
    return scene;
}

// The file manager with a few files and a folder added as a tree, one file
// selected.
std::unique_ptr<QWidget> Files() {
    auto scene = std::make_unique<EditorScene>();
    SetupProject& project = scene->Module().Project;
    for (const char* name : {"myapp.exe", "license.txt", "readme.txt", "myapp.chm", "settings.ini"})
        project.Files.push_back({name, std::string(64, 'x')});
    const Tree plugins{"Plugins",
                       {{TreeKind::Folder, "imageformats", ""},
                        {TreeKind::File, "imageformats/libqjpeg.so", std::string(4096, 'j')},
                        {TreeKind::File, "imageformats/libqsvg.so", std::string(2048, 's')},
                        {TreeKind::Link, "libqsvg.so", "imageformats/libqsvg.so"}}};
    project.Files.push_back({TreeProjectName(plugins.RootName), EncodeTree(plugins)});
    auto* window = new frmFile(scene->Events());
    scene->Show(window);
    window->eList->setCurrentRow(1);
    return scene;
}

// The file manager after a drop of three files onto a project of 510: the
// third is refused and the status line names it.
std::unique_ptr<QWidget> FilesRefused() {
    auto scene = std::make_unique<EditorScene>();
    SetupProject& project = scene->Module().Project;
    for (int k = 0; k < 510; ++k)
        project.Files.push_back(
            {QStringLiteral("file%1.dat").arg(k, 3, 10, QChar(u'0')).toStdString(), std::string()});
    auto* window = new frmFile(scene->Events());
    scene->Show(window);
    QTemporaryDir dir;
    std::vector<std::string> paths;
    for (const char* name : {"Notes.txt", "Setup.ini", "Manual.pdf"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write("x");
        paths.push_back(QFile::encodeName(path).toStdString());
    }
    window->DropPaths(paths);
    // Scrolled to the files just added once the list is laid out.
    QTimer::singleShot(0, window->eList, [list = window->eList] { list->scrollToBottom(); });
    return scene;
}

// A main window's MDI area holding a new project from the template, with a
// host that tells the windows the debugger text changed as the program's does.
class Scene : public QMdiArea {
  public:
    Scene() : module_(host_), events_(module_) {
        host_.events = &events_;
        module_.NewProject(true);
        setBackground(palette().brush(QPalette::Dark));
    }
    Module1& Module() { return module_; }
    // The windows go before the project they show.
    ~Scene() override { qDeleteAll(subWindowList()); }

    template <class W> W* Open(QPoint at) {
        auto* window = new W(events_);
        addSubWindow(window);
        window->show();
        window->move(at);
        return window;
    }
    // The area just holds its windows.
    void FitWindows() {
        QRect all;
        for (const QMdiSubWindow* window : subWindowList())
            all |= window->geometry();
        setFixedSize(all.bottomRight().x() + 1, all.bottomRight().y() + 1);
    }

  private:
    struct EventHost : Host {
        void ShowError(const std::string&) override {}
        void DebugTextChanged(const std::string&) override { emit events->DebugTextChanged(); }
        ProjectEvents* events = nullptr;
    } host_;
    Module1 module_;
    ProjectEvents events_;
};

std::unique_ptr<QWidget> Editor() {
    auto scene = std::make_unique<Scene>();
    scene->Open<frmEditor>({0, 0});
    scene->FitWindows();
    return scene;
}

std::unique_ptr<QWidget> TestWindow() {
    auto scene = std::make_unique<Scene>();
    scene->Open<frmTest>({0, 0});
    scene->FitWindows();
    return scene;
}

// Every kind of entry, indented, and more than the panel's area holds.
std::unique_ptr<QWidget> TestPanel() {
    auto scene = std::make_unique<Scene>();
    Module1& module = scene->Module();
    module.Project.StringsText = "Program files\r\nMain program\r\nHelp files\r\nLanguage\r\n"
                                 "English\r\nDeutsch\r\nFran\xC3\xA7"
                                 "ais\r\nShortcuts\r\n"
                                 "On the desktop\r\nIn the start menu\r\nNowhere\r\n";
    module.Project.ScriptText = "[Create]\r\nlabel 1\r\n  check 2\r\n  check 3\r\nbreak 1\r\n"
                                "label 1\r\n  combo 3,2\r\nlabel 1\r\n  option 2\r\n  option\r\n"
                                "  option\r\nstrjump 1\r\nlpos 40\r\ncheck\r\n"
                                "[Event_4_1]\r\nclear 4\r\n[Event_5_1]\r\nclear 5\r\n"
                                "[Event_6_1]\r\nclear 6\r\n";
    scene->Open<frmTest>({0, 0});
    scene->FitWindows();
    return scene;
}

// Install pressed in the test window: the debugger beside it, in front.
std::unique_ptr<QWidget> Debugger() {
    auto scene = std::make_unique<Scene>();
    frmTest* test = scene->Open<frmTest>({0, 0});
    test->eButton[1]->click();
    for (QMdiSubWindow* window : scene->subWindowList())
        if (qobject_cast<frmDebug*>(window)) window->move(test->width() + 8, 40);
    scene->FitWindows();
    return scene;
}

// The template setup with a licence, written once, for the setup's wizard.
const std::string& TemplateSetup() {
    static QTemporaryDir dir;
    static std::string path;
    if (!path.empty()) return path;
    static Module1 module;
    module.NewProject(true);
    module.Project.AddFile({"license.txt", "Permission is granted to use this program on any "
                                           "number of machines.\r\n\r\nIt comes without "
                                           "warranty of any kind.\r\n"});
    module.Project.SetupLines[LineLicense] = "license.txt";
    module.Project.ProjectPath =
        QFile::encodeName(dir.filePath(QStringLiteral("demo.run"))).toStdString();
    if (module.SaveSetup()) path = module.Project.ProjectPath;
    return path;
}

// One page of the setup's graphical wizard for the template setup.
Builder WizardAt(WizardPage page) {
    return [page]() -> std::unique_ptr<QWidget> {
        WizardArguments args;
        args.Setup = TemplateSetup();
        args.Dir = "/home/anna/.local/opt/My Company/My Application";
        auto wizard = std::make_unique<SetupWizard>(args);
        wizard->ShowPage(page);
        if (page == WizardPage::Licence) wizard->eAccept->setChecked(true);
        // As a user sees it, whoever makes the pictures: root has no choice
        // of whom to install for.
        if (page == WizardPage::Folder) {
            wizard->eForMe->setVisible(true);
            wizard->eForAll->setVisible(true);
            wizard->eForAllReason->setVisible(true);
        }
        if (page == WizardPage::Finish) {
            wizard->eLaunch->setVisible(true);
            wizard->eLaunch->setChecked(true);
        }
        if (page == WizardPage::Installing) {
            wizard->qkProgressA1->ValueSet(0.4375f);
            // Elided in the middle, as the installation shows it.
            const QString file =
                QStringLiteral("/home/anna/.local/opt/My Company/My Application/myapp.exe");
            wizard->eFile->setText(QFontMetrics(wizard->eFile->font())
                                       .elidedText(file, Qt::ElideMiddle, wizard->eFile->width()));
        }
        return wizard;
    };
}

// clang-format off
const std::pair<const char*, Builder> kWindows[] = {
    {"wizard-welcome", WizardAt(WizardPage::Welcome)},
    {"wizard-licence", WizardAt(WizardPage::Licence)},
    {"wizard-components", WizardAt(WizardPage::Components)},
    {"wizard-folder", WizardAt(WizardPage::Folder)},
    {"wizard-installing", WizardAt(WizardPage::Installing)},
    {"wizard-finish", WizardAt(WizardPage::Finish)},
    {"startup", Startup},
    {"main", Main},
    {"menubar", MenuBar},
    {"progress", Progress},
    {"about", About},
    {"icons", Icons},
    {"general", General},
    {"screen", Screen},
    {"screen-finish", ScreenFinish},
    {"files", Files},
    {"files-refused", FilesRefused},
    {"editor", Editor},
    {"test", TestWindow},
    {"test-panel", TestPanel},
    {"debugger", Debugger},
};
// clang-format on

QPalette DarkPalette() {
    QPalette p;
    const QColor window(0x2d, 0x2f, 0x33), base(0x1f, 0x21, 0x24), text(0xe8, 0xea, 0xed);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window.lighter(115));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window.lighter(125));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x8b, 0xe0));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x84, 0x8a));
    return p;
}

bool Render(const QString& folder, const QString& suffix) {
    bool ok = true;
    for (const auto& [name, build] : kWindows) {
        std::unique_ptr<QWidget> window = build();
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        const QString path = QStringLiteral("%1/%2%3.png").arg(folder, name, suffix);
        if (!window->grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The program's icon, which windows without one of their own show.
    QApplication::setWindowIcon(LoadIcon(120));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kavelo_screenshots FOLDER [--suffix S] [--light-only]\n");
        return 2;
    }
    const QString folder = args[1];
    const qsizetype at = args.indexOf(QStringLiteral("--suffix"));
    const QString suffix = at > 0 && at + 1 < args.size() ? args[at + 1] : QString();
    QDir().mkpath(folder);
    bool ok = Render(folder, suffix);
    if (!args.contains(QStringLiteral("--light-only"))) {
        QApplication::setPalette(DarkPalette());
        ok = Render(folder, suffix + QStringLiteral("-dark")) && ok;
    }
    return ok ? 0 : 1;
}
