// A file system's UUID from the links udev keeps in /dev/disk/by-uuid, each naming the block
// device that holds the file system.
#include <sys/stat.h>
#include <QDir>
#include <QFile>

#include "inventory/volume.h"

namespace tallyrook::volume_detail {

bool DeviceOf(const QString& path, quint64& device) {
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    device = quint64(info.st_dev);
    return true;
}

QString UuidOf(quint64 device) {
    const QDir links(QStringLiteral("/dev/disk/by-uuid"));
    for (const QString& name :
         links.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        struct stat info;
        if (::stat(QFile::encodeName(links.filePath(name)).constData(), &info) == 0 &&
            S_ISBLK(info.st_mode) && quint64(info.st_rdev) == device)
            return name;
    }
    return {};
}

}  // namespace tallyrook::volume_detail
