#pragma once

#include <QString>
#include <QStringList>

namespace tallyrook {

// Folders whose files stay whatever a helper's rule says: each folder and everything below it.
// A protected file is never checked and never sent to the Trash.
class ProtectedFolders {
public:
    // `folder` with or without its closing "/"; false when it was protected already.
    bool Add(const QString& folder);
    // Stops protecting every folder that holds `path` (a file or a folder); false when none did.
    bool RemoveHolding(const QString& path);
    void Clear() { folders_.clear(); }
    bool IsEmpty() const { return folders_.isEmpty(); }
    // The protected folders, each ending with "/", in the order they were added.
    const QStringList& Folders() const { return folders_; }
    bool Protects(const QString& path) const { return !HolderOf(path).isEmpty(); }
    // The protected folder that holds `path`, the empty text when none does.
    QString HolderOf(const QString& path) const;

private:
    QStringList folders_;
};

}  // namespace tallyrook
