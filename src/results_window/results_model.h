#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <optional>
#include <vector>

#include "contents/contents_check.h"
#include "search/result_list.h"

namespace tallyrook {

// The rows of the last run, as the results window's list shows them: four columns ("Filename",
// "Size", "Last Modified", "Type"), and a fifth, "Copies", once their contents have been compared;
// a check box on every row, each row in its group's colour. The engine fills it through
// ResultList, so it works without a window; rows are never sorted.
class ResultsModel : public QAbstractTableModel, public ResultList {
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

    explicit ResultsModel(QObject* parent = nullptr);

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
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
    // identical: a copy trashed since leaves its set.
    void SetContents(const QList<ContentsFile>& files, const ContentsResults& results);
    bool ContentsCompared() const { return compared_; }

    // Which copy stays when the others are checked.
    enum class Keeper { Newest, Oldest, Largest, ShortestPath };
    // In every copy set the keeper by `rule` (the first in the list on a tie; files without the
    // size or date lose to files with one) is unchecked and every other copy checked, on every
    // row it has. Files with no copy, or not compared, keep their marks. Returns the number of
    // copy sets.
    int CheckAllBut(Keeper rule);

    // The checked rows' paths, each once, at the place of its last checked row, in list order.
    QStringList UniqueCheckedPaths() const;
    // The total size of the files at `paths` as recorded by the run; -1 when none is known.
    qint64 TotalBytes(const QStringList& paths) const;
    // Without a comparison: a file name of each set of files that one pass found alike (an anchor
    // and the rows its turn listed), in list order, whose every file is in `paths`. Sets of the
    // same files are named once.
    QStringList MatchSetsLeftWithout(const QSet<QString>& paths) const;
    // With one: the names of the files at `paths` that leave no identical copy behind, unchanged,
    // outside `paths` (no copy, or not compared, included).
    QStringList WithoutCopyLeft(const QStringList& paths) const;
    // The names of the files at `paths` whose size, last-write or change time is not what it was
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

    // The background a row's colour paints, with black text; nothing for RowColor::None, which
    // leaves the list's own colours.
    static std::optional<QColor> BackgroundOf(RowColor color);

private:
    // The copy sets as the list has them now, built on first use after a change.
    struct CopySets {
        QHash<int, QStringList> members;  // each set's paths in the list, once, in list order
        std::vector<int> letters;         // by row: 1 for "A", 2 for "B"...; 0 for none
    };
    const CopySets& Sets() const;
    QString CopiesText(int row) const;
    QString CopiesTip(int row) const;

    // The rows of each path, in list order; built on first use after the rows changed, so a
    // mark costs the rows of its file, not a scan of the list.
    const QHash<QString, QList<int>>& RowsByPath() const;
    void RowsChanged() {
        rowsByPath_.reset();
        copySets_.reset();
    }
    // Row k gets the mark marks[k] (0 or 1; -1 leaves it); one notice for the views.
    void SetRowMarks(const std::vector<signed char>& marks);

    std::vector<ResultRow> rows_;
    mutable std::optional<QHash<QString, QList<int>>> rowsByPath_;
    bool compared_ = false;
    QHash<QString, ContentsResult> contents_;  // what the check found for each path
    mutable std::optional<CopySets> copySets_;
    quint64 listNumber_ = 0;
};

}  // namespace tallyrook
