#include "row_output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "search/result_list.h"
#include "shared/global.h"

namespace tallyrook::cli {

namespace {

QString TsvField(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\\')
            out += u"\\\\";
        else if (c == u'\t')
            out += u"\\t";
        else if (c == u'\n')
            out += u"\\n";
        else
            out += c;
    }
    return out;
}

// A path on one line of the table: the characters that would break the line are shown escaped.
QString TableField(const QString& text) {
    QString out = text;
    out.replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\t', QStringLiteral("\\t"))
        .replace(u'\r', QStringLiteral("\\r"));
    return out;
}

}  // namespace

QByteArray TsvText(const ResultList& rows, const Global& global) {
    QString out;
    for (int i = 0; i < rows.RowCount(); ++i) {
        const ResultRow& row = rows.Row(i);
        out += TsvField(row.path) % u'\t' % TsvField(row.sizeText) % u'\t' %
               TsvField(row.modifiedText) % u'\t' % TsvField(row.type) % u'\t' %
               TsvField(global.RowColor(i)) % u'\n';
    }
    return out.toUtf8();
}

QByteArray JsonText(const ResultList& rows, const Global& global) {
    QJsonArray array;
    for (int i = 0; i < rows.RowCount(); ++i) {
        const ResultRow& row = rows.Row(i);
        QJsonObject object;
        object.insert(QStringLiteral("path"), row.path);
        object.insert(QStringLiteral("size"), row.sizeText);
        object.insert(QStringLiteral("modified"), row.modifiedText);
        object.insert(QStringLiteral("type"), row.type);
        object.insert(QStringLiteral("colour"), global.RowColor(i));
        object.insert(QStringLiteral("bytes"),
                      row.bytes >= 0 ? QJsonValue(row.bytes) : QJsonValue(QJsonValue::Null));
        object.insert(QStringLiteral("mtime"),
                      row.modified.isValid()
                          ? QJsonValue(row.modified.toUTC().toString(Qt::ISODate))
                          : QJsonValue(QJsonValue::Null));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

QByteArray TableText(const ResultList& rows, const Global& global) {
    const QString typeHead = QStringLiteral("TYPE");
    const QString sizeHead = QStringLiteral("SIZE");
    const QString dateHead = QStringLiteral("MODIFIED");
    qsizetype typeWidth = typeHead.size();
    qsizetype sizeWidth = sizeHead.size();
    qsizetype dateWidth = dateHead.size();
    for (int i = 0; i < rows.RowCount(); ++i) {
        const ResultRow& row = rows.Row(i);
        typeWidth = std::max(typeWidth, row.type.size());
        sizeWidth = std::max(sizeWidth, row.sizeText.size());
        dateWidth = std::max(dateWidth, row.modifiedText.size());
    }
    auto line = [&](const QString& type, const QString& size, const QString& date,
                    const QString& path) -> QString {
        return type.leftJustified(typeWidth) % u"  " % size.rightJustified(sizeWidth) % u"  " %
               date.leftJustified(dateWidth) % u"  " % path % u'\n';
    };
    QString out = line(typeHead, sizeHead, dateHead, QStringLiteral("PATH"));
    for (int i = 0; i < rows.RowCount(); ++i) {
        const ResultRow& row = rows.Row(i);
        // A group is what the results window paints as one block: consecutive rows of one colour
        // and one type.
        if (i > 0 &&
            (row.type != rows.Row(i - 1).type || global.RowColor(i) != global.RowColor(i - 1)))
            out += u'\n';
        out += line(row.type, row.sizeText, row.modifiedText, TableField(row.path));
    }
    return out.toUtf8();
}

}  // namespace tallyrook::cli
