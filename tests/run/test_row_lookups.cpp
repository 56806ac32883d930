#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTest>

#include "match/match_passes.h"
#include "search/result_list.h"
#include "search/run_options.h"
#include "shared/global.h"
#include "support/hung_view.h"
#include "support/recording_host.h"
#include "support/temp_tree.h"
#include "support/test_env.h"
#include "walk/walk.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

using test::Portable;

// Every row as "path|size|date|type|colour|group".
QStringList Texts(const ResultRows& rows) {
    QStringList texts;
    for (int i = 0; i < rows.RowCount(); ++i) {
        const ResultRow& row = rows.Row(i);
        texts.append(QStringList{row.path, row.sizeText, row.modifiedText, TypeWord(row.criterion),
                                 ColourName(row.color), QString::number(row.group)}
                         .join(u'|'));
    }
    return texts;
}

// The three passes over what the walk recorded, the look-ups made by `workers` threads.
QStringList Passes(Global& global, int workers) {
    test::RecordingHost host;
    host.options.rowLimit = RunOptions::NoRowLimit;
    host.options.readAhead.workers = workers;
    ResultRows rows;
    MatchPasses passes(host, global, rows, host.options);
    const StepResult results[] = {passes.ExactFilenamePass(), passes.ExactFilesizePass(),
                                  passes.SimilarFilenamePass()};
    for (const StepResult result : results)
        if (result != StepResult::Completed)
            return {u"ended early"_s};
    return Texts(rows);
}

void Walk(const QString& root, Global& global, test::RecordingHost& host) {
    host.options.criteria = {true, true, true};
    WalkedFolders walked;
    QCOMPARE(AnalyzeFolder(root, host, global, walked, host.options), StepResult::Completed);
}

}  // namespace

class TestRowLookups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Hostile names, a path past the length limit, thousands of files in many sizes (more than
    // the look-ahead holds at once), and files changed or gone between the walk and the rows:
    // the workers give the rows, their order and their texts of looking up one at a time.
    void parallelRowsAreTheSequentialOnes() {
        test::TempTree tree;
        const QDateTime when(QDate(2004, 3, 14), QTime(14, 5, 31), Qt::UTC);
        for (const QString& name : {u"new\nline"_s, u"tab\tname"_s, u" lead"_s, u"\u202Eevil"_s,
                                    u"back\\slash"_s, u"%s%n"_s, u"\uFEFFbom"_s})
            for (const QString& folder : {u"h1/"_s, u"h2/"_s})
                tree.file(folder + name, 7, when);
        tree.rawFile("h1/not-\xff-text");
        // 25 folders of 200 bytes, made relative to each other: past what a path may hold.
        tree.dir(u"deep"_s);
        int fd = ::open(QFile::encodeName(tree.path(u"deep"_s)), O_RDONLY | O_DIRECTORY);
        for (int level = 0, next = -1; level < 25; ++level, ::close(fd), fd = next) {
            const QByteArray name(200, char('a' + level));
            QVERIFY(::mkdirat(fd, name, 0755) == 0 &&
                    (next = ::openat(fd, name, O_RDONLY | O_DIRECTORY)) >= 0);
        }
        const int file = ::openat(fd, "new\nline", O_WRONLY | O_CREAT, 0644);
        QVERIFY(file >= 0 && ::ftruncate(file, 9) == 0 && ::close(file) == 0 && ::close(fd) == 0);
        for (int i = 0; i < 3000; ++i)
            tree.file(u"many/%1/f%2"_s.arg(i % 40).arg(i), i % 700, when.addSecs(i));
        for (const QString& gone : {u"gone/a.txt"_s, u"gone/b.txt"_s, u"now folder/c"_s,
                                    u"now link/d"_s, u"folder gone/x/e"_s})
            tree.file(gone, 5, when);
        tree.file(u"keep/a.txt"_s, 5, when);
        test::RecordingHost host;
        Global global;
        Walk(tree.root(), global, host);
        QVERIFY(QFile::remove(tree.path(u"gone/a.txt"_s)));
        QVERIFY(QFile::remove(tree.path(u"now folder/c"_s)) &&
                QDir().mkdir(tree.path(u"now folder/c"_s)));
        QVERIFY(QFile::remove(tree.path(u"now link/d"_s)));
        tree.link(u"now link/d"_s, u"nowhere"_s);
        QVERIFY(QDir(tree.path(u"folder gone"_s)).removeRecursively());
        tree.file(u"gone/b.txt"_s, 123456, when.addYears(1));

        const QStringList sequential = Passes(global, 0);
        QCOMPARE(Passes(global, 8), sequential);
        QCOMPARE(Passes(global, 1), sequential);
        QCOMPARE(sequential.filter(u"/gone/a.txt|"_s).value(0).section(u'|', 1, 2), u"|"_s);
        QVERIFY(!sequential.filter(u"/gone/b.txt|121 KB|"_s).isEmpty());
        // The portable look-ups read a path past the limit as missing.
        QVERIFY(Portable ||
                !sequential.filter(QString(200, u'y') + u"/new\nline|9 Bytes|"_s).isEmpty());
    }

    // A stop pressed while a look-up hangs (a share gone) is answered without waiting for it:
    // the pass ends Stopped, with the rows made before the file still being looked up.
    void stopWhileALookUpHangs() {
        if (Portable)
            QSKIP("the portable build looks each file up as its row is made");
        test::TempTree tree;
        tree.file(u"a/same"_s, 5);
        tree.file(u"b/hung"_s, 5);
        test::HungView view(tree.root());
        if (!view.Missing().isEmpty())
            QSKIP(qPrintable(view.Missing()));
        test::RecordingHost host;
        Global global;
        Walk(view.path(u"."_s), global, host);
        QCOMPARE(global.inventory.FileCount(), qsizetype(2));
        tree.file(u"hang-lookups"_s);
        // Pressed once a look-up hangs.
        host.onEvents = [&](int) { host.stopRequested |= view.WaitFor("waits", 0); };
        ResultRows rows;
        MatchPasses passes(host, global, rows, host.options);
        QCOMPARE(passes.ExactFilesizePass(), StepResult::Stopped);
        QVERIFY(rows.RowCount() <= 1);
        QVERIFY(Texts(rows).filter(u"/hung|"_s).isEmpty());
    }

    // Files of saved inventories are not looked up: their rows show what their inventories
    // recorded, read back by id across batches, in runs broken by a gap in the ids or another
    // inventory; with Exact Filesize unticked the row still has the recorded size.
    void recordedRowsAreReadBack() {
        Global global;
        FileInventory& files = global.inventory;
        files.SourceNames = {u"m: a"_s, u"m: b"_s};
        std::vector<FileInventory::Recorded> added;
        for (qint32 i = 0; i < 5000; ++i) {
            const FileInventory::Recorded recorded =
                i < 3000 ? FileInventory::Recorded{0, 0, i + (i >= 1500 ? 7 : 0)}
                         : FileInventory::Recorded{1, 1, 2 * qint64(i)};
            QVERIFY(files.AddRecorded(u"/r/%1/"_s.arg(i), u"x"_s, FileInventory::NoSize, recorded));
            added.push_back(recorded);
        }
        int calls = 0;
        files.SetRecordedReader([&](qint32 origin, std::span<const qint64> ids,
                                    std::span<FileInventory::RecordedDetails> details) {
            ++calls;
            for (size_t i = 0; i < ids.size(); ++i)
                details[i] = {qint64(origin) * 100000 + ids[i],
                              (qint64(origin) * 100000 + ids[i]) * 1000};
        });
        test::RecordingHost host;
        host.options.rowLimit = RunOptions::NoRowLimit;
        ResultRows rows;
        MatchPasses passes(host, global, rows, host.options);
        QCOMPARE(passes.ExactFilenamePass(), StepResult::Completed);
        QCOMPARE(rows.RowCount(), 5000);
        QVERIFY(calls >= 3);
        for (int r = 0; r < rows.RowCount(); ++r) {
            const ResultRow& row = rows.Row(r);
            const FileInventory::Recorded& recorded = added[size_t(row.file)];
            QCOMPARE(files.RecordedOf(row.file)->id, recorded.id);
            const qint64 bytes = qint64(recorded.origin) * 100000 + recorded.id;
            QCOMPARE(row.bytes, bytes);
            QCOMPARE(row.modified.toMSecsSinceEpoch(), bytes * 1000);
        }
    }
};

TALLYROOK_TEST_MAIN(TestRowLookups)
#include "test_row_lookups.moc"
