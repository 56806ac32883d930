#pragma once

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

}  // namespace tallyrook
