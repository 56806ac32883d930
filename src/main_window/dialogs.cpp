#include "main_window/dialogs.h"

#include <QDir>
#include <QFileDialog>

#include "widgets/window_look.h"

namespace tallyrook {

void QtDialogs::ShowMessage(QWidget* parent, const QString& text, const QString& title) {
    ShowMessageBox(parent, title, text);
}

bool QtDialogs::AskYesNo(QWidget* parent, const QString& text, const QString& title) {
    return AskYesNoBox(parent, title, text);
}

void QtDialogs::ShowReport(QWidget* parent, const QString& title, const QString& heading,
                           const QStringList& lines, const QString& advice) {
    ShowListReport(parent, title, heading, lines.join(u'\n') + u'\n', advice);
}

QString QtDialogs::BrowseForFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title, QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
}

QString QtDialogs::ChooseFileToSave(QWidget* parent, const QString& title, const QString& filter,
                                    const QString& suffix) {
    QFileDialog dialog(parent, title, QDir::homePath(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().first()
               : QString();
}

QStringList QtDialogs::ChooseFilesToOpen(QWidget* parent, const QString& title,
                                         const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, title, QDir::homePath(), filter);
}

}  // namespace tallyrook
