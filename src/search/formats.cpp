#include "formats.h"

namespace tallyrook {
// Placeholder until the formats land.
QString FormatSize(qint64, const QLocale&) { return {}; }
QDateTime FileTimeToDate(const QDateTime& utc) { return utc; }
QString GeneralDateText(const QDateTime&, const QLocale&) { return {}; }
QString LastModifiedText(const QString&, const QLocale&) { return {}; }
}  // namespace tallyrook
