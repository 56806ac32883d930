#!/usr/bin/python3
"""A read-only view of a folder through FUSE whose file reads do not answer: each waits until the
view is ended (or HANG_S seconds), as a share whose server went away. Folders whose name begins
with "hung" do not answer their listing either, and files whose name begins with "hung" do not
answer a look-up once the source folder holds a file named "hang-lookups" (made after a walk).
Everything else answers at once.

    tests/support/hung_view.py SOURCE MOUNTPOINT [HANG_S]
    fusermount -u -z MOUNTPOINT

Says on stdout "mounted" once up, then "waits" each time a request begins to wait.

Needs Debian's python3-fusepy and fuse3. Killing the view (SIGKILL) aborts the reads waiting on
it; the mount point then answers ENOTCONN until unmounted."""
import os
import sys
import threading

# The view of bench/cli/latency_fs.py, without its latency.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "../../bench/cli"))
from latency_fs import FUSE, Latency  # noqa: E402


class Hung(Latency):
    def __init__(self, source, hang_s):
        super().__init__(source, 0)
        self.hang_s = hang_s
        self.never = threading.Event()

    def _hang(self):
        print("waits", flush=True)
        self.never.wait(self.hang_s)

    def init(self, path):
        print("mounted", flush=True)

    def getattr(self, path, fh=None):
        if os.path.basename(path).startswith("hung") and os.path.exists(
                self._path("hang-lookups")):
            self._hang()
        return super().getattr(path, fh)

    def readdir(self, path, fh):
        if os.path.basename(path).startswith("hung"):
            self._hang()
        return super().readdir(path, fh)

    def read(self, path, size, offset, fh):
        self._hang()
        with open(self._path(path), "rb") as f:
            f.seek(offset)
            return f.read(size)


if __name__ == "__main__":
    source, mountpoint = sys.argv[1], sys.argv[2]
    hang_s = float(sys.argv[3]) if len(sys.argv) > 3 else None
    # Others may read it: the tests run the command line as nobody.
    FUSE(Hung(source, hang_s), mountpoint, foreground=True, nothreads=False, ro=True,
         use_ino=True, allow_other=os.geteuid() == 0, entry_timeout=0, attr_timeout=0)
