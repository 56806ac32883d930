#include "results_window/results_model.h"

#include <QBrush>
#include <QLocale>
#include <algorithm>
#include <climits>
#include <set>
#include <utility>

#include "contents/contents_texts.h"
#include "search/file_functions.h"

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
    QT_TRANSLATE_NOOP("tallyrook::ResultsModel", "Close")};

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
    if (index.column() == FilenameColumn)
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

const ResultsModel::CopySets& ResultsModel::Sets() const {
    if (copySets_)
        return *copySets_;
    CopySets& sets = copySets_.emplace();
    sets.letters.assign(rows_.size(), 0);
    QSet<QString> seen;
    for (const ResultRow& row : rows_) {
        const int set = contents_.value(row.path).copySet;
        if (set > 0 && !seen.contains(row.path)) {
            seen.insert(row.path);
            sets.members[set].append(row.path);
        }
    }
    // A group's rows stand together; its sets take letters in the order they are met.
    QHash<int, int> letterOf;
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (k > 0 && rows_[k].group != rows_[k - 1].group)
            letterOf.clear();
        const int set = contents_.value(rows_[k].path).copySet;
        if (set == 0 || sets.members.value(set).size() < 2)
            continue;
        auto letter = letterOf.find(set);
        if (letter == letterOf.end())
            letter = letterOf.insert(set, int(letterOf.size()) + 1);
        sets.letters[k] = *letter;
    }
    return sets;
}

QString ResultsModel::CopiesText(int row) const {
    const auto found = contents_.constFind(Row(row).path);
    if (found == contents_.cend() || found->state == CopyState::NotCompared)
        return tr("not compared");
    const qsizetype others = Sets().members.value(found->copySet).size() - 1;
    if (others <= 0)
        return tr("no copy");
    return Letter(Sets().letters[size_t(row)]) + QStringLiteral(": ") +
           (others == 1 ? tr("1 other copy")
                        : tr("%1 other copies").arg(QLocale::system().toString(others)));
}

QString ResultsModel::CopiesTip(int row) const {
    const QString& path = Row(row).path;
    const auto found = contents_.constFind(path);
    if (found == contents_.cend())
        return tr("Not compared: it was not in the list when contents were compared.");
    if (found->state == CopyState::NotCompared) {
        QString why = NotComparedText(found->reason);
        why[0] = why[0].toUpper();
        return tr("Not compared: %1.").arg(why);
    }
    QStringList others = Sets().members.value(found->copySet);
    others.removeOne(path);
    if (others.isEmpty())
        return tr("No other file in the list has the same contents.");
    QString tip = tr("The same contents as:");
    for (const QString& other : others.mid(0, TipPaths)) {
        tip += u'\n' + other;
        // Another name of this very file: trashing one name frees no space.
        const FileIdentity& id = contents_.value(other).identity;
        if (id.inode != 0 && id.device == found->identity.device &&
            id.inode == found->identity.inode)
            tip += tr(" (the same file, by another name)");
    }
    if (others.size() > TipPaths)
        tip += u'\n' + tr("and %1 more").arg(QLocale::system().toString(others.size() - TipPaths));
    return tip;
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
        if (rows_[k].path.startsWith(folder))
            marks[k] = checked;
    }
    SetRowMarks(marks);
}

int ResultsModel::CheckAllBut(Keeper rule) {
    // Whether row a beats row b; rows without the measure lose, a tie keeps b (the earlier).
    const auto beats = [rule](const ResultRow& a, const ResultRow& b) {
        switch (rule) {
            case Keeper::Newest:
            case Keeper::Oldest:
                if (!a.modified.isValid() || !b.modified.isValid())
                    return a.modified.isValid() && !b.modified.isValid();
                return rule == Keeper::Newest ? a.modified > b.modified : a.modified < b.modified;
            case Keeper::Largest:
                return a.bytes > b.bytes;  // -1 (unknown) loses to any size
            case Keeper::ShortestPath:
                return a.path.size() < b.path.size();
        }
        return false;
    };
    // A set is its files, not its rows: a copy in two groups is kept or checked in both.
    const QHash<QString, QList<int>>& byPath = RowsByPath();
    const auto firstRow = [&](const QString& path) -> const ResultRow& {
        return rows_[size_t(byPath.value(path).first())];
    };
    std::vector<signed char> marks(rows_.size(), -1);
    int sets = 0;
    for (const QStringList& copies : Sets().members) {
        if (copies.size() < 2)
            continue;
        ++sets;
        qsizetype keeper = 0;
        for (qsizetype k = 1; k < copies.size(); ++k) {
            if (beats(firstRow(copies[k]), firstRow(copies[keeper])))
                keeper = k;
        }
        for (qsizetype k = 0; k < copies.size(); ++k) {
            for (const int row : byPath.value(copies[k]))
                marks[size_t(row)] = k != keeper;
        }
    }
    SetRowMarks(marks);
    return sets;
}

qint64 ResultsModel::TotalBytes(const QStringList& paths) const {
    qint64 total = -1;
    const QHash<QString, QList<int>>& byPath = RowsByPath();
    for (const QString& path : paths) {
        const QList<int> rows = byPath.value(path);
        if (rows.isEmpty())
            continue;
        const qint64 bytes = rows_[static_cast<size_t>(rows.first())].bytes;
        if (bytes >= 0)
            total = std::max<qint64>(total, 0) + bytes;
    }
    return total;
}

QStringList ResultsModel::MatchSetsLeftWithout(const QSet<QString>& paths) const {
    // A pass's set for anchor a: the rows its turn listed (their anchor is a), and a's own row of
    // that pass, which may stand earlier, as the partner of an earlier anchor.
    struct MatchSet {
        int firstRow = INT_MAX;
        bool emptied = true;
        std::vector<qsizetype> files;
    };
    QHash<std::pair<int, qsizetype>, MatchSet> sets;
    const auto join = [&](MatchSet& set, int k) {
        const ResultRow& row = rows_[size_t(k)];
        set.firstRow = std::min(set.firstRow, k);
        set.emptied = set.emptied && paths.contains(row.path);
        set.files.push_back(row.file);
    };
    for (int k = 0; k < RowCount(); ++k) {
        const ResultRow& row = rows_[size_t(k)];
        if (row.anchor >= 0)
            join(sets[{int(row.criterion), row.anchor}], k);
    }
    for (int k = 0; k < RowCount(); ++k) {
        const ResultRow& row = rows_[size_t(k)];
        const auto own = sets.find({int(row.criterion), row.file});
        if (row.anchor >= 0 && row.anchor != row.file && own != sets.end())
            join(*own, k);
    }
    std::vector<MatchSet*> emptied;
    for (MatchSet& set : sets) {
        if (set.emptied)
            emptied.push_back(&set);
    }
    std::sort(emptied.begin(), emptied.end(),
              [](const MatchSet* a, const MatchSet* b) { return a->firstRow < b->firstRow; });
    // Named by the first row, the anchor's while it is listed.
    QStringList names;
    std::set<std::vector<qsizetype>> named;
    for (MatchSet* set : emptied) {
        std::sort(set->files.begin(), set->files.end());
        if (named.insert(set->files).second)
            names.append(FileNameOf(rows_[size_t(set->firstRow)].path));
    }
    return names;
}

QStringList ResultsModel::WithoutCopyLeft(const QStringList& paths) const {
    const QSet<QString> requested(paths.begin(), paths.end());
    QHash<int, bool> copyLeft;  // by copy set
    QStringList names;
    for (const QString& path : paths) {
        const int set = contents_.value(path).copySet;
        auto left = copyLeft.find(set);
        if (set > 0 && left == copyLeft.end()) {
            // A copy that stays must still be the file that was compared.
            bool stays = false;
            for (const QString& other : Sets().members.value(set)) {
                if (!requested.contains(other) &&
                    CurrentIdentity(other) == contents_.value(other).identity) {
                    stays = true;
                    break;
                }
            }
            left = copyLeft.insert(set, stays);
        }
        if (set == 0 || !*left)
            names.append(FileNameOf(path));
    }
    return names;
}

QStringList ResultsModel::ChangedSinceCompared(const QStringList& paths) const {
    QStringList names;
    for (const QString& path : paths) {
        const auto found = contents_.constFind(path);
        if (found == contents_.cend() || found->identity.size < 0)
            continue;
        const FileIdentity now = CurrentIdentity(path);
        if (now.size >= 0 && now != found->identity)
            names.append(FileNameOf(path));
    }
    return names;
}

QStringList ResultsModel::UniqueCheckedPaths() const {
    // Walk from the end so that the first sighting of a path is its last occurrence.
    QStringList result;
    QSet<QString> seen;
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) {
        if (!it->checked || seen.contains(it->path))
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
