#include "temp_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace tallyrook::test {

TempTree::TempTree() : dir_(QDir::tempPath() + QStringLiteral("/tallyrook-tree-XXXXXX")) {}

void TempTree::dir(const QString& relative) {
    QVERIFY(QDir().mkpath(path(relative)));
}

void TempTree::file(const QString& relative, qint64 size, const QDateTime& mtime) {
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(full));
    QVERIFY(f.resize(size));
    if (mtime.isValid())
        QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
    f.close();
}

void TempTree::link(const QString& relative, const QString& target) {
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    QVERIFY2(QFile::link(target, full), qPrintable(full));
}

void TempTree::fifo(const QString& relative) {
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    QVERIFY(::mkfifo(QFile::encodeName(full).constData(), 0600) == 0);
}

void TempTree::rawFile(const QByteArray& relative) {
    const QByteArray full = rawRoot() + '/' + relative;
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    QVERIFY2(fd >= 0, full.constData());
    ::close(fd);
}

QByteArray TempTree::rawRoot() const {
    return QFile::encodeName(root());
}

}  // namespace tallyrook::test
