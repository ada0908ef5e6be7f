// The file-open and file-save dialogs the windows share. The filter is given
// as the program builds it: description, NUL, pattern, NUL, ... The dialog
// itself is shown by the Dialogs the caller names, so tests (and any
// scripted run) answer it without showing a window.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

class Dialogs;
class QWidget;

// Flags for a dialog that opens one existing file; any other value asks for a
// file to save, and with kFileDialogOverwritePrompt set asks before
// replacing an existing one.
inline constexpr uint32_t kFileDialogOpen = 0x81004;
inline constexpr uint32_t kFileDialogSave = 0x80006;
inline constexpr uint32_t kFileDialogOverwritePrompt = 0x2;

// What a dialog is asked to show, in Qt's terms.
struct FileDialogRequest {
    QWidget* owner = nullptr;
    bool open = false;             // open one existing file, else save
    bool several = false;          // open: several existing files at once
    bool folder = false;           // open: one existing folder
    bool confirmOverwrite = false; // save: ask before replacing a file
    QStringList nameFilters;       // "Kavelo setup files (*.exe)", ...
    QString defaultSuffix;         // "exe", or empty for none
    QString title;
    QString initialDir;
};

// Shows the dialog through dialogs and returns the chosen path, UTF-8; the
// empty string when the dialog was cancelled.
std::string ShowFileDialog(Dialogs& dialogs, QWidget* owner, const std::string& filter,
                           uint32_t flags, const std::string& title,
                           const std::string& initialDir = {});

// Shows a dialog that opens several existing files of any kind and returns
// their paths, as the file system names them; none when it was cancelled.
std::vector<std::string> ShowOpenFilesDialog(Dialogs& dialogs, QWidget* owner,
                                             const std::string& title);

// Shows a dialog that chooses one existing folder and returns its path, as
// the file system names it; empty when it was cancelled.
std::string ShowFolderDialog(Dialogs& dialogs, QWidget* owner, const std::string& title);

// The request ShowFileDialog makes of its arguments.
FileDialogRequest MakeFileDialogRequest(QWidget* owner, const std::string& filter, uint32_t flags,
                                        const std::string& title, const std::string& initialDir);

// Qt name filters from the NUL-separated pairs; a description that already
// ends in its pattern in brackets is kept as it is, others get it appended.
QStringList NameFiltersOf(const std::string& filter);

// The default suffix from the filter's first pattern (the text between the
// first and the second NUL): "*.exe" gives "exe"; no NUL, an empty pattern or
// one that is not "*." and a plain suffix (such as "*.*") give none.
QString DefaultSuffixOf(const std::string& filter);
