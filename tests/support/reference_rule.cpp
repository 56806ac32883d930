#include "support/reference_rule.h"

#include <algorithm>
#include <cmath>

#include "search/file_functions.h"
#include "search/formats.h"

namespace tallyrook {

QStringList SplitWords(const QString& name) {
    QStringList words;
    qsizetype start = 0;
    for (;;) {
        const qsizetype blank = name.indexOf(u' ', start);
        if (blank < 0) {
            words.append(name.sliced(start));
            return words;
        }
        words.append(name.sliced(start, blank - start));
        start = blank + 1;
    }
}

double WordMatchRatio(const QStringList& first, const QStringList& second, const QLocale& locale) {
    QStringList upperSecond;
    for (const QString& word : second)
        upperSecond.append(locale.toUpper(word));
    qsizetype matches = 0;
    for (const QString& word : first) {
        if (upperSecond.contains(locale.toUpper(word)))
            ++matches;
    }
    const qsizetype larger = std::max(first.size(), second.size());
    return larger == 0 ? 0.0 : double(matches) / double(larger);
}

bool NamesAreSimilar(const QString& first, const QString& second, const QLocale& locale) {
    const double ratio = WordMatchRatio(SplitWords(first), SplitWords(second), locale);
    // Rounded half to even (the default rounding mode), so exactly one half is not similar.
    return std::nearbyint(ratio) > 0.9;
}

std::optional<qint64> FileSize2(const QString& path) {
    return ReadFileMetadata(path).size;
}

QDateTime LastWriteTimeUtc(const QString& path) {
    return ReadFileMetadata(path).modifiedUtc;
}

QString LastModifiedText(const QString& path, const QLocale& locale) {
    const QDateTime written = LastWriteTimeUtc(path);
    if (!written.isValid())
        return {};
    return GeneralDateText(FileTimeToDate(written), locale);
}

}  // namespace tallyrook
