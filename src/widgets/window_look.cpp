#include "widgets/window_look.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

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

void ShowListReport(QWidget* parent, const QString& title, const QString& heading,
                    const QString& lines, const QString& closing) {
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    const auto paragraph = [&dialog, layout](const QString& text, const QString& name) {
        auto* label = new QLabel(text, &dialog);
        label->setObjectName(name);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        layout->addWidget(label);
    };
    paragraph(heading, QStringLiteral("ReportHeading"));
    auto* list = new QPlainTextEdit(&dialog);
    list->setObjectName(QStringLiteral("ReportList"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setPlainText(lines);
    layout->addWidget(list);
    if (!closing.isEmpty())
        paragraph(closing, QStringLiteral("ReportClosing"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(640, 320);
    dialog.exec();
}

}  // namespace tallyrook
