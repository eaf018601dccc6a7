#include "objects.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {

PrinterObject& Printer() {
    static PrinterObject printer;
    return printer;
}

namespace {
// 1440 twips per inch; the screen's logical dots per inch decide the pixels.
int twipsPerPixel(bool vertical) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi =
        screen ? (vertical ? screen->logicalDotsPerInchY() : screen->logicalDotsPerInchX()) : 96.0;
    return dpi > 0 ? qMax(1, qRound(1440.0 / dpi)) : 15;
}
} // namespace

int ScreenTwipsPerPixelX() {
    return twipsPerPixel(false);
}
int ScreenTwipsPerPixelY() {
    return twipsPerPixel(true);
}

int ScreenWidthTwips() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return (screen ? screen->geometry().width() : 1024) * ScreenTwipsPerPixelX();
}

int ScreenHeightTwips() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return (screen ? screen->geometry().height() : 768) * ScreenTwipsPerPixelY();
}

} // namespace platform
