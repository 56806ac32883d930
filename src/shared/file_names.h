#pragma once

#include <QByteArrayView>
#include <QString>

namespace tallyrook {

// A name or path as the file system spells it, decoded so that it encodes back to the same bytes
// (QFile::encodeName). QString::fromUtf8 alone drops a leading byte-order mark, which would turn
// the file "\uFEFF.key" into the hidden ".key" beside it.
QString DecodeFileName(QByteArrayView bytes);
// A name as the file system spells it, for a message: what is valid UTF-8 decoded, every other
// byte written \xHH, so a name that is not text is still shown as it is.
QString DisplayFileName(QByteArrayView bytes);
// The system's words for an error number ("No such file or directory").
QString ErrorText(int error);

}  // namespace tallyrook
