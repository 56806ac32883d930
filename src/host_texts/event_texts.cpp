#include "host_texts/event_texts.h"

#include <QCoreApplication>

#include "search/formats.h"
#include "shared/program.h"

namespace tallyrook {

// The windows' messages, translated under this one name.
struct EventTexts {
    Q_DECLARE_TR_FUNCTIONS(EventTexts)
};

QString StageCaption(SearchStage stage, const QString& folder) {
    QString doing;
    switch (stage) {
        case SearchStage::Idle:
            break;
        case SearchStage::Walk:
            if (!folder.isEmpty())
                doing = QCoreApplication::translate("Walk", "[Analyzing %1 folder]").arg(folder);
            break;
        case SearchStage::ExactFilename:
            doing =
                QCoreApplication::translate("SearchRun", "[Finding duplicates - Exact Filename]");
            break;
        case SearchStage::ExactFilesize:
            doing =
                QCoreApplication::translate("SearchRun", "[Finding duplicates - Exact Filesize]");
            break;
        case SearchStage::SimilarFilename:
            doing =
                QCoreApplication::translate("SearchRun", "[Finding duplicates - Similar Filename]");
            break;
        case SearchStage::ExactContents:
            doing =
                QCoreApplication::translate("SearchRun", "[Finding duplicates - Exact Contents]");
            break;
    }
    QString caption = ProgramName;
    if (!doing.isEmpty())
        caption += u' ' + doing;
    return caption;
}

EventMessage MessageFor(const SearchEvent& event, const QLocale& locale) {
    const QString appTitle = ProgramName;
    switch (event.kind) {
        case SearchEvent::Kind::NoFolders:
            return {appTitle, EventTexts::tr("There are no folders to find duplicates for. Please "
                                             "drag and drop some folders into the list above.")};
        case SearchEvent::Kind::NoCriterion:
            return {EventTexts::tr("Choose"),
                    EventTexts::tr("Please select at least one option at the upper right: Exact "
                                   "Filename, Exact Filesize, Similar Filename, Exact Contents")};
        case SearchEvent::Kind::SkippedName:
            return {EventTexts::tr("Skip"),
                    EventTexts::tr("%1 has been skipped because it is unrecognizeable. This is "
                                   "probably because it contains strange characters. Please rename "
                                   "the file or folder if you would like it included next time you "
                                   "find dupes.")
                        .arg(event.path)};
        case SearchEvent::Kind::UnreadableFolder:
            return {};
        case SearchEvent::Kind::InventoryFull:
            return {appTitle,
                    EventTexts::tr("The file inventory is full at %1 files, the most one search "
                                   "can compare. The rest of the folders was not searched, so "
                                   "their duplicates are not shown. Please remove some folders "
                                   "from the list and find dupes again.")
                        .arg(locale.toString(qlonglong(event.count)))};
        case SearchEvent::Kind::RowsFull:
            return {appTitle,
                    EventTexts::tr("The results list is full: one search can list at most %1 "
                                   "rows. Later matches were not listed. To see them, search "
                                   "fewer folders or tick fewer options.")
                        .arg(GroupedNumber(event.count, locale))};
        case SearchEvent::Kind::NoDuplicates:
            return {EventTexts::tr("No dupes"), EventTexts::tr("No duplicate MP3s found.")};
    }
    return {};
}

SkipReport SkipReportFor(qsizetype count, const QLocale& locale, qsizetype unreadable) {
    const QString title = EventTexts::tr("Skip");
    if (unreadable > 0) {
        const QString folders =
            unreadable == 1
                ? EventTexts::tr("1 folder could not be read, so its files were not searched")
                : EventTexts::tr("%1 folders could not be read, so their files were not searched")
                      .arg(GroupedNumber(unreadable, locale));
        const QString advice =
            unreadable == 1 ? EventTexts::tr(
                                  "Please check that you may open the folder, then find dupes "
                                  "again.")
                            : EventTexts::tr(
                                  "Please check that you may open the folders, then find dupes "
                                  "again.");
        if (count == 0)
            return {title, folders + u':', advice};
        SkipReport names = SkipReportFor(count, locale);
        names.heading.chop(1);  // its colon
        return {title, names.heading + u"; " + folders + u':', names.advice + u' ' + advice};
    }
    if (count == 1)
        return {title,
                EventTexts::tr("1 file or folder has been skipped because its name is "
                               "unrecognizeable:"),
                EventTexts::tr("This is probably because it contains strange characters. Please "
                               "rename the file or folder if you would like it included next time "
                               "you find dupes.")};
    return {title,
            EventTexts::tr(
                "%1 files or folders have been skipped because their names are unrecognizeable:")
                .arg(GroupedNumber(count, locale)),
            EventTexts::tr("This is probably because they contain strange characters. Please "
                           "rename the files or folders if you would like them included next "
                           "time you find dupes.")};
}

EventMessage QuestionFor(const LargeInventory& inventory, const QLocale& locale) {
    return {EventTexts::tr("Question"),
            EventTexts::tr("The %1 folder(s) you've selected contains %2 files. This is over the "
                           "recommended amount of 20,000. Please remove some folders from the "
                           "list by selecting them and pressing 'Delete' on the keyboard or click "
                           "'Clear List'.")
                    .arg(QString::number(inventory.folderEntries),
                         GroupedNumber(inventory.files, locale)) %
                u"\r\r" %
                EventTexts::tr("You can still proceed, but the duplicate finding process may "
                               "take a long time. Would you like to proceed anyway?")};
}

}  // namespace tallyrook
