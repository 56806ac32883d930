#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "contents/contents_check.h"
#include "inventory/fingerprints.h"
#include "search/result_list.h"
#include "selection/copy_choice.h"
#include "selection/protected_folders.h"

namespace tallyrook {

// What a run's saved inventories tell a comparison of its list: the fingerprints of their files
// that are not here, by the run's record, and all they hold, for the files here they recorded.
struct RecordedFingerprints {
    QHash<qsizetype, QByteArray> byRecord;
    FingerprintStore store;
};

// The rows of the last run as a user chooses among them: a mark on every row, the comparison of
// their contents, the protected folders, and the rules that act on them. The engine fills it
// through ResultList; it needs no window, and the results window's model adds what a view shows.
// Rows are never sorted. A file of a saved inventory that is not here stands in the list as
// "SOURCE\nPATH", never the path of a file here: it is never checked, opened or requested, and its
// copies are copies that stay.
class SelectionList : public QAbstractTableModel, public ResultList {
    Q_OBJECT
public:
    enum Column {
        FilenameColumn,
        SizeColumn,
        ModifiedColumn,
        TypeColumn,
        CopiesColumn,
        ColumnCount
    };

    explicit SelectionList(QObject* parent = nullptr);

    // QAbstractItemModel: the columns and the check boxes; the cells' contents are the view's.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A new check state on any cell of a row goes to every row of the same path.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // ResultList
    int RowCount() const override;
    const ResultRow& Row(int index) const override;
    void AppendRow(ResultRow row) override;
    // A new run's list: the comparison of contents goes with the old rows.
    void ClearRows() override;
    // The rows as given, in one change; the comparison stays (an undo brings back rows it knew).
    void ReplaceRows(std::vector<ResultRow> rows);
    // Counts the lists ClearRows began: a check started on one list is not the next one's.
    quint64 ListNumber() const { return listNumber_; }

    bool IsChecked(int row) const { return Row(row).checked; }
    // Whether the row's file is here to open, check and send to the Trash.
    bool IsHere(int row) const { return Row(row).source.isEmpty(); }
    // The path the row's file has where it is, without its source.
    static QString PathWhereItIs(const ResultRow& row) {
        return row.source.isEmpty() ? row.path : row.path.mid(row.source.size() + 1);
    }
    // Gives `checked` to every row whose path equals `text` exactly (case-sensitive); other rows
    // are not touched.
    void SetCheckedByText(const QString& text, bool checked);
    // Clears every mark; nothing else changes.
    void UncheckAll();

    // Every row whose file lies in `folder` (ending with "/") or below it gets `checked`.
    void SetCheckedInFolder(const QString& folder, bool checked);
    // The files of the list for the contents check, in list order.
    QList<ContentsFile> ContentsFiles() const;
    // What the check found for `files` (as ContentsFiles gave them), until the next run's rows;
    // the Copies column shows it. A copy set is the files of the list that the check found
    // identical: a copy trashed since leaves its set. `byFingerprint`, by file when given: the
    // file's copies are known by fingerprint only.
    void SetContents(const QList<ContentsFile>& files, const ContentsResults& results,
                     const std::vector<bool>& byFingerprint = {});
    // For the comparison of this list's files with those of saved inventories, until the next
    // run's rows.
    void SetRecordedFingerprints(std::shared_ptr<RecordedFingerprints> recorded) {
        recorded_ = std::move(recorded);
    }
    RecordedFingerprints* Recorded() const { return recorded_.get(); }
    // What Exact Contents found, before its rows come: SetContents for the files with a copy
    // and those of the rows listed so far.
    void SetFoundCopies(const ContentsSource& files, const ContentsResults& results);
    bool ContentsCompared() const { return compared_; }

    // The list's whole selection by `rule` (CopyChoice::Choose): every other row unchecked,
    // protected ones kept. Returns the number of copy sets.
    int CheckAllBut(KeeperRule rule);

    // Protects the folder (ending with "/") and everything below it: its rows lose their marks
    // and cannot be checked until StopProtecting.
    void Protect(const QString& folder);
    // Stops protecting every folder that holds `path`.
    void StopProtecting(const QString& path);
    bool IsProtected(int row) const { return protected_.Protects(Row(row).path); }
    // For this list: a new run's list starts with the folders given here (the main window's).
    const ProtectedFolders& Protected() const { return protected_; }
    void SetProtected(const ProtectedFolders& folders);

    // The checked rows' paths, each once, at the place of its last checked row, in list order.
    QStringList UniqueCheckedPaths() const;
    // What sending the files at `paths` to the Trash frees: a file's bytes only when all its
    // names go.
    CopyChoice::Space SpaceFreed(const QStringList& paths) const;
    // What the comparison found, for the list as it is now.
    CopyChoice::Summary CopySummary() const { return Sets().files.CopySummary(); }
    // Without a comparison: the files at `paths`, in list order, that leave no file of their size
    // outside `paths` in any set one pass found alike (an anchor and the rows its turn listed):
    // only equal sizes may be copies, and a file of unknown size is no copy.
    QStringList WithoutPossibleCopy(const QSet<QString>& paths) const;
    // With one: the files at `paths` that leave no identical copy behind, unchanged, outside
    // `paths` (no copy, or not compared, included), nor another name of themselves.
    QStringList WithoutCopyLeft(const QStringList& paths) const;
    // Of `paths`, those whose one copy left, once they go, is not here: "the other copy is on
    // SOURCE", by path.
    QList<std::pair<QString, QString>> OnlyCopiesElsewhere(const QStringList& paths) const;
    // The files at `paths` whose size, last-write or change time is not what it was
    // when their contents were compared (or that were replaced since); files gone are left out.
    // `unchanged`, when given, gets the paths of the others that were compared.
    QStringList ChangedSinceCompared(const QStringList& paths,
                                     QSet<QString>* unchanged = nullptr) const;
    // A file that an undo put back, as compared when it went: the moves changed its change time
    // alone, which its compared identity takes on, as long as nothing else differs.
    void KeepComparedAfterUndo(const QString& path);
    // Removes every row whose path is in `paths`; all other rows keep their order, mark and
    // colour.
    void RemoveRowsOfPaths(const QSet<QString>& paths);

protected:
    // The copy sets as the list has them now, built on first use after a change.
    struct CopySets {
        CopyChoice files;
        std::vector<int> letters;  // by row: 1 for "A", 2 for "B"...; 0 for none
    };
    const CopySets& Sets() const;
    // What the check found for `path`; nullptr when it was not in the compared list.
    const ContentsResult* ComparedOf(const QString& path) const;

private:
    // The rows of each path, in list order; built on first use after the rows changed, so a
    // mark costs the rows of its file, not a scan of the list.
    const QHash<QString, QList<int>>& RowsByPath() const;
    void RowsChanged() {
        rowsByPath_.reset();
        copySets_.reset();
    }
    // Row k gets the mark marks[k] (0 or 1; -1 leaves it); one notice for the views.
    void SetRowMarks(const std::vector<signed char>& marks);
    // Every cell of every row changed (protection shows in all of them).
    void AllCellsChanged();

    std::vector<ResultRow> rows_;
    mutable std::optional<QHash<QString, QList<int>>> rowsByPath_;
    bool compared_ = false;
    QHash<QString, ContentsResult> contents_;  // what the check found for each path
    QSet<QString> byFingerprint_;              // the paths whose copies are known so only
    std::shared_ptr<RecordedFingerprints> recorded_;
    mutable std::optional<CopySets> copySets_;
    ProtectedFolders protected_;
    quint64 listNumber_ = 0;
};

}  // namespace tallyrook
