#pragma once

#include <QRect>
#include <QSize>
#include <cmath>

namespace tallyrook {

// Window geometry is kept in twips, 15 to a logical pixel.
constexpr int TwipsPerPixel = 15;

inline int TwipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixel));
}
constexpr int PixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}

// A place and size given in twips, in pixels.
inline QRect TwipsRect(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}
inline QSize TwipsSize(int width, int height) {
    return {TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace tallyrook
