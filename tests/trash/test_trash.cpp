#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <cerrno>
#include <cstring>

#include "shared/file_names.h"
#include "support/test_env.h"
#include "trash/trash_test_hook.h"
#include "trash/trash_writer.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;
using Step = trash_test::Step;

namespace {

const auto Raw = &QFile::encodeName;
const auto Text = [](const QByteArray& path) { return DecodeFileName(path); };

bool Write(const QByteArray& path, const QByteArray& content) {
    QDir().mkpath(Text(path.left(path.lastIndexOf('/'))));
    QFile file(Text(path));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray Read(const QByteArray& path) {
    QFile file(Text(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Record {
    QByteArray path;      // Path=, as written
    QByteArray original;  // decoded, from `top` when relative
};

// A Trash as a file manager reads it, records it cannot read left out. `leftovers` gets the
// records without a file; `restore` puts each file back and keeps only the records it restored.
QList<Record> ReadRecords(const QByteArray& trash, const QByteArray& top,
                          QList<Record>* leftovers = nullptr, bool restore = false) {
    QList<Record> records;
    for (const QString& entry :
         QDir(Text(trash + "/info")).entryList({u"*.trashinfo"_s}, QDir::Files | QDir::Hidden)) {
        const QByteArray info = trash + "/info/" + Raw(entry),
                         file = trash + "/files/" + Raw(entry.chopped(10)), text = Read(info);
        QHash<QByteArray, QByteArray> fields;
        for (const QByteArray& line : text.split('\n'))
            fields.insert(line.left(line.indexOf('=')), line.mid(line.indexOf('=') + 1));
        const QByteArray path = QByteArray::fromPercentEncoding(fields.value("Path"));
        const Record record{fields.value("Path"), path.startsWith('/') ? path : top + '/' + path};
        const QDateTime deleted = QDateTime::fromString(
            QString::fromLatin1(fields.value("DeletionDate")), u"yyyy-MM-dd'T'HH:mm:ss"_s);
        if (!text.startsWith("[Trash Info]\n") || record.path.isEmpty() || !deleted.isValid())
            continue;
        if (!QFile::exists(Text(file))) {
            if (leftovers)
                leftovers->append(record);
        } else if (!restore || (::rename(file.constData(), record.original.constData()) == 0 &&
                                ::unlink(info.constData()) == 0)) {
            records.append(record);
        }
    }
    return records;
}

// A small file system of its own for one test when running as root; else a temporary folder.
struct TmpfsMount {
    explicit TmpfsMount(const char* options)
        : mounted(::geteuid() == 0 &&
                  ::mount("tallyrook-test", path().constData(), "tmpfs", 0, options) == 0) {}
    ~TmpfsMount() {
        if (mounted)
            ::umount2(path().constData(), MNT_DETACH);
    }
    QByteArray path() const { return Raw(dir.path()); }

    QTemporaryDir dir;
    const bool mounted;
};

// One request, with the writer's test hook set for its life.
struct Request {
    explicit Request(trash_test::Hook hook = {}) { trash_test::hook = std::move(hook); }
    ~Request() { trash_test::hook = nullptr; }
    bool Move(const QByteArray& path) { return writer.MoveToTrash(Text(path), moved, reason); }

    TrashWriter writer;
    TrashedFile moved;
    QString reason;
};

// Files of one name in folders of their own under `root`, each holding its own path.
QStringList MakeCovers(const QByteArray& root, int count) {
    QStringList paths;
    for (int k = 0; k < count; ++k) {
        paths.append(Text(root + '/' + QByteArray::number(k) + "/cover.jpg"));
        Write(Raw(paths.last()), Raw(paths.last()));
    }
    return paths;
}

}  // namespace

class TestTrash : public QObject {
    Q_OBJECT

    const QByteArray homeTrash = Raw(test::TestHome()) + "/data/Trash";

private Q_SLOTS:
    void namesRoundTripThroughTheHomeTrash() {
        QTemporaryDir tree;
        const QByteArray root = Raw(tree.path());
        // What earlier requests and other programs left: two trashed covers, a file without a
        // record and a record without its file.
        for (const QByteArray name : {"cover.jpg", "cover.2.jpg", "cover.3.jpg"})
            QVERIFY(Write(homeTrash + "/files/" + name, "old " + name));
        for (const QByteArray name : {"cover.jpg", "cover.2.jpg", "cover.4.jpg"})
            QVERIFY(Write(homeTrash + "/info/" + name + ".trashinfo",
                          "[Trash Info]\nPath=" + root + "/" + name +
                              "\nDeletionDate=2024-01-02T03:04:05\n"));

        // Numbered after the highest number in the Trash; too long for a record (255 bytes at
        // most): cut on a character, extension kept.
        const QByteArray longName = QByteArray(251, 'x') + ".mp3";
        const QByteArray cjk = QString(82, QChar(0x4E2D)).toUtf8();  // 246 bytes
        const QList<std::pair<QByteArray, QByteArray>> cases{
            {"cover.jpg", "cover.5.jpg"},
            {"50% off & #1?\n.mp3", "50% off & #1?\n.mp3"},
            {u"\uFEFFbom.txt"_s.toUtf8(), u"\uFEFFbom.txt"_s.toUtf8()},
            {longName, QByteArray(241, 'x') + ".mp3"},
            {longName, QByteArray(239, 'x') + ".2.mp3"},
            {cjk + ".flac", cjk.left(80 * 3) + ".flac"}};
        Request request;
        QList<QByteArray> paths;  // each in a folder of its own
        for (const auto& [name, trashed] : cases) {
            paths.append(root + '/' + QByteArray::number(paths.size()) + '/' + name);
            QVERIFY(Write(paths.last(), paths.last()));
            QVERIFY2(request.Move(paths.last()), qPrintable(request.reason));
            QCOMPARE(Raw(request.moved.trashed), homeTrash + "/files/" + trashed);
        }

        // A file manager restores every file with a record, the old ones included, byte for byte.
        // The file without a record stays.
        QCOMPARE(ReadRecords(homeTrash, {}, nullptr, true).size(), cases.size() + 2);
        for (const QByteArray& path : paths)
            QCOMPARE(Read(path), path);
        QCOMPARE(Read(homeTrash + "/files/cover.3.jpg"), "old cover.3.jpg");
    }

    // Two programs' requests of one name into one Trash at once: no false failure.
    void twoRequestsShareOneTrash() {
        TmpfsMount mount("size=64m,mode=700");  // in memory they run neck and neck
        const QByteArray root = mount.path() + '/';
        QProcess put[2];
        for (QProcess& request : put) {
            request.setStandardOutputFile(QProcess::nullDevice());  // a full pipe would stall it
            request.start(QStringLiteral(TRASH_PUT),
                          QStringList{Text(root + "data")} +
                              MakeCovers(root + QByteArray::number(&request - put), 3000));
        }
        for (QProcess& request : put)
            QVERIFY(request.waitForFinished() && request.exitCode() == 0);
        QCOMPARE(ReadRecords(root + "data/Trash", {}, nullptr, true).size(), 6000);
    }

    // A file in the Trash that is not the one moved stays there: the Trash emptied and refilled by
    // another program, its record the same bytes; or the file rewritten with as many bytes and its
    // times put back.
    void undoPutsBackOnlyWhatItMoved_data() {
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("Trash emptied and refilled") << false;
        QTest::newRow("rewritten, times put back") << true;
    }
    void undoPutsBackOnlyWhatItMoved() {
        QFETCH(bool, rewritten);
        QTemporaryDir tree;
        const QByteArray mine = Raw(tree.path()) + "/undo.jpg";
        Request request;
        QVERIFY(Write(mine, "mine") && request.Move(mine));
        const TrashedFile& moved = request.moved;
        const QByteArray trashed = Raw(moved.trashed), record = Read(Raw(moved.record));
        struct stat was;
        QVERIFY(::lstat(trashed.constData(), &was) == 0);
        if (rewritten) {
            QTest::qWait(50);  // change times move by clock ticks
            QVERIFY(Write(trashed, "them"));
            const timespec times[2] = {was.st_atim, was.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, trashed.constData(), times, AT_SYMLINK_NOFOLLOW) == 0);
        } else {
            QVERIFY(QFile::remove(moved.trashed) && QFile::remove(moved.record));
            QVERIFY(Write(trashed, "them") && Write(Raw(moved.record), record));
        }
        QVERIFY(!TrashWriter::Restore(moved, request.reason) && !QFile::exists(Text(mine)));
        QCOMPARE(request.reason, u"It is no longer in the Trash."_s);
        QVERIFY(Read(trashed) == "them" && Read(Raw(moved.record)) == record);
    }

    // Without a no-replace rename (EINVAL on FUSE), a file appearing then is never replaced.
    void noReplaceRenameMissing() {
        QTemporaryDir tree;
        const QByteArray song = Raw(tree.path()) + "/einval.mp3", them = song + ".them";
        QVERIFY(Write(song, "mine") && Write(them, "them"));
        QByteArray appears = "einval.mp3";  // taken by another program as it is tried
        Request request([&](Step step, int, const char*, int toDir, const char* to) {
            if (step == Step::Rename && appears == to &&
                ::linkat(AT_FDCWD, them.constData(), toDir, std::exchange(appears, {}).constData(),
                         0))
                return EIO;
            return step == Step::Rename ? EINVAL : 0;
        });
        QVERIFY2(request.Move(song), qPrintable(request.reason));
        const TrashedFile& moved = request.moved;
        QVERIFY(Read(homeTrash + "/files/einval.mp3") == "them" &&
                Read(Raw(moved.trashed)) == "mine");
        appears = song;
        QVERIFY(!TrashWriter::Restore(moved, request.reason) && Read(song) == "them");
        QCOMPARE(request.reason, u"Another file now has its name."_s);
        QVERIFY(QFile::remove(Text(song)) && TrashWriter::Restore(moved, request.reason));
        QVERIFY(Read(song) == "mine" && !QFile::exists(moved.record));
    }

    // A folder swapped in after the check goes back with all it holds, and no record stays.
    void folderSwappedInIsPutBack() {
        QTemporaryDir tree;
        const QByteArray file = Raw(tree.path()) + "/swap.jpg", aside = file + ".aside";
        QVERIFY(Write(file, "file"));
        Request request([&](Step step, int, const char* from, int, const char*) {
            const bool swap = step == Step::Move && file == from;
            return swap && !(::rename(from, aside.constData()) == 0 && Write(file + "/in", "in"));
        });
        QVERIFY(!request.Move(file));
        QCOMPARE(request.reason, u"It changed while it was being moved."_s);
        QVERIFY(Read(file + "/in") == "in" && Read(aside) == "file");
        QVERIFY(QDir(Text(homeTrash + "/info")).entryList({u"swap.jpg*"_s}).isEmpty());
    }

    // Each file moves only once its record is on disk; a request syncs once a batch.
    void recordsReachTheDiskBeforeTheirFiles() {
        QTemporaryDir tree;
        const QStringList paths = MakeCovers(Raw(tree.path()), 100);
        int unsynced = 0, syncs = 0, early = 0;
        Request request([&](Step step, int, const char*, int, const char*) {
            unsynced = step == Step::Written ? unsynced + 1 : step == Step::Synced ? 0 : unsynced;
            syncs += step == Step::Synced;
            early += step == Step::Move && unsynced > 0;
            return 0;
        });
        request.writer.Plan(paths);
        for (const QString& path : paths)
            QVERIFY2(request.Move(Raw(path)), qPrintable(request.reason));
        QVERIFY(early == 0 && syncs < 10);
    }

    // A bind mount of the home drive cannot be renamed across into the home Trash: its files go to
    // its own top folder's Trash, still a batch of records a sync.
    void bindMountOfTheHomeDrive() {
        QTemporaryDir source, top;
        if (::geteuid() != 0 ||
            ::mount(source.path().toUtf8().constData(), top.path().toUtf8().constData(), nullptr,
                    MS_BIND, nullptr) != 0)
            QSKIP("A bind mount needs root.");
        const auto unmount =
            qScopeGuard([&] { ::umount2(Raw(top.path()).constData(), MNT_DETACH); });
        QStringList paths;
        for (int k = 0; k < 40; ++k) {
            paths.append(Text(Raw(top.path()) + "/album/" + QByteArray::number(k) + ".mp3"));
            QVERIFY(Write(Raw(paths.last()), Raw(paths.last())));
        }
        int syncs = 0;
        Request request([&](Step step, int, const char*, int, const char*) {
            syncs += step == Step::Synced;
            return 0;
        });
        request.writer.Plan(paths);
        for (const QString& path : paths) {
            QVERIFY2(request.Move(Raw(path)), qPrintable(request.reason));
            QVERIFY(request.moved.trashed.startsWith(top.path() + u"/.Trash-"_s));
        }
        QVERIFY2(syncs <= 3, qPrintable(QString::number(syncs)));
        QVERIFY(QDir(Text(homeTrash + "/info")).entryList({u"*.mp3.trashinfo"_s}).isEmpty());
    }

    // What is in the "files" or "info" of any Trash stays; a folder "files" elsewhere is no Trash.
    void trashContentsRefused() {
        TmpfsMount mount("size=1m");
        const QByteArray top = mount.path();
        QList<QByteArray> paths{homeTrash + "/files/refused.jpg",
                                homeTrash + "/info/refused.jpg.trashinfo",
                                homeTrash + "/files/folder/refused.jpg"};
        if (mount.mounted)
            paths << top + "/.Trash-4321/files/refused.jpg" << top + "/.Trash/0/info/a.trashinfo";
        QVERIFY(QFile::link(Text(homeTrash + "/files"), Text(top + "/link")));
        Request request;
        for (const QByteArray& path : paths + QList<QByteArray>{top + "/link/refused.jpg"}) {
            QVERIFY(Write(path, path) && !request.Move(path) && QFile::exists(Text(path)));
            QCOMPARE(request.reason, u"It is in the Trash already."_s);
        }
        QVERIFY(Write(top + "/files/refused.jpg", "plain") &&
                request.Move(top + "/files/refused.jpg"));
    }

    // A Trash shown elsewhere by a bind mount is still that Trash: the home one, and a top
    // folder's, any user's. Nothing is moved, and no Trash is made inside one.
    void trashContentsThroughABindMountRefused() {
        TmpfsMount mount("size=1m");
        if (!mount.mounted)
            QSKIP("A bind mount needs root.");
        const QByteArray top = mount.path(), homeView = top + "/home-trash",
                         topView = top + "/top-trash";
        QVERIFY(Write(homeTrash + "/files/kept.jpg", "kept") &&
                Write(homeTrash + "/info/kept.jpg.trashinfo", "record") &&
                Write(top + "/.Trash-4321/files/kept.jpg", "kept"));
        QList<QByteArray> views;
        for (const auto& [source, view] : {std::pair<QByteArray, QByteArray>{homeTrash, homeView},
                                           {top + "/.Trash-4321", topView}}) {
            QVERIFY(QDir().mkpath(Text(view)));
            QCOMPARE(::mount(source.constData(), view.constData(), nullptr, MS_BIND, nullptr), 0);
            views.append(view);
        }
        const auto unmount = qScopeGuard([&] {
            for (const QByteArray& view : views)
                ::umount2(view.constData(), MNT_DETACH);
        });
        Request request;
        for (const QByteArray& path :
             QList<QByteArray>{homeView + "/files/kept.jpg", homeView + "/info/kept.jpg.trashinfo",
                               topView + "/files/kept.jpg"}) {
            QVERIFY2(!request.Move(path), path.constData());
            QCOMPARE(request.reason, u"It is in the Trash already."_s);
            QVERIFY(QFile::exists(Text(path)));
        }
        QVERIFY(QDir(Text(homeTrash))
                    .entryList({u".Trash*"_s}, QDir::Hidden | QDir::AllEntries)
                    .isEmpty());
    }

    // Set up by a shell command in the top folder; the Trash used, or the reason it failed.
    void topFolderTrashes_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char* name, const char* setup, const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(setup) << QByteArray(expected);
        };
        row("no shared folder", "true", ".Trash-%1");
        row("shared, sticky", "mkdir -m 1777 .Trash", ".Trash/%1");
        row("shared, not sticky", "mkdir -m 777 .Trash", ".Trash-%1");
        row("shared, a link", "mkdir -m 1777 s && ln -s s .Trash", ".Trash-%1");
        row("none can be made", "echo >.Trash-$(id -u)", "no Trash");
        row("drive full",
            "mkdir -p .Trash-$(id -u)/info && touch .Trash-$(id -u)/info/a && cat /dev/zero >f "
            "2>/dev/null; true",
            std::strerror(ENOSPC));
    }

    void topFolderTrashes() {
        QFETCH(QString, setup);
        QFETCH(QByteArray, expected);
        TmpfsMount mount("size=256k,mode=755");
        if (!mount.mounted)
            QSKIP("Mounting a second file system needs root.");
        const QByteArray top = mount.path(), uid = QByteArray::number(::getuid()),
                         song = top + "/music/song.mp3";
        QVERIFY(Write(song, "song"));
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-c"_s, u"cd \"$0\" && "_s + setup, Text(top)}), 0);
        Request request;
        const bool ok = request.Move(song);
        QVERIFY2(ok ? expected.startsWith(".Trash")
                    : request.reason.contains(QString::fromUtf8(expected)),
                 qPrintable(request.reason));
        const QByteArray used = top + '/' + QByteArray(expected).replace("%1", uid);
        struct stat st;
        if (ok) {
            QCOMPARE(Raw(request.moved.trashed), used + "/files/song.mp3");
            QVERIFY(::lstat(used.constData(), &st) == 0 && (st.st_mode & 07777) == 0700);
            // Relative to the top folder, so that the drive can be mounted anywhere.
            const QList<Record> restored = ReadRecords(used, top, nullptr, true);
            QVERIFY(restored.size() == 1 && restored[0].path == "music/song.mp3");
        }
        // Restored, or never moved: a failed move leaves no record.
        QVERIFY(!QFile::exists(Text(top + "/.Trash-" + uid + "/info/song.mp3.trashinfo")));
        QCOMPARE(Read(song), "song");
    }

    void killedRequestLosesNothing() {
        // A request killed at any instant: every file stays or comes back from its complete record,
        // at most one is left over, the next request copes and tidies up. TALLYROOK_KILL_RUNS runs.
        const int runs = qMax(30, qEnvironmentVariableIntValue("TALLYROOK_KILL_RUNS"));
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        for (int run = 0; run < runs; ++run) {
            // In memory where possible: the instants that matter are the moves', not the disk's.
            TmpfsMount mount("size=64m,mode=700");
            const QByteArray home = mount.path();
            const QByteArray trash = home + "/data/Trash";
            QStringList paths;
            for (int k = 0; k < 300; ++k) {
                paths.append(Text(home + "/music/" + QByteArray::number(k) +
                                  (k % 3 ? "/cover.jpg" : "/track.mp3")));
                QVERIFY(Write(Raw(paths.last()), Raw(paths.last())));
            }
            // The writer in a child process, as a request, with its Trash in `home`.
            QProcess put;
            put.start(QStringLiteral(TRASH_PUT), QStringList{Text(home + "/data")} + paths);
            // After a random number of moves, at a random instant within the next few (a move
            // takes 0.1 to 0.5 ms).
            const qsizetype after = random.bounded(int(paths.size()));
            for (qsizetype seen = 0; seen < after && put.waitForReadyRead();)
                seen += put.readAllStandardOutput().count('\n');
            ::usleep(random.bounded(1000));
            put.kill();
            QVERIFY(put.waitForFinished());

            QStringList stayed = paths;
            stayed.removeIf([](const QString& path) { return !QFile::exists(path); });
            // Killed between the record's claim and the file's rename.
            QList<Record> left;
            const QList<Record> records = ReadRecords(trash, {}, &left);
            QCOMPARE(records.size() + left.size(),
                     QDir(Text(trash + "/info")).entryList({u"*.trashinfo"_s}).size());
            QVERIFY(left.isEmpty() ||
                    (left.size() == 1 && stayed.contains(Text(left[0].original))));

            // Lost, copied or misfiled files show in the count or the contents.
            QProcess next;
            next.start(QStringLiteral(TRASH_PUT), QStringList{Text(home + "/data")} + stayed);
            QVERIFY(next.waitForFinished() && next.exitCode() == 0);
            QVERIFY(stayed.isEmpty() ||
                    QDir(Text(trash)).entryList(QDir::Dirs | QDir::Hidden).size() == 4);
            QCOMPARE(ReadRecords(trash, {}, nullptr, true).size(), paths.size());
            for (const QString& path : paths)
                QCOMPARE(Read(Raw(path)), Raw(path));
        }
        qInfo("%d runs, seed %u", runs, seed);
    }
};

TALLYROOK_TEST_MAIN(TestTrash)
#include "test_trash.moc"
