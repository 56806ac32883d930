#pragma once

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

namespace tallyrook::test {

// A folder tree made at test time and removed afterwards. Relative paths use "/".
class TempTree {
public:
    TempTree();

    bool isValid() const { return dir_.isValid(); }
    // The root, without a closing "/".
    QString root() const { return dir_.path(); }
    QString path(const QString& relative) const { return root() + u'/' + relative; }

    // Makes the folder and its parents.
    void dir(const QString& relative);
    // Makes a file of `size` bytes (sparse, nothing is written), with its folders; `mtime` when
    // valid becomes its last-write time.
    void file(const QString& relative, qint64 size = 0, const QDateTime& mtime = {});
    // A symbolic link at `relative` pointing at `target` (taken as given).
    void link(const QString& relative, const QString& target);
    // A named pipe.
    void fifo(const QString& relative);
    // An empty file whose path below the root is given as raw bytes, for names that are not
    // valid UTF-8. Its folders must exist.
    void rawFile(const QByteArray& relative);
    // The root as the file system spells it.
    QByteArray rawRoot() const;

private:
    QTemporaryDir dir_;
};

}  // namespace tallyrook::test
