#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <atomic>
#include <future>
#include <memory>

#include "contents/contents_check.h"
#include "contents/contents_file.h"
#include "shared/descriptors.h"
#include "support/hung_view.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 MiB = 1 << 20;

using test::Pattern;

QString Verdict(const ContentsResult& result) {
    switch (result.state) {
        case CopyState::HasCopies:
            return QString::number(result.copySet) + u'/' + QString::number(result.otherCopies);
        case CopyState::NoCopy:
            return u"no"_s;
        case CopyState::NotCompared:
            break;
    }
    static const char* const reasons[] = {"?",       "unreadable", "vanished", "changed",
                                          "notfile", "samefile",   "stopped"};
    return QString::fromLatin1(reasons[int(result.reason)]);
}

}  // namespace

class TestContents : public QObject {
    Q_OBJECT

    std::optional<test::TempTree> tree;
    QStringList names;  // the list's entries, below the tree
    ContentsResults results;

    void Write(const QString& name, const QByteArray& bytes) { tree->write(name, bytes); }
    QList<ContentsFile> Entries() const {
        QList<ContentsFile> files;
        for (const QString& name : names) {
            const QFileInfo info(tree->path(name));
            files.append({tree->path(name), info.size(), info.lastModified().toUTC()});
        }
        return files;
    }
    // `pairs` pairs of copies "aK" and "bK", listed, of `size` + K bytes.
    void WritePairs(int pairs, qint64 size) {
        for (int k = 0; k < pairs; ++k) {
            Write(u"a%1"_s.arg(k), Pattern(size + k));
            Write(u"b%1"_s.arg(k), Pattern(size + k));
            names << u"a%1"_s.arg(k) << u"b%1"_s.arg(k);
        }
    }
    // A check of the list, started, that asks itself to stop at its `at`th read; `reads` counts
    // them and must outlive it.
    std::unique_ptr<ContentsCheck> StartStoppingAt(int at, std::atomic<int>& reads,
                                                   ContentsOptions options = {}) {
        auto running = std::make_shared<ContentsCheck*>(nullptr);
        options.afterRead = [&reads, at, running](const QString&, qint64) {
            if (++reads == at)
                (*running)->RequestStop();
        };
        auto check = std::make_unique<ContentsCheck>(Entries(), options);
        *running = check.get();
        check->Start();
        return check;
    }
    // "name=verdict ...": the copy set and its other paths, "no" copy, or why not compared.
    QString Verdicts(const QList<ContentsFile>& files, ContentsOptions options = {}) {
        results = CheckContents(files, std::move(options));
        QStringList verdicts;
        for (size_t k = 0; k < results.files.size(); ++k)
            verdicts.append(names.value(qsizetype(k)) + u'=' + Verdict(results.files[k]));
        return verdicts.join(u' ');
    }
    QString Verdicts(ContentsOptions options = {}) {
        return Verdicts(Entries(), std::move(options));
    }

private Q_SLOTS:
    void init() {
        tree.emplace();
        names.clear();
    }

    // Only identical files share a set; each byte of them is read once, and a pair that differs in
    // its first chunk is not read further.
    void differences_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("differs");  // the offset of the byte that differs; -1: none
        QTest::addColumn<qint64>("readAtMost");
        QTest::newRow("identical, 1 byte") << 1LL << -1LL << 2LL;
        QTest::newRow("identical, 3 MiB") << 3 * MiB << -1LL << 6 * MiB;
        QTest::newRow("first byte, 3 MiB") << 3 * MiB << 0LL << 2 * 4096LL;
        QTest::newRow("middle byte, 3 MiB") << 3 * MiB << 3 * MiB / 2 << 5 * MiB;
        QTest::newRow("last byte, 3 MiB") << 3 * MiB << 3 * MiB - 1 << 6 * MiB;
        QTest::newRow("last byte, 5000 bytes") << 5000LL << 4999LL << 10000LL;
    }
    void differences() {
        QFETCH(qint64, size);
        QFETCH(qint64, differs);
        QFETCH(qint64, readAtMost);
        QByteArray bytes = Pattern(size);
        Write(u"a"_s, bytes);
        if (differs >= 0)
            bytes[differs] = char(bytes[differs] ^ 0x80);
        Write(u"b"_s, bytes);
        names = {u"a"_s, u"b"_s};
        QCOMPARE(Verdicts(), differs < 0 ? u"a=1/1 b=1/1"_s : u"a=no b=no"_s);
        if (differs < 0)
            QCOMPARE(results.bytesRead, readAtMost);
        QVERIFY2(results.bytesRead <= readAtMost, qPrintable(QString::number(results.bytesRead)));
    }

    // Offsets past 32 bits, cheaply: where both have a hole, both read zeros and need no read.
    void sparse4GiBPairDifferingAtTheEnd() {
        constexpr qint64 size = 4LL << 30;
        tree->file(u"a"_s, size);
        tree->file(u"b"_s, size);
        QFile b(tree->path(u"b"_s));
        QVERIFY(b.open(QIODevice::ReadWrite) && b.seek(size - 1) && b.write("x", 1) == 1);
        b.close();
        names = {u"a"_s, u"b"_s};
        QCOMPARE(Verdicts(), u"a=no b=no"_s);
        QVERIFY(results.bytesRead <= 2 * MiB);
    }

    // A path listed by several passes is one file; sets are numbered in list order.
    void repeatedPathsAndSetNumbers() {
        Write(u"x1"_s, Pattern(9000, 1));
        Write(u"x2"_s, Pattern(9000, 1));
        Write(u"y1"_s, Pattern(9000, 2));
        Write(u"y2"_s, Pattern(9000, 2));
        names = {u"y1"_s, u"x1"_s, u"y1"_s, u"x2"_s, u"y2"_s};
        QCOMPARE(Verdicts(), u"y1=1/1 x1=2/1 y1=1/1 x2=2/1 y2=1/1"_s);
        QCOMPARE(results.copySets, 2);
        QCOMPARE(results.bytesRead, 4 * 9000);
    }

    void hardLinksAloneInTheirSizeAreASetWithoutARead() {
        Write(u"a"_s, Pattern(7000));
        tree->hardLink(u"link"_s, u"a"_s);
        Write(u"other"_s, Pattern(6000));
        names = {u"a"_s, u"other"_s, u"link"_s};
        QCOMPARE(Verdicts(), u"a=1/1 other=no link=1/1"_s);
        QCOMPARE(results.bytesRead, 0);
        QCOMPARE(results.files[0].identity, results.files[2].identity);
    }

    void hardLinksAreReadOnceWithTheirCopies() {
        Write(u"a"_s, Pattern(20'000));
        Write(u"copy"_s, Pattern(20'000));
        Write(u"different"_s, Pattern(20'000, 1));
        tree->hardLink(u"link"_s, u"a"_s);
        names = {u"a"_s, u"link"_s, u"copy"_s, u"different"_s};
        QCOMPARE(Verdicts(), u"a=1/2 link=1/2 copy=1/2 different=no"_s);
        QCOMPARE(results.bytesRead, 2 * 20'000 + 4096);
    }

    // Trashing "one of them" would trash both: the second path is no copy.
    void folderListedTwiceThroughALinkIsOneFile() {
        tree->dir(u"A"_s);
        tree->link(u"L"_s, tree->path(u"A"_s));
        Write(u"A/f"_s, Pattern(5000));
        Write(u"A/g"_s, Pattern(5000));
        names = {u"A/f"_s, u"L/f"_s, u"A/g"_s};
        QCOMPARE(Verdicts(), u"A/f=1/1 L/f=samefile A/g=1/1"_s);
    }

    // A FUSE view may give two different files one device and inode, and the same looks: they are
    // read apart, not joined as hard links (which would make b a copy of a and c the same file).
    // There a path is one file only by its name: listed again it is the same, and reached through
    // "." it is no copy of itself.
    void filesOfOneInodeOnAFuseViewAreReadApart() {
        if (!QFile::exists(u"/dev/fuse"_s))
            QSKIP("FUSE is not available here");
        const QDateTime written = QDateTime::fromSecsSinceEpoch(1'600'000'000, Qt::UTC);
        for (const auto& [name, seed] : {std::pair{u"a"_s, 0}, {u"b"_s, 0}, {u"c"_s, 1}})
            tree->write(u"disks/"_s + name, Pattern(5000, seed), written);
        tree->dir(u"view"_s);
        QProcess view;
        view.start(QStringLiteral(TALLYROOK_ONE_INODE_FS),
                   {tree->path(u"disks"_s), tree->path(u"view"_s)});
        const auto unmounted = qScopeGuard([&] {
            for (const QString& unmount : {u"fusermount3"_s, u"fusermount"_s})
                if (QProcess::execute(unmount, {u"-u"_s, tree->path(u"view"_s)}) == 0)
                    break;
            if (!view.waitForFinished(10'000))
                view.kill();
            view.waitForFinished();
        });
        QVERIFY(QTest::qWaitFor(
            [&] {
                return view.state() == QProcess::NotRunning ||
                       QFileInfo(tree->path(u"view/a"_s)).isFile();
            },
            10'000));
        if (view.error() == QProcess::FailedToStart || view.exitCode() == 77)
            QSKIP("python3-fusepy is missing, or FUSE cannot mount here");
        QVERIFY2(view.state() == QProcess::Running, view.readAllStandardError().constData());
        names = {u"view/a"_s, u"view/b"_s, u"view/c"_s, u"view/a"_s, u"view/./b"_s};
        QCOMPARE(Verdicts(), u"view/a=1/1 view/b=1/1 view/c=no view/a=1/1 view/./b=samefile"_s);
        QCOMPARE(results.bytesRead, 3 * 5000);
        QVERIFY(results.files[0].file != results.files[1].file);
    }

    void emptyFilesAreCopiesWithoutARead() {
        tree->file(u"e1"_s);
        tree->file(u"e2"_s);
        Write(u"one"_s, "1");
        names = {u"e1"_s, u"one"_s, u"e2"_s};
        QCOMPARE(Verdicts(), u"e1=1/1 one=no e2=1/1"_s);
        QCOMPARE(results.bytesRead, 0);
    }

    // What cannot be read as listed is never called a copy, and its partner has none.
    void notCompared_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("vanished") << u"remove"_s << u"vanished"_s;
        QTest::newRow("now a fifo") << u"fifo"_s << u"notfile"_s;
        QTest::newRow("now a link") << u"link"_s << u"notfile"_s;
        QTest::newRow("size changed since listed") << u"size"_s << u"changed"_s;
        QTest::newRow("written since listed") << u"time"_s << u"changed"_s;
        QTest::newRow("unreadable") << u"lock"_s << u"unreadable"_s;
    }
    void notCompared() {
        QFETCH(QString, change);
        QFETCH(QString, verdict);
        Write(u"a"_s, Pattern(5000));
        Write(u"b"_s, Pattern(5000));
        names = {u"a"_s, u"b"_s};
        QList<ContentsFile> files = Entries();
        const QByteArray b = QFile::encodeName(tree->path(u"b"_s));
        if (change != u"size" && change != u"time" && change != u"lock")
            QVERIFY(::unlink(b) == 0);
        if (change == u"fifo")
            tree->rawFile("b", S_IFIFO);
        if (change == u"link")
            tree->link(u"b"_s, tree->path(u"a"_s));
        if (change == u"size")
            files[1].size = 4999;
        if (change == u"time")
            files[1].modified = files[1].modified.addSecs(-1);
        if (change == u"lock") {
            QVERIFY(::chmod(tree->rawRoot(), 0755) == 0 && ::chmod(b, 0) == 0);
            ::setfsuid(65534);  // as nobody, root's permission bypass is gone (this thread only)
        }
        const QString verdicts = Verdicts(files);
        ::setfsuid(::geteuid());
        QCOMPARE(verdicts, u"a=no b="_s + verdict);
        // Only the locked file's partner was read, until its partner failed.
        QCOMPARE(results.bytesRead, change == u"lock" ? 5000 : 0);
    }

    // Grown, or its path then naming another file with the same bytes: not what was read.
    void changedWhileRead_data() {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("grows") << false;
        QTest::newRow("replaced by a file with the same bytes") << true;
    }
    void changedWhileRead() {
        QFETCH(bool, replaced);
        for (const QString& name : {u"a"_s, u"b"_s, u"new"_s})
            Write(name, Pattern(64 * 1024));
        names = {u"a"_s, u"b"_s};
        ContentsOptions options;
        options.maxChunk = 4096;
        options.afterRead = [this, replaced](const QString& path, qint64 offset) {
            QFile b(tree->path(u"b"_s));
            if (path != b.fileName() || offset != 8192)
                return;
            if (replaced)
                QVERIFY(::rename(QFile::encodeName(tree->path(u"new"_s)),
                                 QFile::encodeName(path)) == 0);
            else
                QVERIFY(b.open(QIODevice::Append) && b.write("more") == 4);
        };
        QCOMPARE(Verdicts(options), u"a=no b=changed"_s);
    }

    // Read in step, all open at once they would need 5,000 descriptors and their chunks 20 MB.
    void fiveThousandSameSizeFilesUnderALowDescriptorLimit() {
        constexpr int count = 5000;
        constexpr qint64 size = 3 * 4096 + 8;
        QList<ContentsFile> files;
        for (int k = 0; k < count; ++k) {
            // The same but for the last bytes; file k and k + 2500 identical.
            QByteArray bytes = Pattern(size);
            bytes.replace(size - 8, 8, QByteArray::number(k % (count / 2)).rightJustified(8));
            Write(QString::number(k), bytes);
            files.append({tree->path(QString::number(k)), size, {}});
        }
        rlimit saved{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
        rlimit low = saved;
        low.rlim_cur = 48;
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &low) == 0);
        results = CheckContents(files);
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
        QCOMPARE(results.copySets, count / 2);
        for (int k = 0; k < count; ++k) {
            const ContentsResult& result = results.files[size_t(k)];
            QCOMPARE(Verdict(result), u"%1/1"_s.arg(results.files[size_t(k % 2500)].copySet));
        }
        // Each file once, and some last chunks again: 2,500 of them do not fit in memory at once.
        QVERIFY(results.bytesRead <= count * size * 12 / 10);
    }

    // The programs raise a low limit at start, within the hard one, and never lower it.
    void descriptorLimitRaisedNeverLowered() {
        rlimit saved{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
        const auto restored = qScopeGuard([&] { ::setrlimit(RLIMIT_NOFILE, &saved); });
        if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < 600)
            QSKIP("the hard limit is too low to raise to");
        rlimit low = saved;
        low.rlim_cur = 100;
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &low) == 0);
        QCOMPARE(DescriptorShare(4, 1, 256), 25);
        RaiseDescriptorLimit(600);
        rlimit now{};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &now) == 0);
        QCOMPARE(now.rlim_cur, rlim_t(600));
        QCOMPARE(DescriptorShare(4, 1, 256), 150);
        RaiseDescriptorLimit(200);
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &now) == 0);
        QCOMPARE(now.rlim_cur, rlim_t(600));
    }

    // Stop ends the check before its next read, and leaves no thread behind. Sets concluded
    // before it keep their verdicts; the rest are not compared.
    void stoppedHalfWay() {
        WritePairs(20, 1000);
        std::atomic<int> reads{0};
        ContentsOptions options;
        options.readers = 1;
        const std::unique_ptr<ContentsCheck> started = StartStoppingAt(5, reads, options);
        ContentsCheck& check = *started;
        QVERIFY(check.Wait());
        check.Stop();
        QCOMPARE(reads.load(), 5);
        const ContentsResults& stopped = check.Results();
        QVERIFY(stopped.stopped);
        QStringList verdicts;
        for (const ContentsResult& result : stopped.files)
            verdicts.append(Verdict(result));
        QCOMPARE(verdicts.filter(u"/1"_s).size(), 4);
        QCOMPARE(verdicts.filter(u"stopped"_s).size(), 36);
        const ContentsProgress progress = check.Progress();
        QCOMPARE(progress.filesTotal, 40);
        QCOMPARE(progress.filesDone, 4);
    }

    // Readers that take sizes in turn find what one reader finds, and read no byte twice: sizes
    // with copies, near-copies parted at the head, middle and tail, hard links, empty files.
    void parallelCheckMatchesOneReader() {
        int sets = 1;  // the empty files
        for (int k = 0; k < 24; ++k) {
            const qint64 size = 3000 + k * 9973;
            const QByteArray bytes = Pattern(size, k);
            QByteArray near = bytes;
            const qint64 at = k % 4 == 1 ? 0 : k % 4 == 2 ? size / 2 : size - 1;
            near[at] = char(near[at] ^ 1);
            Write(u"a%1"_s.arg(k), bytes);
            Write(u"b%1"_s.arg(k), k % 4 == 0 ? bytes : near);
            names << u"b%1"_s.arg(k) << u"a%1"_s.arg(k);
            if (k % 3 == 0) {
                Write(u"c%1"_s.arg(k), bytes);
                names << u"c%1"_s.arg(k);
            }
            sets += k % 4 == 0 || k % 3 == 0;
        }
        tree->hardLink(u"link"_s, u"a7"_s);
        tree->file(u"e1"_s);
        tree->file(u"e2"_s);
        names << u"e1"_s << u"link"_s << u"e2"_s;
        ++sets;  // a7 and its link
        // Written out, so that a file system that can tell where files lie does.
        const int root = ::open(tree->rawRoot().constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(root >= 0 && ::syncfs(root) == 0 && ::close(root) == 0);
        ContentsOptions one;
        one.readers = 1;
        const QString alone = Verdicts(one);
        const qint64 read = results.bytesRead;
        QCOMPARE(results.copySets, sets);
        QCOMPARE(Verdicts(), alone);
        QCOMPARE(results.copySets, sets);
        QCOMPARE(results.bytesRead, read);
    }

    // Every reader ends at its next read; a pair is concluded whole or not compared at all.
    void stoppedDuringAParallelCheck() {
        constexpr int pairs = 40;
        WritePairs(pairs, 5000);
        std::atomic<int> reads{0};
        const std::unique_ptr<ContentsCheck> started = StartStoppingAt(10, reads);
        ContentsCheck& check = *started;
        QVERIFY(check.Wait(30'000));
        QVERIFY(check.Results().stopped);
        QVERIFY2(reads <= 10 + 7, qPrintable(QString::number(reads)));
        int concluded = 0;
        for (int k = 0; k < pairs; ++k) {
            const ContentsResult& a = check.Results().files[size_t(2 * k)];
            QCOMPARE(Verdict(check.Results().files[size_t(2 * k + 1)]), Verdict(a));
            concluded += a.state == CopyState::HasCopies;
            QVERIFY(a.state == CopyState::HasCopies || a.reason == NotComparedReason::Stopped);
        }
        QVERIFY(concluded >= 1 && concluded < pairs);
        QCOMPARE(check.Results().copySets, concluded);
        QCOMPARE(check.Progress().filesDone, 2 * concluded);
    }

    // Where the file system cannot tell where a file lies (tmpfs), the one reader goes by file
    // number instead, as exact.
    void oneReaderWhereFilesHaveNoPlaces() {
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", "/dev/shm");
        tree.emplace();
        qputenv("TMPDIR", saved);
        if (saved.isEmpty())
            qunsetenv("TMPDIR");
        if (!tree->root().startsWith(u"/dev/shm/"_s))
            QSKIP("no tmpfs at /dev/shm");
        for (const QString& name : {u"a"_s, u"b"_s, u"d"_s})
            Write(name, Pattern(20'000));
        QByteArray near = Pattern(20'000);
        near[19'999] = 'x';
        Write(u"c"_s, near);
        Write(u"e"_s, Pattern(9000));
        Write(u"f"_s, Pattern(9000, 1));
        QCOMPARE(contents_detail::PhysicalOffset(tree->path(u"a"_s)), -1);
        names = {u"f"_s, u"d"_s, u"c"_s, u"e"_s, u"b"_s, u"a"_s};
        ContentsOptions one;
        one.readers = 1;
        QCOMPARE(Verdicts(one), u"f=no d=1/2 c=no e=no b=1/2 a=1/2"_s);
        QCOMPARE(results.bytesRead, 4 * 20'000 + 2 * 4096);
    }

    // Where a server answers the reads, no read-ahead hint is given (the next open would wait,
    // unkillable, for the pages it asked for); and a check stuck in a read that never answers is
    // left to end on its own when it goes, rather than holding up a Stop or a closing window.
    void shareThatDoesNotAnswer() {
        Write(u"a"_s, Pattern(70'000));
        Write(u"b"_s, Pattern(70'000));
        test::HungView view(tree->root());
        if (!view.Missing().isEmpty())
            QSKIP(qPrintable(view.Missing()));
        QVERIFY(contents_detail::OnLocalFileSystem(tree->path(u"a"_s)));
        QVERIFY(!contents_detail::OnLocalFileSystem(view.path(u"a"_s)));
        auto check = std::make_unique<ContentsCheck>(
            QList<ContentsFile>{{view.path(u"a"_s), 70'000, {}}, {view.path(u"b"_s), 70'000, {}}});
        check->Start();
        QVERIFY(view.WaitFor("waits"));
        auto gone = std::async(std::launch::async, [&check] { check.reset(); });
        // Only a watchdog: ending the view ends the read, and a wait for it.
        const bool left = gone.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        view.End();
        QVERIFY(left);
    }

    void progressReachesItsTotals() {
        Write(u"a"_s, Pattern(70'000));
        Write(u"b"_s, Pattern(70'000, 1));
        Write(u"c"_s, Pattern(80'000));
        names = {u"a"_s, u"b"_s, u"c"_s, u"a"_s};
        ContentsCheck check(Entries());
        check.Start();
        QVERIFY(check.Wait());
        const ContentsProgress progress = check.Progress();
        QCOMPARE(progress.filesDone, 3);
        QCOMPARE(progress.filesTotal, 3);
        QCOMPARE(progress.bytesTotal, 140'000);
        QCOMPARE(progress.bytesDone, 140'000);
        QVERIFY(!check.Results().stopped);
    }
};

TALLYROOK_TEST_MAIN(TestContents)
#include "test_contents.moc"
