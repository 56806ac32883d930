#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <QDir>
#include <QTest>

#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "support/test_env.h"

using namespace Qt::StringLiterals;
namespace keys = tallyrook::setting_keys;

class TestSettingsStore : public QObject {
    Q_OBJECT

    const QString conf = tallyrook::test::TestHome() + u"/config/Marwendel/Tallyrook.conf"_s;

private Q_SLOTS:
    // Values come back as the same text ("1.5e3" is no number), at once and at the next start.
    void valuesKeepTheirText() {
        const QStringList values = {u"True"_s, u"12000"_s, u"1.5e3"_s, u" 0"_s, u"-32769"_s};
        {
            tallyrook::SettingsStore store;
            QCOMPARE(store.ReadSetting(keys::Stop), QString());  // absent
            for (qsizetype i = 0; i < values.size(); ++i)
                store.WriteSetting(u"Key%1"_s.arg(i), values[i]);
            QCOMPARE(store.ReadSetting(u"Key2"_s), values[2]);
            QVERIFY(store.Sync());
        }
        tallyrook::SettingsStore again;
        for (qsizetype i = 0; i < values.size(); ++i)
            QCOMPARE(again.ReadSetting(u"Key%1"_s.arg(i)), values[i]);
    }

    // A criterion or the geometry goes to disk by itself once the event loop runs, with the other
    // writes of that stretch ("Stop" among them, which never calls for a write of its own).
    void writesReachTheFileByThemselves() {
        QFile::remove(conf);
        const auto contents = [this] {  // where the desktop expects it
            QFile file(conf);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        tallyrook::SettingsStore store;
        store.WriteSetting(keys::Stop, u"True"_s);
        store.WriteSetting(keys::FormWidth, u"9600"_s);
        QVERIFY(!QFile::exists(conf));  // not at every write
        QTRY_VERIFY(contents().contains((keys::FormWidth + u"=9600").toUtf8()));
        QVERIFY(contents().contains((keys::Stop + u"=True").toUtf8()));
    }

    // A link to a file (dotfiles) is written through. Anything else is read as empty, never
    // written, and a fifo does not hold up the start. Device nodes only in a temporary folder.
    void settingsFileOfAnotherKind_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"link to a file", "fifo", "link to a device", "dangling link"})
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
        if (kind == u"fifo"_s)
            QVERIFY(::mkfifo(path.constData(), 0600) == 0);
        else if (kind == u"link to a device"_s &&
                 ::mknod(node.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("Making a device node needs root.");
        else
            QVERIFY((!file || QFile(QString::fromLocal8Bit(node)).open(QIODevice::WriteOnly)) &&
                    ::symlink(node.constData(), path.constData()) == 0);
        tallyrook::SettingsStore store;
        QCOMPARE(store.ReadSetting(keys::ExactFilesize), QString());
        store.WriteSetting(keys::ExactFilesize, u"1"_s);
        QCOMPARE(store.Sync(), file);
        QCOMPARE(store.ReadSetting(keys::ExactFilesize), u"1"_s);
        // Never replaced by a regular file, a link kept.
        QFile target(QString::fromLocal8Bit(node));
        QCOMPARE(QFileInfo(conf).isSymLink(), kind.contains(u"link"_s));
        QVERIFY(file ? target.open(QIODevice::ReadOnly) &&
                           target.readAll().contains((keys::ExactFilesize + u"=1").toUtf8())
                     : !QFileInfo(conf).isFile());
        QVERIFY(QFile::remove(conf));
    }
};

TALLYROOK_TEST_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
