#include <QDir>
#include <QFileInfo>
#include <QTest>

#include "host_texts/event_texts.h"
#include "run/search_run.h"
#include "search/result_list.h"
#include "search/run_options.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "support/test_env.h"

using namespace tallyrook;

namespace {

// The passes' stages by the short names a transcript gives them.
const QHash<QString, QString> Stages = {{u"ExactFilename"_qs, u"Name"_qs},
                                        {u"ExactFilesize"_qs, u"Size"_qs},
                                        {u"SimilarFilename"_qs, u"Close"_qs}};
const char* const Outcomes[] = {"EmptyFolderList", "Declined",      "Stopped",  "NoDuplicates",
                                "ResultsShown",    "NothingFitted", "Abandoned"};

void MakeFile(const QString& path, qint64 size = 0) {
    QFile file(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && file.open(QFile::WriteOnly) &&
            file.resize(size));
}

}  // namespace

class TestRun : public QObject {
    Q_OBJECT

    // Tens of thousands of empty files, in memory where possible: some disks make them slowly.
    QTemporaryDir dir_{QFileInfo(u"/dev/shm"_qs).isWritable()
                           ? u"/dev/shm/tallyrook-run-XXXXXX"_qs
                           : QDir::tempPath() + u"/tallyrook-run-XXXXXX"_qs};
    QHash<QString, QString> shortNames_;  // "Walk:" and a folder-list entry, by its short name

private Q_SLOTS:
    void initTestCase() {
        // 10,000 names in a, all but the last again in b and one in a subfolder of b: 20,000
        // files; the last name once more in c. Then two equal names, sizes and similar names.
        for (int i = 0; i < 10000; ++i) {
            const QString name = u"/f%1"_qs.arg(i, 5, 10, QChar(u'0'));
            MakeFile(dir_.filePath(u"a"_qs) + name);
            MakeFile(dir_.filePath(i < 9999 ? u"b"_qs : u"c"_qs) + name);
        }
        MakeFile(dir_.filePath(u"b/deeper/f00000"_qs));
        MakeFile(dir_.filePath(u"one/Song One.mp3"_qs), 3000);
        MakeFile(dir_.filePath(u"two/Song One.mp3"_qs), 4000);
        MakeFile(dir_.filePath(u"two/song one.MP3"_qs), 5000);
        MakeFile(dir_.filePath(u"two/notes.txt"_qs), 3000);
        for (const QString& folder : {u"p"_qs, u"q"_qs, u"r"_qs})
            MakeFile(dir_.filePath(u"trio/"_qs + folder + u"/same.txt"_qs));
        for (const QString& name : {u"one"_qs, u"two"_qs, u"trio"_qs, u"a"_qs, u"b"_qs, u"c"_qs})
            shortNames_[u"Walk:" + dir_.filePath(name)] = name;
    }

    // Set-up: the folder entries; every criterion unless "none"; the question answered No with
    // "no"; room for two rows with "cap"; stop pressed or the program closed once a call is made.
    // Transcript: "start" clears the stop and shows the run; an entry's name starts its walk,
    // "done" ends it; "rest" is the way back; events and the question in brackets.
    void steps_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("transcript");
        const auto row = [](const char* name, const char16_t* setup, const char16_t* transcript) {
            QTest::newRow(name) << QString::fromUtf16(setup) << QString::fromUtf16(transcript);
        };
        row("every criterion, in pass order", u"one two",
            u"start one done two done Name Size Close results rest = ResultsShown, 4 files, 7 "
            u"rows");
        row("empty list", u"", u"[NoFolders] rest = EmptyFolderList, 1 files, 1 rows");
        row("stop in the walk", u"one two stop@one", u"start one rest = Stopped, 0 files, 0 rows");
        row("stop in a pass: the rows stay, unshown", u"one two stop@Size",
            u"start one done two done Name Size rest = Stopped, 4 files, 2 rows");
        // A folder listed twice is walked once: 20,000 files, no question.
        row("20,000 files", u"a b a none",
            u"start a done b done a done [NoCriterion] [NoDuplicates] rest = NoDuplicates, 20000 "
            u"files, 0 rows");
        row("20,001 files, No", u"a b c none no",
            u"start a done b done c done [ask:3:20001] rest = Declined, 20001 files, 0 rows");
        row("a group larger than the list", u"trio cap",
            u"start trio done Name [RowsFull:2] rest = NothingFitted, 3 files, 0 rows");
        row("abandon in the walk", u"one two abandon@one",
            u"start one events = Abandoned, 0 files, 0 rows");
    }
    void steps() {
        QFETCH(QString, setup);
        QFETCH(QString, transcript);
        // What an earlier run left: a file and a row.
        Global global;
        QVERIFY(global.inventory.AddRecord(u"/m/"_qs, u"x.mp3"_qs, 5));
        ResultRows rows;
        rows.AppendRow({});
        const QStringList words = setup.split(u' ', Qt::SkipEmptyParts);
        test::RecordingHost host;
        const bool all = !words.contains(u"none");
        host.options.criteria = {all, all, all};
        host.answers = {!words.contains(u"no")};
        if (words.contains(u"cap"))
            host.options.rowLimit = 2;
        QString stopAt, abandonAt;
        for (const QString& word : words) {
            const QString when = word.section(u'@', 1);
            if (!when.isEmpty())
                (word.startsWith(u"stop@") ? stopAt : abandonAt) =
                    u"stage:" +
                    (Stages.key(when).isEmpty() ? shortNames_.key(when) : Stages.key(when));
            else if (word.size() == 1 || word == u"one" || word == u"two" || word == u"trio")
                host.folderEntries.append(dir_.filePath(word));
        }
        // The user also clears the folder list as the run begins: entries are taken once.
        host.onEvents = [&](int) {
            host.folderEntries.clear();
            host.abandonAtEvents = host.calls.contains(abandonAt);
        };
        host.onPoll = [&](int) { host.stopRequested |= host.calls.contains(stopAt); };
        const RunOutcome outcome = RunSearch(host, global, rows, host.options);

        // What a user notices, in short names: no polls, event processing or progress but the
        // resets to 0; the running, busy and reset calls of the run's start and end.
        QStringList noticed;
        for (const QString& call : std::as_const(host.calls)) {
            const QString name = call.section(u':', 0, 0), detail = call.section(u':', 1);
            if (name == u"stage")
                noticed.append(detail == u"Walk" ? u"done"_qs
                               : detail == u"Idle"
                                   ? u"rest"_qs
                                   : Stages.value(detail, shortNames_.value(detail)));
            else if (name == u"clearstop")
                noticed.append(u"start"_qs);
            else if (name == u"event" || name == u"ask")
                noticed.append(u'[' % (name == u"ask" ? call : detail) % u']');
            else if (name == u"results" || (name == u"events" && &call == &host.calls.last()))
                noticed.append(name);
        }
        const QString text = noticed.join(u' ');
        QCOMPARE(text % u" = " % QLatin1String(Outcomes[int(outcome)]) % u", " %
                     QString::number(global.inventory.FileCount()) % u" files, " %
                     QString::number(rows.RowCount()) % u" rows",
                 transcript);
    }

    // The rows' sizes and dates, and the counts in the window's words, follow the run's locale,
    // not the process's.
    void theRunsLocale() {
        const QLocale german(u"de_DE"_qs);
        QVERIFY(QLocale::system().decimalPoint() != german.decimalPoint());
        for (const QString& folder : {u"de/one/"_qs, u"de/two/"_qs})
            MakeFile(dir_.filePath(folder + u"Große Lieder.mp3"), 1'572'864);
        Global global;
        ResultRows rows;
        test::RecordingHost host;
        host.folderEntries = {dir_.filePath(u"de"_qs)};
        host.options = {{false, true, false}, RunOptions::RowCapacity, german};
        QCOMPARE(RunSearch(host, global, rows, host.options), RunOutcome::ResultsShown);
        QCOMPARE(rows.Row(0).sizeText, u"1,5 MB"_qs);
        QVERIFY(rows.Row(0).modifiedText.contains(u'.'));  // dd.MM.yyyy
        QVERIFY(MessageFor({SearchEvent::Kind::RowsFull, {}, {}, 32767}, german)
                    .text.contains(u" at most 32.767 rows."_qs));
        QVERIFY(QuestionFor({2, 20001}, german)
                    .text.startsWith(u"The 2 folder(s) you've selected "
                                     u"contains 20.001 files. This"_qs));
    }
};

TALLYROOK_TEST_MAIN(TestRun)
#include "test_run.moc"
