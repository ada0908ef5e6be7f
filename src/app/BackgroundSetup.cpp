#include "app/BackgroundSetup.h"

#include <utility>

#include "app/WorkerHost.h"
#include "project/OpenSetup.h"
#include "project/SaveSetup.h"
#include "project/Session.h"
#include "ui/OffThread.h"
#include "ui/ProjectEvents.h"

namespace {

// What a save works on: the project as it is when the save begins. The texts
// and the picture are copied, so the windows go on changing the project; the
// files are lent, the project keeping their names (which the windows show
// and the simulator looks up), and come back packed. Nothing changes the
// files while the project is busy.
class LentProject {
  public:
    explicit LentProject(SetupProject& live) : live_(live) {
        work_.ProjectPath = live.ProjectPath;
        work_.Picture = live.Picture;
        work_.PicturePacked = live.PicturePacked;
        work_.StringsText = live.StringsText;
        work_.SetupLines = live.SetupLines;
        work_.ScriptText = live.ScriptText;
        work_.Codec = live.Codec;
        work_.Source = live.Source;
        work_.Files = std::move(live.Files);
        live.Files.clear();
        for (const ProjectFile& f : work_.Files)
            live.Files.push_back({f.Name, std::string()});
    }
    ~LentProject() { giveBack(); }
    LentProject(const LentProject&) = delete;
    LentProject& operator=(const LentProject&) = delete;

    SetupProject& Work() { return work_; }

  private:
    void giveBack() {
        // Packed files point into the setup the save wrote (or, after a
        // failed save, still into the one they were read from).
        live_.Source = work_.Source;
        live_.Files = std::move(work_.Files);
        // The packed picture is kept when the picture is still the one packed.
        if (!live_.PicturePacked && live_.Picture == work_.Picture)
            live_.PicturePacked = std::move(work_.PicturePacked);
        // A codec chosen meanwhile stays chosen: the next save repacks
        // what this one packed with the other.
    }

    SetupProject& live_;
    SetupProject work_;
};

} // namespace

bool SaveSetupInBackground(ProjectEvents& events) {
    Module1& module = events.Module();
    WorkerHost host(module.GetHost());
    ProjectEvents::Work busy(events);
    LentProject lent(module.Project);
    SetupLock* lock = module.Lock.Held() ? &module.Lock : nullptr;
    bool saved = false;
    RunOffThread([&] { saved = SaveSetup(lent.Work(), host, lock, module.Saving); });
    return saved;
}

bool OpenSetupInBackground(ProjectEvents& events, const std::string& path) {
    Module1& module = events.Module();
    WorkerHost host(module.GetHost());
    ProjectEvents::Work busy(events);
    SetupProject read;
    read.ProjectPath = path;
    bool opened = false;
    RunOffThread([&] { opened = OpenSetup(read, host); });
    module.Project = std::move(read);
    return opened;
}
