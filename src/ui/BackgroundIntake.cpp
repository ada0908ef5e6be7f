#include "ui/BackgroundIntake.h"

#include <utility>

#include "common/Errors.h"
#include "common/TreeName.h"
#include "package/PackageReader.h"
#include "project/ProjectTrees.h"
#include "project/Session.h"
#include "project/TreeIntake.h"
#include "ui/OffThread.h"
#include "ui/ProjectEvents.h"
#include "ui/QueuedProgress.h"
#include "ui/qkProgressA.h"

namespace {

// The project's files as names only; a placeholder stays packed (with an
// empty record) unless the intake gives it new contents.
SetupProject NamesOf(const SetupProject& project) {
    SetupProject names;
    names.Codec = project.Codec;
    names.Files.reserve(project.Files.size());
    for (const ProjectFile& f : project.Files)
        names.Files.push_back({f.Name, EntryRecord{}});
    return names;
}

// The entries the intake changed: placeholders given contents, and new ones.
std::vector<int32_t> ChangedEntries(const SetupProject& names, size_t before) {
    std::vector<int32_t> changed;
    for (size_t k = 0; k < names.Files.size(); ++k)
        if (k >= before || !names.Files[k].Packed()) changed.push_back(static_cast<int32_t>(k));
    return changed;
}

// Nothing changes the project's files while it is busy, so the intake's
// indices are the project's.
void TakeInto(SetupProject& project, SetupProject& names, const std::vector<int32_t>& changed) {
    for (const int32_t k : changed) {
        ProjectFile& read = names.Files[static_cast<size_t>(k)];
        if (static_cast<size_t>(k) < project.Files.size())
            project.Files[static_cast<size_t>(k)].Data = std::move(read.Data);
        else
            project.AddFile(std::move(read));
    }
}

} // namespace

TreeFacts ReadTreeFacts(const StoredIn& source, const ProjectFile& file) {
    TreeFacts facts;
    try {
        const TreeSummary summary = ReadProjectTreeSummary(source, file);
        facts.Entries = summary.EntryCount;
        facts.Bytes = summary.DataSize;
    } catch (const KaveloError& e) {
        facts.Damage = e.Reason();
    }
    return facts;
}

Intake ReadInBackground(ProjectEvents& events, const std::vector<std::string>& files,
                        const std::vector<std::string>& folders, qkProgressA* bar) {
    SetupProject& project = events.Module().Project;
    SetupProject names = NamesOf(project);
    const size_t before = names.Files.size();
    Intake intake;
    {
        ProjectEvents::Work busy(events);
        QueuedProgress progress(bar, bar);
        RunOffThread([&] {
            intake.Files = DropFiles(names, files, files.empty() ? nullptr : &progress);
            intake.Folders = DropFolders(names, folders, folders.empty() ? nullptr : &progress);
            intake.Changed = ChangedEntries(names, before);
            for (const int32_t k : intake.Changed)
                if (IsTreeName(names.Files[static_cast<size_t>(k)].Name))
                    intake.Trees[k] =
                        ReadTreeFacts(names.Source, names.Files[static_cast<size_t>(k)]);
        });
        progress.ShowLast();
        TakeInto(project, names, intake.Changed);
    }
    return intake;
}

std::map<int32_t, TreeFacts> ReadTreesInBackground(ProjectEvents& events,
                                                   const std::vector<int32_t>& indices,
                                                   qkProgressA* bar) {
    // Copies: a codec chosen meanwhile may unpack the project's own.
    std::vector<ProjectFile> trees;
    for (const int32_t k : indices)
        trees.push_back(events.Module().Project.Files[static_cast<size_t>(k)]);
    const StoredIn source = events.Module().Project.Source;
    std::map<int32_t, TreeFacts> facts;
    ProjectEvents::Work busy(events);
    QueuedProgress progress(bar, bar);
    RunOffThread([&] {
        for (size_t i = 0; i < trees.size(); ++i) {
            facts[indices[i]] = ReadTreeFacts(source, trees[i]);
            progress.ValueSet(static_cast<float>(i + 1) / static_cast<float>(trees.size()));
        }
    });
    progress.ShowLast();
    return facts;
}
