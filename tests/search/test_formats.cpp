#include <fcntl.h>
#include <sys/stat.h>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>

#include "search/file_functions.h"
#include "search/formats.h"
#include "support/reference_rule.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;

static const QLocale US(QLocale::English, QLocale::UnitedStates);
static const QLocale German(QLocale::German, QLocale::Germany);

static QDateTime Utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

class TestFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void texts() {
        // Band edges, a true half (up, not to even), 1,073,741,823 (the band is chosen before
        // rounding), 1.125 MB, and 64-bit sizes (no wrap at 4 GiB, no end to the GB band).
        const QList<qint64> sizes = {0,          -1,         1023,
                                     1024,       1536,       1048576,
                                     1572864,    1179648,    1073741823,
                                     1073741824, 4305453056, std::numeric_limits<qint64>::max()};
        // Noon, midnight, the zero date drop a part; fractions of a second are cut; the last: none.
        const QStringList times =
            u"2004-01-05T09:07:03 2004-03-14T12:00:00 2004-03-14T14:05:31.999 "
            u"2004-03-14T00:00:00.500 1899-12-30T14:05:03 1899-12-30T00:00:00 "_qs.split(u' ');
        RowTexts us(US);  // texts made once, as in a run: 14:05:03 must not read 14:05:31
        QStringList out;
        for (qint64 size : sizes)
            out << us.Size(size);
        for (const QString& time : times)
            out << us.Date(QDateTime::fromString(time, Qt::ISODateWithMs));
        QCOMPARE(
            out.join(u'|'),
            u"||1,023 Bytes|1 KB|2 KB|1. MB|1.5 MB|1.13 MB|1,024. MB|1. GB|4.01 GB|"
            u"8,589,934,592. GB|1/5/2004 9:07:03 AM|3/14/2004 12:00:00 PM|3/14/2004 2:05:31 PM|"
            u"3/14/2004|2:05:03 PM|12:00:00 AM|"_qs);
        // The locale's separators, but grouped in threes whatever its own rule, which in Spanish
        // leaves 1023 alone; time patterns with their zone field in brackets or first.
        const QDateTime pi = Utc(2004, 3, 14, 14, 5, 31);
        QCOMPARE(FormatSize(1572864, German) + FormatSize(1073741823, German) +
                     GeneralDateText(Utc(2004, 1, 5, 9, 7, 3), German),
                 u"1,5 MB1.024, MB05.01.2004 09:07:03"_qs);
        QCOMPARE(FormatSize(1023, QLocale::Spanish) + GeneralDateText(pi, QLocale::Spanish),
                 u"1.023 Bytes14/3/2004 14:05:31"_qs);
        QCOMPARE(GeneralDateText(pi, QLocale::Chinese), u"2004/3/14 14:05:31"_qs);
    }

    void localTimeUsesTheOffsetInEffectNow() {
        const auto zone = [](const QByteArray& tz) {
            tz.isNull() ? qunsetenv("TZ") : qputenv("TZ", tz);
            tzset();
        };
        const auto restore = qScopeGuard([zone, tz = qgetenv("TZ")] { zone(tz); });
        zone("EST5");                                              // five hours behind UTC
        QCOMPARE(FileTimeToDate(QDateTime()), Utc(1899, 12, 30));  // unreadable: the zero value
        test::TempTree tree;
        tree.file(u"song.mp3"_qs, 10, Utc(2004, 3, 14, 19, 5, 31));
        QCOMPARE(LastModifiedText(tree.path(u"song.mp3"_qs), US), u"3/14/2004 2:05:31 PM"_qs);
        QVERIFY(LastModifiedText(tree.path(u"gone.mp3"_qs), US).isEmpty());
        // Times at and beyond what the texts can show (tmpfs keeps 64-bit times; ext4 clamps).
        QTemporaryDir shm(u"/dev/shm/tallyrook-dates-XXXXXX"_qs);
        if (shm.isValid()) {
            QStringList texts;
            for (const qint64 seconds :
                 {qint64(253'402'300'799), qint64(253'402'300'800),
                  qint64(-11'644'473'600 + 5 * 3600), qint64(-11'644'473'601),
                  std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()}) {
                const QString path = shm.filePath(QString::number(seconds));
                QVERIFY(QFile(path).open(QIODevice::WriteOnly));
                const timespec times[2] = {{0, UTIME_OMIT}, {time_t(seconds), 0}};
                QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path), times, 0) == 0);
                texts << LastModifiedText(path, US);
                QCOMPARE(LastWriteTimeUtc(path).isValid(), !texts.last().isEmpty());
            }
            QCOMPARE(texts.join(u'|'), u"12/31/9999 6:59:59 PM||1/1/1601|||"_qs);
        }
        // With daylight saving, winter and summer files move by the same offset: today's.
        zone("CET-1CEST,M3.5.0,M10.5.0/3");
        const int now = QDateTime::currentDateTime().offsetFromUtc();
        QCOMPARE(Utc(2004, 1, 15, 12).secsTo(FileTimeToDate(Utc(2004, 1, 15, 12))), now);
        QCOMPARE(Utc(2004, 7, 15, 12).secsTo(FileTimeToDate(Utc(2004, 7, 15, 12))), now);
    }
};

TALLYROOK_TEST_MAIN(TestFormats)
#include "test_formats.moc"
