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
#include "ui/Captions.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
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
    QSettings settings(QStringLiteral("Tavrin"), QStringLiteral("KaveloMaker"));
    settings.setValue(QStringLiteral("01"), QStringLiteral("/home/anna/setups/photo-tools.exe"));
    settings.setValue(QStringLiteral("02"),
                      QStringLiteral("/home/anna/setups/Invoice Helper 2.exe"));
    settings.setValue(QStringLiteral("03"), QStringLiteral("/srv/builds/nightly/kavelo-demo.exe"));
    settings.sync();
    auto window = std::make_unique<frmStartup>(opener, host);
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

// clang-format off
const std::pair<const char*, Builder> kWindows[] = {
    {"startup", Startup},
    {"main", Main},
    {"menubar", MenuBar},
    {"progress", Progress},
    {"about", About},
    {"icons", Icons},
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
