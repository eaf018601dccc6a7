#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace app {

namespace {

constexpr double kTwipsPerInch = 1440.0;

double dpi(bool horizontal) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96.0;
    const double d = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return d > 0 ? d : 96.0;
}

} // namespace

double TwipsPerPixelX() {
    return kTwipsPerInch / dpi(true);
}
double TwipsPerPixelY() {
    return kTwipsPerInch / dpi(false);
}
int TwipsToPixelsX(int twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelX()));
}
int TwipsToPixelsY(int twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelY()));
}

QRect TwipsRect(int left, int top, int width, int height) {
    return {TwipsToPixelsX(left), TwipsToPixelsY(top), TwipsToPixelsX(width),
            TwipsToPixelsY(height)};
}

} // namespace app
