#include "widgets/layout_rules.h"

#include <algorithm>
#include <cmath>

namespace tallyrook {

namespace {
// A negative size is what the platform refuses; the field then keeps its last value.
void SetSize(int& field, int value) {
    if (value >= 0)
        field = value;
}
}  // namespace

void ApplyResizeRules(MainLayout& layout, int outerWidth, int outerHeight) {
    SetSize(layout.listWidth, outerWidth - 600);
    SetSize(layout.listHeight, outerHeight - 2700);
    SetSize(layout.frameWidth, layout.listWidth + 260);
    SetSize(layout.frameHeight, layout.listHeight + 380);
    layout.progressLeft = layout.frameLeft;
    SetSize(layout.progressWidth, layout.frameWidth);
    layout.progressTop = outerHeight - 920;
}

void ApplyResultsResizeRules(ResultsLayout& layout, int outerWidth, int outerHeight,
                             bool copiesShown) {
    SetSize(layout.listWidth, outerWidth - 360);
    // The status line takes its room from the list's height.
    SetSize(layout.listHeight,
            outerHeight - 1900 - ResultsLayout::StatusGap - ResultsLayout::StatusHeight);
    const int copies = copiesShown ? ResultsLayout::CopiesWidth : 0;
    SetSize(layout.filenameWidth, layout.listWidth - 4500 - copies);
}

QPointF CenterFormPosition(const QSizeF& screen, const QSizeF& outer) {
    return {(screen.width() - outer.width()) / 2.0,
            (screen.height() - outer.height()) / 2.0 - 1000.0};
}

QPoint FitOnScreen(const QRect& outer, const QRect& available) {
    QPoint at = outer.topLeft();
    at.setX(std::max(std::min(at.x(), available.right() + 1 - outer.width()), available.left()));
    at.setY(std::max(std::min(at.y(), available.bottom() + 1 - outer.height()), available.top()));
    return at;
}

std::array<ButtonPlace, 3> ResultsButtonPlaces(int clientWidth) {
    constexpr std::array<ButtonPlace, 3> design{{{4200, 2055}, {6360, 2175}, {8640, 2175}}};
    constexpr int margin = 120;
    const auto gapBefore = [&design](size_t k) {
        return design[k].left - (design[k - 1].left + design[k - 1].width);
    };
    // The gaps stay; the buttons share what is left of the room in proportion to their widths.
    const int gaps = gapBefore(1) + gapBefore(2);
    const int designWidths = design[2].left + design[2].width - design[0].left - gaps;
    const int widths = clientWidth - margin - design[0].left - gaps;
    const double share = std::clamp(double(widths) / designWidths, 0.5, 1.0);
    std::array<ButtonPlace, 3> places = design;
    for (size_t k = 0; k < places.size(); ++k) {
        places[k].width = int(design[k].width * share);
        if (k > 0)
            places[k].left = places[k - 1].left + places[k - 1].width + gapBefore(k);
    }
    return places;
}

double FolderColumnWidth(double listWidth) {
    return listWidth * 7.0 / 8.0 - 100.0;
}

std::optional<int> ParseStoredInt16(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // nearbyint rounds halves to even in the default rounding mode.
    const double whole = std::nearbyint(value);
    if (whole < -32768.0 || whole > 32767.0)
        return std::nullopt;
    return static_cast<int>(whole);
}

int WindowStateCode(Qt::WindowStates states) {
    if (states & Qt::WindowMinimized)
        return 1;
    if (states & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return 2;
    return 0;
}

}  // namespace tallyrook
