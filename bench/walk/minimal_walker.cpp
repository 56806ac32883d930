// The yardstick: the least a one-thread walker must do to list a tree, in plain C calls.
// It opens each folder relative to its parent, reads it once, takes the type from the listing
// and asks the metadata only for the size. It records nothing.

#include "minimal_walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

void Walk(int fd, bool sizes, MinimalCounts& counts) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    ++counts.folders;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        if (entry->d_type == DT_DIR) {
            const int child = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child >= 0)
                Walk(child, sizes, counts);
        } else if (entry->d_type == DT_REG) {
            ++counts.files;
            if (sizes) {
                struct stat info;
                if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) == 0)
                    counts.bytes += info.st_size;
            }
        }
    }
    ::closedir(dir);
}

}  // namespace

MinimalCounts MinimalWalk(const char* root, bool sizes) {
    MinimalCounts counts;
    const int fd = ::open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        Walk(fd, sizes, counts);
    return counts;
}
