#pragma once

#include <QStringList>

#include "search/match_passes.h"

namespace tallyrook {
class Global;
class ResultList;
class SearchHost;
}  // namespace tallyrook

namespace tallyrook::test {

// The match passes done the plain way: every pair of entries compared once, in inventory order,
// pending events before every comparison, the stop request read at every match, "already listed"
// by scanning the rows. The passes under test must give exactly its rows and colours.
class ReferencePasses {
public:
    enum class Kind { Name, Size, Close };

    ReferencePasses(SearchHost& host, const Global& global, ResultList& rows, int rowLimit)
        : host_(host), global_(global), rows_(rows), rowLimit_(rowLimit) {}

    PassResult Run(Kind kind, int firstRow);
    const QStringList& RowColors() const { return colors_; }

private:
    bool Listed(const QString& path, int firstRow) const;
    void AddRow(qsizetype k, const QString& type, const QString& color);

    SearchHost& host_;
    const Global& global_;
    ResultList& rows_;
    int rowLimit_;
    QStringList colors_;
    int rowsAdded_ = 0;
    bool strongTurn_ = false;
    bool anchorAdded_ = false;
};

}  // namespace tallyrook::test
