#include "results_model.h"

#include "shared/global.h"

namespace tallyrook {
// Placeholder until the results window lands.
ResultsModel::ResultsModel(Global& global, QObject* parent)
    : QAbstractTableModel(parent), global_(global) {}
int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}
int ResultsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }
QVariant ResultsModel::data(const QModelIndex&, int) const { return {}; }
QVariant ResultsModel::headerData(int, Qt::Orientation, int) const { return {}; }
Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index);
}
bool ResultsModel::setData(const QModelIndex&, const QVariant&, int) { return false; }
int ResultsModel::RowCount() const { return static_cast<int>(rows_.size()); }
const ResultRow& ResultsModel::Row(int index) const { return rows_.at(static_cast<size_t>(index)); }
void ResultsModel::AppendRow(ResultRow row) {
    beginInsertRows({}, RowCount(), RowCount());
    rows_.push_back(std::move(row));
    endInsertRows();
}
void ResultsModel::ClearRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}
}  // namespace tallyrook
