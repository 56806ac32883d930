#include "main_window/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace tallyrook {

namespace {
// The run's texts break lines with bare carriage returns, which a label does not show as breaks.
QString DisplayText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}
}  // namespace

void QtDialogs::ShowMessage(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, DisplayText(text), QMessageBox::Ok, parent);
    // Folder and file names are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDialogs::AskYesNo(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, DisplayText(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::BrowseForFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title, QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
}

}  // namespace tallyrook
