// The Trash writer with files of one name, the way duplicates are named.
//   bench_trash [FILES=10000] [ALREADY=10000]
// ALREADY files named "cover.jpg", each in its own folder, go to a temporary Trash in one request;
// then FILES more of that name in a second request. Then FILES long names of 251 bytes that share
// their first 241, which a Trash name cuts to one stem, go to another empty Trash. All timed.
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include "trash/trash_writer.h"

using namespace tallyrook;

namespace {

QTextStream& Out() {
    static QTextStream out(stdout);
    return out;
}

// `count` files, each in its own folder, named "cover.jpg" or, `shared` true, a long name with a
// shared prefix.
QStringList MakeFiles(const QString& root, const QString& batch, int count, bool shared = false) {
    QStringList files;
    for (int k = 0; k < count; ++k) {
        const QString folder = root + QStringLiteral("/%1/%2").arg(batch).arg(k);
        QDir().mkpath(folder);
        const QString name =
            shared ? QString(241, u'x') + QStringLiteral("%1").arg(k, 10, 10, QChar(u'0'))
                   : QStringLiteral("cover.jpg");
        QFile file(folder + u'/' + name);
        if (file.open(QIODevice::WriteOnly))
            files.append(file.fileName());
    }
    // On disk before the clock starts, as a user's files are: the request's first sync is not
    // to write out what was made just now.
    ::sync();
    return files;
}

void Report(const char* what, qint64 nanoseconds, qsizetype count, qsizetype failed) {
    Out() << QString::fromLatin1(what).leftJustified(44)
          << QString::number(nanoseconds / 1e6, 'f', 1) << " ms  ("
          << QString::number(double(nanoseconds) / 1e3 / double(qMax<qsizetype>(count, 1)), 'f', 1)
          << " us a file, " << failed << " failed)" << Qt::endl;
}

qsizetype Request(const QStringList& files) {
    TrashWriter writer;
    writer.Plan(files);
    qsizetype failed = 0;
    for (const QString& path : files) {
        TrashedFile moved;
        QString reason;
        failed += !writer.MoveToTrash(path, moved, reason);
    }
    return failed;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    // Never the user's own Trash.
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 10'000;
    const int already = argc > 2 ? QByteArray(argv[2]).toInt() : 10'000;
    const QString root = home.path() + QStringLiteral("/photos");

    QElapsedTimer timer;
    QStringList batch = MakeFiles(root, QStringLiteral("first"), already);
    timer.start();
    qsizetype failed = Request(batch);
    Report("first request, into an empty Trash", timer.nsecsElapsed(), batch.size(), failed);

    batch = MakeFiles(root, QStringLiteral("second"), files);
    timer.restart();
    failed = Request(batch);
    Report("second request, same name already there", timer.nsecsElapsed(), batch.size(), failed);

    Out() << "  Trash entries: "
          << QDir(home.path() + QStringLiteral("/data/Trash/files")).count() - 2 << Qt::endl;

    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/long")));
    batch = MakeFiles(root, QStringLiteral("long"), files, true);
    timer.restart();
    failed = Request(batch);
    Report("long names cut to one stem, into an empty Trash", timer.nsecsElapsed(), batch.size(),
           failed);
    Out() << "  Trash entries: "
          << QDir(home.path() + QStringLiteral("/long/Trash/files")).count() - 2 << Qt::endl;
    return 0;
}
