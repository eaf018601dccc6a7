// Outlines: the window's visible region and the face and inner regions for each of the nine
// shapes, built in pixels from the control's size.
#include "button_engine.h"

#include <QPainter>
#include <QPolygon>
#include <vector>

namespace controls::engine {

namespace {

// The four corners cut by two-pixel triangles: three pixels each, mirrored exactly.
QRegion CutTriangleCorners(QRegion region, int w, int h) {
    for (const bool right : {false, true}) {
        for (const bool bottom : {false, true}) {
            const int x = right ? w - 2 : 0, y = bottom ? h - 1 : 0;
            const int x1 = right ? w - 1 : 0, y1 = bottom ? h - 2 : 1;
            region -= QRect(x, y, 2, 1);
            region -= QRect(x1, y1, 1, 1);
        }
    }
    return region;
}

QRegion CutCornerPixels(QRegion region, int w, int h) {
    for (const QPoint p : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        region -= QRect(p, QSize(1, 1));
    return region;
}

QRegion RectangleOutline(const ButtonLook& look, int w, int h) {
    const QRegion whole(0, 0, w + 1, h + 1);
    switch (look.style) {
    case 2:
    case 7:
        return CutTriangleCorners(whole, w, h);
    case 1:
        return CutCornerPixels(whole, w, h);
    case 3:
        return look.enabled ? CutCornerPixels(whole, w, h) : whole;
    default:
        return whole;
    }
}

QRegion SlantedOutline(int shape, int w, int h, int s) {
    QPolygon p;
    switch (shape) {
    case 1:
        p << QPoint(0, 0) << QPoint(s, h + 1) << QPoint(w + 1, h + 1) << QPoint(w + 1, 0);
        break;
    case 2:
        p << QPoint(0, 0) << QPoint(0, h + 1) << QPoint(w + 1, h + 1) << QPoint(w - s + 1, 0);
        break;
    default:
        p << QPoint(0, 0) << QPoint(s, h + 1) << QPoint(w + 1, h + 1) << QPoint(w - s + 1, 0);
        break;
    }
    return QRegion(p);
}

void BuildEllipse(Outline& o, const ButtonLook& look, int w, int h) {
    o.outer = QRegion(QRect(0, 0, w, h), QRegion::Ellipse);
    // The rings are the outline's own edge pixels, one and two deep: a smaller ellipse
    // rounds differently and would leave gaps in the rim. Style 5 draws its own rounded rim,
    // so its face covers the whole ellipse.
    const QRegion inset = Shrink(o.outer);
    o.face = look.style == 5 ? o.outer : inset;
    o.second = Shrink(inset);
}

bool BuildFromPicture(Outline& o, const ButtonLook& look) {
    if (!look.picture || look.picture->image.isNull())
        return false;
    const QImage picture = OpaquePicture(*look.picture);
    const QRect all = picture.rect();
    o.outer = PictureRegion(picture, all);
    o.face = PictureRegion(picture, all.adjusted(1, 1, -1, -1));
    o.second = Shrink(o.outer);
    return true;
}

} // namespace

// The slant is the height plus one, so that the slanted edges run at 45 degrees.
int SlantFor(int height) {
    return height + 1;
}

QRegion Shrink(const QRegion& region) {
    return region & region.translated(1, 0) & region.translated(-1, 0) & region.translated(0, 1) &
           region.translated(0, -1);
}

QRegion Boundary(const QRegion& region) {
    return region - Shrink(region);
}

QImage OpaquePicture(const ButtonPicture& picture) {
    if (!picture.isIconLike())
        return picture.image.convertToFormat(QImage::Format_RGB32);
    QImage out(picture.image.size(), QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    p.drawImage(0, 0, picture.image);
    return out;
}

QRegion PictureRegion(const QImage& picture, const QRect& rect) {
    const QRect area = rect & picture.rect();
    if (area.isEmpty())
        return {};
    const QRgb transparent = picture.pixel(0, 0);
    std::vector<QRect> runs;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        int x = area.left();
        while (x <= area.right()) {
            while (x <= area.right() && line[x] == transparent)
                ++x;
            const int start = x;
            while (x <= area.right() && line[x] != transparent)
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    region.setRects(runs.data(), int(runs.size()));
    return region;
}

Outline BuildOutline(const ButtonLook& look, QSize size) {
    Outline o;
    o.size = size;
    o.built = true;
    const int w = size.width();
    const int h = size.height();
    o.slant = SlantFor(h);
    o.leftSlant = 0;
    o.rightSlant = w;
    if (w <= 0 || h <= 0)
        return o;
    const QRegion window(0, 0, w, h);
    switch (look.shape) {
    case 1:
    case 2:
    case 3:
        o.outer = SlantedOutline(look.shape, w, h, o.slant);
        o.leftSlant = look.shape == 2 ? 0 : o.slant;
        o.rightSlant = look.shape == 1 ? w : w - o.slant + 1;
        o.face = o.second = Shrink(o.outer & window);
        return o;
    case 4:
    case 5:
    case 6:
        BuildEllipse(o, look, w, h);
        return o;
    case 7:
    case 8:
        if (BuildFromPicture(o, look))
            return o;
        break;
    default:
        break;
    }
    o.outer = RectangleOutline(look, w, h);
    o.face = o.second = Shrink(o.outer & window);
    return o;
}

} // namespace controls::engine
