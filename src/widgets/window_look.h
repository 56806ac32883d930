#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

class QWidget;

namespace tallyrook {

// What both windows share of their look.

// The program's icon: a stack of pages under a magnifying glass.
QIcon WindowIcon();
// The captions' and lists' font: Arial bold 9 point, or the metric-compatible Liberation Sans
// where Arial is absent.
QFont CaptionFont();

// A message box without an icon: an OK button, or Yes and No with Yes the default (true for
// Yes). Its text is shown as plain text, never as markup (a file name may look like markup), and
// bare carriage returns break lines.
void ShowMessageBox(QWidget* parent, const QString& title, const QString& text);
bool AskYesNoBox(QWidget* parent, const QString& title, const QString& text);

// A report of many lines with an OK button: a heading, the lines in a scrollable list that can be
// selected and copied, and, when given, a closing paragraph. All of it plain text.
void ShowListReport(QWidget* parent, const QString& title, const QString& heading,
                    const QString& lines, const QString& closing = {});

}  // namespace tallyrook
