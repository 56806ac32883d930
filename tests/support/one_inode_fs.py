#!/usr/bin/python3
"""A read-only view of a folder through FUSE in which every file has one inode number, two links,
and its last-write time as its change time: what a view of several disks that passes their
numbers through may show for two different files.

    tests/support/one_inode_fs.py SOURCE MOUNTPOINT     # runs until unmounted
    fusermount3 -u MOUNTPOINT

Needs Debian's python3-fusepy and fuse3; exits with 77 where the module is missing or
the view cannot be mounted."""
import os
import stat
import sys

try:
    from fusepy import FUSE, FuseOSError, Operations  # Debian's name for it
except ImportError:
    try:
        from fuse import FUSE, FuseOSError, Operations
    except ImportError:
        sys.exit(77)


class OneInode(Operations):
    def __init__(self, source):
        self.source = source

    def _path(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._path(path))
        except OSError as error:
            raise FuseOSError(error.errno)
        alike = stat.S_ISREG(st.st_mode)  # a file: one number, two links, no change of its own
        return dict(st_mode=st.st_mode, st_uid=st.st_uid, st_gid=st.st_gid, st_size=st.st_size,
                    st_atime=st.st_atime, st_mtime=st.st_mtime,
                    st_ctime=st.st_mtime if alike else st.st_ctime,
                    st_ino=7 if alike else st.st_ino, st_nlink=2 if alike else st.st_nlink)

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def open(self, path, flags):
        return os.open(self._path(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)


if __name__ == "__main__":
    try:
        FUSE(OneInode(sys.argv[1]), sys.argv[2], foreground=True, nothreads=True, ro=True,
             use_ino=True, entry_timeout=0, attr_timeout=0, negative_timeout=0)
    except RuntimeError:
        sys.exit(77)  # it could not mount: no FUSE here for us
