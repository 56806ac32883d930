#pragma once

#include <QDateTime>
#include <QString>
#include <deque>

namespace tallyrook {

// The criterion whose pass listed a row.
enum class Criterion : quint8 { ExactFilename, ExactFilesize, SimilarFilename, ExactContents };

// A criterion's word in the results window's Type column and in the command line's rows.
inline QLatin1StringView TypeWord(Criterion criterion) {
    switch (criterion) {
        case Criterion::ExactFilename:
            return QLatin1StringView("Name");
        case Criterion::ExactFilesize:
            return QLatin1StringView("Size");
        case Criterion::SimilarFilename:
            return QLatin1StringView("Close");
        case Criterion::ExactContents:
            return QLatin1StringView("Copy");
    }
    return {};
}

// A row's colour: each criterion's pair, the strong one and the light one, taken by its groups in
// turn. None shows the list's own colours.
enum class RowColor : quint8 {
    None,
    Blue,
    LightBlue,
    Red,
    LightRed,
    Green,
    LightGreen,
    Yellow,
    LightYellow
};

// A colour's name in the command line's rows; none for RowColor::None.
inline QLatin1StringView ColourName(RowColor color) {
    switch (color) {
        case RowColor::None:
            return {};
        case RowColor::Blue:
            return QLatin1StringView("blue");
        case RowColor::LightBlue:
            return QLatin1StringView("light blue");
        case RowColor::Red:
            return QLatin1StringView("red");
        case RowColor::LightRed:
            return QLatin1StringView("light red");
        case RowColor::Green:
            return QLatin1StringView("green");
        case RowColor::LightGreen:
            return QLatin1StringView("light green");
        case RowColor::Yellow:
            return QLatin1StringView("yellow");
        case RowColor::LightYellow:
            return QLatin1StringView("light yellow");
    }
    return {};
}

// One row of the results: a file of a duplicate group. The path is the row's identity.
struct ResultRow {
    QString path;
    QString sizeText;      // FormatSize of the size at the moment the row was added
    QString modifiedText;  // LastModifiedText at that moment
    Criterion criterion = Criterion::ExactFilename;
    RowColor color = RowColor::None;
    qint64 bytes = -1;   // the size itself, -1 when it could not be read
    QDateTime modified;  // UTC; invalid when it could not be read
    // The rows one anchor's turn of a pass adds form a group; numbered from 1 in list order,
    // across the passes of a run. Colours cannot tell groups apart: a listed anchor's partners
    // share the colour of the group after them.
    int group = 0;
    bool checked = false;
    // The file's record in the run's inventory; -1 for a row the passes did not make. A list may
    // keep it instead of the path: the inventory gives the path again as long as the run's
    // inventory lasts.
    qsizetype file = -1;
    // The record of the anchor whose turn listed the row (the file itself for an anchor's own
    // row). The files a pass found alike are an anchor and the rows it listed: its own row may
    // stand in an earlier group, as the partner of an earlier anchor.
    qsizetype anchor = -1;
    // Where a file of a saved inventory is ("MACHINE: LABEL") while it is not here to look at;
    // empty for a file here.
    QString source = {};
};

// The rows of a run, in the order added. The match passes need only these operations, so they
// fill the desktop program's results model and a plain list alike.
class ResultList {
public:
    virtual ~ResultList() = default;
    virtual int RowCount() const = 0;
    virtual const ResultRow& Row(int index) const = 0;  // 0-based
    virtual void AppendRow(ResultRow row) = 0;
    virtual void ClearRows() = 0;
    // False for a list that makes each row's path from the inventory through ResultRow::file: the
    // passes then leave the path empty, sparing a million paths built only to be dropped.
    virtual bool WantsPaths() const { return true; }
    // ResultRow::file of a row, for a list that can give it without rebuilding the row.
    virtual qsizetype RowFile(int index) const { return Row(index).file; }
};

// A plain in-memory list, for tallyrook-cli and the tests.
class ResultRows : public ResultList {
public:
    int RowCount() const override { return static_cast<int>(rows_.size()); }
    const ResultRow& Row(int index) const override { return rows_.at(static_cast<size_t>(index)); }
    void AppendRow(ResultRow row) override { rows_.push_back(std::move(row)); }
    void ClearRows() override { rows_.clear(); }

private:
    std::deque<ResultRow> rows_;  // grows without moving a million rows at once
};

}  // namespace tallyrook
