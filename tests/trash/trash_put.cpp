// Moves each path given to the Trash with one writer, as a request does, and prints a line per
// path: "moved<TAB>TRASHED" or "failed<TAB>REASON". Killed part-way by the tests.
#include <QCoreApplication>
#include <QTextStream>

#include "trash/trash_writer.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    tallyrook::TrashWriter writer;
    for (const QString& path : QCoreApplication::arguments().mid(1)) {
        tallyrook::TrashedFile moved;
        QString reason;
        const bool ok = writer.MoveToTrash(path, moved, reason);
        out << (ok ? "moved\t" : "failed\t") << (ok ? moved.trashed : reason) << Qt::endl;
    }
    return 0;
}
