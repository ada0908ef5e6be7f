#include "ui/FileManagerText.h"

#include <QStringList>

#include <algorithm>
#include <filesystem>

#include "res/StringTable.h"
#include "ui/BackgroundIntake.h"
#include "ui/Captions.h"
#include "ui/TextConvert.h"

namespace {

QString FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return BytesToLine(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool PastLimit(const DropResult& result, const std::string& path) {
    return std::find(result.Refused.begin(), result.Refused.end(), path) != result.Refused.end();
}

// path from the name of the folder it lies in (or is) on.
QString BelowParent(const std::string& path, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        const std::filesystem::path normal = std::filesystem::path(folder).lexically_normal();
        const std::string parent =
            (normal.has_filename() ? normal : normal.parent_path()).parent_path().string();
        if (!parent.empty() && path.size() > parent.size() + 1 &&
            path.compare(0, parent.size(), parent) == 0 && path[parent.size()] == '/')
            return BytesToLine(path.substr(parent.size() + 1));
    }
    return FileNameOf(path);
}

QString Joined(int32_t id, const QStringList& parts) {
    return ResText(id).replace(u'$', parts.join(QStringLiteral(", ")));
}

} // namespace

QString FileLine(const std::string& name, const TreeFacts* tree) {
    const QString shown = BytesToLine(name);
    if (!tree) return shown;
    if (!tree->Damage.empty())
        return shown + QStringLiteral("  (damaged tree: %1)").arg(BytesToLine(tree->Damage));
    return shown +
           QStringLiteral("  (tree: %1 entries, %2 bytes)").arg(tree->Entries).arg(tree->Bytes);
}

QString RefusedFilesText(const DropResult& result) {
    QStringList full;
    QStringList others;
    for (const DropProblem& p : result.Problems) {
        if (p.Unreadable) continue;
        if (PastLimit(result, p.Path))
            full << FileNameOf(p.Path);
        else
            others << FileNameOf(p.Path) + QStringLiteral(" (") + BytesToLine(p.Reason) +
                          QStringLiteral(")");
    }
    QStringList parts;
    if (!others.isEmpty()) parts << Joined(506, others);
    if (!full.isEmpty()) parts << Joined(505, full);
    return parts.join(QStringLiteral("; "));
}

QString RefusedFoldersText(const DropResult& result, const std::vector<std::string>& folders) {
    QStringList full;
    QStringList others;
    for (const DropProblem& p : result.Problems) {
        const QString shown = BelowParent(p.Path, folders);
        if (PastLimit(result, p.Path))
            full << shown;
        else
            others << shown + QStringLiteral(" (") + BytesToLine(p.Reason) + QStringLiteral(")");
    }
    QStringList parts;
    if (!others.isEmpty()) parts << Joined(508, others);
    if (!full.isEmpty()) parts << Joined(505, full);
    return parts.join(QStringLiteral("; "));
}
