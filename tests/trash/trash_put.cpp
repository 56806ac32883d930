// Moves each path given to the Trash with one writer, as a request does, and prints a line per
// path: "moved<TAB>TRASHED" or "failed<TAB>REASON". Run by the tests under another user, or
// killed part-way.
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
        if (writer.MoveToTrash(path, moved, reason))
            out << "moved\t" << moved.trashed << '\n';
        else
            out << "failed\t" << reason << '\n';
        out.flush();
    }
    return 0;
}
