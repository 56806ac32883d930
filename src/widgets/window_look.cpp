#include "widgets/window_look.h"

#include <QMessageBox>

namespace tallyrook {

QIcon WindowIcon() {
    return QIcon(QStringLiteral(":/artwork/icon.svg"));
}

QFont CaptionFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSize(9);
    font.setBold(true);
    return font;
}

namespace {

bool ShowBox(QWidget* parent, const QString& title, QString text,
             QMessageBox::StandardButtons buttons) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QMessageBox box(QMessageBox::NoIcon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (buttons & QMessageBox::Yes)
        box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace

void ShowMessageBox(QWidget* parent, const QString& title, const QString& text) {
    ShowBox(parent, title, text, QMessageBox::Ok);
}

bool AskYesNoBox(QWidget* parent, const QString& title, const QString& text) {
    return ShowBox(parent, title, text, QMessageBox::Yes | QMessageBox::No);
}

}  // namespace tallyrook
