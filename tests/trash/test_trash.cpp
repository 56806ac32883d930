#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "search/file_functions.h"
#include "support/test_env.h"
#include "trash/trash_writer.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

QByteArray Raw(const QString& path) {
    return QFile::encodeName(path);
}
QString Text(const QByteArray& path) {
    return DecodeFileName(path);
}

bool Write(const QByteArray& path, const QByteArray& content) {
    QDir().mkpath(Text(path.left(path.lastIndexOf('/'))));
    QFile file(Text(path));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray Read(const QByteArray& path) {
    QFile file(Text(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QByteArrayList Entries(const QByteArray& folder) {
    QByteArrayList names;
    for (const QString& name :
         QDir(Text(folder))
             .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDir::Name))
        names.append(Raw(name));
    return names;
}

struct Record {
    QByteArray name;  // in "files"
    QByteArray path;  // where it came from, as written
    QByteArray original;
    QDateTime deleted;
};

// A Trash as a file manager reads it: the header, a percent-encoded Path= (from `top` when
// relative) and a deletion date. `leftovers` gets the records whose file is not in "files".
QList<Record> ReadRecords(const QByteArray& trash, const QByteArray& top,
                          QByteArrayList* leftovers = nullptr) {
    QList<Record> records;
    for (const QByteArray& entry : Entries(trash + "/info")) {
        const QByteArrayList lines = Read(trash + "/info/" + entry).split('\n');
        Record record{entry.chopped(10), {}, {}, {}};
        for (const QByteArray& line : lines) {
            if (line.startsWith("Path="))
                record.path = line.mid(5);
            if (line.startsWith("DeletionDate="))
                record.deleted = QDateTime::fromString(QString::fromLatin1(line.mid(13)),
                                                       u"yyyy-MM-dd'T'HH:mm:ss"_s);
        }
        record.original = QByteArray::fromPercentEncoding(record.path);
        if (!record.original.startsWith('/'))
            record.original = top + '/' + record.original;
        if (!Exists(trash + "/files/" + record.name)) {
            if (leftovers)
                leftovers->append(record.name);
            continue;
        }
        if (lines.value(0) != "[Trash Info]" || record.path.isEmpty() || !record.deleted.isValid())
            qWarning() << "bad record" << entry << lines;
        records.append(record);
    }
    return records;
}

// Restores every file by its record, as a file manager does; the paths restored, in order.
QByteArrayList RestoreAll(const QByteArray& trash, const QByteArray& top) {
    QByteArrayList restored;
    for (const Record& record : ReadRecords(trash, top)) {
        if (::rename(QByteArray(trash + "/files/" + record.name).constData(),
                     record.original.constData()) == 0 &&
            ::unlink(QByteArray(trash + "/info/" + record.name + ".trashinfo").constData()) == 0)
            restored.append(record.original);
    }
    return restored;
}

// The writer in a child process, as a request, with `home` as its home; as `user` when given.
void StartPut(QProcess& put, const QByteArray& home, const QStringList& paths,
              const passwd* user = nullptr) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, Text(home));
    env.insert(u"XDG_DATA_HOME"_s, Text(home + "/data"));
    put.setProcessEnvironment(env);
    if (!user) {
        put.start(QStringLiteral(TRASH_PUT), paths);
        return;
    }
    put.start(u"setpriv"_s,
              QStringList{u"--reuid=%1"_s.arg(user->pw_uid), u"--regid=%1"_s.arg(user->pw_gid),
                          u"--clear-groups"_s, QStringLiteral(TRASH_PUT)} +
                  paths);
}

// A small file system of its own for one test, mounted only when running as root.
class TmpfsMount {
public:
    explicit TmpfsMount(const char* options) {
        mounted_ = ::geteuid() == 0 &&
                   ::mount("tallyrook-test", path().constData(), "tmpfs", 0, options) == 0;
    }
    ~TmpfsMount() {
        if (mounted_)
            ::umount2(path().constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    QByteArray path() const { return Raw(dir_.path()); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

}  // namespace

class TestTrash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // Nine hours east of UTC: a record stamped in UTC would be caught.
        qputenv("TZ", "XYZ-9");
        ::tzset();
    }

    void namesRoundTripThroughTheHomeTrash() {
        QTemporaryDir tree;
        const QByteArray root = Raw(tree.path());
        const QByteArray trash = Raw(test::TestHome()) + "/data/Trash";
        // What earlier requests and other programs left: two trashed covers, a file without a
        // record and a record without its file.
        for (const char* name : {"cover.jpg", "cover.2.jpg"}) {
            QVERIFY(Write(trash + "/files/" + name, "old " + QByteArray(name)));
            QVERIFY(Write(trash + "/info/" + name + ".trashinfo",
                          "[Trash Info]\nPath=" + root + "/old/" + name +
                              "\nDeletionDate=2024-01-02T03:04:05\n"));
        }
        QVERIFY(Write(trash + "/files/cover.3.jpg", "orphan"));
        QVERIFY(Write(trash + "/info/cover.4.jpg.trashinfo",
                      "[Trash Info]\nPath=/x\nDeletionDate=2024-01-02T03:04:05\n"));
        QVERIFY(QDir().mkpath(Text(root + "/old")));

        const QByteArray longName = QByteArray(251, 'x') + ".mp3";   // 255 bytes, the most
        const QByteArray cjk = QString(82, QChar(0x4E2D)).toUtf8();  // 246 bytes
        const QByteArrayList names{"a/cover.jpg",
                                   "b/cover.jpg",
                                   "c/cover.jpg",
                                   "d/50% off & #1?\n.mp3",
                                   "e/\xEF\xBB\xBF"
                                   "bom.txt",
                                   "f/" + longName,
                                   "g/" + longName,
                                   "h/" + cjk,
                                   "i/" + cjk + ".flac"};
        TrashWriter writer;
        QByteArrayList trashedNames;
        for (const QByteArray& name : names) {
            const QByteArray path = root + '/' + name;
            QVERIFY(Write(path, path));
            TrashedFile moved;
            QString reason;
            QVERIFY2(writer.MoveToTrash(Text(path), moved, reason), qPrintable(reason));
            QVERIFY(!Exists(path) && Exists(Raw(moved.trashed)) && Exists(Raw(moved.record)));
            QCOMPARE(Raw(moved.record),
                     trash + "/info/" + Raw(moved.trashed).mid(trash.size() + 7) + ".trashinfo");
            trashedNames.append(Raw(moved.trashed).mid(trash.size() + 7));
        }
        // Numbered after the highest number in the Trash; too long for a record: cut on a
        // character, extension kept.
        QCOMPARE(trashedNames.mid(0, 5),
                 (QByteArrayList{"cover.5.jpg", "cover.6.jpg", "cover.7.jpg", "50% off & #1?\n.mp3",
                                 "\xEF\xBB\xBF"
                                 "bom.txt"}));
        QCOMPARE(trashedNames[5], QByteArray(241, 'x') + ".mp3");
        QCOMPARE(trashedNames[6], QByteArray(239, 'x') + ".2.mp3");
        QCOMPARE(trashedNames[7], cjk.left(81 * 3));
        QCOMPARE(trashedNames[8], cjk.left(80 * 3) + ".flac");

        // A file manager restores every file, the old ones included, byte for byte; ours carry
        // the local time of their move.
        QByteArrayList leftovers;
        const QList<Record> records = ReadRecords(trash, {}, &leftovers);
        QCOMPARE(records.size(), names.size() + 2);
        for (const Record& record : records)
            QVERIFY(record.path.contains("/old/") ||
                    qAbs(record.deleted.secsTo(QDateTime::currentDateTime())) < 600);
        QCOMPARE(leftovers, QByteArrayList{"cover.4.jpg"});
        const QByteArrayList restored = RestoreAll(trash, {});
        QCOMPARE(restored.size(), names.size() + 2);
        for (const QByteArray& name : names)
            QCOMPARE(Read(root + '/' + name), root + '/' + name);
        QCOMPARE(Read(root + "/old/cover.2.jpg"), "old cover.2.jpg");
        QCOMPARE(Read(trash + "/files/cover.3.jpg"), "orphan");
    }

    void topFolderTrashes_data() {
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<QByteArray>("expected");  // the Trash used, or the reason it failed
        QTest::newRow("no shared folder") << QByteArray() << QByteArray(".Trash-%1");
        QTest::newRow("shared, sticky") << QByteArray("sticky") << QByteArray(".Trash/%1");
        QTest::newRow("shared, not sticky") << QByteArray("plain") << QByteArray(".Trash-%1");
        QTest::newRow("shared, a link") << QByteArray("link") << QByteArray(".Trash-%1");
        QTest::newRow("none can be made") << QByteArray("blocked") << QByteArray("no Trash");
        QTest::newRow("drive full") << QByteArray("full") << QByteArray(std::strerror(ENOSPC));
    }

    void topFolderTrashes() {
        QFETCH(QByteArray, setup);
        QFETCH(QByteArray, expected);
        TmpfsMount mount("size=256k,mode=755");
        if (!mount.mounted())
            QSKIP("Mounting a second file system needs root.");
        const QByteArray top = mount.path();
        const QByteArray uid = QByteArray::number(::getuid());
        const QByteArray song = top + "/music/song.mp3";
        QVERIFY(Write(song, "song"));
        if (setup == "sticky" || setup == "plain")
            QVERIFY(::mkdir(QByteArray(top + "/.Trash").constData(),
                            setup == "sticky" ? 01777 : 0777) == 0 &&
                    ::chmod(QByteArray(top + "/.Trash").constData(),
                            setup == "sticky" ? 01777 : 0777) == 0);
        if (setup == "link")
            QVERIFY(::mkdir(QByteArray(top + "/shared").constData(), 01777) == 0 &&
                    ::symlink("shared", QByteArray(top + "/.Trash").constData()) == 0);
        if (setup == "blocked")
            QVERIFY(Write(top + "/.Trash-" + uid, "not a folder"));
        if (setup == "full") {
            QVERIFY(Write(top + "/.Trash-" + uid + "/info/a", ""));
            FILE* filler = std::fopen(QByteArray(top + "/filler").constData(), "wb");
            const QByteArray block(4096, '\0');
            while (std::fwrite(block.constData(), 1, block.size(), filler) ==
                       size_t(block.size()) &&
                   std::fflush(filler) == 0) {
            }
            std::fclose(filler);
        }

        TrashWriter writer;
        TrashedFile moved;
        QString reason;
        const bool ok = writer.MoveToTrash(Text(song), moved, reason);
        if (!expected.startsWith(".Trash")) {
            QVERIFY(!ok);
            QVERIFY2(reason.contains(QString::fromUtf8(expected)), qPrintable(reason));
            QCOMPARE(Read(song), "song");
            QVERIFY(!Entries(top + "/.Trash-" + uid + "/info").contains("song.mp3.trashinfo"));
            return;
        }
        QVERIFY2(ok, qPrintable(reason));
        const QByteArray used = top + '/' + QByteArray(expected).replace("%1", uid);
        QCOMPARE(Raw(moved.trashed), used + "/files/song.mp3");
        struct stat st;
        QVERIFY(::lstat(used.constData(), &st) == 0 && (st.st_mode & 07777) == 0700);
        // Relative to the top folder, so that the drive can be mounted anywhere.
        const QList<Record> records = ReadRecords(used, top);
        QVERIFY(records.size() == 1 && records[0].path == "music/song.mp3");
        QCOMPARE(RestoreAll(used, top), QByteArrayList{song});
        QCOMPARE(Read(song), "song");
    }

    void failuresEndWithAReason() {
        // Records that another program claims after this writer looked: each name costs one
        // attempt, and the writer gives up after a bounded number.
        QTemporaryDir tree;
        const QByteArray trash = Raw(test::TestHome()) + "/data/Trash";
        TrashWriter writer;
        TrashedFile moved;
        QString reason;
        const QByteArray first = Raw(tree.path()) + "/1/taken.jpg";
        const QByteArray second = Raw(tree.path()) + "/2/taken.jpg";
        QVERIFY(Write(first, "1") && Write(second, "2"));
        QVERIFY(writer.MoveToTrash(Text(first), moved, reason));
        for (int n = 2; n < 1000; ++n)
            QVERIFY(Write(trash + "/info/taken." + QByteArray::number(n) + ".jpg.trashinfo", ""));
        QVERIFY(!writer.MoveToTrash(Text(second), moved, reason));
        QVERIFY2(reason.contains(u"free name"_s), qPrintable(reason));
        QCOMPARE(Read(second), "2");
        for (int n = 2; n < 1000; ++n)
            QVERIFY(QFile::remove(Text(trash) + u"/info/taken.%1.jpg.trashinfo"_s.arg(n)));
    }

    void unwritableRecordFolder() {
        // A Trash left owned by root: its user cannot write records there. Run as that user.
        if (::geteuid() != 0 || ::getpwnam("nobody") == nullptr)
            QSKIP("Needs root to run the writer as the unprivileged user \"nobody\".");
        QTemporaryDir base;
        const QByteArray home = Raw(base.path());
        const struct passwd* nobody = ::getpwnam("nobody");
        QVERIFY(Write(home + "/music/song.mp3", "song"));
        QVERIFY(::mkdir(QByteArray(home + "/data").constData(), 0755) == 0);
        QVERIFY(Write(home + "/data/Trash/files/x", "") && Write(home + "/data/Trash/info/x", ""));
        for (const char* path : {"", "/music", "/music/song.mp3", "/data/Trash/files"})
            QVERIFY(::chown(QByteArray(home + path).constData(), nobody->pw_uid, nobody->pw_gid) ==
                    0);
        QVERIFY(::chmod(home.constData(), 0755) == 0);

        QProcess put;
        StartPut(put, home, {Text(home + "/music/song.mp3")}, nobody);
        QVERIFY(put.waitForFinished(20'000));
        const QByteArray out = put.readAllStandardOutput();
        QVERIFY2(out.startsWith("failed\t") && out.contains(std::strerror(EACCES)),
                 out.constData());
        QCOMPARE(Read(home + "/music/song.mp3"), "song");
        QCOMPARE(Entries(home + "/data/Trash/info"), QByteArrayList{"x"});
    }

    void killedRequestLosesNothing() {
        // A request killed at a random instant: every file is in place or in the Trash with a
        // record that restores it, and at most one record, of the file that was about to move,
        // is left over. The next request copes with it. TALLYROOK_KILL_RUNS runs (default 30).
        const int runs = qEnvironmentVariableIsSet("TALLYROOK_KILL_RUNS")
                             ? qEnvironmentVariableIntValue("TALLYROOK_KILL_RUNS")
                             : 30;
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        int partial = 0, leftovers = 0;
        qint64 perMove = 0;  // microseconds
        for (int run = -1; run < runs; ++run) {
            // On a file system in memory where possible: the instants that matter are the
            // moves', not the disk's.
            TmpfsMount mount("size=64m,mode=700");
            QTemporaryDir plain;
            const QByteArray home = mount.mounted() ? mount.path() : Raw(plain.path());
            const QByteArray trash = home + "/data/Trash";
            QStringList paths;
            for (int k = 0; k < 300; ++k) {
                const QByteArray path = home + "/music/" + QByteArray::number(k) +
                                        (k % 3 ? "/cover.jpg" : "/track.mp3");
                QVERIFY(Write(path, path));
                paths.append(Text(path));
            }
            QProcess put;
            StartPut(put, home, paths);
            // After a random number of moves, at a random instant within the next; run -1
            // measures how long a move takes.
            QElapsedTimer timer;
            timer.start();
            if (run < 0) {
                QVERIFY(put.waitForFinished());
                perMove = timer.nsecsElapsed() / 1000 / paths.size();
                continue;
            }
            const qsizetype after = random.bounded(int(paths.size()));
            for (qsizetype seen = 0; seen < after && put.waitForReadyRead();)
                seen += put.readAllStandardOutput().count('\n');
            QThread::usleep(random.bounded(int(perMove) + 1));
            put.kill();
            QVERIFY(put.waitForFinished());

            QByteArrayList left;
            const QList<Record> records = ReadRecords(trash, {}, &left);
            QStringList stayed;
            for (const QString& path : paths) {
                if (Exists(Raw(path))) {
                    QCOMPARE(Read(Raw(path)), Raw(path));
                    stayed.append(path);
                }
            }
            QCOMPARE(records.size() + stayed.size(), paths.size());
            for (const Record& record : records)
                QCOMPARE(Read(trash + "/files/" + record.name), record.original);
            QCOMPARE(Entries(trash + "/files").size(), records.size());
            QVERIFY(left.size() <= 1);
            // Killed between the record's creation and its rename, or while it was written.
            for (const QByteArray& name : left) {
                const QByteArray path =
                    Read(trash + "/info/" + name + ".trashinfo").split('\n').value(1).mid(5);
                QVERIFY(path.isEmpty() ||
                        stayed.contains(Text(QByteArray::fromPercentEncoding(path))));
            }
            partial += !records.isEmpty() && !stayed.isEmpty();
            leftovers += int(left.size());

            QProcess next;
            StartPut(next, home, stayed);
            QVERIFY(next.waitForFinished());
            QVERIFY(!next.readAllStandardOutput().contains("failed"));
            QCOMPARE(RestoreAll(trash, {}).size(), paths.size());
            for (const QString& path : paths)
                QCOMPARE(Read(Raw(path)), Raw(path));
        }
        qInfo("%d runs (seed %u, %lld us a move): %d killed part-way, %d leaving a record", runs,
              seed, perMove, partial, leftovers);
    }
};

TALLYROOK_TEST_MAIN(TestTrash)
#include "test_trash.moc"
