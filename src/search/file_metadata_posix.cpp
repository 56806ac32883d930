// The file metadata look-ups with the POSIX calls: stat() and look-ups relative to an open folder,
// which also reach paths past the system's length limit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QStringEncoder>
#include <QVarLengthArray>
#include <cerrno>

#include "search/file_functions.h"
#include "search/open_by_parts_posix.h"

namespace tallyrook {

int OpenFolderByParts(const QByteArray& path, qsizetype length) {
    int folder = ::open(path.startsWith('/') ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (qsizetype start = 0; folder >= 0 && start < length;) {
        qsizetype end = path.indexOf('/', start);
        if (end < 0 || end > length)
            end = length;
        if (end > start) {
            const QByteArray name = path.sliced(start, end - start);
            const int next = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const int error = errno;
            ::close(folder);
            errno = error;
            folder = next;
        }
        start = end + 1;
    }
    return folder;
}

namespace {

// stat() for a path past the system's length limit.
bool StatLongPath(const QByteArray& path, struct stat& info) {
    const qsizetype last = path.lastIndexOf('/');
    const int folder = OpenFolderByParts(path, last);
    if (folder < 0)
        return false;
    const QByteArray leaf = path.sliced(last + 1);
    const bool ok = ::fstatat(folder, leaf.isEmpty() ? "." : leaf.constData(), &info, 0) == 0;
    const int error = errno;
    ::close(folder);
    errno = error;
    return ok;
}

// stat() follows links, as opening the path would.
bool StatPath(const QString& path, struct stat& info) {
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    const QByteArray raw = QFile::encodeName(path);
    if (::stat(raw.constData(), &info) == 0)
        return true;
    return errno == ENAMETOOLONG && StatLongPath(raw, info);
}

FileMetadata MetadataOf(const struct stat& info) {
    FileMetadata result;
    // A folder has no size of its own to compare.
    if (!S_ISDIR(info.st_mode))
        result.size = qint64(info.st_size);
    const qint64 seconds = info.st_mtim.tv_sec;
    if (DateCanBeShown(seconds)) {
        // tv_nsec is never negative, so this floors correctly for times before 1970 too.
        const qint64 msecs = seconds * 1000 + info.st_mtim.tv_nsec / 1'000'000;
        result.modifiedUtc = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    }
    return result;
}

}  // namespace

bool IsFolder(const QString& path) {
    struct stat info;
    return StatPath(path, info) && S_ISDIR(info.st_mode);
}

int FolderError(const QString& path) {
    struct stat info;
    if (!StatPath(path, info))
        return errno;
    if (!S_ISDIR(info.st_mode))
        return ENOTDIR;
    // Listing it needs the right to read it, which a look-up does not.
    const QByteArray raw = QFile::encodeName(path);
    int folder = ::open(raw.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 && errno == ENAMETOOLONG)
        folder = OpenFolderByParts(raw, raw.size());
    if (folder < 0)
        return errno;
    ::close(folder);
    return 0;
}

FileMetadata ReadFileMetadata(const QString& path) {
    struct stat info;
    if (!StatPath(path, info))
        return {};
    return MetadataOf(info);
}

FolderMetadataReader::~FolderMetadataReader() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

FileMetadata FolderMetadataReader::Read(const QString& folder, const QString& name) {
    // The inventory's files of one folder share its path text: compared by address first.
    const bool same = !folder_.isNull() && folder_.size() == folder.size() &&
                      (folder_.constData() == folder.constData() || folder_ == folder);
    if (!same) {
        if (descriptor_ >= 0)
            ::close(descriptor_);
        folder_ = folder;
#ifdef O_PATH
        // Like a look-up by path, this needs only the right to pass through the folders.
        constexpr int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
        constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
        const QByteArray raw = QFile::encodeName(folder);
        descriptor_ = raw.isEmpty() ? -1 : ::open(raw.constData(), flags);
        if (descriptor_ < 0 && errno == ENAMETOOLONG)
            descriptor_ = OpenFolderByParts(raw, raw.size());
    }
    // The name as QFile::encodeName spells it, without a block from the heap for every file.
    QStringEncoder encoder(QStringEncoder::System, QStringEncoder::Flag::Stateless);
    QVarLengthArray<char, 1024> raw(encoder.requiredSpace(name.size()) + 1);
    *encoder.appendToBuffer(raw.data(), name) = '\0';
    struct stat info;
    // Anything unusual (a folder that cannot be opened, a name that is not there) gets the
    // answer of the look-up by the whole path.
    if (descriptor_ < 0 || name.isEmpty() || ::fstatat(descriptor_, raw.constData(), &info, 0) != 0)
        return ReadFileMetadata(folder + name);
    return MetadataOf(info);
}

}  // namespace tallyrook
