#pragma once

#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace tallyrook::test {

// A folder tree made at test time and removed afterwards, whatever its names. Relative paths use
// "/"; dir and file make the missing folders on the way.
class TempTree {
public:
    // By rm: QDir cannot name entries that are not UTF-8, nor reach past the path limit.
    ~TempTree() { QProcess::execute(u"rm"_qs, {u"-rf"_qs, u"--"_qs, root()}); }

    // The root, without a closing "/", as text and as the file system spells it.
    QString root() const { return dir_.path(); }
    QByteArray rawRoot() const { return QFile::encodeName(root()); }
    QString path(const QString& relative) const { return root() + u'/' + relative; }

    void dir(const QString& relative) { QVERIFY(QDir().mkpath(path(relative))); }
    // A sparse file of `size` bytes; `mtime`, when valid, becomes its last-write time.
    void file(const QString& relative, qint64 size = 0, const QDateTime& mtime = {}) {
        QFile f(path(relative));
        QDir().mkpath(QFileInfo(f).path());
        QVERIFY2(f.open(QIODevice::WriteOnly) && f.resize(size), qPrintable(f.fileName()));
        if (mtime.isValid())
            QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
    }
    // A file holding `bytes`, its last-write time `mtime` when valid.
    void write(const QString& relative, const QByteArray& bytes, const QDateTime& mtime = {}) {
        file(relative);
        QFile f(path(relative));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush());
        if (mtime.isValid())
            QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
    }
    void link(const QString& at, const QString& target) { QVERIFY(QFile::link(target, path(at))); }
    void hardLink(const QString& at, const QString& target) {
        QDir().mkpath(QFileInfo(path(at)).path());
        QVERIFY(::link(QFile::encodeName(path(target)), QFile::encodeName(path(at))) == 0);
    }
    // An empty file, or given S_IFIFO a named pipe, named in raw bytes (which need not be UTF-8).
    void rawFile(const QByteArray& relative, mode_t type = S_IFREG) {
        QVERIFY2(::mknod(QByteArray(rawRoot() + '/' + relative).constData(), type | 0600, 0) == 0,
                 relative.constData());
    }

private:
    QTemporaryDir dir_{QDir::tempPath() + u"/tallyrook-tree-XXXXXX"};
};

// Bytes that repeat only every 251, so that a chunk read at the wrong offset shows.
inline QByteArray Pattern(qint64 size, int seed = 0) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i + seed) % 251);
    return bytes;
}

}  // namespace tallyrook::test
