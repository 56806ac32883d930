#pragma once

#include <QLocale>
#include <QString>

#include "search/search_events.h"
#include "search/search_host.h"

namespace tallyrook {

// The caption of a stage of a run: the program's name, and while it works, what it is doing
// (`folder`: the folder-list entry being walked).
QString StageCaption(SearchStage stage, const QString& folder);

// The desktop program's words for what a search run tells it: a message box's title and text.
// The run itself never uses them; tallyrook-cli quotes some on stderr.
struct EventMessage {
    QString title;
    QString text;  // lines broken by bare carriage returns
};

// The message for an event; an unreadable folder has none (it is told in the skip report, and
// the folder counts as empty). Counts are grouped as `locale` groups them.
EventMessage MessageFor(const SearchEvent& event, const QLocale& locale);
// The one report of the names a walk skipped and of the folders it could not read (`unreadable`,
// listed after the names), shown once the walk is over: its title, the counts above the list of
// paths, and the advice below it.
struct SkipReport {
    QString title;
    QString heading;
    QString advice;
};
SkipReport SkipReportFor(qsizetype count, const QLocale& locale, qsizetype unreadable = 0);
// The Yes/No question of a large inventory.
EventMessage QuestionFor(const LargeInventory& inventory, const QLocale& locale);

}  // namespace tallyrook
