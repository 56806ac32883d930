#pragma once

#include <QByteArray>

namespace tallyrook {

// Opens the folder named by the first `length` bytes of `path` one name at a time, each relative to
// the one before, so that no call sees more than one name: for paths past the system's length
// limit. Links on the way are followed, as a look-up of the whole path would. A descriptor to
// close, or -1 with errno set when a folder on the way cannot be opened.
int OpenFolderByParts(const QByteArray& path, qsizetype length);

}  // namespace tallyrook
