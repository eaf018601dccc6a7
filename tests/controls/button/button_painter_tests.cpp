// The drawing engine: colours and their shift, outlines, layout, the soft style's edges and
// shading, gradients, captions, images, focus marks, outline frames and a sweep of every
// style, outline and state.
#include "button_test_support.h"

#include <QPalette>

using namespace button_tests;

namespace {

enum Flags { kHot = 1, kPressed = 2, kDefault = 4, kChecked = 8, kDisabled = 16 };
constexpr quint32 kSoftFace = 0xB1B1B0; // style 2's face for BackColor 0x808080
constexpr quint32 kBorder = 0x733C00;
constexpr quint32 kHotFrame = 0x0096E7;
constexpr quint32 kDefaultFrame = 0xEF826B;

ButtonLook With(ButtonLook look, int flags) {
    look.hot = flags & (kHot | kPressed);
    look.pressed = flags & kPressed;
    look.defaultLook = flags & kDefault;
    look.mode = flags & kChecked ? 1 : 0;
    look.value = flags & kChecked;
    look.enabled = !(flags & kDisabled);
    return look;
}

// An outline taken from a 60 x 24 picture: a blue pill on white.
ButtonLook Custom(int style, int shape) {
    ButtonLook look = PlainLook(style, shape);
    look.picture = Picture(Kind::Bitmap, {60, 24}, Qt::white, {2, 2, 56, 20}, QColor(0, 0, 200));
    look.imageSize = 48;
    return look;
}

QString At(QPoint p) {
    return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
}

// Points written as "x,y x,y ...".
QList<QPoint> Pts(const char* text) {
    QList<QPoint> points;
    for (const QString& p : QString(text).split(' ', Qt::SkipEmptyParts))
        points << QPoint(p.section(',', 0, 0).toInt(), p.section(',', 1).toInt());
    return points;
}

// The outline holds every point of `in`; at each point of `out` the window shows the
// container.
void CheckOutline(const ButtonPainter& p, const char* in, const char* out) {
    for (const QPoint& pt : Pts(in))
        QVERIFY2(p.outerRegion().contains(pt), qPrintable(At(pt) + " cut"));
    for (const QPoint& pt : Pts(out)) {
        QVERIFY2(!p.outerRegion().contains(pt), qPrintable(At(pt) + " kept"));
        QCOMPARE(Hex(Pixel(p.windowImage(), pt)), Hex(kContainer));
    }
}

// The region's verdict on each point of `points` ("x,y" with any verdict), as "x,y+" (inside)
// or "x,y-".
QString Verdicts(const QRegion& region, const char* points) {
    QStringList out;
    for (const QPoint& pt : Pts(QByteArray(points).replace('+', "").replace('-', "")))
        out << At(pt) + (region.contains(pt) ? "+" : "-");
    return out.join(' ');
}

QRect Ink(const QImage& image) {
    return BoxOfColor(image, 0x000000);
}

} // namespace

class PainterTests : public QObject {
    Q_OBJECT
private slots:
    void shift() {
        constexpr ShiftKind plain = ShiftKind::Plain, prop = ShiftKind::Proportional;
        const std::tuple<quint32, int, ShiftKind, quint32> rows[] = {
            // Green and blue divide by 255 and 65280: 128 reads as 128.5 and rounds to 129.
            {0x808080, -16, plain, 0x717170},
            {0xFFFFFF, -32, plain, 0xE0E0DF},
            {0x008000, 0, plain, 0x008100},
            {0x123456, 0, plain, 0x123456},
            {0x000000, 10, plain, 0x0A0A0A},
            {0xFFFFFF, 100, plain, 0xFFFFFF},
            {0x101010, -100, plain, 0x000000},
            {0x00FF00, -1, plain, 0x00FF00},
            {0x808080, 48, prop, 0xA1B1B0},
            {0x808080, -50, prop, 0x604F4E}, // truncated toward zero
            {0x0000FF, 40, prop, 0x0028FF},
            {0xFF0000, -100, prop, 0x7B0000}, // -132.8 truncated
            {0x102030, 0, ShiftKind::Inverting, 0xEFDFCF},
            {0xF0F0F0, 40, ShiftKind::Inverting, 0x000000},
        };
        for (const auto& [rgb, amount, kind, expected] : rows)
            QCOMPARE(Hex(ShiftColor(rgb, amount, kind)), Hex(expected));
    }

    void resolve() {
        const QPalette pal = QApplication::palette();
        const auto role = [&](QPalette::ColorRole r, QPalette::ColorGroup g = QPalette::Active) {
            return FromQColor(pal.color(g, r));
        };
        const QList<QPair<quint32, quint32>> rows = {
            {0x8000000F, role(QPalette::Button)},
            {0x80000012, role(QPalette::ButtonText)},
            {0x8000000E, role(QPalette::HighlightedText)},
            {0x80000011, role(QPalette::Text, QPalette::Disabled)},
            {0x80000015, role(QPalette::Shadow)},
            {0x80000001, 0x808000}, // fixed values without a palette role
            {0x80000006, 0x000000},
            {0x800000FF, 0x000000},
            {0x00123456, 0x123456},
            {0x01123456, 0x123456}, // top byte ignored
        };
        for (const auto& [color, expected] : rows)
            QCOMPARE(Hex(ResolveColor(color)), Hex(expected));
    }

    void derivedFaces() {
        const quint32 rows[][5] = {
            // style, face, shade, hover, checked for BackColor 0x808080, hover back 0x404040
            {0, 0x808080, 0x808080, 0x404040, 0xE0E0DF},
            {2, 0xB1B1B0, 0x929290, 0x707070, 0xE0E0DF},
            {3, 0x808080, 0x8D8D8C, 0x404040, 0xADADAB},
            {6, 0x808080, 0x808080, 0x404040, 0xE0E0DF},
            {7, 0xA0A09F, 0x717170, 0x5F5F5F, 0x919190},
        };
        for (const auto& r : rows) {
            ButtonLook look = PlainLook(int(r[0]), 0);
            look.hoverBackColor = 0x404040;
            ButtonPainter p;
            p.UpdateBackColor(look);
            QCOMPARE(QList<quint32>({p.faceColor(), p.faceShadeColor(), p.hoverFaceColor(),
                                     p.checkedFaceColor()}),
                     QList<quint32>({r[1], r[2], r[3], r[4]}));
        }
    }

    // Points each outline holds, points where the window shows the container and the verdicts
    // "x,y+" (inside) or "x,y-" of its face and second (inner rim) regions. 40 x 20: the corners
    // each style cuts (style 3 only when enabled). 75 x 25: S = 26, slanted edges at 45 degrees.
    // 60 x 20 ellipses: the face inset by one, the rim by two. 30 x 12 picture outlines: every
    // pixel unlike the top-left one, less that colour inside; the face inset by one, the second
    // region the outline shrunk by one.
    void outlines() {
        const char* whole = "0,0 39,0 0,19 39,19";
        const char* triangles = "0,0 1,0 0,1 39,0 38,0 39,1 0,19 0,18 1,19 39,19 38,19 39,18";
        const char* beside = "2,0 1,1 0,2 37,0 38,1 38,18";
        const char* ellipse[] = {"30,0 0,10 59,10", "0,0 59,19", "30,0- 0,10- 1,10+ 58,10+ 59,10-",
                                 "1,10- 2,10+ 57,10+ 58,10-"};
        const char* picture[] = {"0,4 29,11 12,7", "0,3 10,6 11,7", "0,5- 1,5+ 5,11-",
                                 "1,4- 1,5+ 9,6-"};
        const std::tuple<int, int, bool, QSize, const char*, const char*, const char*, const char*>
            rows[] = {
                {0, 0, true, {40, 20}, whole, "", "", ""},
                {4, 0, true, {40, 20}, whole, "", "", ""},
                {5, 0, true, {40, 20}, whole, "", "", ""},
                {6, 0, true, {40, 20}, whole, "", "", ""},
                {1, 0, true, {40, 20}, "1,0 0,1 38,19", whole, "", ""},
                {3, 0, true, {40, 20}, "1,0 38,0", whole, "", ""},
                {3, 0, false, {40, 20}, whole, "", "", ""},
                {2, 0, true, {40, 20}, beside, triangles, "", ""},
                {7, 0, true, {40, 20}, beside, triangles, "", ""},
                {0, 1, true, {75, 25}, "0,0 74,0 24,24 74,24 11,11", "0,24 23,24 10,11", "", ""},
                {0,
                 2,
                 true,
                 {75, 25},
                 "0,0 49,0 0,24 73,24 60,11",
                 "50,0 74,0 74,23 62,11",
                 "",
                 ""},
                {0, 3, true, {75, 25}, "0,0 49,0 24,24 73,24", "50,0 74,0 0,24 23,24", "", ""},
                {0, 4, true, {60, 20}, ellipse[0], ellipse[1], ellipse[2], ellipse[3]},
                {0, 5, true, {60, 20}, ellipse[0], ellipse[1], ellipse[2], ellipse[3]},
                {0, 6, true, {60, 20}, ellipse[0], ellipse[1], ellipse[2], ellipse[3]},
                {0, 7, true, {30, 12}, picture[0], picture[1], picture[2], picture[3]},
                {0, 8, true, {30, 12}, picture[0], picture[1], picture[2], picture[3]},
            };
        for (const auto& [style, shape, enabled, size, in, out, face, second] : rows) {
            ButtonLook look = PlainLook(style, shape);
            look.enabled = enabled;
            if (shape >= 7) { // blue below row 4, with a white hole
                auto pic = std::make_shared<ButtonPicture>();
                pic->image = QImage(size, QImage::Format_RGB32);
                pic->image.fill(Qt::white);
                QPainter(&pic->image).fillRect(QRect(0, 4, 30, 8), Qt::blue);
                QPainter(&pic->image).fillRect(QRect(10, 6, 2, 2), Qt::white);
                look.picture = pic;
                look.imageSize = 48;
            }
            const auto p = Paint(look, size);
            CheckOutline(*p, in, out);
            QCOMPARE(Verdicts(p->faceRegion(), face), QString(face));
            QCOMPARE(Verdicts(p->secondRegion(), second), QString(second));
            if (shape >= 4 && shape <= 6) {
                QVERIFY((p->faceRegion() - p->outerRegion()).isEmpty());
                QVERIFY((p->secondRegion() - p->faceRegion()).isEmpty());
            }
            if (shape == 6) // the rim along the outline
                QCOMPARE(Hex(Pixel(p->surface(), {30, 0})), Hex(0x000000));
        }
        for (const auto& [shape, left, right] : {std::tuple{1, 26, 75}, {2, 0, 50}, {3, 26, 50}}) {
            const auto p = Paint(PlainLook(0, shape), {75, 25});
            QCOMPARE(QList<int>({p->slant(), p->leftSlantOffset(), p->rightSlantPosition()}),
                     QList<int>({26, left, right}));
        }
    }

    // 120 x 60, a 16-pixel image: its place for each PictureAlign and the gap to the caption.
    void pictureAlign() {
        // Alignment, caption, and the image's x and y (-1: not fixed by the alignment alone).
        const std::tuple<int, const char*, int, int> rows[] = {
            {0, "Go", 4, 22},  {1, "Go", -1, 22}, {1, "", 4, 22},    {2, "Go", 100, 22},
            {3, "Go", -1, 22}, {3, "", 100, 22},  {4, "Go", 52, -1}, {5, "Go", 52, -1},
        };
        for (const auto& [align, caption, x, y] : rows) {
            ButtonLook look = PlainLook(6, 0); // style 6: no edges at rest
            look.caption = caption;
            look.picture = Picture(Kind::Icon, {16, 16}, QColor(200, 0, 0), {}, Qt::black);
            look.pictureAlign = align;
            const auto p = Paint(look, {120, 60});
            const QPoint at = p->imagePosition();
            const QString where = QString("align %1 \"%2\" at %3").arg(align).arg(caption, At(at));
            QVERIFY2((x < 0 || at.x() == x) && (y < 0 || at.y() == y), qPrintable(where));
            QCOMPARE(BoxOfColor(p->surface(), 0x0000C8), QRect(at, QSize(16, 16)));
            const QRect ink = Ink(p->surface()), text = p->captionRect();
            if (align == 4) {
                QCOMPARE(text.top(), at.y() + 16 + 4);
                QVERIFY(ink.top() > at.y() + 16);
            } else if (align == 5) {
                QCOMPARE(at.y(), text.bottom() + 1 + 4);
                QVERIFY(ink.bottom() < at.y());
            } else if (!ink.isEmpty()) {
                const int gap = align < 2 ? ink.left() - at.x() - 16 : at.x() - ink.right() - 1;
                const bool beside = align == 1 || align == 3; // else at the edge
                QVERIFY2(beside ? gap >= 3 && gap <= 8 : gap > 8, qPrintable(where));
                if (beside) // image and caption centred as a group
                    QVERIFY(qAbs(qMin(at.x(), ink.left()) + qMax(at.x() + 15, ink.right()) - 119) <=
                            6);
            }
        }
    }

    // Large images are centred on the button and the caption keeps the full width; slanted
    // and picture outlines limit the caption.
    void captionLimits() {
        for (const auto& [size, align] : QList<QPair<int, int>>{{40, 1}, {48, 0}, {48, 4}}) {
            ButtonLook look = PlainLook(0, 0);
            look.caption = "Go";
            look.picture = Picture(Kind::Icon, {size, size}, Qt::red, {}, Qt::red);
            look.imageSize = qint16(size);
            look.pictureAlign = align;
            const auto p = Paint(look, {120, 60});
            QCOMPARE(p->imagePosition(), QPoint((120 - size) / 2, (60 - size) / 2));
            QCOMPARE(p->captionRect(),
                     QRect(0, p->captionRect().top(), 120, p->captionRect().height()));
        }
        const int rows[][3] = {{0, 0, 75},  {1, 21, 75}, {2, 0, 58},
                               {3, 21, 58}, {5, 0, 75},  {7, 3, 72}};
        for (const auto& r : rows) {
            ButtonLook look = PlainLook(0, r[0]);
            look.caption = "Go";
            if (r[0] == 7) {
                look.picture = Picture(Kind::Bitmap, {75, 25}, Qt::white, {2, 2, 70, 20}, Qt::blue);
                look.imageSize = 48;
            }
            const QRect text = Paint(look, {75, 25})->captionRect();
            QCOMPARE(QList<int>({r[0], text.left(), text.right() + 1}),
                     QList<int>({r[0], r[1], r[2]}));
        }
    }

    // 60 x 24, style 2: ring 1 one pixel inside the border (left, top, right, bottom), ring 2
    // two pixels inside; the border itself and the closed corners.
    void softEdges() {
        const auto f = [](int a) { return ShiftColor(kSoftFace, a); };
        const QList<quint32> blue{0xF0D1B5, 0xF7D7BD, 0xF0D1B5, 0xE7AE8C,
                                  0xE7AE8C, 0xFFDFBF, 0xE7AE8C, 0xEF826B};
        const QList<quint32> down{f(-22), f(-24), f(-24), f(10), f(-32), f(-32), f(5), f(16)};
        const QList<QPair<int, QList<quint32>>> rows = {
            {0, {f(-10), f(10), f(-24), f(-32), f(-5), f(16), f(-36), f(-48)}},
            {kDefault, blue},
            {kPressed, down},
            {kChecked, down},
            {kChecked | kDefault, blue},
            {kHot,
             {0x6BCBFF, 0x8CDBFF, 0x6BCBFF, 0x31B2FF, 0x31B2FF, 0xA6E9FF, 0x31B2FF, kHotFrame}},
        };
        const QList<QPoint> sides{{1, 12},  {30, 1},  {58, 12}, {30, 22}, {2, 12},
                                  {30, 2},  {57, 12}, {30, 21}, {0, 12},  {30, 0},
                                  {59, 12}, {30, 23}, {1, 1},   {58, 22}};
        for (const auto& [flags, entries] : rows) {
            const QImage img = Paint(With(PlainLook(2, 0), flags), {60, 24})->surface();
            QStringList shown, wanted;
            for (int i = 0; i < sides.size(); ++i) {
                shown << Hex(Pixel(img, sides[i]));
                wanted << Hex(i < 8 ? entries[i] : kBorder);
            }
            QCOMPARE(shown, wanted);
        }
    }

    // Row y of the soft face is shifted by -25 x y / H, halves rounded to even; disabled,
    // the face is plain and the border lighter; a default button without focus rectangle
    // looks normal.
    void softFace() {
        const QImage img = Paint(PlainLook(2, 0), {80, 30})->surface();
        for (const auto& [row, shift] :
             QList<QPair<int, int>>{{3, -2}, {9, -8}, {15, -12}, {20, -17}})
            QCOMPARE(Hex(Pixel(img, {40, row})), Hex(ShiftColor(kSoftFace, shift)));
        const QImage off = Paint(With(PlainLook(2, 0), kDisabled), {60, 24})->surface();
        QCOMPARE(Hex(Pixel(off, {30, 0})), Hex(ShiftColor(kSoftFace, -84)));
        QCOMPARE(Hex(Pixel(off, {30, 1})), Hex(kSoftFace));
        QCOMPARE(Hex(Pixel(off, {30, 21})), Hex(kSoftFace));
        ButtonLook look = With(PlainLook(2, 0), kDefault);
        look.showFocusRect = false;
        QCOMPARE(Hex(Pixel(Paint(look, {60, 24})->surface(), {30, 1})),
                 Hex(ShiftColor(kSoftFace, 10)));
    }

    // Custom outlines: the default button framed along its face or second region, on hover
    // the whole outline; pressed, the picture shrinks by one pixel or moves for CustomClick.
    void customOutlines() {
        const quint32 classic = ShiftColor(0x808080, -160);
        const quint32 rows[][5] = {
            {0, 7, kDefault, 2, classic},
            {0, 8, kDefault, 3, classic},
            {0, 7, kDefault | kChecked, 2, ShiftColor(0x808080, -32)},
            {2, 7, kHot, 2, kHotFrame},
            {0, 8, kHot, 2, 0x00A000}, // the hover face
        };
        for (const auto& [style, shape, flags, y, expected] : rows) {
            ButtonLook look = With(Custom(int(style), int(shape)), int(flags));
            look.hoverBackColor = 0x00A000;
            int result = 0;
            const auto p = Paint(look, {60, 24}, &result);
            QCOMPARE(result, 2);
            QCOMPARE(Hex(Pixel(p->windowImage(), QPoint(30, int(y)))), Hex(expected));
            QVERIFY(Pixel(p->surface(), QPoint(30, int(y))) != expected);
        }
        const auto same = Paint(With(Custom(0, 7), kHot), {60, 24});
        QCOMPARE(same->windowImage(), same->surface()); // hover face equals the face
        const QList<QPair<int, QRect>> pressed = {
            {0, {3, 3, 54, 18}}, {1, {2, 2, 56, 18}}, {3, {4, 2, 54, 20}}, {6, {2, 4, 54, 18}}};
        for (const auto& [click, block] : pressed) {
            ButtonLook look = With(Custom(6, 7), kPressed);
            look.customClick = click;
            QCOMPARE(BoxOfColor(Paint(look, {60, 24})->surface(), 0xC80000), block);
        }
    }

    // Every style, outline and state paints, shows the result, keeps the container colour
    // outside the outline and paints the caption inside (style 7 inverts it when pressed or
    // checked).
    void sweep() {
        const int states[] = {0, kHot, kPressed, kChecked, kDefault, kDisabled};
        for (int style = 0; style < 8; ++style) {
            for (int shape = 0; shape < 9; ++shape) {
                for (const int state : states) {
                    ButtonLook look =
                        With(shape >= 7 ? Custom(style, shape) : PlainLook(style, shape), state);
                    look.caption = "Go";
                    look.foreColor = look.hoverForeColor = 0x0000FF;
                    int result = 0;
                    const auto p = Paint(look, {60, 24}, &result);
                    const QString where =
                        QString("style %1 outline %2 state %3").arg(style).arg(shape).arg(state);
                    QVERIFY2(result == 1 || result == 2, qPrintable(where));
                    for (const QRect& r : QRegion(0, 0, 60, 24) - p->outerRegion()) {
                        QCOMPARE(Hex(Pixel(p->surface(), r.topLeft())), Hex(kContainer));
                        QCOMPARE(Hex(Pixel(p->surface(), r.bottomRight())), Hex(kContainer));
                    }
                    const bool inverse = style == 7 && (state == kPressed || state == kChecked);
                    if (look.enabled)
                        QVERIFY2(!BoxOfColor(p->surface(), inverse ? 0xFFFF00 : 0x0000FF).isEmpty(),
                                 qPrintable(where));
                }
            }
        }
    }
};

QTEST_MAIN(PainterTests)
#include "button_painter_tests.moc"
