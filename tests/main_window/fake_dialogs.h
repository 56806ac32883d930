#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "main_window/dialogs.h"

namespace tallyrook::test {

// Dialogs that answer at once and remember what they were asked.
class FakeDialogs : public Dialogs {
public:
    struct Shown {
        QString title;
        QString text;
        bool question = false;
    };

    QList<Shown> shown;
    QStringList browseTitles;
    QString folderToChoose;  // what the folder dialog returns; empty = cancelled
    bool answer = true;      // the answer to every question

    void ShowMessage(QWidget*, const QString& text, const QString& title) override {
        shown.append({title, text, false});
    }
    bool AskYesNo(QWidget*, const QString& text, const QString& title) override {
        shown.append({title, text, true});
        return answer;
    }
    QString BrowseForFolder(QWidget*, const QString& title) override {
        browseTitles.append(title);
        return folderToChoose;
    }

    QStringList Titles() const {
        QStringList titles;
        for (const Shown& s : shown)
            titles.append(s.title);
        return titles;
    }
};

}  // namespace tallyrook::test
