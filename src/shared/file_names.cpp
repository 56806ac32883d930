#include "shared/file_names.h"

#include <algorithm>
#include <cstring>

namespace tallyrook {

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
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

}  // namespace tallyrook
