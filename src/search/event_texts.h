#pragma once

#include <QLocale>
#include <QString>

#include "search/search_events.h"

namespace tallyrook {

// The desktop program's words for what a search run tells it: a message box's title and text.
// The run itself never uses them; tallyrook-cli quotes some on stderr.
struct EventMessage {
    QString title;
    QString text;  // lines broken by bare carriage returns
};

// The message for an event; an unreadable folder has none (a window stays silent about it, and
// the folder simply counts as empty). Counts are grouped as `locale` groups them.
EventMessage MessageFor(const SearchEvent& event, const QLocale& locale);
// The one report of the names a walk skipped, shown once the walk is over: its title, the count
// above the list of paths, and the advice below it.
struct SkipReport {
    QString title;
    QString heading;
    QString advice;
};
SkipReport SkipReportFor(qsizetype count, const QLocale& locale);
// The Yes/No question of a large inventory.
EventMessage QuestionFor(const LargeInventory& inventory, const QLocale& locale);

}  // namespace tallyrook
