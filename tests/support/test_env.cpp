#include "test_env.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

void tallyrook::test::PrepareTestEnvironment(bool gui) {
    // Private to us, as Qt wants of a runtime folder.
    static QTemporaryDir home(QDir::tempPath() + u"/tallyrook-test-home-XXXXXX");
    for (const auto& [name, sub] : {std::pair{"HOME", ""},
                                    {"XDG_RUNTIME_DIR", ""},
                                    {"XDG_CONFIG_HOME", "/config"},
                                    {"XDG_DATA_HOME", "/data"},
                                    {"XDG_CACHE_HOME", "/cache"}}) {
        QDir().mkpath(home.path() + QLatin1StringView(sub));
        qputenv(name, QFile::encodeName(home.path() + QLatin1StringView(sub)));
    }
    // No session bus: nothing a test does may reach the user's file manager. A test that needs a
    // bus starts its own.
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            "unix:path=" + QFile::encodeName(home.path() + u"/no-session-bus"));
    if (gui) {
        // A test that starts itself again on another screen names its size in device pixels.
        const QByteArray size = qEnvironmentVariableIsSet("TALLYROOK_TEST_SCREEN")
                                    ? qgetenv("TALLYROOK_TEST_SCREEN")
                                    : QByteArray("1600x1200");
        QFile config(home.path() + u"/offscreen.json");
        if (config.open(QIODevice::WriteOnly))
            config.write(R"({"screens":[{"name":"S","x":0,"y":0,"width":)" + size.split('x')[0] +
                         R"(,"height":)" + size.split('x').value(1) + R"(,"logicalDpi":96}]})");
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    }
}
