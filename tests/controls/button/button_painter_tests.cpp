// The drawing engine: colours and their shift, outlines, layout, the soft style's edges and
// shading, outline frames and a sweep of every style, outline and state.
#include "button_painter.h"

#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <QPalette>
#include <QTest>
#include <memory>

using namespace controls;
using Kind = ButtonPicture::Kind;

namespace {

constexpr quint32 kContainer = 0x204020; // not used by any face
enum Flags { kHot = 1, kPressed = 2, kDefault = 4, kChecked = 8, kDisabled = 16, kNoFocus = 32 };
constexpr quint32 kSoftFace = 0xB1B1B0; // style 2's face for BackColor 0x808080
constexpr quint32 kHotFrame = 0x0096E7;

// Plain RGB colours, no caption and an unsmoothed font, so that pixels are exact; the state
// from the flags.
ButtonLook PlainLook(int style, int shape, int flags = 0) {
    ButtonLook look;
    look.style = style;
    look.shape = shape;
    look.hot = flags & (kHot | kPressed);
    look.pressed = flags & kPressed;
    look.defaultLook = flags & kDefault;
    look.mode = flags & kChecked ? 1 : 0;
    look.value = flags & kChecked;
    look.enabled = !(flags & kDisabled);
    look.showFocusRect = !(flags & kNoFocus);
    look.backColor = look.hoverBackColor = look.gradientColor = 0x808080;
    look.foreColor = look.hoverForeColor = 0x000000;
    look.containerBackRgb = kContainer;
    look.font = QApplication::font();
    look.font.setPixelSize(12);
    look.font.setStyleStrategy(QFont::NoAntialias);
    return look;
}

// Runs the updates, outline, layout and redraw in the widget's order.
std::unique_ptr<ButtonPainter> Paint(const ButtonLook& look, QSize size, int* result = nullptr) {
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

QString Hex(quint32 rgb) {
    return QStringLiteral("0x%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

QString HexAt(const QImage& image, QPoint at) {
    return Hex(FromQColor(image.pixelColor(at)));
}

// The bounding box of every pixel of the colour.
QRect BoxOfColor(const QImage& image, quint32 rgb) {
    const QImage mask = image.createMaskFromColor(ToQColor(rgb).rgb(), Qt::MaskOutColor);
    return QRegion(QBitmap::fromImage(mask)).boundingRect();
}

// A picture of the size filled with `fill`, with a block of `color` in it.
std::shared_ptr<ButtonPicture> Picture(Kind kind, QSize size, QColor fill, QRect block,
                                       QColor color) {
    auto p = std::make_shared<ButtonPicture>();
    p->kind = kind;
    p->image = QImage(size, kind == Kind::Bitmap ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    p->image.fill(fill);
    QPainter(&p->image).fillRect(block, color);
    return p;
}

// An outline taken from a 60 x 24 picture: a blue pill on white.
ButtonLook Custom(int style, int shape, int flags = 0) {
    ButtonLook look = PlainLook(style, shape, flags);
    look.picture = Picture(Kind::Bitmap, {60, 24}, Qt::white, {2, 2, 56, 20}, QColor(0, 0, 200));
    look.imageSize = 48;
    return look;
}

// Points written as "x,y x,y ..." (a "+" or "-" after a point is ignored); with a mark, only
// the points followed by it.
QList<QPoint> Pts(const QString& text, QChar mark = QChar()) {
    QList<QPoint> points;
    for (QString p : text.split(' ', Qt::SkipEmptyParts)) {
        if (mark.isNull() || p.endsWith(mark))
            points << QPoint(p.section(',', 0, 0).toInt(),
                             p.remove('+').remove('-').section(',', 1).toInt());
    }
    return points;
}

// The region's verdict on each point of `points`, as "x,y+" (inside) or "x,y-".
QString Verdicts(const QRegion& region, const QString& points) {
    QStringList out;
    for (const QPoint& pt : Pts(points))
        out << QString("%1,%2%3").arg(pt.x()).arg(pt.y()).arg(region.contains(pt) ? '+' : '-');
    return out.join(' ');
}

} // namespace

class PainterTests : public QObject {
    Q_OBJECT
private slots:
    // System colours from the palette (active or disabled), one without a palette role, an
    // index past the table, and RGB with the top byte ignored.
    void resolve() {
        const QPalette pal = QApplication::palette();
        QCOMPARE(Hex(ResolveColor(0x8000000F)), Hex(FromQColor(pal.color(QPalette::Button))));
        QCOMPARE(Hex(ResolveColor(0x80000011)),
                 Hex(FromQColor(pal.color(QPalette::Disabled, QPalette::Text))));
        for (const auto& [color, expected] :
             {std::pair{0x80000001u, 0x808000u}, {0x800000FFu, 0u}, {0x01123456u, 0x123456u}})
            QCOMPARE(Hex(ResolveColor(color)), Hex(expected));
    }

    // The colour shift: plain adds to each channel, clamped (128 in green and blue rounds to
    // 129); proportional moves blue by amount x blue / 192, truncated; inverting flips each
    // channel. Style, face, shade, hover and checked for BackColor 0x808080, hover 0x404040.
    void colours() {
        QCOMPARE(QList<quint32>({ShiftColor(0x808080, -16), ShiftColor(0xFFFFFF, 100),
                                 ShiftColor(0x101010, -100),
                                 ShiftColor(0xFF0000, -100, ShiftKind::Proportional),
                                 ShiftColor(0xF0F0F0, 40, ShiftKind::Inverting)}),
                 QList<quint32>({0x717170, 0xFFFFFF, 0, 0x7B0000, 0}));
        for (const auto& r : {std::array<quint32, 5>{0, 0x808080, 0x808080, 0x404040, 0xE0E0DF},
                              {2, 0xB1B1B0, 0x929290, 0x707070, 0xE0E0DF},
                              {3, 0x808080, 0x8D8D8C, 0x404040, 0xADADAB},
                              {7, 0xA0A09F, 0x717170, 0x5F5F5F, 0x919190}}) {
            ButtonLook look = PlainLook(int(r[0]), 0);
            look.hoverBackColor = 0x404040;
            const auto p = Paint(look, {10, 10});
            QCOMPARE(QList<quint32>({r[0], p->faceColor(), p->faceShadeColor(), p->hoverFaceColor(),
                                     p->checkedFaceColor()}),
                     QList<quint32>(r.begin(), r.end()));
        }
    }

    // "Style/outline ... (x: disabled)|size|verdicts "x,y+" (inside) or "x,y-" of the outline
    // (outside it the window shows the container)|of the face region|of the second (inner rim)
    // region". 75 x 25: S = 26, slants at 45 degrees. Ellipses: the face inset by one, the rim
    // by two. Picture outlines: every pixel unlike the top-left one, less that colour inside;
    // the face inset by one, the second region the outline shrunk by one.
    void outlines() {
        const char* rows[] = {
            "0/0 4/0 5/0 6/0 3/0x|40,20|0,0+ 39,0+ 0,19+ 39,19+||",
            "1/0|40,20|1,0+ 0,1+ 38,19+ 0,0- 39,0- 0,19- 39,19-||",
            "3/0|40,20|1,0+ 38,0+ 0,0- 39,0- 0,19- 39,19-||",
            "2/0 7/0|40,20|2,0+ 1,1+ 0,2+ 37,0+ 38,1+ 38,18+ 0,0- 1,0- 0,1- 39,0- 38,0- 39,1- "
            "0,19- 0,18- 1,19- 39,19- 38,19- 39,18-||",
            "0/1|75,25|0,0+ 74,0+ 24,24+ 74,24+ 11,11+ 0,24- 23,24- 10,11-||",
            "0/2|75,25|0,0+ 49,0+ 0,24+ 73,24+ 60,11+ 50,0- 74,0- 74,23- 62,11-||",
            "0/3|75,25|0,0+ 49,0+ 24,24+ 73,24+ 50,0- 74,0- 0,24- 23,24-||",
            "0/4 0/5 0/6|60,20|30,0+ 0,10+ 59,10+ 0,0- 59,19-|30,0- 0,10- 1,10+ 58,10+ "
            "59,10-|1,10- 2,10+ 57,10+ 58,10-",
            "0/7 0/8|30,12|0,4+ 29,11+ 12,7+ 0,3- 10,6- 11,7-|0,5- 1,5+ 5,11-|1,4- 1,5+ 9,6-",
        };
        for (const QString row : rows) {
            const QStringList f = row.split('|');
            const QSize size(Pts(f[1])[0].x(), Pts(f[1])[0].y());
            for (const QString& c : f[0].split(' ')) {
                const int shape = c[2].digitValue();
                ButtonLook look =
                    PlainLook(c[0].digitValue(), shape, c.endsWith('x') ? kDisabled : 0);
                if (shape >= 7) { // blue below row 4, with a white hole
                    auto p = Picture(Kind::Bitmap, size, Qt::white, {0, 4, 30, 8}, Qt::blue);
                    QPainter(&p->image).fillRect(QRect(10, 6, 2, 2), Qt::white);
                    look.picture = p;
                    look.imageSize = 48;
                }
                const auto p = Paint(look, size);
                QCOMPARE(c + " " + Verdicts(p->outerRegion(), f[2]), c + " " + f[2]);
                for (const QPoint& pt : Pts(f[2], '-'))
                    QCOMPARE(HexAt(p->windowImage(), pt), Hex(kContainer));
                QCOMPARE(Verdicts(p->faceRegion(), f[3]), f[3]);
                QCOMPARE(Verdicts(p->secondRegion(), f[4]), f[4]);
                if (shape == 6) // the rim along the outline
                    QCOMPARE(HexAt(p->surface(), {30, 0}), Hex(0x000000));
            }
        }
        // The slant and the caption's limits (75 x 25; shape 7 from a 60-pixel picture).
        const int slanted[][5] = {
            {1, 26, 75, 21, 75}, {2, 0, 50, 0, 58}, {3, 26, 50, 21, 58}, {7, 0, 75, 3, 57}};
        for (const auto& [shape, left, right, textLeft, textRight] : slanted) {
            ButtonLook look = shape == 7 ? Custom(0, 7) : PlainLook(0, shape);
            look.caption = "Go";
            const auto p = Paint(look, {75, 25});
            QCOMPARE(QList<int>({p->slant(), p->leftSlantOffset(), p->rightSlantPosition(),
                                 p->captionRect().left(), p->captionRect().right() + 1}),
                     QList<int>({26, left, right, textLeft, textRight}));
        }
    }

    // 120 x 60: alignment, caption, the image's x and y (-1: not fixed by the alignment alone)
    // and size; its gap to the caption. Images over 32 pixels are centred, the caption keeps
    // the full width.
    void pictureAlign() {
        const std::tuple<int, const char*, int, int, int> rows[] = {
            {0, "Go", 4, 22, 16},   {1, "Go", -1, 22, 16}, {1, "", 4, 22, 16},
            {2, "Go", 100, 22, 16}, {3, "Go", -1, 22, 16}, {3, "", 100, 22, 16},
            {4, "Go", 52, -1, 16},  {5, "Go", 52, -1, 16}, {4, "Go", 36, 6, 48},
        };
        for (const auto& [align, caption, x, y, size] : rows) {
            ButtonLook look = PlainLook(6, 0); // style 6: no edges at rest
            look.caption = caption;
            look.picture = Picture(Kind::Icon, {size, size}, QColor(200, 0, 0), {}, Qt::black);
            look.imageSize = qint16(size);
            look.pictureAlign = align;
            const auto p = Paint(look, {120, 60});
            const QPoint at = p->imagePosition();
            QCOMPARE(QPoint(x < 0 ? at.x() : x, y < 0 ? at.y() : y), at);
            QCOMPARE(BoxOfColor(p->surface(), 0x0000C8), QRect(at, QSize(size, size)));
            const QRect ink = BoxOfColor(p->surface(), 0x000000), text = p->captionRect();
            if (size > 32) {
                QCOMPARE(QList<int>({text.left(), text.right()}), QList<int>({0, 119}));
            } else if (align == 4) {
                QCOMPARE(text.top(), at.y() + 16 + 4);
                QVERIFY(ink.top() > at.y() + 16);
            } else if (align == 5) {
                QCOMPARE(at.y(), text.bottom() + 1 + 4);
                QVERIFY(ink.bottom() < at.y());
            } else if (!ink.isEmpty()) {
                const int gap = align < 2 ? ink.left() - at.x() - 16 : at.x() - ink.right() - 1;
                const bool beside = align == 1 || align == 3; // else at the edge
                QVERIFY2(beside ? gap >= 3 && gap <= 8 : gap > 8, qPrintable(QString::number(gap)));
            }
        }
    }

    // Style 2, 60 x 24: per state the pixel (30, 1) inside the border, the border and its closed
    // corners; row y of an 80 x 30 face is shifted by -25 x y / H, halves rounded to even.
    void soft() {
        const auto f = [](int a) { return ShiftColor(kSoftFace, a); };
        const QList<QPoint> at{{30, 1}, {0, 12}, {30, 0}, {59, 12}, {30, 23}, {1, 1}, {58, 22}};
        const std::pair<int, quint32> rows[] = {{0, f(10)},
                                                {kDefault, 0xF7D7BD},
                                                {kPressed, f(-24)},
                                                {kChecked, f(-24)},
                                                {kChecked | kDefault, 0xF7D7BD},
                                                {kHot, 0x8CDBFF},
                                                {kDefault | kNoFocus, f(10)},
                                                {kDisabled, kSoftFace}};
        for (const auto& [flags, ring] : rows) {
            const QImage img = Paint(PlainLook(2, 0, flags), {60, 24})->surface();
            const quint32 edge = flags == kDisabled ? f(-84) : 0x733C00;
            for (int i = 0; i < at.size(); ++i)
                QCOMPARE(QString::number(flags) + " " + HexAt(img, at[i]),
                         QString::number(flags) + " " + Hex(i ? edge : ring));
        }
        // At rest, ring 1 (left, top, right, bottom) and ring 2.
        const QImage img = Paint(PlainLook(2, 0), {60, 24})->surface();
        const int ring[][3] = {{1, 12, -10}, {30, 1, 10}, {58, 12, -24}, {30, 22, -32},
                               {2, 12, -5},  {30, 2, 16}, {57, 12, -36}, {30, 21, -48}};
        for (const auto& [x, y, shift] : ring)
            QCOMPARE(HexAt(img, {x, y}), Hex(f(shift)));
        const QImage tall = Paint(PlainLook(2, 0), {80, 30})->surface();
        for (const auto& [row, shift] : {std::pair{3, -2}, {9, -8}, {15, -12}, {20, -17}})
            QCOMPARE(HexAt(tall, {40, row}), Hex(f(shift)));
    }

    // Custom outlines: the default button framed along its face or second region, on hover
    // the whole outline (style 0: in the hover face); pressed, the picture shrinks by one
    // pixel or moves for CustomClick.
    void customOutlines() {
        const quint32 classic = ShiftColor(0x808080, -160), checked = ShiftColor(0x808080, -32);
        const quint32 rows[][5] = {{0, 7, kDefault, 2, classic},
                                   {0, 8, kDefault, 3, classic},
                                   {0, 7, kDefault | kChecked, 2, checked},
                                   {2, 7, kHot, 2, kHotFrame},
                                   {0, 8, kHot, 2, 0x00A000}};
        for (const auto& [style, shape, flags, y, expected] : rows) {
            ButtonLook look = Custom(int(style), int(shape), int(flags));
            look.hoverBackColor = 0x00A000;
            int result = 0;
            const auto p = Paint(look, {60, 24}, &result);
            QCOMPARE(result, 2);
            QCOMPARE(HexAt(p->windowImage(), QPoint(30, int(y))), Hex(expected));
        }
        const QList<QPair<int, QRect>> pressed = {
            {0, {3, 3, 54, 18}}, {1, {2, 2, 56, 18}}, {3, {4, 2, 54, 20}}, {6, {2, 4, 54, 18}}};
        for (const auto& [click, block] : pressed) {
            ButtonLook look = Custom(6, 7, kPressed);
            look.customClick = click;
            QCOMPARE(BoxOfColor(Paint(look, {60, 24})->surface(), 0xC80000), block);
        }
    }

    // The rim of the ellipses is closed: every pixel on the outline's edge (with a neighbour
    // outside) is black on outline 6 and grey between white and 0x808080 on outlines 4 and 5.
    void ellipseRims() {
        for (const QSize size : {QSize(100, 30), QSize(60, 20), QSize(41, 41), QSize(75, 25)}) {
            for (const int style : {0, 1, 2, 3, 4, 6, 7}) {
                for (const int shape : {4, 5, 6}) {
                    const auto p = Paint(PlainLook(style, shape), size);
                    const QRegion outer = p->outerRegion() & QRect(QPoint(0, 0), size);
                    const QRegion edge =
                        outer - (outer & outer.translated(1, 0) & outer.translated(-1, 0) &
                                 outer.translated(0, 1) & outer.translated(0, -1));
                    int wrong = 0, all = 0;
                    for (const QRect& r : edge) {
                        for (int y = r.top(); y <= r.bottom(); ++y) {
                            for (int x = r.left(); x <= r.right(); ++x, ++all) {
                                const QColor c = p->surface().pixelColor(x, y);
                                const bool grey = c.red() == c.green() && c.green() == c.blue() &&
                                                  c.red() >= 0x80;
                                wrong += (shape == 6 ? c == Qt::black : grey) ? 0 : 1;
                            }
                        }
                    }
                    QVERIFY2(wrong == 0, qPrintable(QString("%1x%2 style %3 outline %4: %5 of %6")
                                                        .arg(size.width())
                                                        .arg(size.height())
                                                        .arg(style)
                                                        .arg(shape)
                                                        .arg(wrong)
                                                        .arg(all)));
                }
            }
        }
    }

    // Every style/outline/state paints, shows the result, keeps the container colour outside
    // the outline and paints the caption inside (style 7 inverts it when pressed or checked).
    void sweep() {
        const int states[] = {0, kHot, kPressed, kChecked, kDefault, kDisabled};
        for (int i = 0; i < 8 * 9 * 6; ++i) {
            const int style = i / 54, shape = i / 6 % 9, state = states[i % 6];
            ButtonLook look = (shape >= 7 ? Custom : PlainLook)(style, shape, state);
            look.caption = "Go";
            look.foreColor = look.hoverForeColor = 0x0000FF;
            int result = 0;
            const auto p = Paint(look, {60, 24}, &result);
            const QByteArray where =
                QString("%1/%2/%3").arg(style).arg(shape).arg(state).toLatin1();
            QVERIFY2(result == 1 || result == 2, where);
            for (const QRect& r : QRegion(0, 0, 60, 24) - p->outerRegion()) {
                QCOMPARE(HexAt(p->surface(), r.topLeft()), Hex(kContainer));
                QCOMPARE(HexAt(p->surface(), r.bottomRight()), Hex(kContainer));
            }
            const bool inverse = style == 7 && (state == kPressed || state == kChecked);
            if (look.enabled)
                QVERIFY2(!BoxOfColor(p->surface(), inverse ? 0xFFFF00 : 0x0000FF).isEmpty(), where);
        }
    }
};

QTEST_MAIN(PainterTests)
#include "button_painter_tests.moc"
