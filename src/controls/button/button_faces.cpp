// Shared painters of the face: pixel helpers, the rims of the elliptic outlines, the plain,
// shaded and gradient faces, and the area outside the outline.
#include "button_engine.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QScreen>
#include <cmath>

namespace controls::engine {

namespace {

QRgb ToQRgb(quint32 rgb) {
    return qRgb(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

quint32 FromQRgb(QRgb c) {
    return quint32(qRed(c)) | quint32(qGreen(c)) << 8 | quint32(qBlue(c)) << 16;
}

// The face colour of step 3: checked face, hover face or face.
quint32 ChooseFaceColor(const ButtonLook& look, const DerivedColors& c) {
    if (IsChecked(look))
        return c.checked;
    if (look.hot && !(look.mode == 0 && IsPressedHot(look)))
        return c.hover;
    return c.face;
}

// Style 2 darkens its face towards the bottom: row i is shifted by -25 x i / H.
void FillShadedRows(PaintJob& job) {
    const int h = job.height;
    for (int y = 0; y < h; ++y) {
        const quint32 rgb = ShiftColor(job.faceColor, -RoundHalfEven(25LL * y, qMax(h, 1)));
        job.painter.fillRect(QRect(0, y, job.width, 1), ToQColor(rgb));
    }
}

// Bands are two pixels wide when the control is more than a quarter of the screen in the
// gradient's direction.
int BandWidth(bool across, int extent) {
    const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    const QSize screenSize = screen ? screen->size() : QSize(1024, 768);
    const int screenExtent = across ? screenSize.width() : screenSize.height();
    return double(screenExtent) / double(qMax(extent, 1)) < 4.0 ? 2 : 1;
}

void FillGradient(PaintJob& job, quint32 first, quint32 second, bool across) {
    const int extent = across ? job.width : job.height;
    const int band = BandWidth(across, extent);
    const int bands = qMax(1, (extent + band - 1) / band);
    const Channels a = SplitChannels(first);
    const Channels b = SplitChannels(second);
    const double steps = qMax(1, bands - 1);
    const double dr = (b.red - a.red) / steps;
    const double dg = (b.green - a.green) / steps;
    const double db = (b.blue - a.blue) / steps;
    double r = a.red, g = a.green, bl = a.blue;
    for (int i = 0; i < bands; ++i) {
        const quint32 rgb =
            JoinChannels(int(std::clamp(r, 0.0, 255.0)), int(std::clamp(g, 0.0, 255.0)),
                         int(std::clamp(bl, 0.0, 255.0)));
        const QRect rect =
            across ? QRect(i * band, 0, band, job.height) : QRect(0, i * band, job.width, band);
        job.painter.fillRect(rect, ToQColor(rgb));
        r += dr;
        g += dg;
        bl += db;
    }
}

void PaintGradientFace(PaintJob& job) {
    const ButtonLook& look = job.look;
    if (look.hot && !IsPressedHot(look) && look.hoverBackColor != look.gradientColor) {
        job.painter.fillRect(QRect(0, 0, job.width, job.height), ToQColor(job.colors.hover));
        return;
    }
    const quint32 gradient = ResolveColor(look.gradientColor);
    const bool faceFirst = look.gradientMode == 1 || look.gradientMode == 3;
    const bool across = look.gradientMode <= 2;
    FillGradient(job, faceFirst ? job.faceColor : gradient, faceFirst ? gradient : job.faceColor,
                 across);
}

} // namespace

void PutPixel(QImage& image, int x, int y, quint32 rgb) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return;
    reinterpret_cast<QRgb*>(image.scanLine(y))[x] = ToQRgb(rgb);
}

quint32 PixelAt(const QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return 0;
    return FromQRgb(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]);
}

void DrawLine(QImage& image, QPoint from, QPoint to, quint32 rgb) {
    int x = from.x(), y = from.y();
    const int dx = std::abs(to.x() - x), dy = -std::abs(to.y() - y);
    const int sx = x < to.x() ? 1 : -1, sy = y < to.y() ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        PutPixel(image, x, y, rgb);
        if (x == to.x() && y == to.y())
            return;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void FillRegion(QImage& image, const QRegion& region, quint32 rgb) {
    const QRect bounds = image.rect();
    const QRgb c = ToQRgb(rgb);
    for (const QRect& r : region) {
        const QRect clipped = r & bounds;
        for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            std::fill(line + clipped.left(), line + clipped.right() + 1, c);
        }
    }
}

bool IsCustomShape(const ButtonLook& look) {
    return look.shape >= 7;
}

bool IsEllipseShape(const ButtonLook& look) {
    return look.shape >= 4 && look.shape <= 6;
}

bool IsChecked(const ButtonLook& look) {
    return look.mode != 0 && look.value;
}

bool IsPressedHot(const ButtonLook& look) {
    return look.pressed && look.hot;
}

// The outer ring of the ellipses: white to grey along the diagonal (outlines 4 and 5, the
// light side up-left for 4 and down-right for 5, swapped while pressed), black for 6.
bool PaintRim(PaintJob& job) {
    if (job.width <= 0 || job.height <= 0 || job.outline.outer.isEmpty())
        return false;
    if (!IsEllipseShape(job.look) || job.skipRim)
        return true;
    const QRegion ring = job.outline.outer - job.outline.face;
    if (job.look.shape == 6) {
        FillRegion(job.image, ring, 0x000000);
        return true;
    }
    bool lightUp = job.look.shape == 4;
    if (IsPressedHot(job.look) || IsChecked(job.look))
        lightUp = !lightUp;
    QLinearGradient g(0, 0, job.width, job.height);
    g.setColorAt(0, ToQColor(lightUp ? 0xFFFFFF : 0x808080));
    g.setColorAt(1, ToQColor(lightUp ? 0x808080 : 0xFFFFFF));
    job.painter.save();
    job.painter.setClipRegion(ring);
    job.painter.fillRect(QRect(0, 0, job.width, job.height), g);
    job.painter.restore();
    return true;
}

void PaintFace(PaintJob& job) {
    const ButtonLook& look = job.look;
    job.faceColor = job.faceOverride ? *job.faceOverride : ChooseFaceColor(look, job.colors);
    const bool clip = IsEllipseShape(look) || IsCustomShape(look);
    job.painter.save();
    if (clip)
        job.painter.setClipRegion(job.outline.face);
    const bool plain = look.gradientMode == 0 || IsCustomShape(look) || IsChecked(look) ||
                       job.faceOverride.has_value();
    if (!plain)
        PaintGradientFace(job);
    else if (look.style == 2 && !(look.mode == 0 && !look.enabled))
        FillShadedRows(job);
    else
        job.painter.fillRect(QRect(0, 0, job.width, job.height), ToQColor(job.faceColor));
    job.painter.restore();
}

// The inner rim of the ellipses, in the table's ring-1 colours: the top colour on the upper
// left half, the bottom colour on the lower right half.
void PaintEllipseRim(PaintJob& job) {
    if (!IsEllipseShape(job.look) || job.skipRim)
        return;
    const int upper = job.table[2];
    const int lower = job.table[4];
    const QRegion ring = job.outline.face - job.outline.second;
    const double cx = job.width / 2.0, cy = job.height / 2.0;
    for (const QRect& r : ring) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                const bool up = (x + 0.5 - cx) * job.height + (y + 0.5 - cy) * job.width < 0;
                const int c = up ? upper : lower;
                if (c != kNoColor)
                    PutPixel(job.image, x, y, quint32(c));
            }
        }
    }
}

void ClearOutside(PaintJob& job) {
    const QRegion outside = QRegion(0, 0, job.width, job.height) - job.outline.outer;
    FillRegion(job.image, outside, job.look.containerBackRgb & 0xFFFFFF);
}

} // namespace controls::engine
