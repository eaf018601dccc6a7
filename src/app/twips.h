// Window lengths are kept in twips (1/1440 inch) and converted at the screen's
// twips per pixel.
#pragma once

#include <QRect>

namespace app {

double TwipsPerPixelX();
double TwipsPerPixelY();
int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
// A rectangle given in twips (left, top, width, height), in pixels.
QRect TwipsRect(int left, int top, int width, int height);

} // namespace app
