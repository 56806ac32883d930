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

    // Linked into a dotfiles folder: the file behind the link takes the values, the link stays.
    void linkToAFileKeepsItsLink() {
        QTemporaryDir dotfiles;
        const QString target = dotfiles.filePath(u"Tallyrook.conf"_s);
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[General]\nExactFilename=1\n"));
        file.close();
        QFile::remove(conf);
        QVERIFY(QDir().mkpath(QFileInfo(conf).path()) && QFile::link(target, conf));
        {
            tallyrook::SettingsStore store;
            QCOMPARE(store.ReadSetting(u"ExactFilename"_s), u"1"_s);
            store.WriteSetting(u"FormWidth"_s, u"9600"_s);
            QVERIFY(store.Sync());
        }
        QCOMPARE(QFileInfo(conf).symLinkTarget(), target);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains("FormWidth=9600"));
        QVERIFY(QFile::remove(conf));
    }

    // Anything else in the file's place is read as empty and never written, and a fifo does not
    // hold up the start: the values live on in memory. Device nodes only in a temporary folder.
    void notAFileIsLeftAlone_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"folder", "fifo", "link to a device", "dangling link"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void notAFileIsLeftAlone() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(conf),
                         node = QFile::encodeName(dir.path()) + "/n";
        QFile::remove(conf);
        QVERIFY(QDir().mkpath(QFileInfo(conf).path()));
        if (kind == u"folder"_s)
            QVERIFY(QDir().mkpath(conf));
        else if (kind == u"fifo"_s)
            QVERIFY(::mkfifo(path.constData(), 0600) == 0);
        else if (kind == u"dangling link"_s)
            QVERIFY(::symlink(node.constData(), path.constData()) == 0);
        else if (::mknod(node.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("Making a device node needs root.");
        else
            QVERIFY(::symlink(node.constData(), path.constData()) == 0);
        // The entry and what its link leads to, or nothing.
        const auto describe = [&] {
            struct stat link {
            }, target{};
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
            QVERIFY(!store.Sync());
            QCOMPARE(store.ReadSetting(u"ExactFilesize"_s), u"1"_s);
        }
        QCOMPARE(describe(), before);
        QVERIFY(kind == u"folder"_s ? QDir().rmdir(conf) : QFile::remove(conf));
    }
};

TALLYROOK_TEST_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
