// The editor program as a whole: the one project with its run-time state, the
// host, the lock on the open setup, the startup dialog and the main window.
// main() makes one and starts it; tests drive it the same way.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "app/MakerHost.h"
#include "app/ProjectOpener.h"
#include "project/Session.h"
#include "ui/ProjectEvents.h"

class frmMaker;
class frmStartup;

class MakerApp : public ProjectOpener {
  public:
    // The name others are told holds a setup the editor has open.
    static constexpr const char* kLockHolder = "kavelomaker";

    MakerApp();
    ~MakerApp() override;

    // Shows the startup dialog; with a path, first opens that setup as
    // "Open an existing setup..." does, and shows the startup dialog only
    // when it cannot be opened.
    void Start(const std::string& path = {});

    bool CreateProject(const std::string& path) override;
    bool OpenProject(const std::string& path) override;
    void ShowMainWindow() override;

    Module1& Module() { return module_; }
    MakerHost& GetHost() { return host_; }
    ProjectEvents& Events() { return events_; }
    frmStartup* Startup() const { return startup_.get(); }
    frmMaker* Maker() const { return maker_.get(); }
    bool HoldsLock() const { return module_.Lock.Held(); }

    // How long opening waits for another program to give a setup up.
    void SetLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }

  private:
    bool takeLock(const std::string& path, int32_t messageId);
    void showStartup();

    Module1 module_;
    ProjectEvents events_;
    MakerHost host_;
    std::chrono::milliseconds lockWait_{1000};
    std::unique_ptr<frmStartup> startup_;
    std::unique_ptr<frmMaker> maker_;
};
