#include "selection/protected_folders.h"

namespace tallyrook {

namespace {

QString WithSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

}  // namespace

bool ProtectedFolders::Add(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString held = WithSlash(folder);
    if (folders_.contains(held))
        return false;
    folders_.append(held);
    return true;
}

bool ProtectedFolders::RemoveHolding(const QString& path) {
    // A folder given without its "/" holds itself.
    const QString asFolder = WithSlash(path);
    return folders_.removeIf([&](const QString& folder) {
        return path.startsWith(folder) || asFolder == folder;
    }) > 0;
}

QString ProtectedFolders::HolderOf(const QString& path) const {
    // The folder ends with "/": "/a/b/" never takes in "/a/bc".
    for (const QString& folder : folders_) {
        if (path.startsWith(folder))
            return folder;
    }
    return {};
}

}  // namespace tallyrook
