#include "objects.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {

QVariant StdFont::property(int dispId) const {
    switch (dispId) {
    case Name:
        return name;
    case Size:
        return size;
    case Bold:
        return bold;
    case Italic:
        return italic;
    case Underline:
        return underline;
    case Strikethrough:
        return strikethrough;
    case Weight:
        return weight;
    case Charset:
        return charset;
    default:
        return {};
    }
}

bool StdFont::setProperty(int dispId, const QVariant& value) {
    switch (dispId) {
    case Name:
        name = value.toString();
        return true;
    case Size: {
        bool ok = false;
        const double points = value.toDouble(&ok);
        if (!ok || points <= 0)
            return false;
        size = points;
        return true;
    }
    case Bold:
        bold = value.toBool();
        weight = bold ? 700 : 400;
        return true;
    case Italic:
        italic = value.toBool();
        return true;
    case Underline:
        underline = value.toBool();
        return true;
    case Strikethrough:
        strikethrough = value.toBool();
        return true;
    case Weight: {
        bool ok = false;
        const int w = value.toInt(&ok);
        if (!ok || w < 0 || w > 1000)
            return false;
        weight = short(w);
        bold = w >= 600;
        return true;
    }
    case Charset:
        charset = short(value.toInt());
        return true;
    default:
        return false;
    }
}

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
