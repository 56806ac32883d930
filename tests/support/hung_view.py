#!/usr/bin/python3
"""A read-only view of a folder through FUSE whose file reads do not answer: each waits until the
view is ended (or HANG_S seconds), as a share whose server went away. Folders whose name begins
with "hung" do not answer their listing either. Everything else answers at once.

    tests/support/hung_view.py SOURCE MOUNTPOINT [HANG_S]
    fusermount -u -z MOUNTPOINT

Says on stdout "mounted" once up, then "waits" each time a request begins to wait.

Needs Debian's python3-fusepy and fuse3. Killing the view (SIGKILL) aborts the reads waiting on
it; the mount point then answers ENOTCONN until unmounted."""
import os
import sys
import threading

try:
    from fusepy import FUSE, FuseOSError, Operations  # Debian's name for it
except ImportError:
    from fuse import FUSE, FuseOSError, Operations


class Hung(Operations):
    def __init__(self, source, hang_s):
        self.source = source
        self.hang_s = hang_s
        self.never = threading.Event()

    def _path(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    def _hang(self):
        print("waits", flush=True)
        self.never.wait(self.hang_s)

    def init(self, path):
        print("mounted", flush=True)

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._path(path))
        except OSError as error:
            raise FuseOSError(error.errno)
        keys = ("st_mode", "st_ino", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime",
                "st_mtime", "st_ctime")
        return {key: getattr(st, key) for key in keys}

    def readdir(self, path, fh):
        if os.path.basename(path).startswith("hung"):
            self._hang()
        return [".", ".."] + os.listdir(self._path(path))

    def open(self, path, flags):
        return 0

    def read(self, path, size, offset, fh):
        self._hang()
        with open(self._path(path), "rb") as f:
            f.seek(offset)
            return f.read(size)

    def statfs(self, path):
        st = os.statvfs(self.source)
        keys = ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
                "f_flag", "f_frsize", "f_namemax")
        return {key: getattr(st, key) for key in keys}


if __name__ == "__main__":
    source, mountpoint = sys.argv[1], sys.argv[2]
    hang_s = float(sys.argv[3]) if len(sys.argv) > 3 else None
    # Others may read it: the tests run the command line as nobody.
    FUSE(Hung(source, hang_s), mountpoint, foreground=True, nothreads=False, ro=True,
         use_ino=True, allow_other=os.geteuid() == 0, entry_timeout=0, attr_timeout=0)
