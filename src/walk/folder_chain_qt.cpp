// The folder reader through Qt's file classes, for platforms without the POSIX calls: whole
// paths, folders known by their canonical path.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "search/file_functions.h"
#include "shared/file_names.h"
#include "shared/global.h"
#include "walk/folder_chain.h"

namespace tallyrook::walk_detail {

using FolderId = QString;  // the canonical path

// Qt has neither device and inode numbers nor opening relative
// to a folder, so a folder is known by its canonical path (a bind mount of a listed folder is
// walked again), a folder swapped for a link after it was checked is followed, and paths past
// the system's limit cannot be opened.
class FolderChain::Chain {
public:
    Chain(const ReadAheadLimits&, bool) {}
    int OpenRoot(const QueuedFolder& root) { return Push(root.path, false); }
    bool Ready(const QueuedFolder&) { return true; }
    int Enter(const QueuedFolder& folder) { return Push(folder.path, true); }
    void EnterUnopened(const QueuedFolder& folder) { frames_.push_back({folder.path, {}}); }
    void ListAhead(const WalkQueue&) {}
    void Leave(bool) { frames_.pop_back(); }
    int Depth() const { return int(frames_.size()) - 1; }
    FolderId Id() const { return frames_.back().id; }

    template <typename Handler>
    int Read(Handler onEntry) {
        // Links are left out below by their own test: QDir's link filter also drops shortcuts,
        // which are plain files.
        QDirIterator it(frames_.back().path, QDir::Dirs | QDir::Files | QDir::Hidden |
                                                 QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            const QString name = info.fileName();
            EntryKind kind = EntryKind::Other;
            if (!name.startsWith(u'.') && !info.isSymbolicLink() && !info.isJunction())
                kind = info.isDir()    ? EntryKind::Folder
                       : info.isFile() ? EntryKind::File
                                       : EntryKind::Other;
            const QByteArray raw = QFile::encodeName(name);
            if (!onEntry(raw.constData(), raw.size(), kind))
                break;
        }
        return 0;
    }

    qint64 SizeOf(const char* name) {
        const QFileInfo info(frames_.back().path + DecodeFileName(name));
        return info.isFile() && !info.isSymbolicLink() ? info.size() : FileInventory::NoSize;
    }

private:
    struct Frame {
        QString path;
        FolderId id;
    };

    int Push(const QString& path, bool noLink) {
        const QFileInfo info(WithoutClosingSlash(path));
        if (!info.exists() || (noLink && info.isSymbolicLink()))
            return ENOENT;
        if (!info.isDir())
            return ENOTDIR;
        if (!info.isReadable())
            return EACCES;
        frames_.push_back({path, info.canonicalFilePath()});
        return 0;
    }

    std::vector<Frame> frames_;
};

// FolderChain hands its calls to the Chain above.
FolderChain::FolderChain(const ReadAheadLimits& readAhead, bool readSizes)
    : chain_(std::make_unique<Chain>(readAhead, readSizes)) {}
FolderChain::~FolderChain() = default;
int FolderChain::OpenRoot(const QueuedFolder& root) {
    return chain_->OpenRoot(root);
}
bool FolderChain::Ready(const QueuedFolder& folder) {
    return chain_->Ready(folder);
}
int FolderChain::Enter(const QueuedFolder& folder) {
    return chain_->Enter(folder);
}
void FolderChain::EnterUnopened(const QueuedFolder& folder) {
    chain_->EnterUnopened(folder);
}
void FolderChain::ListAhead(const WalkQueue& queue) {
    chain_->ListAhead(queue);
}
void FolderChain::Leave(bool parentNeeded) {
    chain_->Leave(parentNeeded);
}
int FolderChain::Depth() const {
    return chain_->Depth();
}
int FolderChain::Read(const OnEntry& onEntry) {
    return chain_->Read(onEntry);
}
qint64 FolderChain::SizeOf(const char* name) {
    return chain_->SizeOf(name);
}

bool FolderChain::EnterFirstTime(WalkedFolders& walked) const {
    return walked.Enter(chain_->Id());
}

void FolderChain::NoteIdentity(QueuedFolder& folder) const {
    folder.opened = true;
}

}  // namespace tallyrook::walk_detail
