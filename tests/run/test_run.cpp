#include <QDir>
#include <QFileInfo>
#include <QTest>

#include "search/result_list.h"
#include "search/search_run.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;

namespace {

const QString Caption = u"caption:Tallyrook"_qs;
const char* const Outcomes[] = {"EmptyFolderList", "Declined",     "Stopped",
                                "NoDuplicates",    "ResultsShown", "Abandoned"};

void MakeEmptyFiles(const QString& folder, int count) {
    QVERIFY(QDir().mkpath(folder));
    for (int i = 0; i < count; ++i)
        QVERIFY(QFile(folder + u"/f%1"_qs.arg(i, 5, 10, QChar(u'0'))).open(QFile::WriteOnly));
}

}  // namespace

class TestRun : public QObject {
    Q_OBJECT

    // Tens of thousands of empty files for the warning and the row cap, in memory where the
    // machine offers it: they are slow to make on some disks.
    QTemporaryDir big_{QFileInfo(u"/dev/shm"_qs).isWritable()
                           ? u"/dev/shm/tallyrook-run-XXXXXX"_qs
                           : QDir::tempPath() + u"/tallyrook-run-XXXXXX"_qs};
    test::TempTree small_;
    QHash<QString, QString> short_;  // whole calls, exactly as expected, by short names

    QString Folder(const QString& name) const {
        return name.size() == 1 ? big_.filePath(name) : small_.path(name);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(big_.isValid());
        // 10,000 names in a, all but the last again in b and one in a subfolder of b: 20,000
        // files; the last name once more in c.
        MakeEmptyFiles(big_.filePath(u"a"_qs), 10000);
        MakeEmptyFiles(big_.filePath(u"b"_qs), 9999);
        MakeEmptyFiles(big_.filePath(u"b/deeper"_qs), 1);
        QVERIFY(QDir().mkpath(big_.filePath(u"c"_qs)));
        QVERIFY(QFile(big_.filePath(u"c/f09999"_qs)).open(QFile::WriteOnly));
        // Two equal names, two equal sizes, two similar names.
        small_.file(u"one/Song One.mp3"_qs, 3000);
        small_.file(u"two/Song One.mp3"_qs, 4000);
        small_.file(u"two/song one.MP3"_qs, 5000);
        small_.file(u"two/notes.txt"_qs, 3000);
        for (const QString& name : {u"one"_qs, u"two"_qs, u"a"_qs, u"b"_qs, u"c"_qs})
            short_[Caption % u" [Analyzing " % Folder(name) % u" folder]"] = name;
        short_[Caption] = u"Tallyrook"_qs;
        short_[Caption + u" [Finding duplicates - Exact Filename]"] = u"Name"_qs;
        short_[Caption + u" [Finding duplicates - Exact Filesize]"] = u"Size"_qs;
        short_[Caption + u" [Finding duplicates - Similar Filename]"] = u"Close"_qs;
        short_
            [u"message:Tallyrook:There are no folders to find duplicates for. Please drag and "
             u"drop some folders into the list above."_qs] = u"Empty"_qs;
        short_
            [u"message:Choose:Please select at least one option at the upper right: Exact "
             u"Filename, Exact Filesize, Similar Filename"_qs] = u"Choose"_qs;
        short_[u"message:No dupes:No duplicate MP3s found."_qs] = u"NoDupes"_qs;
        short_
            [u"message:Tallyrook:The results list is full: one search can list at most 32,767 "
             u"rows. Later matches were not listed. To see them, search fewer folders or tick "
             u"fewer options."_qs] = u"Full"_qs;
        for (const QString& count : {u"20,001"_qs, u"20.001"_qs})
            short_[u"ask:Question:The 3 folder(s) you've selected contains " % count %
                   u" files. This is over the recommended amount of 20,000. Please remove some "
                   u"folders from the list by selecting them and pressing 'Delete' on the keyboard "
                   u"or click 'Clear List'.\r\rYou can still proceed, but the duplicate finding "
                   u"process may take a long time. Would you like to proceed anyway?"] =
                u"Warning(" % count % u')';
    }

    // Set-up: the folder entries in order; after "|", every criterion is ticked unless "none", the
    // warning is answered No with "no", the counts are German with "de", and the stop button is
    // pressed or the program closed once a call (by its short name) has been made.
    // Transcript: "start" reads the list, clears the stop and shows the run; an entry's name
    // starts its walk and "done" ends it; "rest" is the way back to rest.
    void steps_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("transcript");
        QTest::newRow("every criterion, in pass order")
            << u"one two"_qs
            << u"start one done two done Name Size Close results rest = ResultsShown, 4 files, "
               u"Name*2, Size*2, Close*3"_qs;
        QTest::newRow("empty list, nothing reset")
            << QString() << u"entries? Empty rest = EmptyFolderList, 1 files, Old*1"_qs;
        QTest::newRow("Choose does not end the run")
            << u"one two | none"_qs
            << u"start one done two done Choose NoDupes rest = NoDuplicates, 4 files"_qs;
        QTest::newRow("stop seen before the next entry")
            << u"one two | stop@Tallyrook"_qs << u"start one done rest = Stopped, 1 files"_qs;
        QTest::newRow("stop in the walk")
            << u"one two | stop@one"_qs << u"start one rest = Stopped, 0 files"_qs;
        QTest::newRow("stop in a pass: the rows stay, unshown")
            << u"one two | stop@Size"_qs
            << u"start one done two done Name Size rest = Stopped, 4 files, Name*2"_qs;
        QTest::newRow("20,000 files")
            << u"a b | none"_qs
            << u"start a done b done Choose NoDupes rest = NoDuplicates, 20000 files"_qs;
        QTest::newRow("a folder listed twice is walked once")
            << u"a a | none"_qs
            << u"start a done a done Choose NoDupes rest = NoDuplicates, 10000 files"_qs;
        QTest::newRow("20,001 files, No")
            << u"a b c | none no de"_qs
            << u"start a done b done c done Warning(20.001) answer:no rest = Declined, 20001 "
               u"files"_qs;
        // Exact Filesize (every file is empty) fills the list, so Similar Filename never runs.
        QTest::newRow("row cap") << u"a b c"_qs
                                 << u"start a done b done c done Warning(20,001) answer:yes Name "
                                    u"Size Full results rest = "
                                    u"ResultsShown, 20001 files, Name*20001, Size*12766"_qs;
        QTest::newRow("abandon in the walk")
            << u"one two | abandon@one"_qs << u"start one events = Abandoned, 0 files"_qs;
        QTest::newRow("abandon in a pass")
            << u"one two | abandon@Name"_qs
            << u"start one done two done Name events = Abandoned, 4 files"_qs;
        QTest::newRow("abandon at the question")
            << u"a b c | none abandon@answer:yes"_qs
            << u"start a done b done c done Warning(20,001) answer:yes events = Abandoned, 20001 files"_qs;
    }
    void steps() {
        QFETCH(QString, setup);
        QFETCH(QString, transcript);
        // What an earlier run left: a file, a row and its colour.
        Global global;
        QVERIFY(global.AddRecord(u"/m/"_qs, u"x.mp3"_qs, 5));
        global.SetRowColor(0, u"light blue"_qs);
        ResultRows rows;
        ResultRow old;
        old.type = u"Old"_qs;
        rows.AppendRow(old);
        const QStringList words = setup.section(u'|', 1).split(u' ', Qt::SkipEmptyParts);
        test::RecordingHost host;
        host.logCriteria = false;
        host.exactFilename = host.exactFilesize = host.similarFilename = !words.contains(u"none");
        host.answers = {!words.contains(u"no")};
        QString stopAt, abandonAt;
        for (const QString& word : setup.section(u'|', 0, 0).split(u' ', Qt::SkipEmptyParts))
            host.folderEntries.append(Folder(word));
        for (const QString& word : words) {
            const QString when = word.section(u'@', 1);
            if (!when.isEmpty())
                (word.startsWith(u"stop@") ? stopAt : abandonAt) = short_.key(when, when);
        }
        // The user also clears the folder list as the run begins: entries are taken once.
        host.onEvents = [&](int) {
            host.folderEntries.clear();
            host.abandonAtEvents = host.calls.contains(abandonAt);
        };
        host.onPoll = [&](int) { host.stopRequested |= host.calls.contains(stopAt); };
        const QLocale locale(words.contains(u"de") ? QLocale::German : QLocale::English,
                             words.contains(u"de") ? QLocale::Germany : QLocale::UnitedStates);
        const RunOutcome outcome = RunSearch(host, global, rows, locale);

        // The calls a user would notice (no polls, no progress steps but the reset, no event
        // processing but a last one), then the outcome, the inventory and the rows' types.
        QStringList calls;
        for (const QString& call : std::as_const(host.calls)) {
            if ((call != u"events" || &call == &host.calls.constLast()) && call != u"stop?" &&
                (!call.startsWith(u"progress:") || call == u"progress:0"))
                calls.append(short_.value(call, call));
        }
        QString text = calls.join(u' ')
                           .replace(u"running:0 Tallyrook progress:0 busy:0"_qs, u"rest"_qs)
                           .remove(u"progress:0 "_qs)
                           .replace(u"entries? clearstop running:1"_qs, u"start"_qs)
                           .replace(u"busy:1 Tallyrook"_qs, u"done"_qs);
        text += u" = " % QLatin1String(Outcomes[int(outcome)]) % u", " %
                QString::number(global.FileCount()) % u" files";
        for (int start = 0, i = 1; start < rows.RowCount(); ++i) {
            if (i == rows.RowCount() || rows.Row(i).type != rows.Row(start).type) {
                text += u", " % rows.Row(start).type % u'*' % QString::number(i - start);
                start = i;
            }
        }
        QCOMPARE(text, transcript);
        // A colour for every row and none beyond: no earlier run's colour is left over.
        QCOMPARE(global.RowColorsUsed(), rows.RowCount());
    }
};

TALLYROOK_TEST_MAIN(TestRun)
#include "test_run.moc"
