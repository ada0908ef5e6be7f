// The real dialogs: QFileDialog, QInputDialog and QMessageBox.
#include "ui/Dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "ui/Captions.h"

QString Dialogs::FileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(request.owner, request.title, request.initialDir);
    dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(!request.open     ? QFileDialog::AnyFile
                       : request.folder  ? QFileDialog::Directory
                       : request.several ? QFileDialog::ExistingFiles
                                         : QFileDialog::ExistingFile);
    if (request.folder) dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.nameFilters.isEmpty()) dialog.setNameFilters(request.nameFilters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return request.several ? dialog.selectedFiles().join(u'\n')
                           : dialog.selectedFiles().constFirst();
}

QString Dialogs::Input(const InputBoxRequest& request) {
    bool ok = false;
    const QString text = QInputDialog::getText(request.owner, request.title, request.prompt,
                                               QLineEdit::Normal, request.defaultText, &ok);
    return ok ? text : QString();
}

void Dialogs::Message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, CaptionToPlain(ResText(30)), text, QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool Dialogs::Question(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, CaptionToPlain(ResText(30)), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}
