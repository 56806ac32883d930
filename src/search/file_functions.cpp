#include "search/file_functions.h"

#include <QFile>
#include <QtGlobal>
#include <algorithm>
#include <iterator>

namespace tallyrook {

bool DateCanBeShown(qint64 secondsSinceEpoch) {
    // From the start of the file-time count (1601-01-01 00:00:00 UTC) to the last second with a
    // four-digit year (9999-12-31 23:59:59 UTC).
    return secondsSinceEpoch >= -11'644'473'600 && secondsSinceEpoch <= 253'402'300'799;
}

QString DecodeFileName(QByteArrayView bytes) {
#ifdef Q_OS_DARWIN
    // macOS hands out decomposed names; the system decoder composes them.
    QString text = QFile::decodeName(bytes.toByteArray());
#else
    QString text = QString::fromUtf8(bytes);
#endif
    // The decoder drops one leading byte-order mark; put it back.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text.prepend(QChar(0xFEFF));
    return text;
}

QString DisplayFileName(QByteArrayView bytes) {
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes[i]);
        const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const QByteArrayView sequence = bytes.sliced(i, std::min(length, bytes.size() - i));
        if (sequence.size() == length && sequence.isValidUtf8()) {
            text += DecodeFileName(sequence);
            i += length;
        } else {
            text += QStringLiteral("\\x%1").arg(lead, 2, 16, QChar(u'0'));
            ++i;
        }
    }
    return text;
}

QString FileNameOf(const QString& path) {
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

QString FolderOf(const QString& path) {
    return path.first(path.lastIndexOf(u'/') + 1);
}

QString WithoutClosingSlash(const QString& path) {
    return path.size() > 1 && path.endsWith(u'/') ? path.chopped(1) : path;
}

}  // namespace tallyrook
