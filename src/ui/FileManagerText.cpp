#include "ui/FileManagerText.h"

#include <QStringList>

#include <algorithm>

#include "res/StringTable.h"
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

QString Joined(int32_t id, const QStringList& parts) {
    return ResText(id).replace(u'$', parts.join(QStringLiteral(", ")));
}

} // namespace

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
