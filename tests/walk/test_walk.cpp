#include <dirent.h>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>

#include "search/file_functions.h"
#include "search/walk.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;
using tallyrook::test::RecordingHost;
using tallyrook::test::TempTree;

namespace {

const QString SkipText = QStringLiteral(
    " has been skipped because it is unrecognizeable. This is probably because it contains "
    "strange characters. Please rename the file or folder if you would like it included next "
    "time you find dupes.");

QStringList Records(const Global& global) {
    QStringList paths;
    for (qsizetype k = 0; k < global.FileCount(); ++k)
        paths.append(global.FullPath(k));
    return paths;
}

// The visible entries of a folder in the order the file system lists them.
QStringList ReaddirOrder(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

QStringList QueuePaths(const walk_detail::WalkQueue& queue) {
    QStringList paths;
    for (const auto& folder : queue)
        paths.append(folder.path);
    return paths;
}

// Everything but the stop polls, which are counted on their own.
QStringList WithoutPolls(const QStringList& calls) {
    QStringList kept;
    for (const QString& call : calls) {
        if (call != QStringLiteral("stop?"))
            kept.append(call);
    }
    return kept;
}

QString Caption(const QString& entry) {
    return QStringLiteral("caption:Tallyrook [Analyzing ") + entry + QStringLiteral(" folder]");
}

// The example tree: root/r.txt, root/A/a.txt, root/A/A1/a1.txt, root/B/b.txt.
void MakeExampleTree(TempTree& tree) {
    tree.file(QStringLiteral("r.txt"), 1);
    tree.file(QStringLiteral("A/a.txt"), 2);
    tree.file(QStringLiteral("A/A1/a1.txt"), 3);
    tree.file(QStringLiteral("B/b.txt"), 4);
}

bool AFirst(const TempTree& tree) {
    const QStringList order = ReaddirOrder(tree.root());
    return order.indexOf(QStringLiteral("A")) < order.indexOf(QStringLiteral("B"));
}

// Drops root's permission bypass for the current thread: permissions then block as they do for
// a user. Restored when it goes out of scope.
class AsNobody {
public:
    AsNobody() {
        ::setfsuid(65534);
        active_ = int(::setfsuid(65534)) == 65534;
    }
    ~AsNobody() { ::setfsuid(0); }
    bool active() const { return active_; }

private:
    bool active_ = false;
};

}  // namespace

class TestWalk : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileFunctions() {
        QCOMPARE(FileNameOf(QStringLiteral("/music/a b.mp3")), QStringLiteral("a b.mp3"));
        QCOMPARE(FolderOf(QStringLiteral("/music/a b.mp3")), QStringLiteral("/music/"));
        QCOMPARE(FileNameOf(QStringLiteral("plain.txt")), QStringLiteral("plain.txt"));
        QCOMPARE(FolderOf(QStringLiteral("plain.txt")), QString());
        QCOMPARE(FileNameOf(QStringLiteral("/music/")), QString());
        QCOMPARE(FolderOf(QStringLiteral("/x")), QStringLiteral("/"));

        TempTree tree;
        const QDateTime written = QDateTime(QDate(2004, 3, 14), QTime(14, 5, 31, 250), Qt::UTC);
        tree.file(QStringLiteral("f.txt"), 12, written);
        tree.file(QStringLiteral("empty.txt"), 0);
        tree.dir(QStringLiteral("sub"));
        tree.link(QStringLiteral("tosub"), tree.path(QStringLiteral("sub")));
        tree.link(QStringLiteral("dangling"), tree.path(QStringLiteral("nowhere")));

        QVERIFY(IsFolder(tree.path(QStringLiteral("sub"))));
        QVERIFY(IsFolder(tree.path(QStringLiteral("tosub"))));
        QVERIFY(!IsFolder(tree.path(QStringLiteral("f.txt"))));
        QVERIFY(!IsFolder(tree.path(QStringLiteral("nowhere"))));
        QVERIFY(!IsFolder(QString()));

        QVERIFY(FileExists(tree.path(QStringLiteral("f.txt"))));
        QVERIFY(FileExists(tree.path(QStringLiteral("sub"))));
        QVERIFY(!FileExists(tree.path(QStringLiteral("nowhere"))));
        QVERIFY(!FileExists(tree.path(QStringLiteral("dangling"))));
        QVERIFY(!FileExists(QString()));

        QCOMPARE(FileSize2(tree.path(QStringLiteral("f.txt"))), std::optional<qint64>(12));
        // An empty file has a size, 0; a missing one has none.
        QCOMPARE(FileSize2(tree.path(QStringLiteral("empty.txt"))), std::optional<qint64>(0));
        QCOMPARE(FileSize2(tree.path(QStringLiteral("nowhere"))), std::nullopt);
        QCOMPARE(FileSize2(tree.path(QStringLiteral("sub"))), std::nullopt);

        QCOMPARE(LastWriteTimeUtc(tree.path(QStringLiteral("f.txt"))), written);
        QVERIFY(!LastWriteTimeUtc(tree.path(QStringLiteral("nowhere"))).isValid());
    }

    void queuePath_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("queued");
        QTest::newRow("no slash") << QStringLiteral("/music") << QStringLiteral("/music/");
        QTest::newRow("slash") << QStringLiteral("/music/") << QStringLiteral("/music/");
        QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("one slash only") << QStringLiteral("/music//") << QStringLiteral("/music//");
    }
    void queuePath() {
        QFETCH(QString, entry);
        QFETCH(QString, queued);
        QCOMPARE(walk_detail::QueuePath(entry), queued);
    }

    // Queue in depth-first pre-order, records folder by folder, and every host call in order.
    void exampleTreeOrderAndHostCalls() {
        TempTree tree;
        MakeExampleTree(tree);
        const QString root = tree.root();
        const bool aFirst = AFirst(tree);

        walk_detail::WalkQueue queue;
        queue.push_back({root + u'/', QFile::encodeName(root + u'/'), {}, 0});
        RecordingHost enumerator;
        QCOMPARE(walk_detail::QueueSubfolders(queue, enumerator),
                 walk_detail::PassStatus::Completed);
        const QStringList a = {root + QStringLiteral("/A/"), root + QStringLiteral("/A/A1/")};
        const QStringList b = {root + QStringLiteral("/B/")};
        QCOMPARE(QueuePaths(queue), QStringList{root + u'/'} + (aFirst ? a + b : b + a));
        QCOMPARE(walk_detail::ListFiles(queue[0]), QStringList{QStringLiteral("r.txt")});

        Global global;
        RecordingHost host;
        host.logCriteria = false;
        QCOMPARE(AnalyzeFolder(root, host, global), WalkResult::Completed);
        const QStringList ra = {root + QStringLiteral("/A/a.txt"),
                                root + QStringLiteral("/A/A1/a1.txt")};
        const QStringList rb = {root + QStringLiteral("/B/b.txt")};
        QCOMPARE(Records(global),
                 QStringList{root + QStringLiteral("/r.txt")} + (aFirst ? ra + rb : rb + ra));
        QCOMPARE(global.FileFolders.at(0), root + u'/');
        QCOMPARE(global.FileNames.at(0), QStringLiteral("r.txt"));

        const QStringList expected = {
            QStringLiteral("progress:0"), Caption(root),
            // one per folder of the enumeration pass
            QStringLiteral("events"), QStringLiteral("events"), QStringLiteral("events"),
            QStringLiteral("events"), QStringLiteral("busy:1"),
            // one per folder of the listing pass; the folder being listed still counts
            QStringLiteral("events"), QStringLiteral("progress:0"), QStringLiteral("events"),
            QStringLiteral("progress:25"), QStringLiteral("events"), QStringLiteral("progress:50"),
            QStringLiteral("events"), QStringLiteral("progress:75"), QStringLiteral("progress:100"),
            QStringLiteral("caption:Tallyrook")};
        QCOMPARE(WithoutPolls(host.calls), expected);
        // Seven entries (r.txt, A, B, a.txt, A1, a1.txt, b.txt) and four folders.
        QCOMPARE(host.polls, 7 + 4);
        QCOMPARE(host.filesizeReads, 4);
    }

    // The same records with or without the trailing "/", and hidden entries left out silently.
    void trailingSlashAndHidden() {
        TempTree tree;
        MakeExampleTree(tree);
        tree.file(QStringLiteral(".hidden"), 5);
        tree.file(QStringLiteral(".git/config"), 5);
        tree.file(QStringLiteral(".git/objects/x"), 5);
        tree.file(QStringLiteral("A/.DS_Store"), 5);
        const QString root = tree.root();

        Global plain;
        RecordingHost plainHost;
        QCOMPARE(AnalyzeFolder(root, plainHost, plain), WalkResult::Completed);
        Global slashed;
        RecordingHost slashedHost;
        QCOMPARE(AnalyzeFolder(root + u'/', slashedHost, slashed), WalkResult::Completed);

        QCOMPARE(plain.FileCount(), 4);
        QCOMPARE(Records(slashed), Records(plain));
        QCOMPARE(plainHost.Calls(QStringLiteral("caption:")).first(), Caption(root));
        QCOMPARE(slashedHost.Calls(QStringLiteral("caption:")).first(), Caption(root + u'/'));
        QVERIFY(plainHost.Messages().isEmpty());
        // Hidden entries are not even polled at: 7 visible entries and 4 folders.
        QCOMPARE(plainHost.polls, 11);
    }

    void sizesFollowExactFilesizeAtEachRecord() {
        TempTree tree;
        for (int i = 0; i < 6; ++i)
            tree.file(QStringLiteral("f%1").arg(i), i * 100);
        const QStringList order = ReaddirOrder(tree.root());

        Global global;
        RecordingHost host;
        // Ticked while the third record is being made.
        host.onExactFilesize = [&host](int reads) { host.exactFilesize = reads >= 3; };
        QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Completed);
        QCOMPARE(global.FileCount(), 6);
        for (int k = 0; k < 6; ++k) {
            QCOMPARE(global.FileNames.at(k), order.at(k));
            const qint64 expected = k < 2 ? Global::NoSize : order.at(k).sliced(1).toInt() * 100;
            QCOMPARE(global.FileSizes.at(k), expected);
        }
        // An empty file recorded with sizes on has the size 0, not "no size".
        const int empty = int(order.indexOf(QStringLiteral("f0")));
        if (empty >= 2)
            QCOMPARE(global.FileSizeText(empty), QStringLiteral("0"));
    }

    void emptyMissingAndOverlappingEntries() {
        Global global;
        RecordingHost host;
        QCOMPARE(AnalyzeFolder(QString(), host, global), WalkResult::Completed);
        QCOMPARE(host.calls, QStringList{QStringLiteral("progress:0")});

        TempTree tree;
        MakeExampleTree(tree);
        host.Clear();
        const QString missing = tree.path(QStringLiteral("missing"));
        QCOMPARE(AnalyzeFolder(missing, host, global), WalkResult::Completed);
        QCOMPARE(global.FileCount(), 0);
        QCOMPARE(
            WithoutPolls(host.calls),
            (QStringList{QStringLiteral("progress:0"), Caption(missing), QStringLiteral("events"),
                         QStringLiteral("busy:1"), QStringLiteral("events"),
                         QStringLiteral("progress:0"), QStringLiteral("progress:100"),
                         QStringLiteral("caption:Tallyrook")}));

        // A file as the entry is no folder: nothing recorded.
        QCOMPARE(AnalyzeFolder(tree.path(QStringLiteral("r.txt")), host, global),
                 WalkResult::Completed);
        QCOMPARE(global.FileCount(), 0);

        // A folder and one of its subfolders: the common files are recorded twice.
        QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Completed);
        QCOMPARE(AnalyzeFolder(tree.path(QStringLiteral("A")), host, global),
                 WalkResult::Completed);
        QCOMPARE(global.FileCount(), 4 + 2);
        QCOMPARE(Records(global).count(tree.path(QStringLiteral("A/A1/a1.txt"))), 2);
    }

    void stopDuringEnumeration() {
        TempTree tree;
        MakeExampleTree(tree);
        // Every poll of the enumeration pass: a stop at any of them leaves no record at all.
        for (int stopAt = 1; stopAt <= 7; ++stopAt) {
            Global global;
            RecordingHost host;
            host.stopAtPoll = stopAt;
            QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Stopped);
            QCOMPARE(global.FileCount(), 0);
            QCOMPARE(host.calls.last(), QStringLiteral("stop?"));
            QVERIFY(host.Calls(QStringLiteral("busy:")).isEmpty());
            QCOMPARE(host.Calls(QStringLiteral("caption:")), QStringList{Caption(tree.root())});
        }
    }

    void stopDuringListingKeepsEarlierFolders() {
        TempTree tree;
        MakeExampleTree(tree);
        const bool aFirst = AFirst(tree);
        Global global;
        RecordingHost host;
        // The stop button is pressed while events are processed before the third folder.
        host.onEvents = [&host](int n) {
            if (n == 4 + 3)
                host.stopRequested = true;
        };
        QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Stopped);
        QCOMPARE(global.FileCount(), 2);
        QCOMPARE(global.FileNames.at(1),
                 aFirst ? QStringLiteral("a.txt") : QStringLiteral("b.txt"));
        // Caption and progress stay where they were.
        QCOMPARE(host.calls.last(), QStringLiteral("stop?"));
        QCOMPARE(host.Calls(QStringLiteral("progress:")).last(), QStringLiteral("progress:25"));
        QCOMPARE(host.Calls(QStringLiteral("caption:")).last(), Caption(tree.root()));
    }

    void abandonMakesNoFurtherCall() {
        TempTree tree;
        MakeExampleTree(tree);
        for (int at : {1, 3, 6}) {
            Global global;
            RecordingHost host;
            host.abandonAtEvents = at;
            QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Abandoned);
            QCOMPARE(host.calls.last(), QStringLiteral("events"));
            QCOMPARE(host.events, at);
        }
    }

    void manyFilesInOneFolder() {
        TempTree tree;
        const int count = 40'000;
        for (int i = 0; i < count; ++i) {
            // Plain calls: 40,000 QFile round trips would make this the slowest test by far.
            const QByteArray name = tree.rawRoot() + "/track " + QByteArray::number(i) + ".mp3";
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        Global global;
        RecordingHost host;
        host.logCriteria = false;
        host.exactFilesize = true;
        QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Completed);
        QCOMPARE(global.FileCount(), count);
        QCOMPARE(global.FileNames, ReaddirOrder(tree.root()));
        QCOMPARE(global.FileSizes.count(0), count);
        // The records of one folder share its text rather than holding 40,000 copies.
        QCOMPARE(global.FileFolders.first().constData(), global.FileFolders.last().constData());
    }

    void deepTree() {
        TempTree tree;
        const int depth = 1000;
        QString relative;
        for (int level = 1; level <= depth; ++level) {
            relative += QStringLiteral("d/");
            if (level % 100 == 0)
                tree.file(relative + QStringLiteral("at%1").arg(level));
        }
        Global global;
        RecordingHost host;
        QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Completed);
        QCOMPARE(global.FileCount(), 10);
        QCOMPARE(global.FileNames.first(), QStringLiteral("at100"));
        QCOMPARE(global.FullPath(9), tree.path(relative + QStringLiteral("at1000")));
        QCOMPARE(host.Calls(QStringLiteral("events")).size(), 2 * (depth + 1));
    }

    // Links inside the tree are neither followed nor recorded; the entry itself may be a link.
    void linksFifosAndCycles() {
        TempTree tree;
        tree.file(QStringLiteral("music/a.mp3"), 10);
        tree.link(QStringLiteral("music/loop"), tree.path(QStringLiteral("music")));
        tree.link(QStringLiteral("music/self"), QStringLiteral("."));
        tree.link(QStringLiteral("music/alias.mp3"), tree.path(QStringLiteral("music/a.mp3")));
        tree.link(QStringLiteral("music/broken"), tree.path(QStringLiteral("nowhere")));
        tree.fifo(QStringLiteral("music/pipe"));
        tree.link(QStringLiteral("entry"), tree.path(QStringLiteral("music")));

        Global global;
        RecordingHost host;
        host.exactFilesize = true;
        QCOMPARE(AnalyzeFolder(tree.path(QStringLiteral("music")), host, global),
                 WalkResult::Completed);
        QCOMPARE(Records(global), QStringList{tree.path(QStringLiteral("music/a.mp3"))});

        QCOMPARE(AnalyzeFolder(tree.path(QStringLiteral("entry")), host, global),
                 WalkResult::Completed);
        QCOMPARE(global.FullPath(1), tree.path(QStringLiteral("entry/a.mp3")));
        QCOMPARE(global.FileSizes.at(1), 10);
        QCOMPARE(global.FileCount(), 2);
        QVERIFY(host.Messages().isEmpty());
    }

    // A folder that cannot be listed counts as empty, silently.
    void unlistableFolder() {
        TempTree tree;
        tree.file(QStringLiteral("open/a.txt"), 1);
        tree.file(QStringLiteral("locked/secret.txt"), 2);
        tree.file(QStringLiteral("z.txt"), 3);
        QVERIFY(::chmod(tree.rawRoot().constData(), 0755) == 0);
        const QByteArray locked = QFile::encodeName(tree.path(QStringLiteral("locked")));
        QVERIFY(::chmod(locked.constData(), 0) == 0);

        Global global;
        RecordingHost host;
        host.exactFilesize = true;
        {
            AsNobody nobody;
            if (::geteuid() == 0 && !nobody.active()) {
                ::chmod(locked.constData(), 0755);
                QSKIP("running as root without the right to drop file permissions");
            }
            if (DIR* probe = ::opendir(locked.constData())) {
                ::closedir(probe);
                ::chmod(locked.constData(), 0755);
                QSKIP("permissions do not block this user");
            }
            QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Completed);
        }
        ::chmod(locked.constData(), 0755);
        QCOMPARE(global.FileCount(), 2);
        QVERIFY(!Records(global).contains(tree.path(QStringLiteral("locked/secret.txt"))));
        QVERIFY(host.Messages().isEmpty());
        // The locked folder is still one step of the progress.
        QCOMPARE(host.Calls(QStringLiteral("progress:")).size(), 1 + 3 + 1);
    }

    // Folders and files that vanish while the walk runs count as empty or lose their size.
    void entriesVanishDuringTheWalk() {
        TempTree tree;
        tree.file(QStringLiteral("keep/k.txt"), 1);
        tree.file(QStringLiteral("gone/g.txt"), 2);
        tree.file(QStringLiteral("f1.txt"), 10);
        tree.file(QStringLiteral("f2.txt"), 20);
        const int folders = 3;

        Global global;
        RecordingHost host;
        host.exactFilesize = true;
        // Before the subfolders are read, one of them goes.
        host.onEvents = [&tree](int n) {
            if (n == 2)
                QDir(tree.path(QStringLiteral("gone"))).removeRecursively();
        };
        // The root's files go after their names were listed, before their sizes are read.
        host.onExactFilesize = [&tree](int reads) {
            if (reads == 1)
                QFile::remove(tree.path(QStringLiteral("f2.txt")));
        };
        QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Completed);
        QVERIFY(host.Messages().isEmpty());
        QCOMPARE(host.Calls(QStringLiteral("progress:")).size(), 1 + folders + 1);
        const QStringList names = global.FileNames;
        QCOMPARE(names.size(), 3);
        QVERIFY(names.contains(QStringLiteral("k.txt")));
        const qsizetype f1 = names.indexOf(QStringLiteral("f1.txt"));
        const qsizetype f2 = names.indexOf(QStringLiteral("f2.txt"));
        QVERIFY(f1 >= 0 && f2 >= 0);
        QCOMPARE(global.FileSizes.at(f1), 10);
        QCOMPARE(global.FileSizes.at(f2), Global::NoSize);
        QCOMPARE(global.FileSizeText(f2), QString());
    }

    void namesThatAreNotUtf8() {
#ifdef TALLYROOK_PORTABLE_WALK
        QSKIP("the portable walk serves platforms whose names are always Unicode");
#endif
        TempTree tree;
        tree.file(QStringLiteral("good.txt"), 1);
        tree.dir(QStringLiteral("sub"));
        tree.rawFile(QByteArray("bad\xff.txt"));
        const QByteArray badDir = tree.rawRoot() + QByteArray("/dir\xe9");
        QVERIFY(::mkdir(badDir.constData(), 0755) == 0);
        tree.rawFile(QByteArray("dir\xe9/inside.txt"));
        tree.rawFile(QByteArray(".hidden\xff"));
        // Overlong and surrogate encodings are not UTF-8 either.
        tree.rawFile(QByteArray("sub/\xc0\xaf"));
        tree.rawFile(QByteArray("sub/\xed\xa0\x80"));
        tree.file(QStringLiteral("sub/ok \u00e9\u6f22.txt"), 2);

        Global global;
        RecordingHost host;
        QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Completed);
        QCOMPARE(global.FileNames.size(), 2);
        QVERIFY(global.FileNames.contains(QStringLiteral("good.txt")));
        QVERIFY(global.FileNames.contains(QStringLiteral("ok \u00e9\u6f22.txt")));
        QStringList messages = host.Messages();
        QCOMPARE(messages.size(), 4);
        messages.sort();
        const QString root = tree.root() + u'/';
        QStringList expected = {
            QStringLiteral("Skip:") + root + QStringLiteral("bad\ufffd.txt") + SkipText,
            QStringLiteral("Skip:") + root + QStringLiteral("dir\ufffd") + SkipText,
        };
        for (const QString& message : messages.mid(2))
            QVERIFY2(message.startsWith(QStringLiteral("Skip:") + root + QStringLiteral("sub/")) &&
                         message.endsWith(SkipText),
                     qPrintable(message));
        QCOMPARE(messages.mid(0, 2), expected);

        // Qt cannot name these to remove them.
        for (const char* name : {"/bad\xff.txt", "/dir\xe9/inside.txt", "/.hidden\xff",
                                 "/sub/\xc0\xaf", "/sub/\xed\xa0\x80"})
            ::unlink(QByteArray(tree.rawRoot() + QByteArray(name)).constData());
        ::rmdir(badDir.constData());
    }

    void largeSparseFileHasItsExactSize() {
        TempTree tree;
        const qint64 size = 5 * (qint64(1) << 30) + 3;
        tree.file(QStringLiteral("huge.iso"), size);
        tree.file(QStringLiteral("other.iso"), 3);
        QCOMPARE(FileSize2(tree.path(QStringLiteral("huge.iso"))), std::optional<qint64>(size));
        Global global;
        RecordingHost host;
        host.exactFilesize = true;
        QCOMPARE(AnalyzeFolder(tree.root(), host, global), WalkResult::Completed);
        const qsizetype huge = global.FileNames.indexOf(QStringLiteral("huge.iso"));
        QCOMPARE(global.FileSizes.at(huge), size);
        QCOMPARE(global.FileSizeText(huge), QStringLiteral("5368709123"));
    }

    void inventoryCap() {
        TempTree tree;
        for (int i = 0; i < 5; ++i)
            tree.file(QStringLiteral("f%1").arg(i));
        const QString folder = QStringLiteral("/earlier/");
        const QString name = QStringLiteral("x");

        // Room for exactly the tree: no message.
        Global exact;
        while (exact.FileCount() < Global::InventoryCapacity - 5)
            exact.AddRecord(folder, name, 1);
        RecordingHost host;
        QCOMPARE(AnalyzeFolder(tree.root(), host, exact), WalkResult::Completed);
        QCOMPARE(exact.FileCount(), Global::InventoryCapacity);
        QVERIFY(host.Messages().isEmpty());

        // Room for two: they stay, the walk says so and stops.
        Global full;
        while (full.FileCount() < Global::InventoryCapacity - 2)
            full.AddRecord(folder, name, 1);
        host.Clear();
        QCOMPARE(AnalyzeFolder(tree.root(), host, full), WalkResult::InventoryFull);
        QCOMPARE(full.FileCount(), Global::InventoryCapacity);
        QCOMPARE(full.FullPath(Global::InventoryCapacity - 1),
                 tree.path(ReaddirOrder(tree.root()).at(1)));
        const QStringList messages = host.Messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().startsWith(QStringLiteral("Tallyrook:")));
        QVERIFY(messages.first().contains(QLocale::system().toString(1'000'001)));
        QCOMPARE(host.calls.last(), QStringLiteral("message:") + messages.first());
    }
};

TALLYROOK_TEST_MAIN(TestWalk)
#include "test_walk.moc"
