// The freedesktop.org Trash, written by hand: Qt's own call loops forever when it cannot make a
// record, tries the numbered names one by one, and leaves Path= unescaped.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "shared/file_names.h"
#include "trash/trash_writer.h"

namespace tallyrook {

namespace {

// Names taken by someone else between our look and our claim; past this many the Trash is
// treated as unusable for the file rather than tried for ever.
constexpr int MaxClaimAttempts = 100;
constexpr QByteArrayView InfoSuffix = ".trashinfo";
// Longer "extensions" are part of the name: cutting keeps the extension, so it must be short.
constexpr qsizetype MaxExtension = 32;

QByteArray Encode(const QString& path) {
    return QFile::encodeName(path);
}

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Moves `from` to `to` unless `to` exists. Where the file system cannot say so atomically, a look
// first: no other program of ours writes into our Trash between the look and the move.
int RenameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    struct stat st;
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}

// A name split for numbering: "cover.jpg" is "cover" and ".jpg"; "cover.3.jpg" also carries 3.
struct NameParts {
    QByteArray stem;
    QByteArray extension;
};

NameParts Split(const QByteArray& name) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || name.size() - dot > MaxExtension)
        return {name, {}};
    return {name.left(dot), name.mid(dot)};
}

// The number a numbered name carries ("cover.3" gives 3 and "cover"), or 0.
qint64 NumberOf(QByteArray& stem) {
    const qsizetype dot = stem.lastIndexOf('.');
    if (dot <= 0 || stem.size() - dot > 10 || stem.size() - dot < 2 || stem.at(dot + 1) == '0')
        return 0;
    qint64 number = 0;
    for (qsizetype k = dot + 1; k < stem.size(); ++k) {
        if (stem.at(k) < '0' || stem.at(k) > '9')
            return 0;
        number = number * 10 + (stem.at(k) - '0');
    }
    stem.truncate(dot);
    return number;
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 character.
QByteArray CutToCharacter(const QByteArray& text, qsizetype limit) {
    if (text.size() <= limit)
        return text;
    qsizetype end = qMax<qsizetype>(limit, 0);
    while (end > 0 && (static_cast<unsigned char>(text.at(end)) & 0xC0) == 0x80)
        --end;
    return text.left(end);
}

// The candidate Trash name number `n` (1 is the name itself) for a file of `parts`, short enough
// that its record's name fits in `limit` bytes.
QByteArray Candidate(const NameParts& parts, qint64 n, qsizetype limit) {
    const QByteArray number = n > 1 ? '.' + QByteArray::number(n) : QByteArray();
    const qsizetype room = limit - InfoSuffix.size() - number.size() - parts.extension.size();
    // An extension that leaves no room for a stem is dropped rather than the whole name.
    if (room < 1)
        return CutToCharacter(parts.stem, limit - InfoSuffix.size() - number.size()) + number;
    return CutToCharacter(parts.stem, room) + number + parts.extension;
}

QByteArray PercentEncoded(const QByteArray& path) {
    return path.toPercentEncoding("/");
}

// Path= of a top-folder Trash is relative to the top folder; a path that reaches the drive
// through a link is made canonical first. Absolute only when neither is under it.
QByteArray RelativeTo(const QByteArray& top, const QByteArray& path) {
    const QByteArray prefix = top.endsWith('/') ? top : top + '/';
    if (path.startsWith(prefix))
        return path.mid(prefix.size());
    const qsizetype slash = path.lastIndexOf('/');
    char* real = ::realpath(slash == 0 ? "/" : path.left(slash).constData(), nullptr);
    if (!real)
        return path;
    const QByteArray canonical =
        QByteArray(real) + (qstrcmp(real, "/") == 0 ? "" : "/") + path.mid(slash + 1);
    ::free(real);
    return canonical.startsWith(prefix) ? canonical.mid(prefix.size()) : canonical;
}

QByteArray LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = {};
    if (::localtime_r(&now, &local))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// One Trash folder with its "files" and "info" folders open, and what this request has learnt
// of the names in it.
struct Trash {
    QByteArray root;    // the Trash folder
    QByteArray topdir;  // the drive's top folder, which Path= is relative to; empty for home
    QString error;      // why it cannot be used; empty when it can
    Fd files;
    Fd info;
    dev_t device = 0;
    qsizetype nameMax = 255;
    bool scanned = false;
    QSet<QByteArray> taken;            // names in "files" or with a record in "info"
    QHash<QByteArray, qint64> number;  // the next number to try, by stem and extension

    void Open() {
        struct stat st;
        Fd dir(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0) {
            error = ErrorText(errno);
            return;
        }
        for (auto [sub, fd] : {std::pair{"files", &files}, std::pair{"info", &info}}) {
            if (::mkdirat(dir.get(), sub, 0700) != 0 && errno != EEXIST) {
                error = ErrorText(errno);
                return;
            }
            // Never through a link: a shared top folder is open to other users.
            *fd = Fd(::openat(dir.get(), sub, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (fd->get() < 0) {
                error = ErrorText(errno == ELOOP ? ENOTDIR : errno);
                return;
            }
        }
        if (::fstat(files.get(), &st) != 0) {
            error = ErrorText(errno);
            return;
        }
        device = st.st_dev;
        const long max = ::fpathconf(info.get(), _PC_NAME_MAX);
        if (max > 0)
            nameMax = max;
    }

    // Reads both folders once; a name seen here is never tried.
    void Scan() {
        scanned = true;
        for (const int folder : {files.get(), info.get()}) {
            DIR* dir = ::fdopendir(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
            if (!dir)
                continue;
            ::rewinddir(dir);
            while (const dirent* entry = ::readdir(dir)) {
                QByteArray name(entry->d_name);
                if (name == "." || name == "..")
                    continue;
                if (folder == info.get()) {
                    if (!name.endsWith(InfoSuffix))
                        continue;
                    name.chop(InfoSuffix.size());
                }
                NameParts parts = Split(name);
                taken.insert(std::move(name));
                if (const qint64 n = NumberOf(parts.stem)) {
                    qint64& next = number[parts.stem + '/' + parts.extension];
                    next = qMax(next, n + 1);
                }
            }
            ::closedir(dir);
        }
    }
};

}  // namespace

struct TrashWriter::Impl {
    uid_t uid = ::getuid();
    bool homeLooked = false;
    std::unique_ptr<Trash> home;
    dev_t homeDevice = 0;
    std::map<QByteArray, std::unique_ptr<Trash>> byTop;  // top-folder Trashes, by top folder
    std::map<dev_t, QByteArray> topOfDevice;

    Trash& Home() {
        if (homeLooked)
            return *home;
        homeLooked = true;
        home = std::make_unique<Trash>();
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        struct stat st;
        if (data.isEmpty() || !data.startsWith(u'/')) {
            home->error = QStringLiteral("there is no home folder");
            return *home;
        }
        const QByteArray dataBytes = Encode(data);
        // Where the home Trash belongs, even when it cannot be made: files there are its to take.
        if (::stat(Encode(qEnvironmentVariable("HOME")).constData(), &st) == 0)
            homeDevice = st.st_dev;
        home->root = dataBytes + "/Trash";
        // Private to the user, as every folder made on the way.
        for (qsizetype slash = dataBytes.indexOf('/', 1); slash > 0;
             slash = dataBytes.indexOf('/', slash + 1))
            ::mkdir(dataBytes.left(slash).constData(), 0700);
        ::mkdir(dataBytes.constData(), 0700);
        ::mkdir(home->root.constData(), 0700);
        home->Open();
        if (home->error.isEmpty())
            homeDevice = home->device;
        return *home;
    }

    // The top folder of the mount that holds `folder`.
    QByteArray TopOf(const QByteArray& folder, dev_t device) {
        auto known = topOfDevice.find(device);
        if (known != topOfDevice.end())
            return known->second;
        QByteArray top = Encode(QStorageInfo(DecodeFileName(folder)).rootPath());
        topOfDevice.emplace(device, top);
        return top;
    }

    // 0 when `path` is, or now is, a real folder of this user's; else why not.
    int MakeTopTrash(const QByteArray& path) const {
        struct stat st;
        if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (::lstat(path.constData(), &st) != 0)
            return errno;
        return S_ISDIR(st.st_mode) && st.st_uid == uid ? 0 : EPERM;
    }

    Trash& TopTrash(const QByteArray& top) {
        std::unique_ptr<Trash>& trash = byTop[top];
        if (trash)
            return *trash;
        trash = std::make_unique<Trash>();
        const QByteArray base = top == "/" ? QByteArray() : top;
        trash->topdir = top;
        const QByteArray uidText = QByteArray::number(uid);
        // An administrator's shared ".Trash" counts only when it is a real folder with the sticky
        // bit, so that users cannot take each other's folders in it.
        struct stat st;
        const QByteArray shared = base + "/.Trash";
        if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
            (st.st_mode & S_ISVTX) && MakeTopTrash(shared + '/' + uidText) == 0) {
            trash->root = shared + '/' + uidText;
            trash->Open();
            if (trash->error.isEmpty())
                return *trash;
        }
        trash->error.clear();
        trash->root = base + "/.Trash-" + uidText;
        if (const int error = MakeTopTrash(trash->root)) {
            trash->error = ErrorText(error);
            return *trash;
        }
        trash->Open();
        return *trash;
    }

    // Claims a free name with its record, then moves the file under that name.
    bool MoveInto(Trash& trash, const QByteArray& path, const QByteArray& name, TrashedFile& moved,
                  QString& reason, int& rename) {
        if (!trash.scanned)
            trash.Scan();
        const NameParts parts = Split(name);
        const QByteArray key = parts.stem + '/' + parts.extension;
        const QByteArray original = trash.topdir.isEmpty() ? path : RelativeTo(trash.topdir, path);
        const QByteArray content = "[Trash Info]\nPath=" + PercentEncoded(original) +
                                   "\nDeletionDate=" + LocalTimeNow() + '\n';
        qint64& next = trash.number[key];
        qint64 n = 1;
        for (int attempt = 0; attempt < MaxClaimAttempts; ++attempt) {
            QByteArray candidate = Candidate(parts, n, trash.nameMax);
            // Names this request knows are taken cost a look-up, not an attempt.
            while (trash.taken.contains(candidate)) {
                n = qMax(n + 1, next);
                candidate = Candidate(parts, n, trash.nameMax);
            }
            const QByteArray recordName = candidate + InfoSuffix.toByteArray();
            Fd record(::openat(trash.info.get(), recordName.constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
            if (record.get() < 0) {
                if (errno == EEXIST) {
                    trash.taken.insert(candidate);
                    continue;
                }
                reason = QStringLiteral("The Trash could not take a record of it: ") +
                         ErrorText(errno) + u'.';
                return false;
            }
            const auto forget = [&] { ::unlinkat(trash.info.get(), recordName.constData(), 0); };
            if (::write(record.get(), content.constData(), content.size()) != content.size() ||
                ::close(record.release()) != 0) {
                const int error = errno ? errno : EIO;
                forget();
                reason = QStringLiteral("The Trash could not take a record of it: ") +
                         ErrorText(error) + u'.';
                return false;
            }
            rename = RenameNoReplace(AT_FDCWD, path.constData(), trash.files.get(),
                                     candidate.constData());
            if (rename == EEXIST) {
                forget();
                trash.taken.insert(candidate);
                continue;
            }
            if (rename != 0) {
                forget();
                reason = rename == ENOENT
                             ? QStringLiteral("The file no longer exists.")
                             : QStringLiteral("It could not be moved into the Trash: ") +
                                   ErrorText(rename) + u'.';
                return false;
            }
            trash.taken.insert(candidate);
            next = qMax(next, n + 1);
            moved.trashed = DecodeFileName(QByteArray(trash.root + "/files/" + candidate));
            moved.record = DecodeFileName(QByteArray(trash.root + "/info/" + recordName));
            return true;
        }
        reason = QStringLiteral("No free name could be found for it in the Trash.");
        return false;
    }
};

TrashWriter::TrashWriter() : impl_(std::make_unique<Impl>()) {}
TrashWriter::~TrashWriter() = default;

bool TrashWriter::MoveToTrash(const QString& path, TrashedFile& moved, QString& reason) {
    moved = {path, {}, {}};
    const QByteArray bytes = Encode(path);
    const qsizetype slash = bytes.lastIndexOf('/');
    struct stat st;
    if (!bytes.startsWith('/') || slash == bytes.size() - 1) {
        reason = QStringLiteral("It is not a full path to a file.");
        return false;
    }
    if (::lstat(bytes.constData(), &st) != 0) {
        reason = errno == ENOENT ? QStringLiteral("The file no longer exists.")
                                 : QStringLiteral("It cannot be read: ") + ErrorText(errno) + u'.';
        return false;
    }
    // The row was a file; a folder by that name now is not what the user picked.
    if (S_ISDIR(st.st_mode)) {
        reason = QStringLiteral("It is now a folder, not a file.");
        return false;
    }
    const QByteArray name = bytes.mid(slash + 1);
    const QByteArray folder = slash == 0 ? QByteArray("/") : bytes.left(slash);

    // The home Trash for the home drive, the drive's own Trash for any other. A bind mount of the
    // home drive elsewhere cannot be renamed across; its own top folder is tried once.
    Trash& home = impl_->Home();
    Trash* trash = st.st_dev == impl_->homeDevice ? &home : nullptr;
    if (!trash)
        trash = &impl_->TopTrash(impl_->TopOf(folder, st.st_dev));
    for (int tried = 0;; ++tried) {
        if (!trash->error.isEmpty()) {
            reason = (trash == &home ? QStringLiteral("The Trash folder could not be made: ")
                                     : QStringLiteral("There is no Trash on the drive that "
                                                      "holds it: ")) +
                     trash->error + u'.';
            return false;
        }
        int rename = 0;
        if (impl_->MoveInto(*trash, bytes, name, moved, reason, rename))
            return true;
        if (rename != EXDEV || tried > 0)
            return false;
        Trash& own = impl_->TopTrash(Encode(QStorageInfo(DecodeFileName(folder)).rootPath()));
        if (&own == trash)
            return false;
        trash = &own;
    }
}

QString TrashWriter::TrashName() {
    return QStringLiteral("Trash");
}

bool TrashWriter::Restore(const TrashedFile& moved, QString& reason) {
    const QByteArray trashed = Encode(moved.trashed);
    const QByteArray original = Encode(moved.original);
    struct stat st;
    if (::lstat(trashed.constData(), &st) != 0) {
        reason = QStringLiteral("It is no longer in the Trash.");
        return false;
    }
    const qsizetype slash = original.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : original.left(slash);
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        reason = QStringLiteral("Its folder no longer exists.");
        return false;
    }
    const int error =
        RenameNoReplace(AT_FDCWD, trashed.constData(), AT_FDCWD, original.constData());
    if (error != 0) {
        reason = error == EEXIST ? QStringLiteral("Another file now has its name.")
                 : error == ENOENT
                     ? QStringLiteral("It is no longer in the Trash.")
                     : QStringLiteral("It could not be put back: ") + ErrorText(error) + u'.';
        return false;
    }
    if (!moved.record.isEmpty())
        ::unlink(Encode(moved.record).constData());
    return true;
}

}  // namespace tallyrook
