#!/usr/bin/python3
"""A read-only view of a folder through FUSE that waits LATENCY_MS before answering each look-up,
listing, folder open, file open and read, as a network file system waits for its round trip. No
caching of names, attributes or file contents in the kernel, so every search asks again (a read
asks for at most 128 KiB).

    bench/cli/latency_fs.py SOURCE MOUNTPOINT [LATENCY_MS=1]     # runs until unmounted
    fusermount -u MOUNTPOINT

Needs Debian's python3-fusepy and fuse3. Requests are served by many threads at once, as a
server would, so several questions in flight each wait their own round trip."""
import errno
import os
import sys
import time

try:
    from fusepy import FUSE, FuseOSError, Operations  # Debian's name for it
except ImportError:
    from fuse import FUSE, FuseOSError, Operations


class Latency(Operations):
    def __init__(self, source, seconds):
        self.source = source
        self.seconds = seconds

    def _path(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    def _wait(self):
        time.sleep(self.seconds)

    def getattr(self, path, fh=None):
        self._wait()
        try:
            st = os.lstat(self._path(path))
        except OSError as error:
            raise FuseOSError(error.errno)
        keys = ("st_mode", "st_ino", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime",
                "st_mtime", "st_ctime")
        return {key: getattr(st, key) for key in keys}

    def opendir(self, path):
        self._wait()
        if not os.path.isdir(self._path(path)):
            raise FuseOSError(errno.ENOTDIR)
        return 0

    def readdir(self, path, fh):
        self._wait()
        return [".", ".."] + os.listdir(self._path(path))

    def readlink(self, path):
        self._wait()
        return os.readlink(self._path(path))

    def open(self, path, flags):
        self._wait()
        try:
            return os.open(self._path(path), os.O_RDONLY | os.O_NOFOLLOW)
        except OSError as error:
            raise FuseOSError(error.errno)

    def read(self, path, size, offset, fh):
        self._wait()
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)
        return 0


if __name__ == "__main__":
    source, mountpoint = sys.argv[1], sys.argv[2]
    latency_ms = float(sys.argv[3]) if len(sys.argv) > 3 else 1.0
    FUSE(Latency(source, latency_ms / 1000), mountpoint, foreground=True, nothreads=False,
         ro=True, use_ino=True, entry_timeout=0, attr_timeout=0, negative_timeout=0)
