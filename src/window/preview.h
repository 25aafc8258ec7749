#pragma once

#include <QRect>

namespace window {

// Twips per logical pixel, horizontally and vertically.
inline constexpr int kTwipsPerPixel = 15;

// Where a picture of W x H twips goes inside a preview of w x h twips: scaled to fill the preview's
// width when it is relatively wider than the preview, else its height, and centred. In twips.
QRect fitIntoPreview(int W, int H, int w, int h);

// Twips to pixels, rounded to the nearest pixel (halves to the even one).
int twipsToPixels(int twips);

} // namespace window
