#include <QDateTime>
#include <QLocale>
#include <QTest>
#include <ctime>

#include "search/formats.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;

namespace {

const QLocale US(QLocale::English, QLocale::UnitedStates);
const QLocale German(QLocale::German, QLocale::Germany);

QDateTime Wall(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

void SetTimeZone(const char* tz) {
    qputenv("TZ", tz);
    tzset();
}

}  // namespace

class TestFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizeBandsAndPictures_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("us");
        QTest::addColumn<QString>("german");
        auto row = [](qint64 size, const char* us, const char* german) {
            QTest::addRow("%lld", size)
                << size << QString::fromUtf8(us) << QString::fromUtf8(german);
        };
        row(0, "", "");
        row(-1, "", "");
        row(1, "1 Bytes", "1 Bytes");
        row(2, "2 Bytes", "2 Bytes");
        row(1023, "1,023 Bytes", "1.023 Bytes");
        row(1024, "1 KB", "1 KB");
        row(1536, "2 KB", "2 KB");             // a true half goes up
        row(2560, "3 KB", "3 KB");             // and not to even
        row(1048575, "1,024 KB", "1.024 KB");  // the band is chosen before rounding
        row(1048576, "1. MB", "1, MB");
        row(1572864, "1.5 MB", "1,5 MB");
        row(1179648, "1.13 MB", "1,13 MB");  // exactly 1.125
        row(5000000, "4.77 MB", "4,77 MB");
        row(1073741823, "1,024. MB", "1.024, MB");
        row(1073741824, "1. GB", "1, GB");
        row(2147483647, "2. GB", "2, GB");
        // 64-bit sizes: no wrap at 2 or 4 GiB, and the GB band has no upper end.
        row(2147483648, "2. GB", "2, GB");
        row(4294967296 + 1024 * 1024 * 10, "4.01 GB", "4,01 GB");
        row(1099511627776, "1,024. GB", "1.024, GB");
        row(std::numeric_limits<qint64>::max(), "8,589,934,592. GB", "8.589.934.592, GB");
    }
    void sizeBandsAndPictures() {
        QFETCH(qint64, size);
        QFETCH(QString, us);
        QFETCH(QString, german);
        QCOMPARE(FormatSize(size, US), us);
        QCOMPARE(FormatSize(size, German), german);
    }

    void groupingIsInThreesWhateverTheLocale() {
        // Spanish CLDR data leaves four-digit numbers ungrouped; the number picture does not.
        QCOMPARE(FormatSize(1023, QLocale(QLocale::Spanish, QLocale::Spain)), u"1.023 Bytes"_qs);
        // French groups with a narrow no-break space.
        QCOMPARE(FormatSize(1023, QLocale(QLocale::French, QLocale::France)),
                 u"1\u202F023 Bytes"_qs);
        QCOMPARE(GroupedNumber(20001, US), u"20,001"_qs);
        QCOMPARE(GroupedNumber(20001, German), u"20.001"_qs);
        QCOMPARE(GroupedNumber(1000001, US), u"1,000,001"_qs);
        QCOMPARE(GroupedNumber(999, US), u"999"_qs);
        QCOMPARE(GroupedNumber(0, US), QString());
    }

    void generalDateText_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("local");
        QTest::addColumn<QString>("text");
        const QDateTime pi = Wall(2004, 3, 14, 14, 5, 31);
        QTest::newRow("us") << US << pi << u"3/14/2004 2:05:31 PM"_qs;
        QTest::newRow("german") << German << pi << u"14.03.2004 14:05:31"_qs;
        QTest::newRow("us no leading zeros")
            << US << Wall(2004, 1, 5, 9, 7, 3) << u"1/5/2004 9:07:03 AM"_qs;
        QTest::newRow("us midnight") << US << Wall(2004, 3, 14, 0, 0, 0) << u"3/14/2004"_qs;
        QTest::newRow("german midnight")
            << German << Wall(2004, 3, 14, 0, 0, 0) << u"14.03.2004"_qs;
        QTest::newRow("us noon") << US << Wall(2004, 3, 14, 12, 0, 0)
                                 << u"3/14/2004 12:00:00 PM"_qs;
        // Fractions of a second are cut, so half a second past midnight is still midnight.
        QTest::newRow("fraction cut")
            << US << Wall(2004, 3, 14, 14, 5, 31, 999) << u"3/14/2004 2:05:31 PM"_qs;
        QTest::newRow("just past midnight")
            << US << Wall(2004, 3, 14, 0, 0, 0, 500) << u"3/14/2004"_qs;
        QTest::newRow("zero date shows the time alone")
            << US << Wall(1899, 12, 30, 14, 5, 31) << u"2:05:31 PM"_qs;
        QTest::newRow("zero value") << US << Wall(1899, 12, 30, 0, 0, 0) << u"12:00:00 AM"_qs;
        QTest::newRow("year 1999")
            << US << Wall(1999, 12, 31, 23, 59, 59) << u"12/31/1999 11:59:59 PM"_qs;
        // Patterns whose time-zone field sits elsewhere or in brackets.
        QTest::newRow("spanish") << QLocale(QLocale::Spanish, QLocale::Spain) << pi
                                 << u"14/3/2004 14:05:31"_qs;
        QTest::newRow("chinese") << QLocale(QLocale::Chinese, QLocale::China) << pi
                                 << u"2004/3/14 14:05:31"_qs;
        QTest::newRow("british") << QLocale(QLocale::English, QLocale::UnitedKingdom) << pi
                                 << u"14/03/2004 14:05:31"_qs;
    }
    void generalDateText() {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, local);
        QFETCH(QString, text);
        QCOMPARE(GeneralDateText(local, locale), text);
    }

    void localTimeUsesTheOffsetInEffectNow() {
        const QByteArray savedTz = qgetenv("TZ");
        // A fixed zone: five hours behind UTC.
        SetTimeZone("EST5");
        QCOMPARE(FileTimeToDate(Wall(2004, 3, 14, 19, 5, 31)), Wall(2004, 3, 14, 14, 5, 31));
        QCOMPARE(GeneralDateText(FileTimeToDate(Wall(2004, 3, 15, 5, 0, 0)), US),
                 u"3/15/2004"_qs);  // local midnight
        // A zone with daylight saving: winter and summer files move by the same offset, today's.
        SetTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
        const int now = QDateTime::currentDateTime().offsetFromUtc();
        QVERIFY(now == 3600 || now == 7200);
        const QDateTime winter = Wall(2004, 1, 15, 12, 0, 0);
        const QDateTime summer = Wall(2004, 7, 15, 12, 0, 0);
        QCOMPARE(winter.secsTo(FileTimeToDate(winter)), now);
        QCOMPARE(summer.secsTo(FileTimeToDate(summer)), now);
        if (savedTz.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", savedTz);
        tzset();
    }

    void unreadableTimeIsTheZeroValue() {
        QCOMPARE(FileTimeToDate(QDateTime()), Wall(1899, 12, 30, 0, 0, 0));
        QCOMPARE(GeneralDateText(FileTimeToDate(QDateTime()), US), u"12:00:00 AM"_qs);
        QCOMPARE(GeneralDateText(QDateTime(), US), QString());
    }

    void lastModifiedTextOfFiles() {
        test::TempTree tree;
        const QDateTime written = Wall(2004, 3, 14, 13, 5, 31);
        tree.file(QStringLiteral("a/song.mp3"), 10, written);
        QCOMPARE(LastModifiedText(tree.path(QStringLiteral("a/song.mp3")), US),
                 GeneralDateText(FileTimeToDate(written), US));
        QVERIFY(!LastModifiedText(tree.path(QStringLiteral("a/song.mp3")), US).isEmpty());
        QCOMPARE(LastModifiedText(tree.path(QStringLiteral("a/gone.mp3")), US), QString());
        QCOMPARE(LastModifiedText(QString(), US), QString());
    }
};

TALLYROOK_TEST_MAIN(TestFormats)
#include "test_formats.moc"
