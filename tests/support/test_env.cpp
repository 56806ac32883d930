#include "test_env.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace tallyrook::test {

namespace {
QTemporaryDir* home = nullptr;

void SetEnv(const char* name, const QString& value) { qputenv(name, QFile::encodeName(value)); }
}  // namespace

void PrepareTestEnvironment(bool gui) {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tallyrook-test-home-XXXXXX"));
    home = &dir;
    const QString root = dir.path();
    for (const char* sub : {"config", "data", "cache", "runtime"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetEnv("HOME", root);
    SetEnv("XDG_CONFIG_HOME", root + QStringLiteral("/config"));
    SetEnv("XDG_DATA_HOME", root + QStringLiteral("/data"));
    SetEnv("XDG_CACHE_HOME", root + QStringLiteral("/cache"));
    SetEnv("XDG_RUNTIME_DIR", root + QStringLiteral("/runtime"));
    if (gui) {
        const QString config = root + QStringLiteral("/offscreen.json");
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(
                R"({"screens":[{"name":"S","x":0,"y":0,"width":1600,"height":1200,"logicalDpi":96}]})");
            file.close();
        }
        SetEnv("QT_QPA_PLATFORM", QStringLiteral("offscreen:configfile=") + config);
    }
}

QString TestHome() { return home ? home->path() : QString(); }

}  // namespace tallyrook::test
