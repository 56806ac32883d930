#include "results_window/results_model.h"

#include <QBrush>
#include <QFont>
#include <QLocale>
#include <algorithm>
#include <utility>

#include "contents/contents_texts.h"
#include "search/file_functions.h"
#include "trash/trash_writer.h"

namespace tallyrook {

namespace {

// Beyond this many separate runs of rows to remove, one reset is cheaper than telling the view
// about every run.
constexpr qsizetype MaxRemovalBlocks = 256;

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

}  // namespace

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : compared_ ? ColumnCount : CopiesColumn;
}

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
    const ResultRow& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::ToolTipRole:
            // The whole path (the view shows it only where the cell cuts it) and the exact size.
            if (index.column() == FilenameColumn && protected_.Protects(row.path))
                return QString(row.path + u'\n' +
                               tr("Protected: everything in %1 is kept. It cannot be checked or "
                                  "sent to the %2.")
                                   .arg(protected_.HolderOf(row.path), TrashWriter::TrashName()));
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
                    return row.path;
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
            if (index.column() == FilenameColumn)
                return row.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::FontRole:
            // A protected row in italics, so that a long list shows what stays.
            if (protected_.Protects(row.path)) {
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

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == FilenameColumn && !protected_.Protects(Row(index.row()).path))
        result |= Qt::ItemIsUserCheckable;
    return result;
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const bool checked = value.toInt() != Qt::Unchecked;
    // Copy: the loop below may reach the row the reference would point into.
    const QString path = rows_[static_cast<size_t>(index.row())].path;
    SetCheckedByText(path, checked);
    return true;
}

int ResultsModel::RowCount() const {
    return static_cast<int>(rows_.size());
}

const ResultRow& ResultsModel::Row(int index) const {
    return rows_.at(static_cast<size_t>(index));
}

void ResultsModel::AppendRow(ResultRow row) {
    beginInsertRows({}, RowCount(), RowCount());
    rows_.push_back(std::move(row));
    RowsChanged();
    endInsertRows();
}

void ResultsModel::ClearRows() {
    beginResetModel();
    rows_.clear();
    compared_ = false;
    contents_.clear();
    protected_.Clear();
    ++listNumber_;
    RowsChanged();
    endResetModel();
}

void ResultsModel::ReplaceRows(std::vector<ResultRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    RowsChanged();
    endResetModel();
}

QList<ContentsFile> ResultsModel::ContentsFiles() const {
    QList<ContentsFile> files;
    files.reserve(RowCount());
    for (const ResultRow& row : rows_)
        files.append({row.path, row.bytes, row.modified});
    return files;
}

void ResultsModel::SetContents(const QList<ContentsFile>& files, const ContentsResults& results) {
    if (!compared_) {
        beginInsertColumns({}, CopiesColumn, CopiesColumn);
        compared_ = true;
        endInsertColumns();
    }
    contents_.clear();
    for (qsizetype k = 0; k < files.size() && size_t(k) < results.files.size(); ++k)
        contents_.insert(files[k].path, results.files[size_t(k)]);
    copySets_.reset();
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, CopiesColumn), index(RowCount() - 1, CopiesColumn));
}

void ResultsModel::SetFoundCopies(const QList<ContentsFile>& files,
                                  const ContentsResults& results) {
    // A file without a copy matters only where a row of another criterion shows it.
    QSet<QString> listed;
    for (const ResultRow& row : rows_)
        listed.insert(row.path);
    QList<ContentsFile> kept;
    ContentsResults keptResults;
    for (qsizetype k = 0; k < files.size() && size_t(k) < results.files.size(); ++k) {
        const ContentsResult& result = results.files[size_t(k)];
        if (result.state == CopyState::HasCopies || listed.contains(files[k].path)) {
            kept.append(files[k]);
            keptResults.files.push_back(result);
        }
    }
    SetContents(kept, keptResults);
}

const ResultsModel::CopySets& ResultsModel::Sets() const {
    if (copySets_)
        return *copySets_;
    const QList<ContentsFile> files = ContentsFiles();
    std::vector<ContentsResult> results;
    if (compared_) {
        results.reserve(size_t(files.size()));
        for (const ContentsFile& file : files)
            results.push_back(contents_.value(file.path));
    }
    CopySets& sets = copySets_.emplace(CopySets{CopyChoice(files, results), {}});
    sets.letters.assign(rows_.size(), 0);
    // A group's rows stand together; its sets take letters in the order they are met.
    QHash<int, int> letterOf;
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (k > 0 && rows_[k].group != rows_[k - 1].group)
            letterOf.clear();
        const int set = sets.files.CopySet(sets.files.IndexOf(rows_[k].path));
        if (set == 0)
            continue;
        auto letter = letterOf.find(set);
        if (letter == letterOf.end())
            letter = letterOf.insert(set, int(letterOf.size()) + 1);
        sets.letters[k] = *letter;
    }
    return sets;
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
                                  : tr("%1 other copies").arg(QLocale::system().toString(others))));
    // Another name of this very file is no copy: trashing one name frees nothing.
    if (const QList<int> names = files.OtherNames(p); !names.isEmpty())
        parts.append(names.size() == 1
                         ? tr("same file as %1").arg(FileNameOf(files.Path(names.first())))
                         : tr("same file as %1 and %2 more")
                               .arg(FileNameOf(files.Path(names.first())),
                                    QLocale::system().toString(names.size() - 1)));
    if (!parts.isEmpty())
        return parts.join(QStringLiteral("; "));
    const auto found = contents_.constFind(Row(row).path);
    if (found == contents_.cend() || found->state == CopyState::NotCompared)
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
            tip += u'\n' + files.Path(other);
        if (paths.size() > TipPaths)
            tip +=
                u'\n' + tr("and %1 more").arg(QLocale::system().toString(paths.size() - TipPaths));
    };
    add(tr("The same file, by another name (trashing one name frees no space):"),
        files.OtherNames(p));
    add(tr("The same contents as:"), files.OtherCopies(p));
    if (!tip.isEmpty())
        return tip;
    const auto found = contents_.constFind(path);
    if (found == contents_.cend())
        return tr("Not compared: it was not in the list when contents were compared.");
    if (found->state == CopyState::NotCompared) {
        QString why = NotComparedText(found->reason);
        why[0] = why[0].toUpper();
        return tr("Not compared: %1.").arg(why);
    }
    return tr("No other file in the list has the same contents.");
}

const QHash<QString, QList<int>>& ResultsModel::RowsByPath() const {
    if (!rowsByPath_) {
        rowsByPath_.emplace();
        rowsByPath_->reserve(RowCount());
        for (int k = 0; k < RowCount(); ++k)
            (*rowsByPath_)[rows_[static_cast<size_t>(k)].path].append(k);
    }
    return *rowsByPath_;
}

void ResultsModel::SetCheckedByText(const QString& text, bool checked) {
    if (checked && protected_.Protects(text))
        return;
    const QList<int> roles{Qt::CheckStateRole};
    for (const int k : RowsByPath().value(text)) {
        ResultRow& row = rows_[static_cast<size_t>(k)];
        if (row.checked == checked)
            continue;
        row.checked = checked;
        const QModelIndex cell = index(k, FilenameColumn);
        Q_EMIT dataChanged(cell, cell, roles);
    }
}

void ResultsModel::UncheckAll() {
    if (rows_.empty())
        return;
    for (ResultRow& row : rows_)
        row.checked = false;
    Q_EMIT dataChanged(index(0, FilenameColumn), index(RowCount() - 1, FilenameColumn),
                       {Qt::CheckStateRole});
}

void ResultsModel::SetRowMarks(const std::vector<signed char>& marks) {
    int first = RowCount();
    int last = -1;
    for (int k = 0; k < RowCount(); ++k) {
        ResultRow& row = rows_[static_cast<size_t>(k)];
        const signed char mark = marks[static_cast<size_t>(k)];
        if (mark < 0 || row.checked == (mark == 1))
            continue;
        row.checked = mark == 1;
        first = std::min(first, k);
        last = std::max(last, k);
    }
    if (last >= first)
        Q_EMIT dataChanged(index(first, FilenameColumn), index(last, FilenameColumn),
                           {Qt::CheckStateRole});
}

void ResultsModel::SetCheckedInFolder(const QString& folder, bool checked) {
    // Every row of a file in the folder is itself in the folder, so the marks stay together.
    // The folder ends with "/": "/a/b/" never takes in "/a/bc/".
    std::vector<signed char> marks(rows_.size(), -1);
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (rows_[k].path.startsWith(folder) && !(checked && protected_.Protects(rows_[k].path)))
            marks[k] = checked;
    }
    SetRowMarks(marks);
}

int ResultsModel::CheckAllBut(KeeperRule rule) {
    const CopyChoice& files = Sets().files;
    const std::vector<bool> chosen = files.Choose(rule, protected_);
    std::vector<signed char> marks(rows_.size(), 0);
    for (size_t k = 0; k < rows_.size(); ++k)
        marks[k] = chosen[size_t(files.IndexOf(rows_[k].path))];
    SetRowMarks(marks);
    return files.CopySetCount();
}

void ResultsModel::Protect(const QString& folder) {
    if (!protected_.Add(folder))
        return;
    SetCheckedInFolder(protected_.Folders().last(), false);  // as Add spelled it, with its "/"
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, 0), index(RowCount() - 1, columnCount() - 1));
}

void ResultsModel::StopProtecting(const QString& path) {
    if (protected_.RemoveHolding(path) && !rows_.empty())
        Q_EMIT dataChanged(index(0, 0), index(RowCount() - 1, columnCount() - 1));
}

void ResultsModel::SetProtected(const ProtectedFolders& folders) {
    protected_ = folders;
    std::vector<signed char> marks(rows_.size(), -1);
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (protected_.Protects(rows_[k].path))
            marks[k] = 0;
    }
    SetRowMarks(marks);
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, 0), index(RowCount() - 1, columnCount() - 1));
}

CopyChoice::Space ResultsModel::SpaceFreed(const QStringList& paths) const {
    const CopyChoice& files = Sets().files;
    QList<int> checked;
    for (const QString& path : paths) {
        if (const int p = files.IndexOf(path); p >= 0)
            checked.append(p);
    }
    return files.SpaceFreed(checked);
}

QStringList ResultsModel::WithoutPossibleCopy(const QSet<QString>& paths) const {
    // A pass's set for anchor a: the rows its turn listed (their anchor is a), and a's own row of
    // that pass, which may stand earlier, as the partner of an earlier anchor.
    QHash<std::pair<int, qsizetype>, QList<int>> sets;
    for (int k = 0; k < RowCount(); ++k) {
        const ResultRow& row = rows_[size_t(k)];
        if (row.anchor >= 0)
            sets[{int(row.criterion), row.anchor}].append(k);
    }
    for (int k = 0; k < RowCount(); ++k) {
        const ResultRow& row = rows_[size_t(k)];
        const auto own = sets.find({int(row.criterion), row.file});
        if (row.anchor >= 0 && row.anchor != row.file && own != sets.end())
            own->append(k);
    }
    // A file keeps a possible copy when a set of it holds another file of its size that stays.
    QSet<QString> kept;
    for (const QList<int>& set : std::as_const(sets)) {
        for (const int a : set) {
            const ResultRow& checked = rows_[size_t(a)];
            if (!paths.contains(checked.path) || kept.contains(checked.path))
                continue;
            for (const int b : set) {
                const ResultRow& other = rows_[size_t(b)];
                if (other.bytes >= 0 && other.bytes == checked.bytes &&
                    other.path != checked.path && !paths.contains(other.path)) {
                    kept.insert(checked.path);
                    break;
                }
            }
        }
    }
    QStringList left;
    QSet<QString> seen;
    for (const ResultRow& row : rows_) {
        if (paths.contains(row.path) && !kept.contains(row.path) && !seen.contains(row.path)) {
            seen.insert(row.path);
            left.append(row.path);
        }
    }
    return left;
}

QStringList ResultsModel::WithoutCopyLeft(const QStringList& paths) const {
    const QSet<QString> requested(paths.begin(), paths.end());
    const CopyChoice& files = Sets().files;
    // A copy, or another name of the file, that stays must still be the file that was compared.
    const auto stays = [&](int other) {
        const QString& path = files.Path(other);
        return !requested.contains(path) && CurrentIdentity(path) == contents_.value(path).identity;
    };
    QHash<int, bool> copyLeft;  // by copy set
    QStringList names;
    for (const QString& path : paths) {
        const int p = files.IndexOf(path);
        const QList<int> otherNames = files.OtherNames(p);
        if (std::any_of(otherNames.begin(), otherNames.end(), stays))
            continue;
        const int set = files.CopySet(p);
        auto left = copyLeft.find(set);
        if (set > 0 && left == copyLeft.end()) {
            const QList<int> copies = files.OtherCopies(p);
            left = copyLeft.insert(set, std::any_of(copies.begin(), copies.end(), stays));
        }
        if (set == 0 || !*left)
            names.append(path);
    }
    return names;
}

QStringList ResultsModel::ChangedSinceCompared(const QStringList& paths,
                                               QSet<QString>* unchanged) const {
    QStringList names;
    for (const QString& path : paths) {
        const auto found = contents_.constFind(path);
        if (found == contents_.cend() || found->identity.size < 0)
            continue;
        const FileIdentity now = CurrentIdentity(path);
        if (now.size >= 0 && now != found->identity)
            names.append(path);
        else if (now.size >= 0 && unchanged)
            unchanged->insert(path);
    }
    return names;
}

void ResultsModel::KeepComparedAfterUndo(const QString& path) {
    const auto found = contents_.find(path);
    if (found == contents_.end())
        return;
    const FileIdentity now = CurrentIdentity(path);
    FileIdentity compared = found->identity;
    compared.changedNs = now.changedNs;
    if (now.size >= 0 && now == compared)
        found->identity = now;
}

QStringList ResultsModel::UniqueCheckedPaths() const {
    // Walk from the end so that the first sighting of a path is its last occurrence.
    QStringList result;
    QSet<QString> seen;
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) {
        // A protected file is never in a request, whatever brought its mark back.
        if (!it->checked || seen.contains(it->path) || protected_.Protects(it->path))
            continue;
        seen.insert(it->path);
        result.append(it->path);
    }
    std::reverse(result.begin(), result.end());
    return result;
}

void ResultsModel::RemoveRowsOfPaths(const QSet<QString>& paths) {
    if (paths.isEmpty())
        return;
    // Runs of consecutive rows to remove, as [first, last], top to bottom.
    std::vector<std::pair<int, int>> blocks;
    for (int k = 0; k < RowCount(); ++k) {
        if (!paths.contains(rows_[static_cast<size_t>(k)].path))
            continue;
        if (!blocks.empty() && blocks.back().second == k - 1)
            blocks.back().second = k;
        else
            blocks.emplace_back(k, k);
    }
    if (blocks.empty())
        return;
    const auto doomed = [&paths](const ResultRow& row) { return paths.contains(row.path); };
    if (static_cast<qsizetype>(blocks.size()) > MaxRemovalBlocks) {
        beginResetModel();
        rows_.erase(std::remove_if(rows_.begin(), rows_.end(), doomed), rows_.end());
        RowsChanged();
        endResetModel();
        return;
    }
    // Bottom up, so the positions of the blocks not yet removed stay valid.
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
        beginRemoveRows({}, it->first, it->second);
        rows_.erase(rows_.begin() + it->first, rows_.begin() + it->second + 1);
        RowsChanged();
        endRemoveRows();
    }
}

}  // namespace tallyrook
