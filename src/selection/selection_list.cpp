#include "selection/selection_list.h"

#include <algorithm>
#include <utility>

namespace tallyrook {

namespace {

// Beyond this many separate runs of rows to remove, one reset is cheaper than telling the view
// about every run.
constexpr qsizetype MaxRemovalBlocks = 256;

}  // namespace

SelectionList::SelectionList(QObject* parent) : QAbstractTableModel(parent) {}

int SelectionList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int SelectionList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : compared_ ? ColumnCount : CopiesColumn;
}

Qt::ItemFlags SelectionList::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == FilenameColumn && IsHere(index.row()) &&
        !protected_.Protects(Row(index.row()).path))
        result |= Qt::ItemIsUserCheckable;
    return result;
}

bool SelectionList::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const bool checked = value.toInt() != Qt::Unchecked;
    // Copy: the loop below may reach the row the reference would point into.
    const QString path = rows_[static_cast<size_t>(index.row())].path;
    SetCheckedByText(path, checked);
    return true;
}

int SelectionList::RowCount() const {
    return static_cast<int>(rows_.size());
}

const ResultRow& SelectionList::Row(int index) const {
    return rows_.at(static_cast<size_t>(index));
}

void SelectionList::AppendRow(ResultRow row) {
    if (!row.source.isEmpty())
        row.path = row.source + u'\n' + row.path;
    beginInsertRows({}, RowCount(), RowCount());
    rows_.push_back(std::move(row));
    RowsChanged();
    endInsertRows();
}

void SelectionList::ClearRows() {
    beginResetModel();
    rows_.clear();
    compared_ = false;
    contents_.clear();
    byFingerprint_.clear();
    recorded_.reset();
    protected_.Clear();
    ++listNumber_;
    RowsChanged();
    endResetModel();
}

void SelectionList::ReplaceRows(std::vector<ResultRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    RowsChanged();
    endResetModel();
}

QList<ContentsFile> SelectionList::ContentsFiles() const {
    QList<ContentsFile> files;
    files.reserve(RowCount());
    for (const ResultRow& row : rows_)
        files.append({row.path, row.bytes, row.modified});
    return files;
}

void SelectionList::SetContents(const QList<ContentsFile>& files, const ContentsResults& results,
                                const std::vector<bool>& byFingerprint) {
    if (!compared_) {
        beginInsertColumns({}, CopiesColumn, CopiesColumn);
        compared_ = true;
        endInsertColumns();
    }
    contents_.clear();
    byFingerprint_.clear();
    for (qsizetype k = 0; k < files.size() && size_t(k) < results.files.size(); ++k) {
        contents_.insert(files[k].path, results.files[size_t(k)]);
        if (size_t(k) < byFingerprint.size() && byFingerprint[size_t(k)])
            byFingerprint_.insert(files[k].path);
    }
    copySets_.reset();
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, CopiesColumn), index(RowCount() - 1, CopiesColumn));
}

void SelectionList::SetFoundCopies(const ContentsSource& files, const ContentsResults& results) {
    // A file without a copy matters only where a row of another criterion shows it.
    QSet<QString> listed;
    for (const ResultRow& row : rows_)
        listed.insert(row.path);
    QList<ContentsFile> kept;
    ContentsResults keptResults;
    for (qsizetype k = 0; k < files.Count() && size_t(k) < results.files.size(); ++k) {
        const ContentsResult& result = results.files[size_t(k)];
        if (result.state != CopyState::HasCopies && listed.isEmpty())
            continue;
        ContentsFile file = files.At(k);
        if (result.state == CopyState::HasCopies || listed.contains(file.path)) {
            kept.append(std::move(file));
            keptResults.files.push_back(result);
        }
    }
    SetContents(kept, keptResults);
}

const SelectionList::CopySets& SelectionList::Sets() const {
    if (copySets_)
        return *copySets_;
    const QList<ContentsFile> files = ContentsFiles();
    std::vector<ContentsResult> results;
    if (compared_) {
        results.reserve(size_t(files.size()));
        for (const ContentsFile& file : files)
            results.push_back(contents_.value(file.path));
    }
    std::vector<CopyPlace> places;
    places.reserve(rows_.size());
    for (const ResultRow& row : rows_)
        places.push_back({row.source, byFingerprint_.contains(row.path)});
    CopySets& sets = copySets_.emplace(CopySets{CopyChoice(files, results, places), {}});
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

const QHash<QString, QList<int>>& SelectionList::RowsByPath() const {
    if (!rowsByPath_) {
        rowsByPath_.emplace();
        rowsByPath_->reserve(RowCount());
        for (int k = 0; k < RowCount(); ++k)
            (*rowsByPath_)[rows_[static_cast<size_t>(k)].path].append(k);
    }
    return *rowsByPath_;
}

void SelectionList::SetCheckedByText(const QString& text, bool checked) {
    if (checked && protected_.Protects(text))
        return;
    const QList<int> roles{Qt::CheckStateRole};
    for (const int k : RowsByPath().value(text)) {
        ResultRow& row = rows_[static_cast<size_t>(k)];
        if (row.checked == checked || (checked && !row.source.isEmpty()))
            continue;
        row.checked = checked;
        const QModelIndex cell = index(k, FilenameColumn);
        Q_EMIT dataChanged(cell, cell, roles);
    }
}

void SelectionList::UncheckAll() {
    if (rows_.empty())
        return;
    for (ResultRow& row : rows_)
        row.checked = false;
    Q_EMIT dataChanged(index(0, FilenameColumn), index(RowCount() - 1, FilenameColumn),
                       {Qt::CheckStateRole});
}

void SelectionList::SetRowMarks(const std::vector<signed char>& marks) {
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

void SelectionList::SetCheckedInFolder(const QString& folder, bool checked) {
    // Every row of a file in the folder is itself in the folder, so the marks stay together.
    // The folder ends with "/": "/a/b/" never takes in "/a/bc/".
    std::vector<signed char> marks(rows_.size(), -1);
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (rows_[k].path.startsWith(folder) &&
            !(checked && (protected_.Protects(rows_[k].path) || !rows_[k].source.isEmpty())))
            marks[k] = checked ? 1 : 0;
    }
    SetRowMarks(marks);
}

int SelectionList::CheckAllBut(KeeperRule rule) {
    const CopyChoice& files = Sets().files;
    const std::vector<bool> chosen = files.Choose(rule, protected_);
    std::vector<signed char> marks(rows_.size(), 0);
    for (size_t k = 0; k < rows_.size(); ++k)
        marks[k] = chosen[size_t(files.IndexOf(rows_[k].path))] ? 1 : 0;
    SetRowMarks(marks);
    return files.CopySetCount();
}

void SelectionList::Protect(const QString& folder) {
    if (!protected_.Add(folder))
        return;
    SetCheckedInFolder(protected_.Folders().last(), false);  // as Add spelled it, with its "/"
    AllCellsChanged();
}

void SelectionList::StopProtecting(const QString& path) {
    if (protected_.RemoveHolding(path))
        AllCellsChanged();
}

void SelectionList::SetProtected(const ProtectedFolders& folders) {
    protected_ = folders;
    std::vector<signed char> marks(rows_.size(), -1);
    for (size_t k = 0; k < rows_.size(); ++k) {
        if (protected_.Protects(rows_[k].path))
            marks[k] = 0;
    }
    SetRowMarks(marks);
    AllCellsChanged();
}

CopyChoice::Space SelectionList::SpaceFreed(const QStringList& paths) const {
    const CopyChoice& files = Sets().files;
    QList<int> checked;
    for (const QString& path : paths) {
        if (const int p = files.IndexOf(path); p >= 0)
            checked.append(p);
    }
    return files.SpaceFreed(checked);
}

QStringList SelectionList::WithoutPossibleCopy(const QSet<QString>& paths) const {
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

QStringList SelectionList::WithoutCopyLeft(const QStringList& paths) const {
    const QSet<QString> requested(paths.begin(), paths.end());
    const CopyChoice& files = Sets().files;
    // A copy, or another name of the file, that stays must still be the file that was compared;
    // one that is not here is never checked here, and stays.
    const auto stays = [&](int other) {
        const QString& path = files.Path(other);
        return !requested.contains(path) &&
               (!files.SourceOf(other).isEmpty() ||
                CurrentIdentity(path) == contents_.value(path).identity);
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

QList<std::pair<QString, QString>> SelectionList::OnlyCopiesElsewhere(
    const QStringList& paths) const {
    const CopyChoice& files = Sets().files;
    std::vector<bool> going(size_t(files.PathCount()), false);
    for (const QString& path : paths) {
        if (const int p = files.IndexOf(path); p >= 0)
            going[size_t(p)] = true;
    }
    QList<std::pair<QString, QString>> elsewhere;
    for (const QString& path : paths) {
        const int p = files.IndexOf(path);
        if (const QString source = p >= 0 ? files.OnlyCopyLeftElsewhere(p, going) : QString();
            !source.isEmpty())
            elsewhere.append({path, source});
    }
    return elsewhere;
}

QStringList SelectionList::ChangedSinceCompared(const QStringList& paths,
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

void SelectionList::KeepComparedAfterUndo(const QString& path) {
    const auto found = contents_.find(path);
    if (found == contents_.end())
        return;
    const FileIdentity now = CurrentIdentity(path);
    FileIdentity compared = found->identity;
    compared.changedNs = now.changedNs;
    if (now.size >= 0 && now == compared)
        found->identity = now;
}

QStringList SelectionList::UniqueCheckedPaths() const {
    // Walk from the end so that the first sighting of a path is its last occurrence.
    QStringList result;
    QSet<QString> seen;
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) {
        // A protected file, or one not here, is never in a request, whatever brought its mark
        // back.
        if (!it->checked || seen.contains(it->path) || !it->source.isEmpty() ||
            protected_.Protects(it->path))
            continue;
        seen.insert(it->path);
        result.append(it->path);
    }
    std::reverse(result.begin(), result.end());
    return result;
}

void SelectionList::RemoveRowsOfPaths(const QSet<QString>& paths) {
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

QVariant SelectionList::data(const QModelIndex& index, int role) const {
    if (role != Qt::CheckStateRole || index.column() != FilenameColumn ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return Row(index.row()).checked ? Qt::Checked : Qt::Unchecked;
}

const ContentsResult* SelectionList::ComparedOf(const QString& path) const {
    const auto found = contents_.constFind(path);
    return found == contents_.cend() ? nullptr : &*found;
}

void SelectionList::AllCellsChanged() {
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, 0), index(RowCount() - 1, columnCount() - 1));
}

}  // namespace tallyrook
