#include "results_window/results_model.h"

#include <QBrush>
#include <QFont>
#include <QLocale>

#include "contents/contents_texts.h"
#include "search/file_functions.h"
#include "trash/trash_writer.h"

namespace tallyrook {

namespace {

// A copy set's letter within its group: A to Z, then AA, AB...
QString Letter(int number) {
    QString letters;
    for (; number > 0; number = (number - 1) / 26)
        letters.prepend(QChar(u'A' + (number - 1) % 26));
    return letters;
}

// The most other copies a tip names.
constexpr qsizetype TipPaths = 10;

// The Type column's words, translated as the window shows them (the command line's rows keep
// them as they are).
[[maybe_unused]] constexpr const char* TypeWordTexts[] = {
    QT_TRANSLATE_NOOP("tallyrook::ResultsModel", "Name"),
    QT_TRANSLATE_NOOP("tallyrook::ResultsModel", "Size"),
    QT_TRANSLATE_NOOP("tallyrook::ResultsModel", "Close"),
    QT_TRANSLATE_NOOP("tallyrook::ResultsModel", "Copy")};

// A path as the list shows it: a file that is not here with its machine and drive before it.
QString Shown(const QString& path, const QString& source) {
    return source.isEmpty() ? path
                            : source + QStringLiteral(" \u2014 ") + path.mid(source.size() + 1);
}

}  // namespace

ResultsModel::ResultsModel(QObject* parent) : SelectionList(parent) {}

std::optional<QColor> ResultsModel::BackgroundOf(RowColor color) {
    switch (color) {
        case RowColor::None:
            return std::nullopt;
        case RowColor::Blue:
            return QColor(212, 234, 255);
        case RowColor::LightBlue:
            return QColor(242, 242, 255);
        case RowColor::Red:
            return QColor(255, 212, 213);
        case RowColor::LightRed:
            return QColor(255, 233, 212);
        case RowColor::Green:
            return QColor(212, 255, 212);
        case RowColor::LightGreen:
            return QColor(242, 255, 242);
        case RowColor::Yellow:
            return QColor(255, 242, 176);
        case RowColor::LightYellow:
            return QColor(255, 251, 224);
    }
    return std::nullopt;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ResultRow& row = Row(index.row());
    switch (role) {
        case Qt::ToolTipRole:
            // The whole path (the view shows it only where the cell cuts it) and the exact size.
            if (index.column() == FilenameColumn && Protected().Protects(row.path))
                return QString(row.path + u'\n' +
                               tr("Protected: everything in %1 is kept. It cannot be checked or "
                                  "sent to the %2.")
                                   .arg(Protected().HolderOf(row.path), TrashWriter::TrashName()));
            if (index.column() == FilenameColumn && !row.source.isEmpty())
                return QString(PathWhereItIs(row) + u'\n' +
                               tr("On %1, which is not here: it cannot be opened, checked or sent "
                                  "to the %2.")
                                   .arg(row.source, TrashWriter::TrashName()));
            if (index.column() == FilenameColumn)
                return row.path;
            if (index.column() == SizeColumn && row.bytes >= 0)
                return QString(QLocale::system().toString(row.bytes) +
                               (row.bytes == 1 ? tr(" byte") : tr(" bytes")));
            if (index.column() == CopiesColumn)
                return CopiesTip(index.row());
            return {};
        case Qt::DisplayRole:
            switch (index.column()) {
                case FilenameColumn:
                    return Shown(row.path, row.source);
                case SizeColumn:
                    return row.sizeText;
                case ModifiedColumn:
                    return row.modifiedText;
                case TypeColumn:
                    return tr(TypeWord(row.criterion).data());
                case CopiesColumn:
                    return CopiesText(index.row());
            }
            return {};
        case Qt::CheckStateRole:
            return SelectionList::data(index, role);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::FontRole:
            // A protected row in italics, so that a long list shows what stays.
            if (Protected().Protects(row.path)) {
                QFont font;
                font.setItalic(true);
                return font;
            }
            return {};
        case Qt::BackgroundRole:
            if (const auto color = BackgroundOf(row.color))
                return QBrush(*color);
            return {};
        case Qt::ForegroundRole:
            if (row.color != RowColor::None)
                return QBrush(Qt::black);
            return {};
    }
    return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
        case FilenameColumn:
            return tr("Filename");
        case SizeColumn:
            return tr("Size");
        case ModifiedColumn:
            return tr("Last Modified");
        case TypeColumn:
            return tr("Type");
        case CopiesColumn:
            return tr("Copies");
    }
    return {};
}

QString ResultsModel::CopiesText(int row) const {
    const CopyChoice& files = Sets().files;
    const int p = files.IndexOf(Row(row).path);
    if (files.IsEmptyFile(p))
        return tr("empty");
    QStringList parts;
    if (const int others = files.OtherCopyCount(p); others > 0)
        parts.append(Letter(Sets().letters[size_t(row)]) + QStringLiteral(": ") +
                     (others == 1 ? tr("1 other copy")
                                  : tr("%1 other copies").arg(QLocale::system().toString(others))) +
                     (files.ByFingerprint(p) ? u' ' + tr("by fingerprint") : QString()));
    // Another name of this very file is no copy: trashing one name frees nothing.
    if (const QList<int> names = files.OtherNames(p); !names.isEmpty())
        parts.append(names.size() == 1
                         ? tr("same file as %1").arg(FileNameOf(files.Path(names.first())))
                         : tr("same file as %1 and %2 more")
                               .arg(FileNameOf(files.Path(names.first())),
                                    QLocale::system().toString(names.size() - 1)));
    if (!parts.isEmpty())
        return parts.join(QStringLiteral("; "));
    const ContentsResult* found = ComparedOf(Row(row).path);
    if (!found || found->state == CopyState::NotCompared)
        return tr("not compared");
    return tr("no copy");
}

QString ResultsModel::CopiesTip(int row) const {
    const QString& path = Row(row).path;
    const CopyChoice& files = Sets().files;
    const int p = files.IndexOf(path);
    if (files.IsEmptyFile(p))
        return tr(
            "An empty file: no copy of anything, and trashing it frees no space. The "
            "helpers never check it.");
    // A paragraph of a heading and the first paths, one a line.
    QString tip;
    const auto add = [&](const QString& heading, const QList<int>& paths) {
        if (paths.isEmpty())
            return;
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n\n")) + heading;
        for (const int other : paths.mid(0, TipPaths))
            tip += u'\n' + Shown(files.Path(other), files.SourceOf(other));
        if (paths.size() > TipPaths)
            tip +=
                u'\n' + tr("and %1 more").arg(QLocale::system().toString(paths.size() - TipPaths));
    };
    add(tr("The same file, by another name (trashing one name frees no space):"),
        files.OtherNames(p));
    add(files.ByFingerprint(p)
            ? tr("The same contents by fingerprint, not compared byte for byte (a copy that is "
                 "not here cannot be read):")
            : tr("The same contents as:"),
        files.OtherCopies(p));
    if (!tip.isEmpty())
        return tip;
    const ContentsResult* found = ComparedOf(path);
    if (!Row(row).source.isEmpty())
        return tr(
            "Not compared: it is not here to read, and no fingerprint saved with its "
            "inventory matches a file of the list.");
    if (!found)
        return tr("Not compared: it was not in the list when contents were compared.");
    if (found->state == CopyState::NotCompared) {
        QString why = NotComparedText(found->reason);
        why[0] = why[0].toUpper();
        return tr("Not compared: %1.").arg(why);
    }
    return tr("No other file in the list has the same contents.");
}

}  // namespace tallyrook
