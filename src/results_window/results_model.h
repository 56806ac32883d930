#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "search/result_list.h"

namespace tallyrook {

class Global;

// The rows of the last run, as the results window's list shows them: four columns ("Filename",
// "Size", "Last Modified", "Type"), a check box on every row, the background of each row taken
// from the run's RowColors by row position. The engine fills it through ResultList, so it works
// without a window; rows are never sorted.
class ResultsModel : public QAbstractTableModel, public ResultList {
    Q_OBJECT
public:
    explicit ResultsModel(Global& global, QObject* parent = nullptr);

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // ResultList
    int RowCount() const override;
    const ResultRow& Row(int index) const override;
    void AppendRow(ResultRow row) override;
    void ClearRows() override;

private:
    Global& global_;
    std::vector<ResultRow> rows_;
};

}  // namespace tallyrook
