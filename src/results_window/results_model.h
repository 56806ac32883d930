#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <optional>
#include <vector>

#include "search/result_list.h"

namespace tallyrook {

// The rows of the last run, as the results window's list shows them: four columns ("Filename",
// "Size", "Last Modified", "Type"), a check box on every row, each row in its group's colour. The
// engine fills it through ResultList, so it works without a window; rows are never sorted.
class ResultsModel : public QAbstractTableModel, public ResultList {
    Q_OBJECT
public:
    enum Column { FilenameColumn, SizeColumn, ModifiedColumn, TypeColumn, ColumnCount };

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
    void ClearRows() override;

    bool IsChecked(int row) const { return Row(row).checked; }
    // Gives `checked` to every row whose path equals `text` exactly (case-sensitive); other rows
    // are not touched.
    void SetCheckedByText(const QString& text, bool checked);
    // Clears every mark; nothing else changes.
    void UncheckAll();

    // Every row whose file lies in `folder` (ending with "/") or below it gets `checked`.
    void SetCheckedInFolder(const QString& folder, bool checked);
    // Which file of a group stays when the others are checked.
    enum class Keeper { Newest, Oldest, Largest, ShortestPath };
    // In every group the keeper by `rule` (the first row on a tie; rows without the size or
    // date lose to rows with one) is unchecked and every other file checked. A file that is the
    // keeper of one group stays unchecked even where another group would check it, so no group
    // is left without its keeper. Marks go to every row of a file.
    void CheckAllBut(Keeper rule);

    // The checked rows' paths, each once, at the place of its last checked row, in list order.
    QStringList UniqueCheckedPaths() const;
    // The total size of the files at `paths` as recorded by the run; -1 when none is known.
    qint64 TotalBytes(const QStringList& paths) const;
    // A file name from each group (its first row's), in list order, whose every file is in `paths`.
    QStringList GroupsLeftWithout(const QSet<QString>& paths) const;
    // Removes every row whose path is in `paths`; all other rows keep their order, mark and
    // colour.
    void RemoveRowsOfPaths(const QSet<QString>& paths);

    // The background a row's colour paints, with black text; nothing for RowColor::None, which
    // leaves the list's own colours.
    static std::optional<QColor> BackgroundOf(RowColor color);
    // The Type column's word for a criterion.
    static QString TypeText(Criterion criterion);

private:
    // The rows of each path, in list order; built on first use after the rows changed, so a
    // mark costs the rows of its file, not a scan of the list.
    const QHash<QString, QList<int>>& RowsByPath() const;
    void RowsChanged() { rowsByPath_.reset(); }
    // Row k gets the mark marks[k] (0 or 1; -1 leaves it); one notice for the views.
    void SetRowMarks(const std::vector<signed char>& marks);

    std::vector<ResultRow> rows_;
    mutable std::optional<QHash<QString, QList<int>>> rowsByPath_;
};

}  // namespace tallyrook
