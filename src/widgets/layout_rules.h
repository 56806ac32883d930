#pragma once

#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <Qt>
#include <array>
#include <optional>

namespace tallyrook {

// The main window's resizable parts, in twips. Starts at the design-time geometry.
struct MainLayout {
    int listWidth = 8295;
    int listHeight = 1695;
    int frameLeft = 120;
    int frameWidth = 8535;
    int frameHeight = 2295;
    int progressLeft = 360;
    int progressTop = 4920;
    int progressWidth = 3015;
};

// The resize rules for an outer window size of W x H twips, in their fixed order. A size that
// would come out negative is refused: that step keeps its old value and the next step runs.
void ApplyResizeRules(MainLayout& layout, int outerWidth, int outerHeight);

// The results window's list, its columns and the status line under it, in twips. Starts at the
// design-time geometry; the list keeps its place (120, 1320) and the banner and buttons never
// move.
struct ResultsLayout {
    static constexpr int ListTop = 1320;
    int listWidth = 10095;
    int listHeight = 4455 - 360;
    int filenameWidth = 10095 - 4500;
    // The other columns keep their widths; Copies, once shown, takes its width from Filename's.
    static constexpr int SizeWidth = 1100;
    static constexpr int ModifiedWidth = 2300;
    static constexpr int TypeWidth = 700;
    static constexpr int CopiesWidth = 1800;
    // The status line: the list's width, just below it.
    static constexpr int StatusGap = 60;
    static constexpr int StatusHeight = 300;
    int StatusTop() const { return ListTop + listHeight + StatusGap; }
};

// The results window's resize rules for an outer size of W x H twips, refused sizes kept as the
// main window's are: the list, then the Filename column from the list's width, then the status
// line below the list. With the Copies column shown, Filename gives up its width.
void ApplyResultsResizeRules(ResultsLayout& layout, int outerWidth, int outerHeight,
                             bool copiesShown);

// Where CenterForm puts the window's outer top-left corner, in twips from the screen's corner:
// centred on the whole screen, then 1000 twips higher.
QPointF CenterFormPosition(const QSizeF& screen, const QSizeF& outer);

// Where a window whose outer rectangle is `outer` goes so that it lies within `available`, moved
// as little as it takes: its top-left corner. A window larger than the area keeps its top-left
// corner in it.
QPoint FitOnScreen(const QRect& outer, const QRect& available);

// The results window's three buttons, left to right (Back, Send to Recycling, Uncheck All): their
// left edge and width in twips, for a client area `clientWidth` twips wide. They keep their design
// places while those fit; a narrower window narrows each button by the same share of its width so
// that the last one ends a margin inside the window, down to half the design width.
struct ButtonPlace {
    int left;
    int width;
};
std::array<ButtonPlace, 3> ResultsButtonPlaces(int clientWidth);

// The folder column's width at start: seven eighths of the list, less 100 twips.
double FolderColumnWidth(double listWidth);

// A stored number as start-up reads it: the text's value rounded to the nearest whole number
// (halves to even) when it fits a signed 16-bit integer; nothing for an absent, empty,
// non-numeric or out-of-range text.
std::optional<int> ParseStoredInt16(const QString& text);

// The stored window state code: 0 normal, 1 minimised, 2 maximised (full screen counts as 2).
int WindowStateCode(Qt::WindowStates states);

}  // namespace tallyrook
