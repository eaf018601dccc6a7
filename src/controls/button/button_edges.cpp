// Shared painters of the edges and marks: the fourteen-point edge path of the rectangular
// and slanted outlines, the focus marks, the corner pixels and the outline frame.
#include "button_engine.h"

#include <QFontMetrics>
#include <array>

namespace controls::engine {

namespace {

// The left and right border of the outline as lines x = x0 + (x1 - x0) * y / bottom.
struct Borders {
    int leftTop = 0;
    int leftBottom = 0;
    int rightTop = 0;
    int rightBottom = 0;
    int bottom = 0;
    int left(int y) const {
        return bottom ? leftTop + (leftBottom - leftTop) * y / bottom : leftTop;
    }
    int right(int y) const {
        return bottom ? rightTop + (rightBottom - rightTop) * y / bottom : rightTop;
    }
};

Borders BordersOf(const PaintJob& job) {
    Borders b;
    b.bottom = job.height - 1;
    b.leftTop = b.leftBottom = 0;
    b.rightTop = b.rightBottom = job.width - 1;
    if (job.look.shape < 1 || job.look.shape > 3)
        return b;
    const QRegion inside = job.outline.outer & QRect(0, 0, job.width, job.height);
    const QRect top = (inside & QRect(0, 0, job.width, 1)).boundingRect();
    const QRect low = (inside & QRect(0, b.bottom, job.width, 1)).boundingRect();
    if (top.isEmpty() || low.isEmpty())
        return b;
    b.leftTop = top.left();
    b.rightTop = top.right();
    b.leftBottom = low.left();
    b.rightBottom = low.right();
    return b;
}

struct Ring {
    QPoint topLeft, topRight, bottomRight, bottomLeft;
};

// Ring k runs k pixels inside the border.
Ring RingAt(const Borders& b, int k) {
    return {{b.left(k) + k, k},
            {b.right(k) - k, k},
            {b.right(b.bottom - k) - k, b.bottom - k},
            {b.left(b.bottom - k) + k, b.bottom - k}};
}

// Points 0 to 4 go round ring 1, 5 to 9 round ring 2, 10 to 13 round the border, and the
// path closes from 13 back to 0 along the bottom border.
std::array<QPoint, 14> EdgePath(const Borders& b) {
    const Ring r0 = RingAt(b, 0), r1 = RingAt(b, 1), r2 = RingAt(b, 2);
    return {{{b.left(b.bottom) + 1, b.bottom},
             r1.topLeft,
             r1.topRight,
             r1.bottomRight,
             r1.bottomLeft + QPoint(1, 0),
             r2.bottomLeft,
             r2.topLeft,
             r2.topRight,
             r2.bottomRight,
             r2.bottomLeft,
             r0.bottomLeft,
             r0.topLeft,
             r0.topRight,
             r0.bottomRight}};
}

// Line i joins point i and i + 1: lines 0-3 use entries 1-4, line 4 is not drawn, lines 5-8
// use entries 5-8 and lines 9-13 entries 8-12.
int EntryOfLine(int line) {
    if (line <= 3)
        return line + 1;
    if (line == 4)
        return 0;
    return line <= 8 ? line : line - 1;
}

void XorPixel(QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return;
    QRgb& p = reinterpret_cast<QRgb*>(image.scanLine(y))[x];
    p = p ^ 0x00FFFFFF;
}

// The dotted focus frame: every other pixel of the frame inverted, as a checkerboard.
void DottedFrame(QImage& image, const QRegion& frame) {
    for (const QRect& r : frame) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (((x + y) & 1) == 0)
                    XorPixel(image, x, y);
            }
        }
    }
}

void FrameRegion(QImage& image, const QRegion& region, int color) {
    if (color == kNoColor)
        return;
    FillRegion(image, Boundary(region & image.rect()), quint32(color));
}

void FrameShaped(QImage& window, const ButtonLook& look, const Outline& o,
                 const DerivedColors& colors, int frameColor) {
    const bool pressedHot = IsPressedHot(look);
    if (!look.hot || pressedHot) {
        if (!look.defaultLook)
            return;
        const QRegion& region = look.shape == 8 ? o.second : o.face;
        const int color =
            look.value && look.style != 2 ? int(ShiftColor(colors.shade, -32)) : frameColor;
        FrameRegion(window, region, color);
        return;
    }
    if (look.style == 2) {
        FrameRegion(window, o.outer, frameColor);
    } else if (colors.hover != ResolveColor(look.backColor)) {
        FrameRegion(window, o.outer, int(colors.hover));
    }
}

// On a slanted outline a rectangle between the slants would cross the image and caption, so
// the focus frame hugs the caption instead (two pixels beside it, one above and below) and
// follows the slant wherever it would otherwise touch the rim.
QRegion SlantedFocusArea(const PaintJob& job) {
    const QRect text = QFontMetrics(job.font).boundingRect(
        job.layout.caption, CaptionFlags(job.look.captionAlign), job.layout.text);
    QRegion inside;
    const QRegion outer = job.outline.outer & QRect(0, 0, job.width, job.height);
    for (int y = 4; y <= job.height - 5; ++y) {
        const QRect row = (outer & QRect(0, y, job.width, 1)).boundingRect();
        if (row.width() > 8)
            inside += QRect(row.left() + 4, y, row.width() - 8, 1);
    }
    return inside & text.adjusted(-2, -1, 2, 1);
}

} // namespace

void PaintEdges(PaintJob& job) {
    if (job.look.shape > 3 || job.width < 1 || job.height < 1)
        return;
    const std::array<QPoint, 14> p = EdgePath(BordersOf(job));
    for (int line = 0; line < 14; ++line) {
        const int entry = EntryOfLine(line);
        if (entry == 0 || job.table[size_t(entry)] == kNoColor)
            continue;
        DrawLine(job.image, p[size_t(line)], p[size_t((line + 1) % 14)],
                 quint32(job.table[size_t(entry)]));
    }
}

void SoftenCorners(PaintJob& job, int borderColor) {
    if (job.look.shape != 0 || borderColor == kNoColor)
        return;
    const int r = job.width - 2, b = job.height - 2;
    for (const QPoint p : {QPoint(1, 1), QPoint(r, 1), QPoint(1, b), QPoint(r, b)})
        PutPixel(job.image, p.x(), p.y(), quint32(borderColor));
}

void PaintFocus(PaintJob& job) {
    const ButtonLook& look = job.look;
    if (!look.defaultLook || IsCustomShape(look) || (IsEllipseShape(look) && look.style == 2))
        return;
    if (IsEllipseShape(look)) {
        const QRect r(4, 4, job.width - 8, job.height - 8);
        if (r.width() > 0 && r.height() > 0)
            DottedFrame(job.image, Boundary(QRegion(r, QRegion::Ellipse)));
        return;
    }
    if (look.shape != 0 && !job.layout.text.isEmpty()) {
        DottedFrame(job.image, Boundary(SlantedFocusArea(job)));
        return;
    }
    const int left = look.shape == 0 ? 4 : job.outline.leftSlant + 4;
    const int right = look.shape == 0 ? job.width - 4 : job.outline.rightSlant - 4;
    const QRect r(QPoint(left, 4), QPoint(right - 1, job.height - 5));
    if (r.width() > 0 && r.height() > 0)
        DottedFrame(job.image, Boundary(QRegion(r)));
}

void FrameOutline(QImage& window, const ButtonLook& look, const Outline& o,
                  const DerivedColors& colors, const ColorTable& table) {
    const int frameColor = table[12];
    if (IsCustomShape(look)) {
        FrameShaped(window, look, o, colors, frameColor);
    } else if (IsEllipseShape(look)) {
        if (look.style == 2 && !IsPressedHot(look))
            FrameRegion(window, o.face, frameColor);
        else if (look.shape == 6)
            FrameRegion(window, o.outer, frameColor);
    }
}

} // namespace controls::engine
