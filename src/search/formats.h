#pragma once

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>

namespace tallyrook {

// Size text in Bytes, KB, MB or GB by powers of 1024 with the locale's separators;
// the empty text for 0 or less.
QString FormatSize(qint64 size, const QLocale& locale = QLocale::system());

// A whole number with its digits grouped in threes by the locale's group separator ("#,###");
// the empty text for 0.
QString GroupedNumber(qint64 value, const QLocale& locale = QLocale::system());

// Local wall-clock time of a UTC file time, using the offset in effect now (not the one in effect
// at the file's time). The result carries that wall-clock time; its time spec is not meaningful.
// An invalid time gives the zero date-time value, 1899-12-30 00:00.
QDateTime FileTimeToDate(const QDateTime& utc);

// The general date text of a local wall-clock time: short date with a four-digit year, one blank,
// the time to the second; midnight shows the date alone, the zero date (1899-12-30) the time alone.
QString GeneralDateText(const QDateTime& local, const QLocale& locale = QLocale::system());

// FormatSize and GeneralDateText for the many rows of a search run, in one locale: each text is
// made once for every rounded size, every day and every time of day, and the locale's patterns
// are asked for once.
class RowTexts {
public:
    explicit RowTexts(const QLocale& locale);
    QString Size(qint64 size);
    QString Date(const QDateTime& local);

private:
    QLocale locale_;
    QString datePattern_;
    QString timePattern_;
    QHash<qint64, QString> sizes_;  // by rounded size and band
    QHash<qint64, QString> days_;   // by Julian day
    QHash<int, QString> times_;     // by second of the day
};

}  // namespace tallyrook
