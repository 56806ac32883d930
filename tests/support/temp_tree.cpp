#include "temp_tree.h"

#include <ftw.h>
#include <QProcess>

namespace tallyrook::test {

TempTree::~TempTree() {
    // By the bytes: QDir cannot name entries that are not UTF-8 and would leave them behind.
    const auto remove = [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); };
    ::nftw(rawRoot().constData(), remove, 16, FTW_DEPTH | FTW_PHYS);
    // nftw stops at the system's path limit; rm goes deeper.
    if (QFileInfo::exists(root()))
        QProcess::execute(QStringLiteral("rm"),
                          {QStringLiteral("-rf"), QStringLiteral("--"), root()});
}

void TempTree::file(const QString& relative, qint64 size, const QDateTime& mtime) {
    QFile f(path(relative));
    QDir().mkpath(QFileInfo(f).path());
    QVERIFY2(f.open(QIODevice::WriteOnly) && f.resize(size), qPrintable(f.fileName()));
    if (mtime.isValid())
        QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
}

void TempTree::rawFile(const QByteArray& relative, mode_t type) {
    QVERIFY2(::mknod(QByteArray(rawRoot() + '/' + relative).constData(), type | 0600, 0) == 0,
             relative.constData());
}

}  // namespace tallyrook::test
