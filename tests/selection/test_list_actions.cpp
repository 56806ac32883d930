#include <unistd.h>
#include <QAbstractItemModelTester>
#include <QCryptographicHash>
#include <QProcess>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "run/search_run.h"
#include "selection/list_actions.h"
#include "selection/list_fixture.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

// Where the file from `original` sits in the fresh Trash, with its record; else the empty text.
QString FindInTrash(const QString& original) {
    const QString name = QFileInfo(original).fileName();
    const QString trash = test::TestHome() + u"/data/Trash/"_s;
    const QString stored = trash + u"files/"_s + name;
    const bool recorded = QFile::exists(trash + u"info/"_s + name + u".trashinfo"_s);
    return recorded && QFile::exists(stored) ? stored : QString();
}

// Makes the entries of `folder` unrenamable even for root (chattr +i), or undoes it; false if not.
bool SetLocked(const QString& folder, bool locked) {
    if (::geteuid() == 0)
        return QProcess::execute(u"chattr"_s, {locked ? u"+i"_s : u"-i"_s, folder}) == 0;
    return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                             (locked ? QFile::Permissions() : QFile::WriteOwner));
}

// A list and its requests.
struct Fixture : test::ListFixture<SelectionList> {
    TrashRequests requests{model};
    std::optional<QAbstractItemModelTester> tester;  // made once the rows are in: it is slow

    void TestModel() {
        tester.emplace(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void Compare() {
        const QList<ContentsFile> files = model.ContentsFiles();
        model.SetContents(files, CheckContents(files));
    }
    // A row of a file of a saved inventory that is not here: record 7, on "nas: Backup".
    void AddElsewhere(const QString& path, qint64 bytes, bool checked = false) {
        ResultRow row{path, {}, {}, Criterion::ExactFilesize, RowColor::Blue, bytes, {}, 1};
        row.checked = checked;
        row.file = 7;
        row.source = u"nas: Backup"_s;
        model.AppendRow(row);
    }
    const TrashQuestion& Ask() {
        dialogs.answer = TrashAnswer::No;
        requests.Send(dialogs);
        return dialogs.questions.last();
    }
    // Rows in folders /a/b, /a/bc and /q: x.jpg twice by Name and by Size, a Name pair of y.txt,
    // and similar names: z.txt's turn lists "z 1.txt", whose turn lists "z 2.txt".
    void FoldersAndPasses() {
        const std::tuple<const char*, int, int, Criterion> rows[] = {
            {"/a/b/x.jpg", 0, 0, Criterion::ExactFilename},
            {"/a/b/sub/x.jpg", 1, 0, Criterion::ExactFilename},
            {"/a/bc/y.txt", 2, 2, Criterion::ExactFilename},
            {"/a/b/y.txt", 3, 2, Criterion::ExactFilename},
            {"/a/bc/z.txt", 4, 4, Criterion::SimilarFilename},
            {"/q/z 1.txt", 5, 4, Criterion::SimilarFilename},
            {"/q/z 2.txt", 6, 5, Criterion::SimilarFilename},
            {"/a/b/x.jpg", 0, 0, Criterion::ExactFilesize},
            {"/a/b/sub/x.jpg", 1, 0, Criterion::ExactFilesize}};
        for (const auto& [path, file, anchor, criterion] : rows)
            Add(QString::fromLatin1(path), false, model.RowCount(), 1000, 0, file, anchor,
                criterion);
    }
};

}  // namespace

class TestListActions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void folderCommandsTakeInTheFolderAndBelowOnly() {
        Fixture f;
        f.FoldersAndPasses();
        RunRowCommand(f.model, RowCommand::CheckFolder, 3);
        QCOMPARE(f.Marks(), u"110100011"_s);
        RunRowCommand(f.model, RowCommand::UncheckFolder, 1);
        QCOMPARE(f.Marks(), u"100100010"_s);
        RunRowCommand(f.model, RowCommand::CheckFolder, 9);  // no such row
        QCOMPARE(f.Marks(), u"100100010"_s);
    }

    // Only files that leave no file of their size unchecked in a set of theirs are named;
    // "z 2.txt" and its list group are checked, but "z 1.txt", which matched it, is not.
    void withoutComparisonTheQuestionNamesFilesWithNoPossibleCopyLeft() {
        Fixture f;
        f.FoldersAndPasses();
        const QStringList xs{u"/a/b/x.jpg"_s, u"/a/b/sub/x.jpg"_s};
        f.model.SetCheckedByText(u"/a/b/x.jpg"_s, true);
        f.model.SetCheckedByText(u"/a/b/y.txt"_s, true);
        for (const auto& [path, left] :
             {std::pair{u"/q/z 2.txt"_s, xs},
              {u"/a/bc/z.txt"_s, xs},
              {u"/q/z 1.txt"_s,
               xs + QStringList{u"/a/bc/z.txt"_s, u"/q/z 1.txt"_s, u"/q/z 2.txt"_s}}}) {
            f.model.SetCheckedByText(path, true);
            f.model.SetCheckedByText(u"/a/b/sub/x.jpg"_s, true);
            QCOMPARE(f.Ask().withoutPossibleCopy, left);
        }
        QCOMPARE(f.dialogs.questions.last().bytes, 6000);
    }

    void fileOfAnotherSizeIsNoPossibleCopy() {
        Fixture f;
        f.FoldersAndPasses();
        f.model.SetCheckedByText(u"/a/b/y.txt"_s, true);
        QVERIFY(f.Ask().withoutPossibleCopy.isEmpty());
        std::vector<ResultRow> grown;
        for (int k = 0; k < f.model.RowCount(); ++k) {
            grown.push_back(f.model.Row(k));
            grown.back().bytes += grown.back().path == u"/a/bc/y.txt"_s;
        }
        f.model.ReplaceRows(std::move(grown));
        QCOMPARE(f.Ask().withoutPossibleCopy, QStringList{u"/a/b/y.txt"_s});
    }

    void uncheckTheseUnchecksExactlyTheFilesNamed() {
        Fixture f;
        f.FoldersAndPasses();
        const QStringList xs{u"/a/b/x.jpg"_s, u"/a/b/sub/x.jpg"_s};
        for (const QString& path : xs + QStringList{u"/a/bc/z.txt"_s, u"/q/z 2.txt"_s})
            f.model.SetCheckedByText(path, true);
        f.dialogs.answer = TrashAnswer::UncheckThese;
        QCOMPARE(f.requests.Send(f.dialogs).outcome.uncheck, xs);
        QCOMPARE(f.Marks(), u"000010100"_s);
        QVERIFY(!f.requests.CanUndo());
    }

    // Each path once, at its last checked row, with no limit on their number; the rows of files
    // gone since the run go too, in more runs of rows than are worth telling the view about one by
    // one.
    void confirmedRequestRemovesEveryRowOfTheFilesGone() {
        Fixture f;
        const QString a = f.MakeFile(u"a song.mp3"_s);
        const QString b = f.MakeFile(u"b.mp3"_s);
        const QString c = f.MakeFile(u"c.mp3"_s);
        const QString otherCase = f.MakeFile(u"A song.mp3"_s);
        for (const QString& path : {a, c, b, otherCase, a, c, a})
            f.Add(path, path == a || path == b);
        for (int k = f.model.RowCount(); k < 10'050; ++k)
            f.Add(k % 5 ? u"/none"_s : u"/gone/%1"_s.arg(k), k % 5 == 0);
        f.TestModel();
        QStringList staying = f.Colours();
        f.requests.Send(f.dialogs);
        QCOMPARE(f.dialogs.questions.last().paths.size(), 2 + 2'008);
        QCOMPARE(f.dialogs.questions.last().paths.mid(0, 3), (QStringList{b, a, u"/gone/10"_s}));
        QVERIFY(!QFile::exists(a) && !QFile::exists(b) && !FindInTrash(b).isEmpty());
        QVERIFY(QFile::exists(c) && QFile::exists(otherCase));
        QCOMPARE(f.dialogs.reasons.size(), 2'008);
        QCOMPARE(f.Paths(), QStringList({c, otherCase, c}) + QStringList(8'035, u"/none"_s));
        staying.removeIf([&](const QString& row) {
            return row.startsWith(a) || row.startsWith(b) || row.startsWith(u"/gone"_s);
        });
        QCOMPARE(f.Colours(), staying);
    }

    void failuresAreReportedAndOnlyGoneFilesLeaveTheList() {
        Fixture f;
        f.TestModel();
        const QString vanished = f.MakeFile(u"vanished.mp3"_s);
        const QString moved = f.MakeFile(u"moved.mp3"_s);
        const QString late = f.MakeFile(u"late.mp3"_s);
        // The row was a file; a folder by that name now is not what the user picked.
        const QString nowFolder = QFileInfo(f.MakeFile(u"photo.jpg/inside"_s)).path();
        const QString stuck = f.MakeFile(u"locked/stuck.mp3"_s);
        const QString locked = QFileInfo(stuck).path();
        for (const QString& path : {stuck, vanished, moved, nowFolder, stuck, vanished, late})
            f.Add(path, true);
        QVERIFY(QFile::remove(vanished));
        f.dialogs.cancelAt = 4;  // the last file of the request: `late`
        if (!SetLocked(locked, true))
            QSKIP("No way to make a folder unwritable here.");
        {
            const auto unlock = qScopeGuard([&] { SetLocked(locked, false); });
            f.requests.Send(f.dialogs);
        }
        QHash<QString, QString>& why = f.dialogs.reasons;  // and the Trash writer's for `stuck`
        QVERIFY(f.dialogs.reports == 1 && why.size() == 4 &&
                why[vanished].contains(u"no longer exists"_s) &&
                why[nowFolder].contains(u"folder"_s) && why[late].contains(u"cancelled"_s));
        QVERIFY(QFile::exists(stuck) && QFile::exists(late) && QFileInfo(nowFolder).isDir());
        QVERIFY(FindInTrash(stuck).isEmpty() && !FindInTrash(moved).isEmpty());
        QCOMPARE(f.Paths(), (QStringList{stuck, nowFolder, stuck, late}));
        QCOMPARE(f.Marks(), u"1111"_s);
    }

    // What can come back does, its rows with their marks and colours, and a kept row keeps its
    // new mark; the rest stays where it is, named in one report. One step only.
    void undoPutsBackWhatItCanWithItsRows() {
        Fixture f;
        f.TestModel();
        const QString a = f.MakeFile(u"undo-a.mp3"_s, "a");
        const QString kept = f.MakeFile(u"undo-kept.mp3"_s);
        const QString b = f.MakeFile(u"undo-b.mp3"_s, "b");
        const QString folderGone = f.MakeFile(u"sub/undo-d.mp3"_s);
        const QString left = f.MakeFile(u"undo-left.mp3"_s);
        const QString gone = f.MakeFile(u"undo-gone.mp3"_s);
        for (const QString& path : {a, kept, a, b, folderGone, left, gone})
            f.Add(path, path != kept);
        const QStringList colours = f.Colours();
        QVERIFY(QFile::remove(gone));  // so the request fails in part
        QCOMPARE(f.requests.Send(f.dialogs).outcome.moved.size(), 4);
        QCOMPARE(f.Paths(), QStringList{kept});
        // Meanwhile one path is taken again, one folder is gone, one file has left the Trash.
        QVERIFY(f.MakeFile(u"undo-b.mp3"_s, "new") == b);
        QVERIFY(QDir(f.folder.filePath(u"sub"_s)).removeRecursively());
        QVERIFY(QFile::remove(FindInTrash(left)));
        f.model.SetCheckedByText(kept, true);
        f.requests.Undo(f.dialogs);
        QCOMPARE(f.Colours(), colours.first(3));
        QCOMPARE(f.Marks(), u"111"_s);
        QVERIFY(QFileInfo(a).size() == 1 && FindInTrash(a).isEmpty());
        QVERIFY(QFileInfo(b).size() == 3 && !FindInTrash(b).isEmpty());
        QHash<QString, QString>& why =
            f.dialogs.reasons;  // `gone` from the request, then the undo's
        QVERIFY(f.dialogs.reports == 2 && why.size() == 4 && why[b].contains(u"Another file"_s) &&
                why[folderGone].contains(u"folder"_s) &&
                why[left].contains(u"no longer in the Trash"_s));
        QVERIFY(!f.requests.CanUndo());
    }

    // A keeper rewritten with as many bytes and its time put back has changed, and so has a copy
    // given other permissions.
    void rewrittenAndRepermittedFilesHaveChangedSinceCompared() {
        Fixture f;
        const QString keeper = f.MakeFile(u"keeper.mp3"_s, "11", 1);
        const QString copy = f.MakeFile(u"copy.mp3"_s, "11", 2);
        const QString other = f.MakeFile(u"other.mp3"_s, "11", 3);
        for (const QString& path : {keeper, copy, other})
            f.Add(path, false, 1, 2, f.model.RowCount() + 1);
        f.Compare();
        QCOMPARE(f.model.CheckAllBut(KeeperRule::Oldest), 1);
        QTest::qWait(50);  // change times move by clock ticks
        QVERIFY(f.MakeFile(u"keeper.mp3"_s, "22", 1) == keeper);
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner));
        const TrashQuestion& asked = f.Ask();
        QCOMPARE(asked.withoutCopy, (QStringList{copy, other}));
        QCOMPARE(asked.changed, QStringList{copy});
    }

    void fileAnUndoPutBackIsAsCompared() {
        Fixture f;
        const QString keeper = f.MakeFile(u"keeper.mp3"_s, "11", 1);
        const QString other = f.MakeFile(u"other.mp3"_s, "11", 2);
        for (const QString& path : {keeper, other})
            f.Add(path, path == other, 1, 2, f.model.RowCount() + 1);
        f.Compare();
        QTest::qWait(50);  // change times move by clock ticks
        f.requests.Send(f.dialogs);
        f.requests.Undo(f.dialogs);
        QVERIFY(QFile::exists(other) && f.Marks() == u"01"_s);
        const TrashQuestion& asked = f.Ask();
        QCOMPARE(asked.withoutCopy, QStringList{});
        QVERIFY(asked.changed.isEmpty());
    }

    // A file not here is never checked, by a click, its folder or a helper, nor ever requested,
    // even when its row arrives checked; it has no folder here to protect.
    void fileNotHereIsNeverCheckedOrRequested() {
        Fixture f;
        f.AddElsewhere(f.folder.filePath(u"a.jpg"_s), 4, true);
        f.Add(f.MakeFile(u"a.jpg"_s, "same"), false, 1, 4);
        const QString key = f.model.Row(0).path;
        QCOMPARE(key, u"nas: Backup\n"_s + f.folder.filePath(u"a.jpg"_s));
        QVERIFY(!(f.model.flags(f.model.index(0, 0)) & Qt::ItemIsUserCheckable));
        f.model.UncheckAll();
        f.model.SetCheckedByText(key, true);
        RunRowCommand(f.model, RowCommand::CheckFolder, 1);
        RunRowCommand(f.model, RowCommand::ProtectFolder, 0);
        QCOMPARE(f.Marks(), u"01"_s);
        QVERIFY(f.model.Protected().Folders().isEmpty());
        f.AddElsewhere(u"/media/nas/b.jpg"_s, 4, true);
        QCOMPARE(f.model.UniqueCheckedPaths(), QStringList{f.model.Row(1).path});
    }

    // Compared with the fingerprint a saved inventory holds, the copy on another machine joins the
    // file here "by fingerprint", is kept by the helpers, and the question says where it is.
    void copyElsewhereByFingerprintStaysAndIsNamed() {
        Fixture f;
        const QString here = f.MakeFile(u"a.jpg"_s, "same");
        f.Add(here, false, 1, 4);
        f.AddElsewhere(u"/media/nas/a.jpg"_s, 4);
        auto recorded = std::make_shared<RecordedFingerprints>();
        recorded->byRecord.insert(7, QCryptographicHash::hash("same", QCryptographicHash::Sha256));
        f.model.SetRecordedFingerprints(recorded);
        ListComparison comparison(f.model);
        QSignalSpy ended(&comparison, &ListComparison::Ended);
        QVERIFY(comparison.Start({}));
        QVERIFY(ended.wait(10000));
        QCOMPARE(f.model.CopySummary().sets, 1);
        QCOMPARE(f.model.CheckAllBut(KeeperRule::Oldest), 1);
        QCOMPARE(f.Marks(), u"10"_s);
        const TrashQuestion& asked = f.Ask();
        QVERIFY(asked.withoutCopy.isEmpty() && !asked.Warns());
        QCOMPARE(asked.onlyCopyElsewhere.size(), 1);
        QCOMPARE(asked.onlyCopyElsewhere.first(), std::make_pair(here, u"nas: Backup"_s));
    }

    void stoppedComparisonLeavesTheListAsItWas() {
        Fixture f;
        QSemaphore read, gate;
        ContentsOptions options;
        options.afterRead = [&](const QString&, qint64) {
            read.release();
            gate.acquire();
        };
        ListComparison comparison(f.model, options);
        for (const QString& name : {u"a"_s, u"b"_s})
            f.Add(f.MakeFile(name, "same", 1), name == u"b", 1, 4, 1);
        bool then = false;
        QSignalSpy ended(&comparison, &ListComparison::Ended);
        QVERIFY(comparison.Start([&then] { then = true; }));
        QVERIFY(read.tryAcquire(1, 10000));
        comparison.Stop();
        gate.release(100);
        QVERIFY(ended.wait(10000));
        QVERIFY(!then && !comparison.IsRunning() && !f.model.ContentsCompared());
        QCOMPARE(f.Marks(), u"01"_s);
    }

    // What tallyrook-cli --select checks is what the window's helper checks, on the same tree:
    // hard links, empty files, a tie and a protected folder.
    void cliCheckedEqualsTheHelper_data() {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<int>("keeper");
        QTest::newRow("newest") << u"newest"_s << int(KeeperRule::Newest);
        QTest::newRow("oldest") << u"oldest"_s << int(KeeperRule::Oldest);
        QTest::newRow("largest") << u"largest"_s << int(KeeperRule::Largest);
        QTest::newRow("shortest") << u"shortest"_s << int(KeeperRule::ShortestPath);
    }
    void cliCheckedEqualsTheHelper() {
        QFETCH(QString, rule);
        QFETCH(int, keeper);
        Fixture f;
        const std::tuple<const char*, QByteArray, int> files[] = {
            {"Photos/2019/a.jpg", "aa", 1}, {"Export/a (1).jpg", "aa", 9},
            {"Export/b.jpg", "bb", 2},      {"Backup/long name/b.jpg", "bb", 3},
            {"Backup/c.txt", "cc", 4},      {"Other/c.txt", "cc", 4},
            {"Export/e1", {}, 1},           {"Backup/e2", {}, 2},
            {"Other/d.txt", "dd", 5}};
        for (const auto& [name, content, day] : files)
            QVERIFY(!f.MakeFile(QString::fromLatin1(name), content, day).isEmpty());
        QVERIFY(::link(QFile::encodeName(f.folder.filePath(u"Export/b.jpg"_s)),
                       QFile::encodeName(f.folder.filePath(u"Other/b link.jpg"_s))) == 0);
        const QString protect = f.folder.filePath(u"Photos"_s);

        QProcess cli;
        cli.start(QStringLiteral(TALLYROOK_CLI_PATH),
                  {u"--size"_s, u"--contents"_s, u"--protect"_s, protect, u"--select"_s, rule,
                   u"--tsv"_s, f.folder.path()});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QStringList byCli;
        for (const QString& line : QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n')) {
            if (!line.isEmpty())
                byCli.append(line.section(u'\t', 0, 0) + u' ' + line.section(u'\t', -1));
        }

        test::RecordingHost host;
        host.folderEntries = {f.folder.path()};
        host.options.criteria = {false, true, false};
        Global global;
        QCOMPARE(RunSearch(host, global, f.model, host.options), RunOutcome::ResultsShown);
        f.Compare();
        f.model.Protect(protect + u'/');
        QCOMPARE(f.model.CheckAllBut(KeeperRule(keeper)), 3);
        const QStringList byHelper = f.All([&f](int k) -> QString {
            return f.model.Row(k).path + (f.model.IsChecked(k) ? u" 1"_s : u" 0"_s);
        });
        QCOMPARE(byCli, byHelper);
        QVERIFY(byHelper.contains(protect + u"/2019/a.jpg 0"_s));
    }
};

TALLYROOK_TEST_MAIN(TestListActions)
#include "test_list_actions.moc"
