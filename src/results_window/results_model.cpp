#include "results_window/results_model.h"

#include <QBrush>
#include <QLocale>
#include <algorithm>
#include <utility>

#include "search/file_functions.h"

namespace tallyrook {

namespace {

// Beyond this many separate runs of rows to remove, one reset is cheaper than telling the view
// about every run.
constexpr qsizetype MaxRemovalBlocks = 256;

}  // namespace

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
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

QString ResultsModel::TypeText(Criterion criterion) {
    switch (criterion) {
        case Criterion::ExactFilename:
            return QStringLiteral("Name");
        case Criterion::ExactFilesize:
            return QStringLiteral("Size");
        case Criterion::SimilarFilename:
            return QStringLiteral("Close");
    }
    return {};
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
                return QString(
                    QLocale::system().toString(row.bytes) +
                    (row.bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes")));
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
                    return TypeText(row.criterion);
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
            return QStringLiteral("Filename");
        case SizeColumn:
            return QStringLiteral("Size");
        case ModifiedColumn:
            return QStringLiteral("Last Modified");
        case TypeColumn:
            return QStringLiteral("Type");
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
    RowsChanged();
    endResetModel();
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

void ResultsModel::CheckAllBut(Keeper rule) {
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
    std::vector<int> keeperOf;  // by group number: the keeper's row, or -1
    for (int k = 0; k < RowCount(); ++k) {
        const ResultRow& row = rows_[static_cast<size_t>(k)];
        if (row.group <= 0)
            continue;
        if (static_cast<size_t>(row.group) >= keeperOf.size())
            keeperOf.resize(static_cast<size_t>(row.group) + 1, -1);
        int& keeper = keeperOf[static_cast<size_t>(row.group)];
        if (keeper < 0 || beats(row, rows_[static_cast<size_t>(keeper)]))
            keeper = k;
    }
    QSet<QString> keepers;
    for (const int k : keeperOf) {
        if (k >= 0)
            keepers.insert(rows_[static_cast<size_t>(k)].path);
    }
    // Keepers win; every other file of a group is checked, on every row it has.
    std::vector<signed char> marks(rows_.size(), -1);
    const QHash<QString, QList<int>>& byPath = RowsByPath();
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (rows_[k].group <= 0 || marks[k] >= 0)
            continue;
        const signed char mark = keepers.contains(rows_[k].path) ? 0 : 1;
        for (const int same : byPath.value(rows_[k].path))
            marks[static_cast<size_t>(same)] = mark;
    }
    SetRowMarks(marks);
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

QStringList ResultsModel::GroupsLeftWithout(const QSet<QString>& paths) const {
    // Groups in the order their first rows come, each with whether all its files are in `paths`.
    QList<int> order;
    QHash<int, std::pair<int, bool>> groups;  // group -> first row, every file requested
    for (int k = 0; k < RowCount(); ++k) {
        const ResultRow& row = rows_[static_cast<size_t>(k)];
        if (row.group <= 0)
            continue;
        auto group = groups.find(row.group);
        if (group == groups.end()) {
            order.append(row.group);
            group = groups.insert(row.group, {k, true});
        }
        group->second = group->second && paths.contains(row.path);
    }
    QStringList names;
    for (const int group : std::as_const(order)) {
        const auto [first, emptied] = groups.value(group);
        if (emptied)
            names.append(FileNameOf(rows_[static_cast<size_t>(first)].path));
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
