#pragma once

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace tallyrook::test {

// A view of a folder through FUSE whose file reads, and listings of folders named "hung*", do not
// answer while it lives (tests/support/hung_view.py): a share whose server went away. Ended and
// unmounted with it, which aborts whatever still waits. Missing() names what it lacks to mount
// (no /dev/fuse, fusermount or python3-fusepy): the test skips then.
class HungView {
public:
    explicit HungView(const QString& source) {
        const QString script =
            qEnvironmentVariable("TALLYROOK_SOURCE_DIR") + u"/tests/support/hung_view.py"_qs;
        if (::access("/dev/fuse", R_OK | W_OK) != 0 ||
            QStandardPaths::findExecutable(u"fusermount"_qs).isEmpty() || !QFile::exists(script)) {
            missing_ = u"/dev/fuse, fusermount or the view's script"_qs;
            return;
        }
        // For the command line, which the tests run as nobody.
        ::chmod(QFile::encodeName(mount_.path()).constData(), 0755);
        view_.start(script, {source, mount_.path()});
        if (!WaitFor("mounted"))
            missing_ = u"a FUSE mount (python3-fusepy): "_qs +
                       QString::fromLocal8Bit(view_.readAllStandardError());
    }
    ~HungView() { End(); }
    HungView(const HungView&) = delete;
    HungView& operator=(const HungView&) = delete;

    QString Missing() const { return missing_; }
    // Ends the view: what waits on it fails.
    void End() {
        if (view_.state() == QProcess::NotRunning)
            return;
        view_.kill();
        view_.waitForFinished();
        QProcess::execute(u"fusermount"_qs, {u"-u"_qs, u"-z"_qs, mount_.path()});
    }
    QString path(const QString& relative) const { return mount_.path() + u'/' + relative; }
    // Waits up to `ms` for the view's next line; "waits": a request began to wait.
    bool WaitFor(const char* line, int ms = 30000) {
        while (!view_.canReadLine()) {
            if (!view_.waitForReadyRead(ms))
                return false;
        }
        return view_.readLine().trimmed() == line;
    }

private:
    QTemporaryDir mount_{QDir::tempPath() + u"/tallyrook-view-XXXXXX"_qs};
    QProcess view_;
    QString missing_;
};

}  // namespace tallyrook::test
