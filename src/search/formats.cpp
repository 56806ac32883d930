#include "search/formats.h"

#include <QRegularExpression>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "search/file_functions.h"

namespace tallyrook {

namespace {

constexpr qint64 KiB = 1024;
constexpr qint64 MiB = KiB * 1024;
constexpr qint64 GiB = MiB * 1024;

// The date-time value 0: its date part is "no date".
const QDate ZeroDate(1899, 12, 30);

// Appends the decimal digits of a non-negative value in the locale's digits.
void AppendDigits(QString& out, qint64 value, int minimumDigits, const QString& zero) {
    const QString ascii = QString::number(value).rightJustified(minimumDigits, u'0');
    if (zero == u"0") {
        out += ascii;
        return;
    }
    const char32_t zeroCode = zero.toUcs4().value(0, U'0');
    for (QChar digit : ascii) {
        const char32_t code = zeroCode + static_cast<char32_t>(digit.unicode() - u'0');
        out += QString::fromUcs4(&code, 1);
    }
}

// "#,###" of a whole number: grouped in threes whatever the locale's own grouping rule says, and
// nothing at all for 0.
QString Grouped(qint64 value, const QLocale& locale) {
    if (value == 0)
        return {};
    QString out;
    if (value < 0) {
        out += locale.negativeSign();
        // The lowest qint64 has no positive counterpart; no size or count comes near it.
        value = value == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max()
                                                            : -value;
    }
    const QString separator = locale.groupSeparator();
    const QString zero = locale.zeroDigit();
    qint64 group = 1;
    while (value / group >= 1000)
        group *= 1000;
    AppendDigits(out, value / group, 1, zero);
    for (group /= 1000; group > 0; group /= 1000) {
        out += separator;
        AppendDigits(out, value / group % 1000, 3, zero);
    }
    return out;
}

// size / unit rounded half away from zero to `decimals` places, as an integer count of those
// places. Exact integer arithmetic, so a true half is never misread through binary fractions.
qint64 RoundedQuotient(qint64 size, qint64 unit, int decimals) {
    const qint64 scale = decimals == 2 ? 100 : 1;
    const qint64 whole = size / unit;
    const qint64 rest = size % unit;  // below 2^30, so rest * 100 cannot overflow
    return whole * scale + (rest * scale + unit / 2) / unit;
}

// A size rounded in its band: the text depends on nothing else.
struct RoundedSize {
    enum Band { Bytes, KB, MB, GB } band;
    qint64 value;  // bytes, whole KB, hundredths of MB or of GB
};

RoundedSize Rounded(qint64 size) {
    // The band is chosen on the exact size, before any rounding: 1,048,575 is "1,024 KB".
    if (size < KiB)
        return {RoundedSize::Bytes, size};
    if (size < MiB)
        return {RoundedSize::KB, RoundedQuotient(size, KiB, 0)};
    if (size < GiB)
        return {RoundedSize::MB, RoundedQuotient(size, MiB, 2)};
    return {RoundedSize::GB, RoundedQuotient(size, GiB, 2)};
}

// "#,###.##": always the decimal separator, then up to two decimals without trailing zeros.
QString TwoDecimals(qint64 hundredths, const QLocale& locale) {
    QString out = Grouped(hundredths / 100, locale) + locale.decimalPoint();
    const qint64 fraction = hundredths % 100;
    if (fraction != 0) {
        if (fraction % 10 == 0)
            AppendDigits(out, fraction / 10, 1, locale.zeroDigit());
        else
            AppendDigits(out, fraction, 2, locale.zeroDigit());
    }
    return out;
}

// The locale's short date pattern with every year field widened to four digits. Day and month
// fields stay as the locale has them, so "M/d/yy" becomes "M/d/yyyy", "dd.MM.yy" "dd.MM.yyyy".
QString FourDigitYearPattern(const QString& shortDate) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < shortDate.size(); ++i) {
        const QChar c = shortDate.at(i);
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u'y') {
            while (i + 1 < shortDate.size() && shortDate.at(i + 1) == u'y')
                ++i;
            out += u"yyyy";
            continue;
        }
        out += c;
    }
    return out;
}

// The locale's long time pattern without its time-zone field: to the second, nothing more.
QString TimeToSecondPattern(const QString& longTime) {
    QString out;
    bool quoted = false;
    for (QChar c : longTime) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    // Some locales wrap the zone in parentheses: "H:mm:ss (t)".
    static const QRegularExpression emptyBrackets(QStringLiteral("\\(\\s*\\)"));
    out.remove(emptyBrackets);
    return out.simplified();
}

QString SizeText(RoundedSize size, const QLocale& locale) {
    switch (size.band) {
        case RoundedSize::Bytes:
            return Grouped(size.value, locale) + u" Bytes";
        case RoundedSize::KB:
            return Grouped(size.value, locale) + u" KB";
        case RoundedSize::MB:
            return TwoDecimals(size.value, locale) + u" MB";
        case RoundedSize::GB:
            break;
    }
    return TwoDecimals(size.value, locale) + u" GB";
}

struct DatePatterns {
    QString date;
    QString time;
};

// Deriving the patterns is costly next to formatting one date, and the passes format one per row;
// keep the last locale's result.
const DatePatterns& PatternsFor(const QLocale& locale) {
    thread_local QString shortDate;
    thread_local QString longTime;
    thread_local DatePatterns patterns;
    const QString currentDate = locale.dateFormat(QLocale::ShortFormat);
    const QString currentTime = locale.timeFormat(QLocale::LongFormat);
    if (currentDate != shortDate || currentTime != longTime || patterns.date.isEmpty()) {
        shortDate = currentDate;
        longTime = currentTime;
        patterns = {FourDigitYearPattern(currentDate), TimeToSecondPattern(currentTime)};
    }
    return patterns;
}

// Asking the system for the local offset costs microseconds, and the passes need it for every
// row; it can only change with the clock or the zone setting.
int CurrentUtcOffset() {
    thread_local qint64 second = std::numeric_limits<qint64>::min();
    thread_local std::string zone;
    thread_local int offset = 0;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const char* tz = std::getenv("TZ");
    const std::string_view currentZone = tz ? std::string_view(tz) : std::string_view("\1unset");
    if (now != second || currentZone != zone) {
        offset = QDateTime::currentDateTime().offsetFromUtc();
        second = now;
        zone = currentZone;
    }
    return offset;
}

// The general date text of `local` from the texts of its date and of its time to the second.
template <typename DateText, typename TimeText>
QString ComposedDate(const QDateTime& local, DateText dateText, TimeText timeText) {
    // The date texts have four-digit years; a zone offset can push the last day past them.
    if (!local.isValid() || local.date().year() < 1 || local.date().year() > 9999)
        return {};
    const QDate date = local.date();
    const QTime time = local.time();
    // To the second: fractions are cut, as a file manager shows them.
    const QTime second(time.hour(), time.minute(), time.second());
    if (date == ZeroDate)
        return timeText(second);
    if (second == QTime(0, 0))
        return dateText(date);
    return dateText(date) + u' ' + timeText(second);
}

}  // namespace

QString GroupedNumber(qint64 value, const QLocale& locale) {
    return Grouped(value, locale);
}

QString FormatSize(qint64 size, const QLocale& locale) {
    return size <= 0 ? QString() : SizeText(Rounded(size), locale);
}

QDateTime FileTimeToDate(const QDateTime& utc) {
    if (!utc.isValid())
        return QDateTime(ZeroDate, QTime(0, 0), Qt::UTC);
    // The offset in effect now, daylight saving included, whatever it was at the file's time.
    const int offset = CurrentUtcOffset();
    // Kept as a UTC value so that no local-time rule moves the wall-clock time again.
    return utc.toUTC().addSecs(offset);
}

QString GeneralDateText(const QDateTime& local, const QLocale& locale) {
    const DatePatterns& patterns = PatternsFor(locale);
    return ComposedDate(
        local, [&](QDate date) { return locale.toString(date, patterns.date); },
        [&](QTime time) { return locale.toString(time, patterns.time); });
}

RowTexts::RowTexts(const QLocale& locale)
    : locale_(locale),
      datePattern_(PatternsFor(locale).date),
      timePattern_(PatternsFor(locale).time) {}

QString RowTexts::Size(qint64 size) {
    if (size <= 0)
        return {};
    const RoundedSize rounded = Rounded(size);
    const qint64 key = rounded.value * 4 + rounded.band;
    auto it = sizes_.find(key);
    if (it == sizes_.end())
        it = sizes_.insert(key, SizeText(rounded, locale_));
    return *it;
}

QString RowTexts::Date(const QDateTime& local) {
    return ComposedDate(
        local,
        [this](QDate date) {
            auto it = days_.find(date.toJulianDay());
            if (it == days_.end())
                it = days_.insert(date.toJulianDay(), locale_.toString(date, datePattern_));
            return *it;
        },
        [this](QTime time) {
            const int second = time.msecsSinceStartOfDay() / 1000;
            auto it = times_.find(second);
            if (it == times_.end())
                it = times_.insert(second, locale_.toString(time, timePattern_));
            return *it;
        });
}

}  // namespace tallyrook
