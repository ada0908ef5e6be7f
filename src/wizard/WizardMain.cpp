#include "wizard/WizardMain.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <unistd.h>

#include <cstdio>

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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("setup"));
    std::unique_ptr<SetupWizard> wizard;
    try {
        wizard = std::make_unique<SetupWizard>(args);
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
