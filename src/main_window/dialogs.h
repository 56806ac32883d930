#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tallyrook {

// The modal dialogs of the main window and of the search run it hosts. Tests put a recording
// implementation in their place so that nothing waits for a click.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message with an OK button and no icon.
    virtual void ShowMessage(QWidget* parent, const QString& text, const QString& title) = 0;
    // A question with Yes and No and no icon; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text, const QString& title) = 0;
    // A report of many lines: the heading, the lines in a list, the advice below it; OK.
    virtual void ShowReport(QWidget* parent, const QString& title, const QString& heading,
                            const QStringList& lines, const QString& advice) = 0;
    // The folder chooser; the chosen folder's local path, or the empty text when cancelled.
    virtual QString BrowseForFolder(QWidget* parent, const QString& title) = 0;
    // The file to save an inventory to, with `suffix` unless the user gave one; empty when
    // cancelled. Replacing an existing file is confirmed there.
    virtual QString ChooseFileToSave(QWidget* parent, const QString& title, const QString& filter,
                                     const QString& suffix) = 0;
    // Existing files to open; none when cancelled.
    virtual QStringList ChooseFilesToOpen(QWidget* parent, const QString& title,
                                          const QString& filter) = 0;
};

// The platform's message boxes and folder dialog.
class QtDialogs : public Dialogs {
public:
    void ShowMessage(QWidget* parent, const QString& text, const QString& title) override;
    bool AskYesNo(QWidget* parent, const QString& text, const QString& title) override;
    void ShowReport(QWidget* parent, const QString& title, const QString& heading,
                    const QStringList& lines, const QString& advice) override;
    QString BrowseForFolder(QWidget* parent, const QString& title) override;
    QString ChooseFileToSave(QWidget* parent, const QString& title, const QString& filter,
                             const QString& suffix) override;
    QStringList ChooseFilesToOpen(QWidget* parent, const QString& title,
                                  const QString& filter) override;
};

}  // namespace tallyrook
