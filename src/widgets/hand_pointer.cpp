#include "widgets/hand_pointer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QtEndian>

namespace tallyrook {

QCursor CursorFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QCursor(Qt::ArrowCursor);
    const QByteArray data = file.readAll();
    QPixmap picture;
    if (!picture.loadFromData(data, "CUR") && !picture.loadFromData(data))
        return QCursor(Qt::ArrowCursor);
    // A cursor file keeps the hotspot of its first image in the directory entry (bytes 10 to 13,
    // little-endian), which the picture reader drops.
    int x = 0;
    int y = 0;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (data.size() >= 14 && qFromLittleEndian<quint16>(bytes + 2) == 2) {
        x = qFromLittleEndian<quint16>(bytes + 10);
        y = qFromLittleEndian<quint16>(bytes + 12);
    }
    return QCursor(picture, qBound(0, x, picture.width() - 1), qBound(0, y, picture.height() - 1));
}

QCursor HandCursor(const QString& programFolder) {
    // An installed program finds its data in ../share/tallyrook, where the file system layout
    // wants it, rather than beside the executables.
    const QString besideProgram = programFolder + QStringLiteral("/HAND-M.CUR");
    if (QFileInfo::exists(besideProgram))
        return CursorFromFile(besideProgram);
    return CursorFromFile(programFolder + QStringLiteral("/../share/tallyrook/HAND-M.CUR"));
}

QCursor HandCursor() {
    return HandCursor(QCoreApplication::applicationDirPath());
}

}  // namespace tallyrook
