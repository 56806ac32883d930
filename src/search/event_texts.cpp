#include "search/event_texts.h"

#include "search/formats.h"
#include "shared/program.h"

namespace tallyrook {

EventMessage MessageFor(const SearchEvent& event, const QLocale& locale) {
    const QString appTitle = ProgramName;
    switch (event.kind) {
        case SearchEvent::Kind::NoFolders:
            return {appTitle, QStringLiteral("There are no folders to find duplicates for. Please "
                                             "drag and drop some folders into the list above.")};
        case SearchEvent::Kind::NoCriterion:
            return {QStringLiteral("Choose"),
                    QStringLiteral("Please select at least one option at the upper right: Exact "
                                   "Filename, Exact Filesize, Similar Filename")};
        case SearchEvent::Kind::SkippedName:
            return {QStringLiteral("Skip"),
                    event.path +
                        u" has been skipped because it is unrecognizeable. This is probably "
                        u"because it contains strange characters. Please rename the file or "
                        u"folder if you would like it included next time you find dupes."};
        case SearchEvent::Kind::UnreadableFolder:
            return {};
        case SearchEvent::Kind::InventoryFull:
            return {appTitle,
                    u"The file inventory is full at " % locale.toString(qlonglong(event.count)) %
                        u" files, the most one search can compare. The rest of the folders was "
                        u"not searched, so their duplicates are not shown. Please remove some "
                        u"folders from the list and find dupes again."};
        case SearchEvent::Kind::RowsFull:
            return {appTitle,
                    u"The results list is full: one search can list at most " %
                        GroupedNumber(event.count, locale) %
                        u" rows. Later matches were not listed. To see them, search fewer "
                        u"folders or tick fewer options."};
        case SearchEvent::Kind::NoDuplicates:
            return {QStringLiteral("No dupes"), QStringLiteral("No duplicate MP3s found.")};
    }
    return {};
}

SkipReport SkipReportFor(qsizetype count, const QLocale& locale, qsizetype unreadable) {
    const QString title = QStringLiteral("Skip");
    if (unreadable > 0) {
        const QString folders =
            unreadable == 1
                ? QStringLiteral("1 folder could not be read, so its files were not searched")
                : GroupedNumber(unreadable, locale) %
                      u" folders could not be read, so their files were not searched";
        const QString advice = unreadable == 1
                                   ? QStringLiteral(
                                         "Please check that you may open the folder, then "
                                         "find dupes again.")
                                   : QStringLiteral(
                                         "Please check that you may open the folders, then "
                                         "find dupes again.");
        if (count == 0)
            return {title, folders + u':', advice};
        SkipReport names = SkipReportFor(count, locale);
        names.heading.chop(1);  // its colon
        return {title, names.heading + u"; " + folders + u':', names.advice + u' ' + advice};
    }
    if (count == 1)
        return {title,
                QStringLiteral("1 file or folder has been skipped because its name is "
                               "unrecognizeable:"),
                QStringLiteral("This is probably because it contains strange characters. Please "
                               "rename the file or folder if you would like it included next time "
                               "you find dupes.")};
    return {title,
            GroupedNumber(count, locale) %
                u" files or folders have been skipped because their names are unrecognizeable:",
            QStringLiteral("This is probably because they contain strange characters. Please "
                           "rename the files or folders if you would like them included next "
                           "time you find dupes.")};
}

EventMessage QuestionFor(const LargeInventory& inventory, const QLocale& locale) {
    return {QStringLiteral("Question"),
            u"The " % QString::number(inventory.folderEntries) %
                u" folder(s) you've selected contains " % GroupedNumber(inventory.files, locale) %
                u" files. This is over the recommended amount of 20,000. Please remove some "
                u"folders from the list by selecting them and pressing 'Delete' on the keyboard "
                u"or click 'Clear List'." %
                u"\r\r" %
                u"You can still proceed, but the duplicate finding process may take a long time. "
                u"Would you like to proceed anyway?"};
}

}  // namespace tallyrook
