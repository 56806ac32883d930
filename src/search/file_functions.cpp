#include "search/file_functions.h"

#include <QtGlobal>

namespace tallyrook {

bool DateCanBeShown(qint64 secondsSinceEpoch) {
    // From the start of the file-time count (1601-01-01 00:00:00 UTC) to the last second with a
    // four-digit year (9999-12-31 23:59:59 UTC).
    return secondsSinceEpoch >= -11'644'473'600 && secondsSinceEpoch <= 253'402'300'799;
}

QString FileNameOf(const QString& path) {
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

QString FolderOf(const QString& path) {
    return path.first(path.lastIndexOf(u'/') + 1);
}

QString WithoutClosingSlash(const QString& path) {
    return path.size() > 1 && path.endsWith(u'/') ? path.chopped(1) : path;
}

}  // namespace tallyrook
