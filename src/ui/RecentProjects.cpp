// The recent list in QSettings: reading up to the first gap, moving an entry
// to the top, writing the list and removing stale values.
#include "ui/RecentProjects.h"

#include <QSettings>

#include <algorithm>

#include "common/AsciiCase.h"
#include "common/Utf8Text.h"
#include "ui/TextConvert.h"

namespace {

QString ValueName(size_t index) {
    return QStringLiteral("%1").arg(index + 1, 2, 10, QLatin1Char('0'));
}

// A path that is valid UTF-8 is kept as text, anything else as raw bytes,
// so that every path reads back exactly as it was written.
QVariant StoredValue(const std::string& path) {
    if (IsValidUtf8(path))
        return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    return QByteArray(path.data(), static_cast<qsizetype>(path.size()));
}

std::string PathOf(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray) return value.toByteArray().toStdString();
    if (value.typeId() == QMetaType::QString) return value.toString().toUtf8().toStdString();
    return {};
}

} // namespace

void RecentProjects::Read() {
    entries_.clear();
    QSettings settings(QStringLiteral("Tavrin"), QStringLiteral("KaveloMaker"));
    if (settings.status() != QSettings::NoError) return;
    while (entries_.size() < kMaxEntries) {
        const std::string path = PathOf(settings.value(ValueName(entries_.size())));
        if (path.empty() || path.size() > kMaxPathBytes) break;
        entries_.push_back(path);
    }
}

bool RecentProjects::UpdateRecentList(const std::string& projectPath) {
    if (projectPath.empty() || !MoveToTop(projectPath)) return false;
    return Write();
}

bool RecentProjects::MoveToTop(const std::string& projectPath) {
    if (!entries_.empty() && entries_.front() == projectPath) return false;
    const std::string wanted = LowerAscii(projectPath);
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const std::string& e) { return LowerAscii(e) == wanted; });
    if (found == entries_.end()) {
        entries_.insert(entries_.begin(), projectPath);
        if (entries_.size() > kMaxEntries) entries_.resize(kMaxEntries);
    } else {
        std::rotate(entries_.begin(), found, found + 1);
        entries_.front() = projectPath;
    }
    return true;
}

// A settings file that cannot be read is not replaced. Only the values "01"
// to "32" belong in it; anything else is what is left of a damaged file.
bool RecentProjects::Write() const {
    QSettings settings(QStringLiteral("Tavrin"), QStringLiteral("KaveloMaker"));
    if (settings.status() == QSettings::AccessError) return false;
    QStringList names;
    for (size_t i = 0; i < kMaxEntries; ++i)
        names << ValueName(i);
    for (const QString& key : settings.allKeys())
        if (!names.contains(key)) settings.remove(key);
    for (size_t i = 0; i < kMaxEntries; ++i) {
        if (i < entries_.size())
            settings.setValue(names[static_cast<qsizetype>(i)], StoredValue(entries_[i]));
        else
            settings.remove(names[static_cast<qsizetype>(i)]);
    }
    settings.sync();
    // A format error seen while loading stays reported after a good write.
    return settings.status() != QSettings::AccessError;
}
