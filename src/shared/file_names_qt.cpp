// Names as the platform's own decoder reads them: macOS, for one, hands out decomposed names,
// which it composes.
#include <QFile>

#include "shared/file_names.h"

namespace tallyrook {

QString DecodeFileName(QByteArrayView bytes) {
    QString text = QFile::decodeName(bytes.toByteArray());
    // The decoder drops one leading byte-order mark; put it back.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text.prepend(QChar(0xFEFF));
    return text;
}

}  // namespace tallyrook
