// Moves each path after the first to the Trash, with one writer as a request does, and prints a
// line per path: "moved<TAB>TRASHED" or "failed<TAB>REASON"; exits with 1 when one failed. The
// first is the data folder that holds the Trash. Killed part-way by the tests.
#include <QCoreApplication>
#include <QTextStream>

#include "trash/trash_writer.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qputenv("XDG_DATA_HOME", argv[1]);
    QTextStream out(stdout);
    tallyrook::TrashWriter writer;
    const QStringList paths = QCoreApplication::arguments().mid(2);
    writer.Plan(paths);
    bool failed = false;
    for (const QString& path : paths) {
        tallyrook::TrashedFile moved;
        QString reason;
        const bool ok = writer.MoveToTrash(path, moved, reason);
        failed |= !ok;
        out << (ok ? "moved\t" : "failed\t") << (ok ? moved.trashed : reason) << Qt::endl;
    }
    return failed;
}
