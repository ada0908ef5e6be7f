// The program's start, the lock taken before a setup is opened or created,
// and the hand-over from the startup dialog to the main window.
#include "app/MakerApp.h"

#include <QPointer>

#include "app/BackgroundSetup.h"
#include "app/StartupPaths.h"
#include "app/frmMaker.h"
#include "app/frmStartup.h"
#include "common/Errors.h"
#include "project/Messages.h"
#include "project/SetupFileName.h"
#include "ui/RecentProjects.h"

namespace {

// The startup dialog takes no second choice while a setup is written or read.
class StartupDisabled {
  public:
    explicit StartupDisabled(QWidget* dialog) : dialog_(dialog) {
        if (dialog_) dialog_->setEnabled(false);
    }
    ~StartupDisabled() {
        if (dialog_) dialog_->setEnabled(true);
    }
    StartupDisabled(const StartupDisabled&) = delete;
    StartupDisabled& operator=(const StartupDisabled&) = delete;

  private:
    QPointer<QWidget> dialog_;
};

} // namespace

MakerApp::MakerApp() : events_(module_), host_(events_) {
    module_.SetHost(host_);
}

// The windows go before the project and the host they refer to.
MakerApp::~MakerApp() {
    maker_.reset();
    startup_.reset();
}

void MakerApp::Start(const std::string& path) {
    if (!path.empty() && OpenProject(SetupToOpen(AbsoluteSetupPath(path)))) {
        ShowMainWindow();
        return;
    }
    showStartup();
}

void MakerApp::showStartup() {
    startup_ = std::make_unique<frmStartup>(*this, host_, events_.GetDialogs());
    host_.SetOwner(startup_.get());
    startup_->show();
}

// Two editors on one setup would overwrite each other's work: a setup that
// another program holds is not taken.
bool MakerApp::takeLock(const std::string& path, int32_t messageId) {
    try {
        module_.Lock = SetupLock::Acquire(path, kLockHolder, lockWait_);
        return true;
    } catch (const KaveloError& e) {
        ShowErrorWithPath(host_, messageId, path, e.Reason());
        return false;
    }
}

bool MakerApp::CreateProject(const std::string& path) {
    module_.Project.ProjectPath = path;
    if (!takeLock(path, 31)) return false;
    module_.NewProject(true);
    const StartupDisabled disabled(startup_.get());
    if (SaveSetupInBackground(events_)) return true;
    module_.Lock.Release();
    return false;
}

bool MakerApp::OpenProject(const std::string& path) {
    module_.Project.ProjectPath = path;
    if (!takeLock(path, 32)) return false;
    const StartupDisabled disabled(startup_.get());
    if (OpenSetupInBackground(events_, path)) return true;
    module_.Lock.Release();
    return false;
}

void MakerApp::ShowMainWindow() {
    RecentProjects recent;
    recent.Read();
    recent.UpdateRecentList(module_.Project.ProjectPath);
    maker_ = std::make_unique<frmMaker>(events_);
    host_.SetOwner(maker_.get());
    maker_->show();
}
