// The shared file dialogs: filter pairs, default suffix, open versus save,
// asked of the caller's Dialogs.
#include "ui/FileDialogs.h"

#include "ui/Dialogs.h"
#include "ui/TextConvert.h"

#include <QFile>

#include <string_view>
#include <vector>

namespace {

// The filter's elements, each ended by a NUL (the last one may lack it).
std::vector<std::string_view> FilterElements(std::string_view filter) {
    std::vector<std::string_view> elements;
    while (!filter.empty()) {
        const size_t end = filter.find('\0');
        elements.push_back(filter.substr(0, end));
        if (end == std::string_view::npos) break;
        filter.remove_prefix(end + 1);
    }
    return elements;
}

} // namespace

QStringList NameFiltersOf(const std::string& filter) {
    QStringList filters;
    const std::vector<std::string_view> elements = FilterElements(filter);
    for (size_t i = 0; i + 1 < elements.size(); i += 2) {
        // Qt separates patterns by blanks where the filter string uses ";".
        const QString patterns = BytesToLine(elements[i + 1]).replace(u';', u' ').simplified();
        if (patterns.isEmpty()) continue;
        QString description = BytesToLine(elements[i]).trimmed();
        if (description.isEmpty()) description = patterns;
        const QString bracketed = QStringLiteral("(%1)").arg(patterns);
        filters << (description.endsWith(bracketed) ? description : description + u' ' + bracketed);
    }
    return filters;
}

QString DefaultSuffixOf(const std::string& filter) {
    const std::vector<std::string_view> elements = FilterElements(filter);
    if (elements.size() < 2) return {};
    QString pattern = BytesToLine(elements[1]);
    pattern = pattern.left(pattern.indexOf(u';')).trimmed();
    if (!pattern.startsWith(QStringLiteral("*."))) return {};
    const QString suffix = pattern.mid(2);
    if (suffix.isEmpty() || suffix.contains(u'*') || suffix.contains(u'?') ||
        suffix.contains(u'[') || suffix.contains(u' '))
        return {};
    return suffix;
}

FileDialogRequest MakeFileDialogRequest(QWidget* owner, const std::string& filter, uint32_t flags,
                                        const std::string& title, const std::string& initialDir) {
    FileDialogRequest request;
    request.owner = owner;
    request.open = flags == kFileDialogOpen;
    request.confirmOverwrite = !request.open && (flags & kFileDialogOverwritePrompt) != 0;
    request.nameFilters = NameFiltersOf(filter);
    request.defaultSuffix = DefaultSuffixOf(filter);
    request.title = BytesToLine(title);
    request.initialDir = BytesToLine(initialDir);
    return request;
}

std::string ShowFileDialog(Dialogs& dialogs, QWidget* owner, const std::string& filter,
                           uint32_t flags, const std::string& title,
                           const std::string& initialDir) {
    return LineToBytes(
        dialogs.FileDialog(MakeFileDialogRequest(owner, filter, flags, title, initialDir)));
}

std::vector<std::string> ShowOpenFilesDialog(Dialogs& dialogs, QWidget* owner,
                                             const std::string& title) {
    FileDialogRequest request = MakeFileDialogRequest(owner, {}, kFileDialogOpen, title, {});
    request.several = true;
    std::vector<std::string> paths;
    for (const QString& path : dialogs.FileDialog(request).split(u'\n', Qt::SkipEmptyParts))
        paths.push_back(QFile::encodeName(path).toStdString());
    return paths;
}

std::string ShowFolderDialog(Dialogs& dialogs, QWidget* owner, const std::string& title) {
    FileDialogRequest request = MakeFileDialogRequest(owner, {}, kFileDialogOpen, title, {});
    request.folder = true;
    const QString chosen = dialogs.FileDialog(request);
    return chosen.isEmpty() ? std::string() : QFile::encodeName(chosen).toStdString();
}
