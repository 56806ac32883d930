#pragma once

#include <QColor>
#include <optional>

#include "selection/selection_list.h"

namespace tallyrook {

// The rows of the last run, as the results window's list shows them: four columns ("Filename",
// "Size", "Last Modified", "Type"), and a fifth, "Copies", once their contents have been compared;
// a check box on every row, each row in its group's colour. What acts on the rows is the
// SelectionList's; this adds what a view paints.
class ResultsModel : public SelectionList {
    Q_OBJECT
public:
    explicit ResultsModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The background a row's colour paints, with black text; nothing for RowColor::None, which
    // leaves the list's own colours.
    static std::optional<QColor> BackgroundOf(RowColor color);

private:
    QString CopiesText(int row) const;
    QString CopiesTip(int row) const;
};

}  // namespace tallyrook
