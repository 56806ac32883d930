// Names on Linux and the BSDs: the bytes are UTF-8 wherever they are text.
#include "shared/file_names.h"

namespace tallyrook {

QString DecodeFileName(QByteArrayView bytes) {
    QString text = QString::fromUtf8(bytes);
    // The decoder drops one leading byte-order mark; put it back.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text.prepend(QChar(0xFEFF));
    return text;
}

}  // namespace tallyrook
