#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "search/match_passes.h"
#include "search/result_list.h"
#include "search/search_run.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;
using test::RecordingHost;

namespace {

const QLocale US(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

const QString EmptyListText = QStringLiteral(
    "There are no folders to find duplicates for. Please drag and drop some folders into the "
    "list above.");
const QString ChooseText = QStringLiteral(
    "Please select at least one option at the upper right: Exact Filename, Exact Filesize, "
    "Similar Filename");
const QString NoDupes = QStringLiteral("No dupes:No duplicate MP3s found.");
const QString NameCaption =
    QStringLiteral("caption:Tallyrook [Finding duplicates - Exact Filename]");
const QString SizeCaption =
    QStringLiteral("caption:Tallyrook [Finding duplicates - Exact Filesize]");
const QString CloseCaption =
    QStringLiteral("caption:Tallyrook [Finding duplicates - Similar Filename]");
const QStringList AtRest = {QStringLiteral("running:0"), QStringLiteral("caption:Tallyrook"),
                            QStringLiteral("progress:0"), QStringLiteral("busy:0")};
const QStringList VisiblyAtRest = {QStringLiteral("running:0"), QStringLiteral("caption:Tallyrook"),
                                   QStringLiteral("busy:0")};

QString WarningText(const QString& entries, const QString& count) {
    return u"Question:The " % entries % u" folder(s) you've selected contains " % count %
           u" files. This is over the recommended amount of 20,000. Please remove some folders "
           u"from the list by selecting them and pressing 'Delete' on the keyboard or click "
           u"'Clear List'.\r\rYou can still proceed, but the duplicate finding process may take "
           u"a long time. Would you like to proceed anyway?";
}

QString Analyzing(const QString& entry) {
    return u"caption:Tallyrook [Analyzing " % entry % u" folder]";
}

// The calls a user would notice, without the polls and progress steps in between.
QStringList Visible(const RecordingHost& host) {
    QStringList visible;
    for (const QString& call : host.calls) {
        if (call == u"events" || call == u"stop?" || call == u"filename?" || call == u"filesize?" ||
            call == u"similar?" || call.startsWith(u"progress:"))
            continue;
        visible.append(call);
    }
    return visible;
}

QStringList Tail(const QStringList& calls, qsizetype n) {
    return calls.mid(calls.size() - n);
}

QStringList Types(const ResultRows& rows) {
    QStringList types;
    for (int i = 0; i < rows.RowCount(); ++i)
        types.append(rows.Row(i).type);
    return types;
}

// Many empty files quickly: TempTree makes one at a time with its folders.
void MakeEmptyFiles(const QString& folder, int count) {
    QVERIFY(QDir().mkpath(folder));
    for (int i = 0; i < count; ++i) {
        QFile file(folder + QStringLiteral("/f%1.dat").arg(i, 5, 10, QLatin1Char('0')));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

}  // namespace

class TestRun : public QObject {
    Q_OBJECT

    // Large folders of empty files for the warning and the row cap, made once, in memory where
    // the machine offers it: tens of thousands of files are slow to make on some disks.
    QTemporaryDir big_{QFileInfo(u"/dev/shm"_qs).isWritable()
                           ? u"/dev/shm/tallyrook-run-XXXXXX"_qs
                           : QDir::tempPath() + u"/tallyrook-run-XXXXXX"_qs};
    QString a_, b_;

    // Small collection: two equal names, two equal sizes, two similar names.
    test::TempTree small_;
    QString one_, two_;

    RecordingHost SmallHost() {
        RecordingHost host;
        host.folderEntries = {one_, two_};
        host.exactFilename = host.exactFilesize = host.similarFilename = true;
        host.logCriteria = false;
        return host;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(big_.isValid());
        // The same 10,000 names in both folders, plus one more in a subfolder: 20,001 files.
        a_ = big_.filePath(QStringLiteral("a"));
        b_ = big_.filePath(QStringLiteral("b"));
        MakeEmptyFiles(a_, 10000);
        MakeEmptyFiles(b_, 10000);
        MakeEmptyFiles(b_ + QStringLiteral("/deeper"), 1);

        one_ = small_.path(QStringLiteral("one"));
        two_ = small_.path(QStringLiteral("two"));
        small_.file(QStringLiteral("one/Song One.mp3"), 3000);
        small_.file(QStringLiteral("two/Song One.mp3"), 4000);
        small_.file(QStringLiteral("two/song one.MP3"), 5000);
        small_.file(QStringLiteral("two/notes.txt"), 3000);
    }

    void emptyListKeepsThePreviousRun() {
        Global global;
        QVERIFY(global.AddRecord(QStringLiteral("/m/"), QStringLiteral("x.mp3"), 5));
        global.SetRowColor(0, QStringLiteral("light blue"));
        ResultRows rows;
        ResultRow old;
        old.path = QStringLiteral("/m/x.mp3");
        rows.AppendRow(old);
        RecordingHost host;
        host.exactFilename = true;

        QCOMPARE(RunSearch(host, global, rows), RunOutcome::EmptyFolderList);
        QCOMPARE(host.Messages(), QStringList{u"Tallyrook:"_qs + EmptyListText});
        QCOMPARE(global.FileCount(), 1);
        QCOMPARE(global.RowColor(0), u"light blue"_qs);
        QCOMPARE(rows.RowCount(), 1);
        QVERIFY(!host.calls.contains(u"clearstop"_qs));
        QVERIFY(!host.calls.contains(u"running:1"_qs));
        QCOMPARE(Tail(host.calls, 4), AtRest);
    }

    void stepsInOrderWithEveryCriterion() {
        Global global;
        global.SetRowColor(40, QStringLiteral("red"));  // left over from an earlier run
        ResultRows rows;
        ResultRow old;
        old.path = QStringLiteral("/old/row");
        rows.AppendRow(old);
        RecordingHost host = SmallHost();

        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::ResultsShown);
        const QStringList expected = {
            u"entries?"_qs,  u"clearstop"_qs, u"running:1"_qs,
            Analyzing(one_), u"busy:1"_qs,    u"caption:Tallyrook"_qs,
            Analyzing(two_), u"busy:1"_qs,    u"caption:Tallyrook"_qs,
            NameCaption,     SizeCaption,     CloseCaption,
            u"results"_qs,
        };
        QCOMPARE(Visible(host), expected + VisiblyAtRest);
        QCOMPARE(global.FileCount(), 4);
        QCOMPARE(global.RowColor(40), QString());
        // The passes' rows in pass order; a file may be listed once per pass.
        QCOMPARE(Types(rows), (QStringList{u"Name"_qs, u"Name"_qs, u"Size"_qs, u"Size"_qs,
                                           u"Close"_qs, u"Close"_qs, u"Close"_qs}));
        QVERIFY(host.Messages().isEmpty());
    }

    void noCriterionSaysChooseThenNoDupes() {
        Global global;
        ResultRows rows;
        RecordingHost host = SmallHost();
        host.exactFilename = host.exactFilesize = host.similarFilename = false;

        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::NoDuplicates);
        QCOMPARE(global.FileCount(), 4);  // the walk still ran
        QCOMPARE(host.Messages(), (QStringList{u"Choose:"_qs + ChooseText, NoDupes}));
        QCOMPARE(Tail(Visible(host), 5),
                 (QStringList{u"message:Choose:"_qs + ChooseText, u"message:"_qs + NoDupes} +
                  VisiblyAtRest));
        QVERIFY(!host.calls.contains(u"results"_qs));
    }

    void warningOnlyAboveTwentyThousand() {
        Global global;
        ResultRows rows;
        RecordingHost host;
        host.logCriteria = false;
        host.folderEntries = {a_, a_};  // overlapping entries count their files twice
        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::NoDuplicates);
        QCOMPARE(global.FileCount(), 20000);
        QVERIFY(host.Calls(u"ask:"_qs).isEmpty());
    }

    void warningAboveTwentyThousand_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("count");
        QTest::newRow("us") << US << u"20,001"_qs;
        QTest::newRow("german") << German << u"20.001"_qs;
    }
    void warningAboveTwentyThousand() {
        QFETCH(QLocale, locale);
        QFETCH(QString, count);
        Global global;
        ResultRows rows;
        RecordingHost host;
        host.logCriteria = false;
        host.exactFilename = true;
        host.folderEntries = {a_, b_};
        host.answers = {false};

        QCOMPARE(RunSearch(host, global, rows, locale), RunOutcome::Declined);
        QCOMPARE(host.Calls(u"ask:"_qs), (QStringList{u"ask:"_qs + WarningText(u"2"_qs, count)}));
        // No ends the run at once: no pass, no message, nothing listed; the inventory stays.
        QCOMPARE(Tail(Visible(host), 5),
                 (QStringList{u"ask:"_qs + WarningText(u"2"_qs, count), u"answer:no"_qs} +
                  VisiblyAtRest));
        QVERIFY(host.Messages().isEmpty());
        QCOMPARE(rows.RowCount(), 0);
        QCOMPARE(global.FileCount(), 20001);
    }

    void stopBetweenEntries() {
        Global global;
        ResultRows rows;
        RecordingHost host = SmallHost();
        // Pressed while the first entry's walk finishes: seen before the second entry.
        host.onPoll = [&host](int) {
            if (host.calls.contains(u"caption:Tallyrook"_qs))
                host.stopRequested = true;
        };
        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::Stopped);
        QVERIFY(host.calls.contains(Analyzing(one_)));
        QVERIFY(!host.calls.contains(Analyzing(two_)));
        QCOMPARE(global.FileCount(), 1);
        QVERIFY(!host.calls.contains(NameCaption));
        QVERIFY(host.Messages().isEmpty());
        QCOMPARE(Tail(host.calls, 4), AtRest);
    }

    void stopDuringTheWalk() {
        Global global;
        ResultRows rows;
        RecordingHost host = SmallHost();
        host.stopAtPoll = 2;  // the walk's first poll
        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::Stopped);
        QVERIFY(host.calls.contains(Analyzing(one_)));
        QVERIFY(!host.calls.contains(NameCaption));
        QVERIFY(host.Messages().isEmpty());
        QCOMPARE(Tail(host.calls, 4), AtRest);
    }

    void stopDuringAPass() {
        Global global;
        ResultRows rows;
        RecordingHost host = SmallHost();
        host.onPoll = [&host](int) {
            if (host.calls.contains(SizeCaption))
                host.stopRequested = true;
        };
        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::Stopped);
        // The rows found so far stay, but the results window is not shown and nothing is said.
        QCOMPARE(Types(rows), (QStringList{u"Name"_qs, u"Name"_qs}));
        QVERIFY(!host.calls.contains(u"results"_qs));
        QVERIFY(!host.calls.contains(CloseCaption));
        QVERIFY(host.Messages().isEmpty());
        QCOMPARE(Tail(host.calls, 4), AtRest);
    }

    void rowCapEndsThePassesAndShowsTheRows() {
        Global global;
        ResultRows rows;
        RecordingHost host;
        host.logCriteria = false;
        host.exactFilename = host.exactFilesize = host.similarFilename = true;
        host.folderEntries = {a_, b_};
        // Exact Filename lists all 20,001 files; Exact Filesize (one group: every file is empty)
        // fills the list, so Similar Filename never runs.
        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::ResultsShown);
        QCOMPARE(global.FileCount(), 20001);
        QCOMPARE(rows.Row(20000).type, u"Name"_qs);
        QCOMPARE(rows.Row(20001).type, u"Size"_qs);
        QCOMPARE(rows.RowCount(), MatchPasses::RowCapacity);
        QCOMPARE(global.RowColor(MatchPasses::RowCapacity - 1), u"light red"_qs);
        QCOMPARE(global.RowColor(MatchPasses::RowCapacity), QString());
        const QStringList messages = host.Messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith(u"Tallyrook:"_qs) && messages[0].contains(u"32,767"_qs) &&
                     messages[0].contains(u"not listed"_qs),
                 qPrintable(messages[0]));
        QVERIFY(!host.calls.contains(CloseCaption));
        QCOMPARE(Tail(Visible(host), 5),
                 QStringList({u"message:"_qs + messages[0], u"results"_qs}) + VisiblyAtRest);
    }

    void entriesAreTakenOnce() {
        Global global;
        ResultRows rows;
        RecordingHost host = SmallHost();
        // The user clears the folder list while the first entry is walked.
        host.onEvents = [&host](int) { host.folderEntries.clear(); };
        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::ResultsShown);
        QVERIFY(host.calls.contains(Analyzing(two_)));
        QCOMPARE(global.FileCount(), 4);
    }

    void abandonMakesNoFurtherCall_data() {
        QTest::addColumn<QString>("when");
        QTest::newRow("walk") << u"walk"_qs;
        QTest::newRow("pass") << u"pass"_qs;
        QTest::newRow("question") << u"question"_qs;
    }
    void abandonMakesNoFurtherCall() {
        QFETCH(QString, when);
        Global global;
        ResultRows rows;
        RecordingHost host = SmallHost();
        if (when == u"walk") {
            host.abandonAtEvents = 1;
        } else if (when == u"pass") {
            host.onEvents = [&host](int n) {
                if (host.calls.contains(NameCaption))
                    host.abandonAtEvents = n;
            };
        } else {  // closed while the large-inventory question was open
            host.folderEntries = {a_, b_};
            host.exactFilename = host.exactFilesize = host.similarFilename = false;
            host.onEvents = [&host](int n) {
                if (host.calls.contains(u"answer:yes"_qs))
                    host.abandonAtEvents = n;
            };
        }
        QCOMPARE(RunSearch(host, global, rows, US), RunOutcome::Abandoned);
        QCOMPARE(host.calls.last(), u"events"_qs);
        QVERIFY(!host.calls.contains(u"running:0"_qs));
        QVERIFY(!host.calls.contains(u"results"_qs));
    }
};

TALLYROOK_TEST_MAIN(TestRun)
#include "test_run.moc"
