#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

#include "settings/settings_store.h"
#include "support/test_env.h"

using tallyrook::SettingsStore;

class TestSettingsStore : public QObject {
    Q_OBJECT

    QString ConfigFile() const {
        return tallyrook::test::TestHome() + QStringLiteral("/config/Marwendel/Tallyrook.conf");
    }

private Q_SLOTS:
    void absentKeyReadsEmpty() {
        SettingsStore store;
        QCOMPARE(store.ReadSetting(QStringLiteral("ExactFilename")), QString());
        QVERIFY(store.ReadSetting(QStringLiteral("ExactFilename")).isEmpty());
    }

    void writeIsVisibleAtOnceAndPersists() {
        {
            SettingsStore store;
            store.WriteSetting(QStringLiteral("Stop"), QStringLiteral("True"));
            QCOMPARE(store.ReadSetting(QStringLiteral("Stop")), QStringLiteral("True"));
            store.WriteSetting(QStringLiteral("Stop"), QStringLiteral("False"));
            QCOMPARE(store.ReadSetting(QStringLiteral("Stop")), QStringLiteral("False"));
            store.WriteSetting(QStringLiteral("FormWidth"), QStringLiteral("12000"));
            QVERIFY(store.Sync());
        }
        // The values land where the desktop expects them, as plain text.
        QVERIFY(QFile::exists(ConfigFile()));
        QSettings raw(ConfigFile(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("FormWidth")).toString(), QStringLiteral("12000"));
        SettingsStore again;
        QCOMPARE(again.ReadSetting(QStringLiteral("FormWidth")), QStringLiteral("12000"));
        QCOMPARE(again.ReadSetting(QStringLiteral("Stop")), QStringLiteral("False"));
    }

    void valuesKeepTheirTextExactly() {
        SettingsStore store;
        // Text values are not interpreted: "1.5e3" must not come back as a number.
        for (const QString& value : {QStringLiteral("1.5e3"), QStringLiteral(" 0"),
                                     QStringLiteral("true"), QStringLiteral("-32769")}) {
            store.WriteSetting(QStringLiteral("WindowState"), value);
            QVERIFY(store.Sync());
            SettingsStore other;
            QCOMPARE(other.ReadSetting(QStringLiteral("WindowState")), value);
        }
    }

    void unwritableStoreKeepsValueInMemory() {
        QFile::remove(ConfigFile());
        // A folder where the file should be: not even root can write the store now.
        QVERIFY(QDir().mkpath(ConfigFile()));
        {
            SettingsStore store;
            store.WriteSetting(QStringLiteral("ExactFilesize"), QStringLiteral("1"));
            QCOMPARE(store.ReadSetting(QStringLiteral("ExactFilesize")), QStringLiteral("1"));
            QVERIFY(!store.Sync());
            QCOMPARE(store.ReadSetting(QStringLiteral("ExactFilesize")), QStringLiteral("1"));
        }
        QVERIFY(QDir().rmdir(ConfigFile()));
    }
};

TALLYROOK_TEST_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
