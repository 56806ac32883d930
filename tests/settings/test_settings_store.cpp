#include <QDir>
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

    // A criterion or the geometry goes to disk by itself once the event loop runs, with the other
    // writes of that stretch ("Stop" among them, which never calls for a write of its own).
    void writesReachTheFileByThemselves() {
        QFile::remove(conf);
        const auto contents = [this] {  // where the desktop expects it
            QFile file(conf);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        tallyrook::SettingsStore store;
        store.WriteSetting(u"Stop"_s, u"True"_s);
        store.WriteSetting(u"FormWidth"_s, u"9600"_s);
        QVERIFY(!QFile::exists(conf));  // not at every write
        QTRY_VERIFY(contents().contains("FormWidth=9600"));
        QVERIFY(contents().contains("Stop=True"));
    }

    // A folder where the file should be: not even root can write the store.
    void unwritableStoreKeepsValueInMemory() {
        QFile::remove(conf);
        QVERIFY(QDir().mkpath(conf));
        tallyrook::SettingsStore store;
        store.WriteSetting(u"ExactFilesize"_s, u"1"_s);
        QVERIFY(!store.Sync());
        QCOMPARE(store.ReadSetting(u"ExactFilesize"_s), u"1"_s);
        QVERIFY(QDir().rmdir(conf));
    }
};

TALLYROOK_TEST_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
