// The probe: an application-wide event filter that waits for the first paint.
#include "StartupProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class FirstPaint : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!done_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            done_ = true;
            // After this paint has reached the screen (the next turn).
            QTimer::singleShot(0, [] {
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

  private:
    bool done_ = false;
};

} // namespace

void InstallStartupProbe() {
    if (!qEnvironmentVariableIsSet("KAVELO_STARTUP_PROBE") || !qApp) return;
    qApp->installEventFilter(new FirstPaint);
}
