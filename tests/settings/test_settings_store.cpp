#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "settings/settings_store.h"
#include "support/test_env.h"

using namespace Qt::StringLiterals;

class TestSettingsStore : public QObject {
    Q_OBJECT

    const QString conf = tallyrook::test::TestHome() + u"/config/Marwendel/Tallyrook.conf"_s;

private Q_SLOTS:
    // Values come back as the same text ("1.5e3" is no number), at once and at the next start.
    void valuesKeepTheirText() {
        const QStringList values = {u"True"_s, u"12000"_s, u"1.5e3"_s, u" 0"_s, u"-32769"_s};
        {
            tallyrook::SettingsStore store;
            QCOMPARE(store.ReadSetting(u"Stop"_s), QString());  // absent
            for (qsizetype i = 0; i < values.size(); ++i)
                store.WriteSetting(u"Key%1"_s.arg(i), values[i]);
            QCOMPARE(store.ReadSetting(u"Key2"_s), values[2]);
            QVERIFY(store.Sync());
        }
        tallyrook::SettingsStore again;
        for (qsizetype i = 0; i < values.size(); ++i)
            QCOMPARE(again.ReadSetting(u"Key%1"_s.arg(i)), values[i]);
    }

    // A criterion or the geometry is on disk within a second, with the other writes of that
    // stretch; "Stop" alone waits for the next of them.
    void writesReachTheFileWithinASecond() {
        QFile::remove(conf);
        const auto contents = [this] {  // where the desktop expects it
            QFile file(conf);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        tallyrook::SettingsStore store;
        store.WriteSetting(u"Stop"_s, u"True"_s);
        QTest::qWait(2 * tallyrook::SettingsStore::FlushDelayMs);
        QVERIFY(!QFile::exists(conf));
        store.WriteSetting(u"FormWidth"_s, u"9600"_s);
        QTRY_VERIFY_WITH_TIMEOUT(contents().contains("FormWidth=9600"), 1000);
        QVERIFY(contents().contains("Stop=True"));
    }

    // A link to a file, as from a dotfiles folder, is written through and stays a link. Anything
    // else in the file's place is read as empty and never written, and a fifo does not hold up
    // the start: the values live on in memory. Device nodes only in a temporary folder.
    void settingsFileOfAnotherKind_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind :
             {"link to a file", "folder", "fifo", "link to a device", "dangling link"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void settingsFileOfAnotherKind() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(conf),
                         node = QFile::encodeName(dir.path()) + "/n";
        QFile::remove(conf);
        QVERIFY(QDir().mkpath(QFileInfo(conf).path()));
        const bool file = kind == u"link to a file"_s;
        if (kind == u"folder"_s)
            QVERIFY(QDir().mkpath(conf));
        else if (kind == u"fifo"_s)
            QVERIFY(::mkfifo(path.constData(), 0600) == 0);
        else if (kind == u"link to a device"_s &&
                 ::mknod(node.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("Making a device node needs root.");
        else
            QVERIFY((!file || QFile(QString::fromLocal8Bit(node)).open(QIODevice::WriteOnly)) &&
                    ::symlink(node.constData(), path.constData()) == 0);
        // The entry and what its link leads to, or nothing.
        const auto describe = [&] {
            struct stat link = {};
            struct stat target = {};
            const int linked = ::lstat(path.constData(), &link),
                      led = ::stat(path.constData(), &target);
            return QList<qint64>{linked, qint64(link.st_ino),   link.st_mode,
                                 led,    qint64(target.st_ino), target.st_mode};
        };
        const QList<qint64> before = describe();
        {
            tallyrook::SettingsStore store;
            QCOMPARE(store.ReadSetting(u"ExactFilesize"_s), QString());
            store.WriteSetting(u"ExactFilesize"_s, u"1"_s);
            QCOMPARE(store.Sync(), file);
            QCOMPARE(store.ReadSetting(u"ExactFilesize"_s), u"1"_s);
        }
        QFile target(QString::fromLocal8Bit(node));
        if (file)
            QVERIFY(QFileInfo(conf).isSymLink() && target.open(QIODevice::ReadOnly) &&
                    target.readAll().contains("ExactFilesize=1"));
        else
            QCOMPARE(describe(), before);
        QVERIFY(kind == u"folder"_s ? QDir().rmdir(conf) : QFile::remove(conf));
    }
};

TALLYROOK_TEST_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
