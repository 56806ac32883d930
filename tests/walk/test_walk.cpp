#include <sys/fsuid.h>
#include <QDir>
#include <QLocale>
#include <QTest>

#include "search/file_functions.h"
#include "search/walk.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

const QString SkipText =
    u" has been skipped because it is unrecognizeable. This is probably because it contains "
    u"strange characters. Please rename the file or folder if you would like it included next "
    u"time you find dupes."_s;

// The visible entries of a folder in the order the file system lists them.
QStringList Listed(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Unsorted);
}

// The records in order, as "path=size" below `root`; the size is empty when none was read.
QString Recorded(const Global& global, const QString& root) {
    QStringList records;
    for (qsizetype k = 0; k < global.FileCount(); ++k)
        records.append(global.FullPath(k).sliced(root.size() + 1) + u'=' + global.FileSizeText(k));
    return records.join(u' ');
}

// The host's calls without the stop polls, on one line, with the tree's root written "~".
QString Log(const test::RecordingHost& host, const QString& root) {
    return host.calls.join(u' ').remove(u" stop?"_s).replace(root, u"~"_s);
}

}  // namespace

class TestWalk : public QObject {
    Q_OBJECT

    std::optional<test::TempTree> tree;
    QString root;
    Global global;
    test::RecordingHost host;

    WalkResult Walk(const QString& entry) { return AnalyzeFolder(entry, host, global); }

    // r.txt, A/a.txt, A/A1/a1.txt, B/b.txt, and hidden entries that are neither recorded,
    // entered nor polled at. True when A is listed before B.
    bool MakeExampleTree() {
        for (const char* name : {"r.txt", "A/a.txt", "A/A1/a1.txt", "B/b.txt", ".hidden",
                                 ".git/config", ".git/objects/x", "A/.DS_Store"})
            tree->file(QString::fromLatin1(name));
        return Listed(root).indexOf(u"A"_s) < Listed(root).indexOf(u"B"_s);
    }

private Q_SLOTS:
    void init() {
        tree.emplace();
        root = tree->root();
        global = Global();
        host = test::RecordingHost();
    }

    // Records folder by folder in depth-first pre-order, Exact Filesize read at every record
    // (here ticked at the third), and every host call in order.
    void exampleTree() {
        const bool aFirst = MakeExampleTree();
        host.onExactFilesize = [this](int reads) { host.exactFilesize = reads >= 3; };
        QCOMPARE(Walk(root), WalkResult::Completed);
        QCOMPARE(Recorded(global, root), aFirst ? u"r.txt= A/a.txt= A/A1/a1.txt=0 B/b.txt=0"_s
                                                : u"r.txt= B/b.txt= A/a.txt=0 A/A1/a1.txt=0"_s);
        // Events once per folder in each pass; the folder being listed still counts.
        QCOMPARE(Log(host, root),
                 u"progress:0 caption:Tallyrook [Analyzing ~ folder] events events events events "
                 u"busy:1 events progress:0 filesize? events progress:25 filesize? events "
                 u"progress:50 filesize? events progress:75 filesize? progress:100 "
                 u"caption:Tallyrook"_s);
        // Seven entries (r.txt, A, B, a.txt, A1, a1.txt, b.txt) and four folders.
        QCOMPARE(host.polls, 7 + 4);

        // A stop at any poll of the enumeration pass leaves no record; one during the listing
        // keeps the folders listed so far; after an abandonment no further call is made.
        for (int n = 1; n <= 7; ++n) {
            test::RecordingHost stopped, abandoned;
            stopped.stopAtPoll = abandoned.abandonAtEvents = n;
            Global none;
            QCOMPARE(AnalyzeFolder(root, stopped, none), WalkResult::Stopped);
            QVERIFY(none.FileCount() == 0 && stopped.calls.last() == u"stop?"_s);
            QCOMPARE(Log(stopped, root).remove(u" events"_s),
                     u"progress:0 caption:Tallyrook [Analyzing ~ folder]"_s);
            QCOMPARE(AnalyzeFolder(root, abandoned, none), WalkResult::Abandoned);
            QVERIFY(abandoned.calls.last() == u"events"_s && abandoned.events == n);
        }
        global = Global();
        host = test::RecordingHost();
        // Pressed while events are processed before the third folder is listed.
        host.onEvents = [this](int n) { host.stopRequested = n == 4 + 3; };
        QCOMPARE(Walk(root), WalkResult::Stopped);
        QCOMPARE(global.FileNames, (QStringList{u"r.txt"_s, aFirst ? u"a.txt"_s : u"b.txt"_s}));
        // Caption and progress stay where they were.
        QVERIFY(Log(host, root).endsWith(u"events progress:25 filesize? events"_s));

        // No entry, a missing folder and a file record nothing; a folder and one of its
        // subfolders (with a trailing "/") record the common files twice.
        global = Global();
        host = test::RecordingHost();
        for (const QString& entry : {QString(), tree->path(u"missing"_s), tree->path(u"r.txt"_s),
                                     root, tree->path(u"A/"_s)})
            QCOMPARE(Walk(entry), WalkResult::Completed);
        QVERIFY(Log(host, root)
                    .startsWith(u"progress:0 progress:0 caption:Tallyrook [Analyzing ~/missing "
                                u"folder] events busy:1 "
                                u"events progress:0 progress:100 caption:Tallyrook progress:0 "_s));
        QVERIFY(Log(host, root).contains(u"[Analyzing ~/A/ folder]"_s));
        QVERIFY(global.FileCount() == 4 + 2 &&
                Recorded(global, root).count(u"A/A1/a1.txt="_s) == 2);
        // One trailing "/" dropped, then one added; "/" stays "/".
        QCOMPARE(walk_detail::QueuePath(u"/music//"_s), u"/music//"_s);
        QCOMPARE(walk_detail::QueuePath(u"/"_s), u"/"_s);
    }

    // Links (a cycle among them), a fifo, a folder that cannot be listed and entries that vanish
    // during the walk are left out or lose their size, all silently; the entry may be a link.
    void hostileEntriesAndFileFunctions() {
        const qint64 big = (qint64(5) << 30) + 3;
        tree->file(u"music/big.iso"_s, big);
        tree->link(u"music/loop"_s, tree->path(u"music"_s));
        tree->link(u"music/alias.iso"_s, tree->path(u"music/big.iso"_s));
        tree->link(u"music/broken"_s, tree->path(u"nowhere"_s));
        tree->rawFile("music/pipe", S_IFIFO);
        tree->link(u"entry"_s, tree->path(u"music"_s));
        tree->dir(u"gone"_s);
        tree->file(u"late.txt"_s, 20);
        tree->file(u"locked/secret.txt"_s, 2);
        const QByteArray locked = QFile::encodeName(tree->path(u"locked"_s));
        QVERIFY(::chmod(tree->rawRoot().constData(), 0777) == 0 && ::chmod(locked, 0) == 0);
        host.exactFilesize = true;
        // Before the subfolders are read, one of them goes; the first record's file goes after
        // it was listed, before its size is read.
        host.onEvents = [this](int n) { QVERIFY(n != 2 || QDir(root).rmdir(u"gone"_s)); };
        host.onExactFilesize = [this](int) { QFile::remove(tree->path(u"late.txt"_s)); };
        // As nobody, root's permission bypass is gone (on this thread only).
        ::setfsuid(65534);
        const bool blocked = QDir(tree->path(u"locked"_s)).isEmpty();
        const WalkResult fromRoot = Walk(root);
        const WalkResult fromLink = Walk(tree->path(u"entry"_s));
        ::setfsuid(0);
        ::chmod(locked, 0755);
        QVERIFY(fromRoot == WalkResult::Completed && fromLink == WalkResult::Completed);
        QCOMPARE(Recorded(global, root).contains(u"locked/"_s), !blocked);
        QCOMPARE(Recorded(global, root).remove(u" locked/secret.txt=2"_s),
                 u"late.txt= music/big.iso=5368709123 entry/big.iso=5368709123"_s);
        QVERIFY(host.calls.filter(u"message:"_s).isEmpty());
        // Every folder is a step of the progress, the locked and the vanished one too.
        QCOMPARE(host.calls.filter(u"progress:"_s).size(), (1 + 4 + 1) + (1 + 1 + 1));

        QVERIFY(IsFolder(tree->path(u"entry"_s)) && !IsFolder(tree->path(u"music/big.iso"_s)));
        QVERIFY(!IsFolder(QString()) && !FileExists(QString()));
        QVERIFY(FileExists(tree->path(u"music"_s)) && !FileExists(tree->path(u"music/broken"_s)));
        QCOMPARE(FileSize2(tree->path(u"music/big.iso"_s)), std::optional<qint64>(big));
        QCOMPARE(FileSize2(tree->path(u"music"_s)), std::nullopt);
        QCOMPARE(FolderOf(u"/x"_s) + FileNameOf(u"/music/a b.mp3"_s), u"/a b.mp3"_s);
        QCOMPARE(FolderOf(u"plain.txt"_s) + FileNameOf(u"/music/"_s), QString());
        if (!blocked)
            QSKIP("permissions do not block this user, so the locked folder was listed");
    }

    // Not against the portable walk: its names are always Unicode, the rest is heavy or common.
#ifndef TALLYROOK_PORTABLE_WALK
    void namesThatAreNotUtf8() {
        tree->file(u"good.txt"_s);
        tree->file(u"sub/ok \u00e9\u6f22.txt"_s);
        QVERIFY(::mkdir(QByteArray(tree->rawRoot() + "/dir\xe9"), 0755) == 0);
        // Overlong and surrogate encodings are not UTF-8 either.
        for (const char* name : {"bad\xff.txt", "dir\xe9/inside.txt", ".hidden\xff", "sub/\xc0\xaf",
                                 "sub/\xed\xa0\x80"})
            tree->rawFile(name);
        QCOMPARE(Walk(root), WalkResult::Completed);
        QCOMPARE(Recorded(global, root), u"good.txt= sub/ok \u00e9\u6f22.txt="_s);
        const QString log = Log(host, root);
        QVERIFY(log.contains(u"message:Skip:~/bad\ufffd.txt"_s + SkipText));
        QVERIFY(log.contains(u"message:Skip:~/dir\ufffd"_s + SkipText));
        QVERIFY(log.count(SkipText) == 4 && log.count(u"message:Skip:~/sub/"_s) == 2);
    }

    // 40,000 files in one folder, and a tree 1,000 levels deep below it.
    void largeTrees() {
        for (int i = 0; i < 40'000; ++i)
            tree->rawFile("track " + QByteArray::number(i));
        QString deep;
        for (int level = 1; level <= 1000; ++level) {
            deep += u"d/"_s;
            if (level % 100 == 0)
                tree->file(deep + u"at%1"_s.arg(level));
        }
        host.logCriteria = false;
        host.exactFilesize = true;
        QCOMPARE(Walk(root), WalkResult::Completed);
        QCOMPARE(global.FileNames.first(40'000), QDir(root).entryList(QDir::Files, QDir::Unsorted));
        QCOMPARE(global.FileNames.at(40'000), u"at100"_s);
        QCOMPARE(global.FullPath(40'009), tree->path(deep + u"at1000"_s));
        QCOMPARE(global.FileSizes.count(0), 40'010);
        QCOMPARE(host.calls.count(u"events"_s), 2 * (1 + 1000));
        // The records of one folder share its text rather than holding 40,000 copies.
        QCOMPARE(global.FileFolders.first().constData(), global.FileFolders[39'999].constData());
    }

    // Room for exactly the tree: no message. Room for two: they stay, the walk says so and stops.
    void inventoryCap() {
        for (int i = 0; i < 5; ++i)
            tree->file(u"f%1"_s.arg(i));
        for (const int room : {5, 2}) {
            Global full;
            while (full.FileCount() < Global::InventoryCapacity - room)
                full.AddRecord(u"/earlier/"_s, u"x"_s, 1);
            test::RecordingHost capped;
            QCOMPARE(AnalyzeFolder(root, capped, full),
                     room == 5 ? WalkResult::Completed : WalkResult::InventoryFull);
            QCOMPARE(full.FileCount(), Global::InventoryCapacity);
            QCOMPARE(full.FullPath(full.FileCount() - 1), tree->path(Listed(root).at(room - 1)));
            const QStringList messages = capped.calls.filter(u"message:"_s);
            QCOMPARE(messages, room == 5 ? QStringList() : QStringList{capped.calls.last()});
            QVERIFY(room == 5 || (messages[0].startsWith(u"message:Tallyrook:"_s) &&
                                  messages[0].contains(QLocale::system().toString(1'000'001))));
        }
    }
#endif
};

TALLYROOK_TEST_MAIN(TestWalk)
#include "test_walk.moc"
