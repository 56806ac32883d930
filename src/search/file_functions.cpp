#include "file_functions.h"

namespace tallyrook {
// Placeholder until the walk lands.
QString FileNameOf(const QString& path) { return path; }
QString FolderOf(const QString&) { return {}; }
bool IsFolder(const QString&) { return false; }
bool FileExists(const QString&) { return false; }
std::optional<qint64> FileSize2(const QString&) { return std::nullopt; }
QDateTime LastWriteTimeUtc(const QString&) { return {}; }
}  // namespace tallyrook
