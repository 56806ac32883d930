// The freedesktop.org Trash, written by hand: Qt's own call loops forever when it cannot make a
// record, tries the numbered names one by one, and leaves Path= unescaped.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <set>

#include "shared/file_names.h"
#include "trash/trash_test_hook.h"
#include "trash/trash_writer.h"

namespace tallyrook {

namespace {

constexpr QByteArrayView InfoSuffix = ".trashinfo";
// Longer "extensions" are part of the name: cutting keeps the extension, so it must be short.
constexpr qsizetype MaxExtension = 32;
// How long one file keeps looking for a free name while other programs take the ones it tries.
constexpr int ClaimTimeMs = 10'000;
// Records written ahead and synced together: the first batch small, so that a short request
// starts at once, then doubling.
constexpr qsizetype FirstBatch = 256;
constexpr qsizetype LastBatch = 4096;
// A folder of one writer's in a Trash folder, locked while the writer lives. The records it
// writes ahead wait in "info" as ".tallyrook-TOKEN-N", named after that folder: no file manager
// reads a name without ".trashinfo", and ext4 makes them as cheaply as the records themselves.
constexpr QByteArrayView OwnPrefix = ".tallyrook-";

QByteArray Encode(const QString& path) {
    return QFile::encodeName(path);
}

int Hook(trash_test::Step step, int fromDir = -1, const char* from = nullptr, int toDir = -1,
         const char* to = nullptr) {
    return trash_test::hook ? trash_test::hook(step, fromDir, from, toDir, to) : 0;
}

bool SameEntry(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

qint64 Ns(const timespec& time) {
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
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

// Moves `from` to `to` unless `to` exists, atomically. Where the file system has no such rename
// (FUSE and some network file systems answer EINVAL), a second link and then the first one
// removed: making a link never replaces either. Folders cannot be linked, and are never ours to
// move.
int RenameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    int error = Hook(trash_test::Step::Rename, fromDir, from, toDir, to);
#ifdef RENAME_NOREPLACE
    if (error == 0) {
        if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
            return 0;
        error = errno;
    }
    if (error != EINVAL && error != ENOSYS)
        return error;
#else
    if (error != 0 && error != EINVAL && error != ENOSYS)
        return error;
#endif
    // EPERM also for a folder, or a file of another user's where links are protected.
    if (::linkat(fromDir, from, toDir, to, 0) != 0)
        return errno == EPERM || errno == EMLINK || errno == ENOSYS || errno == EOPNOTSUPP ? ENOTSUP
                                                                                           : errno;
    if (::unlinkat(fromDir, from, 0) != 0) {
        error = errno;
        ::unlinkat(toDir, to, 0);
        return error;
    }
    return 0;
}

// Calls `use` with each name in the folder `folder`, "." and ".." left out.
template <typename Use>
void ForEachName(int folder, Use use) {
    DIR* dir = ::fdopendir(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    if (!dir)
        return;
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
            use(QByteArray(entry->d_name));
    }
    ::closedir(dir);
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
// that its record's name fits in `limit` bytes, and the key of its numbers: the stem as cut for
// that number, with the extension. Long names that cut to the same stem share one count.
struct Candidate {
    QByteArray name;
    QByteArray key;
};

Candidate CandidateName(const NameParts& parts, qint64 n, qsizetype limit) {
    const QByteArray number = n > 1 ? '.' + QByteArray::number(n) : QByteArray();
    const qsizetype room = limit - InfoSuffix.size() - number.size() - parts.extension.size();
    // An extension that leaves no room for a stem is dropped rather than the whole name.
    if (room < 1) {
        const QByteArray stem = CutToCharacter(parts.stem, room + parts.extension.size());
        return {stem + number, stem + '/'};
    }
    const QByteArray stem = CutToCharacter(parts.stem, room);
    return {stem + number + parts.extension, stem + '/' + parts.extension};
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

// A record written ahead under a name of our own, waiting for its file's turn.
struct Record {
    QByteArray temp;  // its name in "info" until it is claimed
    QByteArray content;
    ino_t inode = 0;
    int error = 0;  // why it could not be written or synced
};

// One Trash folder with its "files" and "info" folders open, and what this request has learnt
// of the names in it.
struct Trash {
    QByteArray root;    // the Trash folder
    QByteArray topdir;  // the drive's top folder, which Path= is relative to; empty for home
    QString error;      // why it cannot be used; empty when it can
    Fd dir;
    Fd files;
    Fd info;
    dev_t device = 0;
    qsizetype nameMax = 255;
    bool scanned = false;
    QSet<QByteArray> taken;            // names in "files" or with a record in "info"
    QHash<QByteArray, qint64> number;  // the next number to try, by candidate key
    Fd own;                            // the writer's own folder, locked
    QByteArray ownName;
    qint64 written = 0;
    QHash<QByteArray, Record> ahead;  // records written ahead, by the file's path

    Trash() = default;
    Trash(const Trash&) = delete;
    Trash& operator=(const Trash&) = delete;
    ~Trash() {
        if (own.get() < 0)
            return;
        for (const Record& record : std::as_const(ahead))
            ::unlinkat(info.get(), record.temp.constData(), 0);
        ::unlinkat(dir.get(), ownName.constData(), AT_REMOVEDIR);
    }

    void Open() {
        struct stat st;
        dir = Fd(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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

    // Reads both folders once; a name seen here is never tried. Removes what killed writers
    // left: records written ahead, and their folders, no longer locked.
    void Scan() {
        scanned = true;
        QHash<QByteArray, QList<QByteArray>> left;  // records written ahead, by writer's folder
        for (const int folder : {files.get(), info.get()}) {
            ForEachName(folder, [&](QByteArray name) {
                if (folder == info.get()) {
                    if (name.startsWith(OwnPrefix))
                        left[name.left(name.lastIndexOf('-'))].append(name);
                    if (!name.endsWith(InfoSuffix))
                        return;
                    name.chop(InfoSuffix.size());
                }
                NameParts parts = Split(name);
                taken.insert(std::move(name));
                if (const qint64 n = NumberOf(parts.stem)) {
                    qint64& next = number[parts.stem + '/' + parts.extension];
                    next = qMax(next, n + 1);
                }
            });
        }
        ForEachName(dir.get(), [&](const QByteArray& name) {
            if (name.startsWith(OwnPrefix))
                left[name];
        });
        // A live writer made its folder and locked it before writing ahead, and removes it last.
        for (auto it = left.cbegin(); it != left.cend(); ++it) {
            Fd lock(::openat(dir.get(), it.key().constData(),
                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (lock.get() >= 0 && ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
                continue;
            for (const QByteArray& temp : it.value())
                ::unlinkat(info.get(), temp.constData(), 0);
            ::unlinkat(dir.get(), it.key().constData(), AT_REMOVEDIR);
        }
    }

    // Makes the writer's own folder and locks it; 0 or why not.
    int MakeOwn() {
        for (int attempt = 0; own.get() < 0 && attempt < 100; ++attempt) {
            const QByteArray name =
                OwnPrefix + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
            if (::mkdirat(dir.get(), name.constData(), 0700) != 0) {
                if (errno == EEXIST)
                    continue;
                return errno;
            }
            Fd folder(::openat(dir.get(), name.constData(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            struct stat mine, there;
            // A request cleaning up may have taken it between the mkdir and the lock: then it
            // is gone, or locked by that request.
            if (folder.get() < 0 ||
                (::flock(folder.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) ||
                ::fstat(folder.get(), &mine) != 0 ||
                ::fstatat(dir.get(), name.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
                !SameEntry(mine, there))
                continue;
            own = std::move(folder);
            ownName = name;
        }
        return own.get() < 0 ? EEXIST : 0;
    }

    // Writes the records of `paths` (full paths in bytes) under names of our own, then makes
    // them durable with one sync: a power cut after any of their files moved finds its record.
    void WriteAhead(const QList<QByteArray>& paths) {
        const int made = MakeOwn();
        const QByteArray date = LocalTimeNow();
        QList<Record*> synced;
        for (const QByteArray& path : paths) {
            Record& record = ahead[path];
            const QByteArray original = topdir.isEmpty() ? path : RelativeTo(topdir, path);
            record.content =
                "[Trash Info]\nPath=" + PercentEncoded(original) + "\nDeletionDate=" + date + '\n';
            record.temp = ownName + '-' + QByteArray::number(written++);
            record.error = made;
            if (made != 0)
                continue;
            Fd fd(::openat(info.get(), record.temp.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
            struct stat st;
            errno = 0;
            if (fd.get() < 0 ||
                ::write(fd.get(), record.content.constData(), record.content.size()) !=
                    record.content.size() ||
                ::fstat(fd.get(), &st) != 0 || ::close(fd.release()) != 0) {
                record.error = errno ? errno : EIO;
                ::unlinkat(info.get(), record.temp.constData(), 0);
                continue;
            }
            record.inode = st.st_ino;
            synced.append(&record);
            Hook(trash_test::Step::Written);
        }
        if (synced.isEmpty())
            return;
        if (::syncfs(info.get()) != 0) {
            const int failed = errno;
            for (Record* record : synced) {
                record->error = failed;
                ::unlinkat(info.get(), record->temp.constData(), 0);
            }
        }
        Hook(trash_test::Step::Synced);
    }

    // Removes the record `name` from "info" if it is still the one we wrote.
    void Forget(const QByteArray& name, ino_t inode) const {
        struct stat st;
        if (::fstatat(info.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            st.st_ino == inode)
            ::unlinkat(info.get(), name.constData(), 0);
    }
};

}  // namespace

namespace trash_test {
Hook hook;
}

struct TrashWriter::Impl {
    uid_t uid = ::getuid();
    bool homeLooked = false;
    std::unique_ptr<Trash> home;
    dev_t homeDevice = 0;
    QByteArray homeCanonical;  // the home Trash folder without links, once it exists
    std::map<QByteArray, std::unique_ptr<Trash>> byTop;  // top-folder Trashes, by top folder
    std::map<dev_t, QByteArray> topOfDevice;
    // Folders on a bind mount of the home drive: renames from them into the home Trash fail, so
    // they use their own top folder's. Known by folder, so that batches of records go there too.
    QHash<QByteArray, Trash*> crossMountFolders;
    QHash<QByteArray, QByteArray> canonicalFolders;
    // The "files" and "info" folders of every Trash known, by device and inode: a bind mount
    // shows them under any path, which no comparison of paths sees through.
    std::set<std::pair<dev_t, ino_t>> trashFolders;
    std::set<dev_t> devicesLooked;
    QHash<QByteArray, bool> underTrashFolder;  // by folder, while trashFolders stays the same
    QList<QByteArray> plan;                    // the request's paths, in order
    QHash<QByteArray, qsizetype> planned;
    qsizetype batch = FirstBatch;

    Trash& Home() {
        if (homeLooked)
            return *home;
        homeLooked = true;
        home = std::make_unique<Trash>();
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        struct stat st;
        if (data.isEmpty() || !data.startsWith(u'/')) {
            home->error = QCoreApplication::translate("TrashWriter", "there is no home folder");
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
        if (char* real = ::realpath(home->root.constData(), nullptr)) {
            homeCanonical = real;
            ::free(real);
        }
        Remember(home->root);
        return *home;
    }

    // Takes the "files" and "info" of the Trash folder `root`, where they are folders.
    void Remember(const QByteArray& root) {
        for (const char* sub : {"/files", "/info"}) {
            struct stat st;
            if (::stat(QByteArray(root + sub).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
                trashFolders.emplace(st.st_dev, st.st_ino).second)
                underTrashFolder.clear();
        }
    }

    // Every Trash in the top folders of `device`, any user's, the first time it is asked: found
    // where the drive itself is mounted, not a bind mount of a folder of it.
    void RememberTrashesOn(dev_t device) {
        if (!devicesLooked.insert(device).second)
            return;
        for (const QByteArray& top : MountsOf(device)) {
            const QByteArray base = top == "/" ? QByteArray() : top;
            std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(top.constData()), ::closedir);
            for (const dirent* entry; dir && (entry = ::readdir(dir.get()));) {
                const QByteArray name(entry->d_name);
                if (name.startsWith(".Trash-"))
                    Remember(base + '/' + name);
            }
            std::unique_ptr<DIR, int (*)(DIR*)> shared(
                ::opendir(QByteArray(base + "/.Trash").constData()), ::closedir);
            for (const dirent* entry; shared && (entry = ::readdir(shared.get()));) {
                if (entry->d_name[0] != '.')
                    Remember(base + "/.Trash/" + entry->d_name);
            }
        }
    }

    // Where `device` is mounted whole, from the kernel's table of mounts; none where there is
    // no such table.
    static QList<QByteArray> MountsOf(dev_t device) {
        QList<QByteArray> tops;
        QFile table(QStringLiteral("/proc/self/mountinfo"));
        if (!table.open(QIODevice::ReadOnly))
            return tops;
        const QByteArray wanted =
            QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
        // "id parent major:minor root mount-point ...", spaces in paths written as \040.
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() > 4 && fields.at(2) == wanted && fields.at(3) == "/")
                tops.append(Unescaped(fields.at(4)));
        }
        return tops;
    }

    static QByteArray Unescaped(const QByteArray& field) {
        QByteArray path;
        for (qsizetype k = 0; k < field.size(); ++k) {
            if (field.at(k) == '\\' && k + 3 < field.size()) {
                bool octal = false;
                const int byte = field.mid(k + 1, 3).toInt(&octal, 8);
                if (octal) {
                    path.append(char(byte));
                    k += 3;
                    continue;
                }
            }
            path.append(field.at(k));
        }
        return path;
    }

    // True when `folder` or a folder above it is the "files" or "info" of a known Trash.
    bool UnderTrashFolder(const QByteArray& folder) {
        if (const auto known = underTrashFolder.constFind(folder); known != underTrashFolder.cend())
            return *known;
        struct stat st;
        bool under =
            ::stat(folder.constData(), &st) == 0 && trashFolders.count({st.st_dev, st.st_ino}) > 0;
        const qsizetype slash = folder.lastIndexOf('/');
        if (!under && slash >= 0 && folder != "/")
            under = UnderTrashFolder(slash == 0 ? QByteArray("/") : folder.left(slash));
        if (underTrashFolder.size() > 100'000)
            underTrashFolder.clear();
        underTrashFolder.insert(folder, under);
        return under;
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
            if (trash->error.isEmpty()) {
                Remember(trash->root);
                return *trash;
            }
        }
        trash->error.clear();
        trash->root = base + "/.Trash-" + uidText;
        if (const int error = MakeTopTrash(trash->root)) {
            trash->error = ErrorText(error);
            return *trash;
        }
        trash->Open();
        Remember(trash->root);
        return *trash;
    }

    // The home Trash for the home drive, the drive's own Trash for any other.
    Trash& TrashFor(const QByteArray& folder, dev_t device) {
        Trash& own = Home();
        if (device != homeDevice)
            return TopTrash(TopOf(folder, device));
        Trash* const crossMount = crossMountFolders.value(folder);
        return crossMount ? *crossMount : own;
    }

    // `folder` without links, "." or ".."; empty when it cannot be read. A folder that is no link
    // is its parent's canonical path and its name, so that a request of many folders looks at
    // each once.
    QByteArray Canonical(const QByteArray& folder) {
        if (const auto known = canonicalFolders.constFind(folder); known != canonicalFolders.cend())
            return *known;
        const qsizetype slash = folder.lastIndexOf('/');
        const QByteArray name = folder.mid(slash + 1);
        const QByteArray parent = slash > 0 ? Canonical(folder.left(slash)) : QByteArray("/");
        struct stat st;
        QByteArray canonical;
        if (slash >= 0 && !parent.isEmpty() && !name.isEmpty() && name != "." && name != ".." &&
            ::lstat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            canonical = (parent == "/" ? QByteArray() : parent) + '/' + name;
        } else if (char* real = ::realpath(folder.constData(), nullptr)) {
            canonical = real;
            ::free(real);
        }
        if (canonicalFolders.size() > 100'000)
            canonicalFolders.clear();
        canonicalFolders.insert(folder, canonical);
        return canonical;
    }

    // True when `folder` lies in the "files" or "info" of the home Trash or of a top folder's
    // Trash, any user's: what is there is in the Trash already, and a record sent there would
    // orphan its file.
    bool InTrash(const QByteArray& folder, dev_t device) {
        QByteArray canonical = Canonical(folder);
        if (canonical.isEmpty())
            return false;
        if (!canonical.endsWith('/'))
            canonical += '/';
        Home();
        for (const char* sub : {"/files/", "/info/"}) {
            if (!homeCanonical.isEmpty() && canonical.startsWith(QByteArray(homeCanonical + sub)))
                return true;
        }
        if (InTopTrashByName(canonical, TopOf(folder, device)))
            return true;
        RememberTrashesOn(device);
        return UnderTrashFolder(folder);
    }

    // ".Trash-$uid/files/..." or ".Trash/$uid/info/..." under `top`, as `canonical` names it.
    static bool InTopTrashByName(const QByteArray& canonical, QByteArray top) {
        if (!top.endsWith('/'))
            top += '/';
        if (!canonical.startsWith(top))
            return false;
        const QList<QByteArray> parts = canonical.mid(top.size()).split('/');
        const bool shared = parts.value(0) == ".Trash";
        const QByteArray owner = shared                                 ? parts.value(1)
                                 : parts.value(0).startsWith(".Trash-") ? parts.value(0).mid(7)
                                                                        : QByteArray();
        const QByteArray sub = parts.value(shared ? 2 : 1);
        bool number = false;
        owner.toULongLong(&number);
        return number && (sub == "files" || sub == "info");
    }

    // The record of `path` for `trash`: written ahead with the next batch of the plan that goes
    // to the same Trash, or alone.
    Record TakeRecord(Trash& trash, const QByteArray& path) {
        if (!trash.ahead.contains(path)) {
            QList<QByteArray> paths{path};
            const qsizetype at = planned.value(path, -1);
            if (at >= 0) {
                for (qsizetype k = at + 1; k < qMin(plan.size(), at + batch); ++k) {
                    struct stat st;
                    const QByteArray& next = plan.at(k);
                    const qsizetype slash = next.lastIndexOf('/');
                    if (slash > 0 && !trash.ahead.contains(next) &&
                        ::lstat(next.constData(), &st) == 0 && !S_ISDIR(st.st_mode) &&
                        &TrashFor(next.left(slash), st.st_dev) == &trash)
                        paths.append(next);
                }
                batch = qMin(batch * 2, LastBatch);
            }
            trash.WriteAhead(paths);
        }
        return trash.ahead.take(path);
    }

    // Why a file could not be moved into the Trash, in the user's words.
    static QString MoveFailure(int error) {
        if (error == ENOENT)
            return QCoreApplication::translate("TrashWriter", "The file no longer exists.");
        if (error == ENOTSUP)
            return QCoreApplication::translate("TrashWriter",
                                               "Its drive cannot move it into the Trash "
                                               "without a risk of replacing another file.");
        return QCoreApplication::translate("TrashWriter",
                                           "It could not be moved into the Trash: %1.")
            .arg(ErrorText(error));
    }

    // Checks that what now lies in the Trash under `name` is the file that was checked, and
    // fills in `moved`; otherwise puts it back where it was, with its record.
    bool ConfirmMoved(Trash& trash, const QByteArray& path, const QByteArray& name,
                      const QByteArray& recordName, const Record& record,
                      const struct stat& checked, TrashedFile& moved, QString& reason) {
        const QByteArray trashed = trash.root + "/files/" + name;
        struct stat st;
        if (::fstatat(trash.files.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !SameEntry(st, checked)) {
            // Something else took the file's place between the check and the move: it goes
            // back where it was, and its record with it.
            const int back =
                RenameNoReplace(trash.files.get(), name.constData(), AT_FDCWD, path.constData());
            if (back == 0 || back == ENOENT)
                trash.Forget(recordName, record.inode);
            reason = back == 0 || back == ENOENT
                         ? QCoreApplication::translate("TrashWriter",
                                                       "It changed while it was being moved.")
                         : QCoreApplication::translate(
                               "TrashWriter",
                               "It changed while it was being moved; what took its place is "
                               "in the Trash as \"%1\".")
                               .arg(DecodeFileName(trashed));
            return false;
        }
        moved.trashed = DecodeFileName(trashed);
        moved.record = DecodeFileName(QByteArray(trash.root + "/info/" + recordName));
        moved.device = st.st_dev;
        moved.inode = st.st_ino;
        moved.size = st.st_size;
        moved.modifiedNs = Ns(st.st_mtim);
        moved.changedNs = Ns(st.st_ctim);
        moved.recordInode = record.inode;
        moved.recordContent = record.content;
        return true;
    }

    // Claims a free name with the file's record, then moves the file under that name and checks
    // that what moved is what was checked (`checked`).
    bool MoveInto(Trash& trash, const QByteArray& path, const QByteArray& name,
                  const struct stat& checked, TrashedFile& moved, QString& reason, int& rename) {
        if (!trash.scanned)
            trash.Scan();
        Record record = TakeRecord(trash, path);
        const auto recordFailed = [&](int error) {
            reason = QCoreApplication::translate("TrashWriter",
                                                 "The Trash could not take a record of it: %1.")
                         .arg(ErrorText(error));
            return false;
        };
        if (record.error)
            return recordFailed(record.error);
        const NameParts parts = Split(name);
        qint64 n = 1;
        Candidate candidate = CandidateName(parts, n, trash.nameMax);
        int collisions = 0;
        QDeadlineTimer deadline;
        for (;;) {
            // Names this request knows are taken cost a look-up, not an attempt.
            while (trash.taken.contains(candidate.name)) {
                n = qMax(n + 1, trash.number.value(candidate.key));
                candidate = CandidateName(parts, n, trash.nameMax);
            }
            const QByteArray recordName = candidate.name + InfoSuffix.toByteArray();
            int error = RenameNoReplace(trash.info.get(), record.temp.constData(), trash.info.get(),
                                        recordName.constData());
            if (error != 0 && error != EEXIST) {
                ::unlinkat(trash.info.get(), record.temp.constData(), 0);
                return recordFailed(error);
            }
            if (error == 0) {
                Hook(trash_test::Step::Move, AT_FDCWD, path.constData(), trash.files.get(),
                     candidate.name.constData());
                rename = error = RenameNoReplace(AT_FDCWD, path.constData(), trash.files.get(),
                                                 candidate.name.constData());
                // The record waits for another name, or goes with the file's failure.
                const int back = error == EEXIST
                                     ? RenameNoReplace(trash.info.get(), recordName.constData(),
                                                       trash.info.get(), record.temp.constData())
                                     : 0;
                if ((error != 0 && error != EEXIST) || back != 0)
                    trash.Forget(recordName, record.inode);
                if (back != 0)
                    return recordFailed(back);
            }
            trash.taken.insert(candidate.name);
            qint64& next = trash.number[candidate.key];
            next = qMax(next, n + 1);
            if (error == EEXIST) {
                // Another program is taking the same names: spread out, for a while.
                if (collisions++ == 0)
                    deadline.setRemainingTime(ClaimTimeMs);
                else if (deadline.hasExpired())
                    break;
                n += 1 + QRandomGenerator::global()->bounded(1 << qMin(collisions, 16));
                candidate = CandidateName(parts, n, trash.nameMax);
                rename = 0;
                continue;
            }
            if (error != 0) {
                reason = MoveFailure(error);
                return false;
            }
            return ConfirmMoved(trash, path, candidate.name, recordName, record, checked, moved,
                                reason);
        }
        ::unlinkat(trash.info.get(), record.temp.constData(), 0);
        reason = QCoreApplication::translate("TrashWriter",
                                             "No free name could be found for it in the Trash.");
        return false;
    }
};

TrashWriter::TrashWriter() : impl_(std::make_unique<Impl>()) {}
TrashWriter::~TrashWriter() = default;

void TrashWriter::Plan(const QStringList& paths) {
    impl_->plan.clear();
    impl_->planned.clear();
    for (const QString& path : paths) {
        const QByteArray bytes = Encode(path);
        impl_->planned.insert(bytes, impl_->plan.size());
        impl_->plan.append(bytes);
    }
}

bool TrashWriter::MoveToTrash(const QString& path, TrashedFile& moved, QString& reason) {
    moved = {};
    moved.original = path;
    const QByteArray bytes = Encode(path);
    const qsizetype slash = bytes.lastIndexOf('/');
    struct stat st;
    if (!bytes.startsWith('/') || slash == bytes.size() - 1) {
        reason = QCoreApplication::translate("TrashWriter", "It is not a full path to a file.");
        return false;
    }
    if (::lstat(bytes.constData(), &st) != 0) {
        reason = errno == ENOENT
                     ? QCoreApplication::translate("TrashWriter", "The file no longer exists.")
                     : QCoreApplication::translate("TrashWriter", "It cannot be read: %1.")
                           .arg(ErrorText(errno));
        return false;
    }
    // The row was a file; a folder by that name now is not what the user picked.
    if (S_ISDIR(st.st_mode)) {
        reason = QCoreApplication::translate("TrashWriter", "It is now a folder, not a file.");
        return false;
    }
    const QByteArray name = bytes.mid(slash + 1);
    const QByteArray folder = slash == 0 ? QByteArray("/") : bytes.left(slash);
    if (impl_->InTrash(folder, st.st_dev)) {
        reason = QCoreApplication::translate("TrashWriter", "It is in the Trash already.");
        return false;
    }

    // A bind mount of the home drive elsewhere cannot be renamed across; its own top folder is
    // tried once.
    Trash& home = impl_->Home();
    Trash* trash = &impl_->TrashFor(folder, st.st_dev);
    for (int tried = 0;; ++tried) {
        if (!trash->error.isEmpty()) {
            reason = (trash == &home
                          ? QCoreApplication::translate("TrashWriter",
                                                        "The Trash folder could not be made: %1.")
                          : QCoreApplication::translate(
                                "TrashWriter", "There is no Trash on the drive that holds it: %1."))
                         .arg(trash->error);
            return false;
        }
        int rename = 0;
        if (impl_->MoveInto(*trash, bytes, name, st, moved, reason, rename))
            return true;
        if (rename != EXDEV || tried > 0)
            return false;
        Trash& own = impl_->TopTrash(Encode(QStorageInfo(DecodeFileName(folder)).rootPath()));
        if (&own == trash)
            return false;
        impl_->crossMountFolders.insert(folder, &own);
        trash = &own;
    }
}

QString TrashWriter::TrashName() {
    return QCoreApplication::translate("TrashWriter", "Trash");
}

bool TrashWriter::StillInTrash(const TrashedFile& moved) {
    struct stat st;
    if (::lstat(Encode(moved.trashed).constData(), &st) != 0 || st.st_dev != moved.device ||
        st.st_ino != moved.inode || st.st_size != moved.size ||
        Ns(st.st_mtim) != moved.modifiedNs || Ns(st.st_ctim) != moved.changedNs)
        return false;
    // The record as written, not one another program made under the same name.
    Fd record(
        ::open(Encode(moved.record).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (record.get() < 0 || ::fstat(record.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_dev != moved.device || st.st_ino != moved.recordInode ||
        st.st_size != moved.recordContent.size())
        return false;
    QByteArray content(moved.recordContent.size(), Qt::Uninitialized);
    return ::read(record.get(), content.data(), content.size()) == content.size() &&
           content == moved.recordContent;
}

bool TrashWriter::Restore(const TrashedFile& moved, QString& reason) {
    const QByteArray trashed = Encode(moved.trashed);
    const QByteArray original = Encode(moved.original);
    if (!StillInTrash(moved)) {
        reason = QCoreApplication::translate("TrashWriter", "It is no longer in the Trash.");
        return false;
    }
    struct stat st;
    const qsizetype slash = original.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : original.left(slash);
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        reason = QCoreApplication::translate("TrashWriter", "Its folder no longer exists.");
        return false;
    }
    Hook(trash_test::Step::Move, AT_FDCWD, trashed.constData(), AT_FDCWD, original.constData());
    const int error =
        RenameNoReplace(AT_FDCWD, trashed.constData(), AT_FDCWD, original.constData());
    if (error != 0) {
        reason = error == EEXIST
                     ? QCoreApplication::translate("TrashWriter", "Another file now has its name.")
                 : error == ENOENT
                     ? QCoreApplication::translate("TrashWriter", "It is no longer in the Trash.")
                 : error == ENOTSUP
                     ? QCoreApplication::translate(
                           "TrashWriter",
                           "Its drive cannot put it back without a risk of replacing another file.")
                     : QCoreApplication::translate("TrashWriter", "It could not be put back: %1.")
                           .arg(ErrorText(error));
        return false;
    }
    // What moved must be what was checked; anything else goes back into the Trash.
    if (::lstat(original.constData(), &st) != 0 || st.st_dev != moved.device ||
        st.st_ino != moved.inode) {
        RenameNoReplace(AT_FDCWD, original.constData(), AT_FDCWD, trashed.constData());
        reason = QCoreApplication::translate(
            "TrashWriter", "It changed in the Trash while it was being put back.");
        return false;
    }
    const QByteArray record = Encode(moved.record);
    if (::lstat(record.constData(), &st) == 0 && st.st_ino == moved.recordInode)
        ::unlink(record.constData());
    return true;
}

}  // namespace tallyrook
