// Helpers shared by the drawing engine's tests: a button look, a painter prepared the way
// the widget prepares it, pictures, and pixel searches on the painted image.
#pragma once

#include "button_painter.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <functional>
#include <memory>

namespace painter_tests {

using namespace controls;

inline constexpr quint32 kContainer = 0x204020; // not used by any face

// A look with plain RGB colours, an empty caption and an unsmoothed font, so that pixels are
// exact.
inline ButtonLook PlainLook(int style, int shape) {
    ButtonLook look;
    look.style = style;
    look.shape = shape;
    look.caption.clear();
    look.backColor = look.hoverBackColor = look.gradientColor = 0x808080;
    look.foreColor = look.hoverForeColor = 0x000000;
    look.containerBackRgb = kContainer;
    QFont font = QApplication::font();
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    look.font = font;
    return look;
}

// Runs the updates, outline, layout and redraw in the widget's order.
inline std::unique_ptr<ButtonPainter> Paint(const ButtonLook& look, QSize size,
                                            int* result = nullptr) {
    auto p = std::make_unique<ButtonPainter>();
    p->Resize(size);
    p->UpdateFont(look);
    p->UpdatePicture(look);
    p->UpdateBackColor(look);
    p->RebuildOutline(look);
    p->Relayout(look, true);
    const int r = p->Redraw(look);
    if (result)
        *result = r;
    return p;
}

inline quint32 Pixel(const QImage& image, int x, int y) {
    return FromQColor(image.pixelColor(x, y));
}

inline QString Hex(quint32 rgb) {
    return QStringLiteral("0x%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
}

// The bounding box of every pixel of the image for which match holds.
inline QRect BoxOf(const QImage& image, const std::function<bool(quint32)>& match) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (match(Pixel(image, x, y)))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

inline QRect BoxOfColor(const QImage& image, quint32 rgb) {
    return BoxOf(image, [rgb](quint32 c) { return c == rgb; });
}

// A bitmap of the size filled with background, with a block of colour in it.
inline PictureRef Bitmap(QSize size, QColor background, QRect block, QColor color) {
    auto p = std::make_shared<ButtonPicture>();
    p->kind = ButtonPicture::Kind::Bitmap;
    p->image = QImage(size, QImage::Format_RGB32);
    p->image.fill(background);
    QPainter g(&p->image);
    g.fillRect(block, color);
    return p;
}

int RunColorTests(int argc, char** argv);
int RunOutlineTests(int argc, char** argv);
int RunLayoutTests(int argc, char** argv);
int RunRenderTests(int argc, char** argv);
int RunStateTests(int argc, char** argv);

} // namespace painter_tests
