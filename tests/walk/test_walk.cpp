#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#include <QDir>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>

#include "search/file_functions.h"
#include "walk/walk.h"
#ifndef TALLYROOK_PORTABLE
#include "walk/read_ahead.h"
#endif
#include "shared/global.h"
#include "support/recording_host.h"
#include "support/reference_rule.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

using test::Portable;

// The records in order, as "path=size" below `root`; the size is empty when none was read.
QString Recorded(const Global& global, const QString& root) {
    QStringList records;
    for (qsizetype k = 0; k < global.inventory.FileCount(); ++k)
        records.append(global.inventory.FullPath(k).sliced(root.size() + 1) + u'=' +
                       global.inventory.FileSizeText(k));
    return records.join(u' ');
}

// Descriptors open in the process, to see that none is left behind.
int OpenDescriptors() {
    return int(QDir(u"/proc/self/fd"_s).entryList(QDir::Files | QDir::System).size());
}

// A read-ahead at its smallest: every limit binds, and folders fall back to the walk.
constexpr ReadAheadLimits Tight{3, 2, 256, 4};

}  // namespace

class TestWalk : public QObject {
    Q_OBJECT

    std::optional<test::TempTree> tree;
    QString root;
    Global global;
    test::RecordingHost host;
    WalkedFolders walked;

    StepResult Walk(const QString& entry) {
        return AnalyzeFolder(entry, host, global, walked, host.options);
    }

    void Fresh(qsizetype capacity = FileInventory::InventoryCapacity) {
        global = Global(capacity);
        host = test::RecordingHost();
        walked = WalkedFolders();
    }

private Q_SLOTS:
    void init() {
        tree.emplace();
        root = tree->root();
        Fresh();
    }

    // Records folder by folder in depth-first pre-order, Exact Filesize read as the walk begins
    // and at every record (here ticked once two are made); hidden entries are neither recorded
    // nor entered. A stop in the listing, before the third folder, keeps the folders listed so far.
    void exampleTree() {
        for (const char* name : {"r.txt", "A/a.txt", "A/A1/a1.txt", "B/b.txt", ".hidden",
                                 ".git/config", ".git/objects/x", "A/.DS_Store"})
            tree->file(QString::fromLatin1(name));
        const bool aFirst =
            QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted)[0] == u"A"_s;
        host.onEvents = [this](int) {
            host.options.criteria.exactFilesize = global.inventory.FileCount() >= 2;
        };
        QCOMPARE(Walk(root), StepResult::Completed);
        QCOMPARE(Recorded(global, root), aFirst ? u"r.txt= A/a.txt= A/A1/a1.txt=0 B/b.txt=0"_s
                                                : u"r.txt= B/b.txt= A/a.txt=0 A/A1/a1.txt=0"_s);
        Fresh();
        host.onEvents = [this](int) { host.stopRequested = global.inventory.FileCount() >= 2; };
        QCOMPARE(Walk(root), StepResult::Stopped);
        QCOMPARE(Recorded(global, root), aFirst ? u"r.txt= A/a.txt="_s : u"r.txt= B/b.txt="_s);
    }

    // Links (a cycle among them), a fifo, a folder that cannot be listed and entries that vanish
    // during the walk are left out or lose their size.
    void hostileEntries() {
        tree->file(u"music/big.iso"_s, (qint64(5) << 30) + 3);
        tree->link(u"music/loop"_s, tree->path(u"music"_s));
        tree->link(u"music/alias.iso"_s, tree->path(u"music/big.iso"_s));
        tree->link(u"music/broken"_s, tree->path(u"nowhere"_s));
        tree->rawFile("music/pipe", S_IFIFO);
        tree->dir(u"gone"_s);
        tree->file(u"late.txt"_s, 20);
        tree->file(u"locked/secret.txt"_s, 2);
        const QByteArray locked = QFile::encodeName(tree->path(u"locked"_s));
        QVERIFY(::chmod(tree->rawRoot().constData(), 0777) == 0 && ::chmod(locked, 0) == 0);
        // A folder goes before the subfolders are read, the first record's file before its size
        // is (Exact Filesize ticked after the enumeration: the listing pass reads the sizes).
        host.onEvents = [this](int n) {
            QVERIFY(n != 2 || QDir(root).rmdir(u"gone"_s));
            if (!host.options.criteria.exactFilesize && host.calls.contains(u"busy:1"_s)) {
                host.options.criteria.exactFilesize = true;
                QVERIFY(QFile::remove(tree->path(u"late.txt"_s)));
            }
        };
        ::setfsuid(65534);  // as nobody, root's permission bypass is gone (this thread only)
        const bool blocked = QDir(tree->path(u"locked"_s)).isEmpty();
        const StepResult result = Walk(root);
        ::setfsuid(0);
        ::chmod(locked, 0755);
        QCOMPARE(result, StepResult::Completed);
        QCOMPARE(Recorded(global, root).remove(u" locked/secret.txt=2"_s),
                 u"late.txt= music/big.iso=5368709123"_s);
        QCOMPARE(host.calls.filter(u"event:"_s).size(), host.calls.filter(u"Unreadable"_s).size());
        // Only the locked folder is worth a word (to the command line); the vanished one is not.
        // The portable walk asks Qt, which asks as the effective user.
        const bool reported = blocked && !(Portable && ::geteuid() == 0);
        QCOMPARE(host.calls.filter(u"event:"_s).join(u' '),
                 reported ? u"event:UnreadableFolder:"_s + tree->path(u"locked"_s) +
                                u":Permission denied"_s
                          : QString());
        // A dropped link to a folder is a folder, not a file whose folder gets listed instead.
        QVERIFY(IsFolder(tree->path(u"music/loop"_s)) && !IsFolder(tree->path(u"music/big.iso"_s)));
    }

    // Overlapping entries walk each folder once, the first spelling met keeping the records; none
    // ("-"), a missing folder and a file add nothing. A folder swapped for a link is not followed,
    // nor read a size through between the two passes.
    void entries_data() {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<int>("swapAtEvents");
        QTest::addColumn<QString>("records");
        const QString once = u"r.txt=1 A/a.txt=2 A/A1/a1.txt=3"_s;
        QTest::newRow("twice") << u"in in"_s << 0 << once;
        QTest::newRow("sub after parent") << u"in in/A/"_s << 0 << once;
        QTest::newRow("sub before parent")
            << u"in/A in"_s << 0 << u"A/a.txt=2 A/A1/a1.txt=3 r.txt=1"_s;
        QTest::newRow("link to a listed folder") << u"in link"_s << 0 << once;
        // The portable walk knows folders only by canonical path, so walks a bind mount twice.
        QTest::newRow("bind mount")
            << u"in bound"_s << 0
            << (Portable ? once + u" bound/a.txt=2 bound/A1/a1.txt=3"_s : once);
        QTest::newRow("nothing to walk") << u"- missing in/r.txt in"_s << 0 << once;
        // Events: 1 A, 2 before A1 is opened, 3 and 4 the listing of A and A1. At -4 the swap ticks
        // Exact Filesize too (the portable walk reads sizes by path, through the link).
        QTest::newRow("swapped before opened") << u"in/A"_s << 2 << u"A/a.txt=2"_s;
        if (!Portable)
            QTest::newRow("swapped, then sizes ticked")
                << u"in/A"_s << -4 << u"A/a.txt= A/A1/a1.txt="_s;
    }
    void entries() {
        QFETCH(QString, entries);
        QFETCH(int, swapAtEvents);
        QFETCH(QString, records);
        tree->file(u"in/r.txt"_s, 1);
        tree->file(u"in/A/a.txt"_s, 2);
        tree->file(u"in/A/A1/a1.txt"_s, 3);
        tree->file(u"elsewhere/a1.txt"_s, 9);
        tree->link(u"link"_s, tree->path(u"in"_s));
        host.options.criteria.exactFilesize = swapAtEvents >= 0;
        // The read-ahead might open A1 before the swap: these rows are the chain's own checks.
        if (swapAtEvents != 0)
            host.options.readAhead.workers = 0;
        host.onEvents = [&](int n) {
            if (n == std::abs(swapAtEvents)) {
                host.options.criteria.exactFilesize = true;
                QVERIFY(QDir(root).rename(u"in/A/A1"_s, u"moved"_s));
                tree->link(u"in/A/A1"_s, tree->path(u"elsewhere"_s));
            }
        };
        tree->dir(u"bound"_s);
        const QByteArray bound = QFile::encodeName(tree->path(u"bound"_s));
        const auto unmount = qScopeGuard([&] { ::umount2(bound.constData(), MNT_DETACH); });
        for (const QString& entry : entries.split(u' ')) {
            if (entry == u"bound" && ::mount(QFile::encodeName(tree->path(u"in/A"_s)), bound,
                                             nullptr, MS_BIND, nullptr) != 0)
                QSKIP("bind mounts need root (CAP_SYS_ADMIN) here");
            QCOMPARE(Walk(entry == u"-" ? QString() : tree->path(entry)), StepResult::Completed);
        }
        QCOMPARE(Recorded(global, root).remove(u"in/"_s), records);
        QVERIFY(host.calls.filter(u"event:"_s).isEmpty());
    }

    // Room for exactly the tree: no message. Room for seven: they stay, the walk says so last and
    // stops reading at the first file beyond (only the root and two of 200 subfolders listed),
    // and sizes ticked then are the root's own, not those of the subfolder it stopped in.
    void inventoryCap() {
        for (int i = 0; i < 1000; ++i)
            tree->file(u"sub%1/f%2"_s.arg(i / 5).arg(i % 5));
        for (const int room : {1000, 7}) {
            Fresh(room + 1);
            global.inventory.AddRecord(u"/earlier/"_s, u"x"_s, 1);
            const bool full = room == 7;
            if (full) {
                tree->file(u"f0"_s, 3);
                host.onEvents = [this](int) {
                    host.options.criteria.exactFilesize |= host.calls.contains(u"busy:1"_s);
                };
            }
            QCOMPARE(Walk(root), full ? StepResult::Full : StepResult::Completed);
            QCOMPARE(global.inventory.FileCount(), room + 1);
            QCOMPARE(host.calls.filter(u"event:"_s).size(), int(full));
            QVERIFY(!full || host.calls.last() == u"event:InventoryFull:8"_s);
            QVERIFY(!full || host.calls.filter(u"progress:"_s).size() == 1 + 3);
            QVERIFY(!full || global.inventory.FileSizes.at(1) == 3);
        }
    }

    // A name is recorded as the bytes on disk say, or reported and left out when it is not UTF-8
    // (overlong and surrogate encodings included). A leading byte-order mark is part of the name:
    // "\uFEFF.key" is no hidden ".key", and a folder-list entry that begins with it is that folder.
    void namesKeptByteForByte() {
        if (Portable)
            QSKIP("the portable walk's names are always Unicode");
        tree->file(u"sub/ok\u00e9\u6f22.txt"_s);
        QVERIFY(::mkdir(QByteArray(tree->rawRoot() + "/dir\xe9"), 0755) == 0);
        for (const char* name : {"bad\xff.txt", "dir\xe9/inside.txt", ".hidden\xff", "sub/\xc0\xaf",
                                 "sub/\xed\xa0\x80"})
            tree->rawFile(name);
        const QStringList boms{u"\ufeff.key"_s, u"\ufeff"_s, u"\ufeff\ufeffx"_s, u"\ufeffsub/s"_s};
        for (int i = 0; i < boms.size(); ++i)
            tree->file(u"boms/"_s + boms[i], i + 1);
        host.options.criteria.exactFilesize = true;
        QCOMPARE(Walk(root), StepResult::Completed);
        QStringList records = Recorded(global, root).split(u' ');
        records.sort();
        QCOMPARE(records.join(u'|'),
                 u"boms/\ufeff.key=1|boms/\ufeff=2|boms/\ufeffsub/s=4|"
                 u"boms/\ufeff\ufeffx=3|sub/ok\u00e9\u6f22.txt=0"_s);
        // Each path gives back the bytes it was found under.
        for (qsizetype k = 0; k < global.inventory.FileCount(); ++k)
            QCOMPARE(FileSize2(global.inventory.FullPath(k)), global.inventory.FileSizes.at(k));
        // Shown as they are: the bytes that are not text written \xHH.
        const QString log = host.calls.join(u' ').replace(root, u"~"_s);
        QVERIFY(log.contains(u"event:SkippedName:~/sub/\\xed\\xa0\\x80:"_s) &&
                log.contains(u"event:SkippedName:~/dir\\xe9:"_s) && log.count(u"SkippedName") == 4);
        Fresh();
        QCOMPARE(Walk(tree->path(u"boms/\ufeffsub"_s)), StepResult::Completed);
        QCOMPARE(Recorded(global, root), u"boms/\ufeffsub/s="_s);
    }

    // The read-ahead changes nothing a user sees: on a hostile tree, walked as overlapping entries,
    // with sizes from the start and ticked late, it gives the records and events of the walk
    // without it, even in its tightest window. A folder swapped for a link as the walk begins is
    // not followed; a branching tree 150 deep (7,000 bytes of path) outgrows its descriptors.
    void readAheadChangesNothing() {
        tree->file(u"in/r.txt"_s, 1);
        tree->file(u"in/A/a.txt"_s, 2);
        tree->file(u"in/A/A1/a1.txt"_s, 3);
        tree->file(u"in/B/b.txt"_s, 4);
        tree->file(u"elsewhere/e.txt"_s, 5);
        tree->link(u"in/loop"_s, tree->path(u"in"_s));
        tree->link(u"in/A/alias.txt"_s, tree->path(u"in/r.txt"_s));
        tree->link(u"in/broken"_s, tree->path(u"nowhere"_s));
        tree->link(u"link"_s, tree->path(u"in/A"_s));
        tree->rawFile("in/pipe", S_IFIFO);
        tree->file(u"in/locked/secret.txt"_s, 6);
        tree->rawFile("in/A/bad\xff.txt");
        tree->dir(u"in/deep"_s);
        int fd = ::open(QFile::encodeName(tree->path(u"in/deep"_s)), O_RDONLY | O_DIRECTORY);
        for (int level = 0, next = -1; level < 150; ++level, ::close(fd), fd = next) {
            const QByteArray name = "level " + QByteArray::number(level) + " of a deep tree";
            QVERIFY(::mkdirat(fd, name, 0755) == 0 && ::mkdirat(fd, "leaf", 0755) == 0 &&
                    ::close(::openat(fd, "leaf/f", O_WRONLY | O_CREAT, 0644)) == 0 &&
                    (next = ::openat(fd, name, O_RDONLY | O_DIRECTORY)) >= 0);
        }
        ::close(fd);
        const QByteArray locked = QFile::encodeName(tree->path(u"in/locked"_s));
        QVERIFY(::chmod(tree->rawRoot().constData(), 0777) == 0 && ::chmod(locked, 0) == 0);
        const int descriptors = OpenDescriptors();
        QString expected;
        for (const bool late : {false, true}) {
            for (const ReadAheadLimits& limits :
                 {ReadAheadLimits{0, 0, 0, 0}, Tight, ReadAheadLimits{}}) {
                Fresh();
                host.options.readAhead = limits;
                host.options.criteria.exactFilesize = !late;
                host.onEvents = [&](int n) {
                    if (n == 1 && !QFileInfo(tree->path(u"in/B"_s)).isSymLink()) {
                        ::setfsuid(0);
                        QVERIFY(QDir(root).rename(u"in/B"_s, u"moved"_s));
                        tree->link(u"in/B"_s, tree->path(u"elsewhere"_s));
                        ::setfsuid(65534);
                    }
                    host.options.criteria.exactFilesize |= host.calls.contains(u"busy:1"_s);
                };
                ::setfsuid(65534);  // as nobody, for the locked folder (inherited by the workers)
                for (const QString& entry : {u"in/A"_s, u"in"_s, u"link"_s, u"in/deep"_s})
                    QCOMPARE(Walk(tree->path(entry)), StepResult::Completed);
                ::setfsuid(0);
                const QString seen =
                    Recorded(global, root) + u' ' + host.calls.filter(u"event:"_s).join(u' ');
                if (limits.workers == 0)
                    expected = seen;
                QCOMPARE(seen, expected);
            }
        }
        ::chmod(locked, 0755);
        QVERIFY(expected.contains(u"level 148 of a deep tree/leaf/f="_s));
        QVERIFY(!expected.contains(u"in/B/"_s));
        QCOMPARE(expected.count(u"a1.txt=3"_s), 1);
        QTRY_COMPARE(OpenDescriptors(), descriptors);
    }

    // A stop while the workers read ahead ends the walk at once, records nothing and ends them.
    void stopDuringReadAhead() {
        for (int i = 0; i < 300; ++i)
            tree->file(u"sub%1/more/f%2"_s.arg(i / 3).arg(i % 3));
        const int descriptors = OpenDescriptors();
        host.options.readAhead = Tight;
        host.onEvents = [this](int n) { host.stopRequested = n == 3; };
        QCOMPARE(Walk(root), StepResult::Stopped);
        QCOMPARE(global.inventory.FileCount(), 0);
#if !TALLYROOK_PORTABLE
        QTRY_COMPARE(walk_detail::ReadAhead::RunningWorkers(), 0);
#endif
        QTRY_COMPARE(OpenDescriptors(), descriptors);
    }

    // A folder removed while the workers hold it open: a subfolder it had is gone (ENOENT, which
    // the walk does not report), and its files' sizes read as unknown.
    void folderVanishesWhileHeld() {
#if TALLYROOK_PORTABLE
        QSKIP("the portable walk reads no folder ahead");
#else
        using walk_detail::ReadAhead;
        tree->file(u"A/a.txt"_s, 7);
        tree->file(u"A/S/s.txt"_s);
        ReadAhead ahead({2, 1, 1 << 20, 8}, true);
        const int held = ::open(QFile::encodeName(tree->path(u"A"_s)), O_RDONLY | O_DIRECTORY);
        QVERIFY(QDir(tree->path(u"A"_s)).removeRecursively());
        const ReadAhead::FolderRef top = ahead.Adopt(held, nullptr, {"S"});
        const ReadAhead::FolderRef sub = ahead.Next(top, "S");
        QVERIFY(sub);
        while (!ahead.Wait(sub, 100)) {
        }
        QCOMPARE(ahead.Take(sub)->openError, ENOENT);
        QCOMPARE(ahead.ReadSizes(held, QByteArray("a.txt", 6), 1)->At(0), FileInventory::NoSize);
        ahead.Release(sub);
        ahead.Release(top);
        ::close(held);
#endif
    }

    // A tree 5,000 levels deep (10,000 bytes of path) walks under 1,024 open descriptors, its
    // deepest file's size and date read.
    void largeTrees() {
        if (Portable)
            QSKIP("the portable walk needs whole paths");
        const QDateTime written(QDate(2004, 3, 14), QTime(14, 5, 31), Qt::UTC);
        int fd = ::open(tree->rawRoot().constData(), O_RDONLY | O_DIRECTORY);
        for (int level = 1, next = -1; level <= 5000; ++level, ::close(fd), fd = next)
            QVERIFY(::mkdirat(fd, "d", 0755) == 0 &&
                    (next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY)) >= 0);
        const int file = ::openat(fd, "at5000", O_WRONLY | O_CREAT, 0644);
        const timespec times[2] = {{0, UTIME_OMIT}, {written.toSecsSinceEpoch(), 0}};
        QVERIFY(file >= 0 && ::ftruncate(file, 5000) == 0 && ::futimens(file, times) == 0);
        ::close(file);
        ::close(fd);
        rlimit limit;
        ::getrlimit(RLIMIT_NOFILE, &limit);
        const rlimit lower{std::min<rlim_t>(limit.rlim_cur, 1024), limit.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &lower);
        // Exact Filesize ticked after the enumeration: the listing pass reads the sizes, down from
        // the root again.
        host.onEvents = [this](int) {
            host.options.criteria.exactFilesize |= host.calls.contains(u"busy:1"_s);
        };
        const StepResult result = Walk(root);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        QCOMPARE(result, StepResult::Completed);
        QCOMPARE(global.inventory.FileCount(), 1);
        QCOMPARE(global.inventory.FileSizes.at(0), 5000);
        QCOMPARE(LastWriteTimeUtc(global.inventory.FullPath(0)), written);
    }
};

TALLYROOK_TEST_MAIN(TestWalk)
#include "test_walk.moc"
