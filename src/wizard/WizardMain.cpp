#include "wizard/WizardMain.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QScopeGuard>
#include <QTimer>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <future>
#include <system_error>
#include <thread>

#include "common/Errors.h"
#include "wizard/SetupWizard.h"

namespace {

void SayReady(int fd) {
    if (fd < 0) return;
    const char byte = 1;
    (void)!::write(fd, &byte, 1);
    ::close(fd);
}

// Says ready once the window's first frame is painted (on the next turn, so
// that the frame has gone out): the runtime stops looking for another way to
// ask, and the benchmark's clock stops.
class FirstFrame : public QObject {
  public:
    explicit FirstFrame(int fd) : fd_(fd) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (fd_ >= 0 && event->type() == QEvent::Paint) {
            QTimer::singleShot(0, [fd = fd_] { SayReady(fd); });
            fd_ = -1;
            watched->removeEventFilter(this);
        }
        return false;
    }

  private:
    int fd_;
};

// The window's first text waits for the desktop's fonts: reading the font
// configuration (a few dozen files) and listing every installed font take
// several milliseconds. A second thread reads the configuration while the
// toolkit starts, then lists the fonts into the toolkit's database while the
// setup is read and the window is built; the toolkit, whose database is
// safe to fill from any thread, waits for that list where it needs a font.
// Whoever reads the configuration first reads it whole, so the window is
// built only once it has been read, never beside it. The font library's
// start is looked up, not linked: a toolkit without it needs none of this.
class FontsAhead {
  public:
    FontsAhead() {
        const auto init = reinterpret_cast<int (*)()>(::dlsym(RTLD_DEFAULT, "FcInit"));
        if (!init) return;
        try {
            thread_ = std::thread([this, init, toolkit = toolkit_.get_future()]() mutable {
                init();
                configured_.set_value();
                if (toolkit.get()) QFontDatabase::families();
            });
        } catch (const std::system_error&) {
            // No second thread: the toolkit reads the fonts itself.
        }
    }
    ~FontsAhead() { Join(); }

    // The application object exists: the thread may fill the toolkit's
    // database. Returns once the font configuration has been read.
    void ToolkitReady() {
        if (!thread_.joinable() || told_) return;
        told_ = true;
        toolkit_.set_value(true);
        configured_.get_future().wait();
    }

    // Before the application object goes.
    void Join() {
        if (!thread_.joinable()) return;
        if (!told_) toolkit_.set_value(false);
        told_ = true;
        thread_.join();
    }

  private:
    std::promise<bool> toolkit_;
    std::promise<void> configured_;
    bool told_ = false;
    std::thread thread_;
};

} // namespace

int WizardMain(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    WizardArguments args;
    try {
        args = ParseWizardArguments(words);
    } catch (const KaveloError& e) {
        std::fprintf(stderr, "setup wizard: %s\n", e.what());
        return 2;
    }
    FontsAhead fonts;
    QApplication app(argc, argv);
    const auto joinFonts = qScopeGuard([&] { fonts.Join(); });
    fonts.ToolkitReady();
    QApplication::setApplicationName(QStringLiteral("setup"));
    std::unique_ptr<SetupWizard> wizard;
    try {
        wizard = std::make_unique<SetupWizard>(args, nullptr, WizardBuild::WelcomeFirst);
    } catch (const KaveloError& e) {
        std::fprintf(stderr, "setup wizard: %s\n", e.what());
        SayReady(args.ReadyFd); // the wizard ran; the setup itself is at fault
        return 1;
    }
    FirstFrame firstFrame(args.ReadyFd);
    wizard->installEventFilter(&firstFrame);
    wizard->show();
    wizard->exec();
    return wizard->ExitStatus();
}
