// Painting: the soft style's edge colours by state, its shaded face, gradients and their
// bands, caption places and colours, images, and the focus marks.
#include "painter_tests.h"

#include <QtTest>

namespace painter_tests {

namespace {

// BackColor 0x808080 gives the soft style the face 0xB1B1B0.
constexpr quint32 kSoftFace = 0xB1B1B0;
constexpr quint32 kBorder = 0x733C00;

enum Flags { kNone = 0, kHot = 1, kPressed = 2, kDefault = 4, kChecked = 8, kDisabled = 16 };

ButtonLook WithFlags(ButtonLook look, int flags) {
    look.hot = flags & (kHot | kPressed);
    look.pressed = flags & kPressed;
    look.defaultLook = flags & kDefault;
    if (flags & kChecked) {
        look.mode = 1;
        look.value = true;
    }
    look.enabled = !(flags & kDisabled);
    return look;
}

class RenderTests : public QObject {
    Q_OBJECT
private slots:
    // Sides of a 60 x 24 style 2 button: ring 1 runs one pixel inside the border (entries
    // 1-4: left, top, right, bottom), ring 2 two pixels inside (entries 5-8).
    void softEdges_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<QList<quint32>>("entries"); // entries 1 to 8
        auto face = [](int a) { return ShiftColor(kSoftFace, a); };
        QTest::newRow("normal") << int(kNone)
                                << QList<quint32>{face(-10), face(10), face(-24), face(-32),
                                                  face(-5),  face(16), face(-36), face(-48)};
        QTest::newRow("default, blue")
            << int(kDefault) << QList<quint32>{0xF0D1B5, 0xF7D7BD, 0xF0D1B5, 0xE7AE8C,
                                               0xE7AE8C, 0xFFDFBF, 0xE7AE8C, 0xEF826B};
        QTest::newRow("pressed") << int(kPressed)
                                 << QList<quint32>{face(-22), face(-24), face(-24), face(10),
                                                   face(-32), face(-32), face(5),   face(16)};
        QTest::newRow("checked") << int(kChecked)
                                 << QList<quint32>{face(-22), face(-24), face(-24), face(10),
                                                   face(-32), face(-32), face(5),   face(16)};
        QTest::newRow("checked default, blue")
            << int(kChecked | kDefault) << QList<quint32>{0xF0D1B5, 0xF7D7BD, 0xF0D1B5, 0xE7AE8C,
                                                          0xE7AE8C, 0xFFDFBF, 0xE7AE8C, 0xEF826B};
        QTest::newRow("hot, orange")
            << int(kHot) << QList<quint32>{0x6BCBFF, 0x8CDBFF, 0x6BCBFF, 0x31B2FF,
                                           0x31B2FF, 0xA6E9FF, 0x31B2FF, 0x0096E7};
    }
    void softEdges() {
        QFETCH(int, flags);
        QFETCH(QList<quint32>, entries);
        const auto p = Paint(WithFlags(PlainLook(2, 0), flags), {60, 24});
        const QImage& img = p->surface();
        const QPoint sides[8] = {{1, 12}, {30, 1}, {58, 12}, {30, 22},
                                 {2, 12}, {30, 2}, {57, 12}, {30, 21}};
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(Hex(Pixel(img, sides[i].x(), sides[i].y())), Hex(entries[i]));
        }
        for (const QPoint b : {QPoint(0, 12), QPoint(30, 0), QPoint(59, 12), QPoint(30, 23)})
            QCOMPARE(Hex(Pixel(img, b.x(), b.y())), Hex(kBorder));
        // The cut corners are closed by one border pixel.
        QCOMPARE(Hex(Pixel(img, 1, 1)), Hex(kBorder));
        QCOMPARE(Hex(Pixel(img, 58, 22)), Hex(kBorder));
    }

    void softDefaultWithoutFocusRectIsNormal() {
        ButtonLook look = WithFlags(PlainLook(2, 0), kDefault);
        look.showFocusRect = false;
        const auto p = Paint(look, {60, 24});
        QCOMPARE(Hex(Pixel(p->surface(), 30, 1)), Hex(ShiftColor(kSoftFace, 10)));
    }

    void softDisabled() {
        const auto p = Paint(WithFlags(PlainLook(2, 0), kDisabled), {60, 24});
        const QImage& img = p->surface();
        QCOMPARE(Hex(Pixel(img, 30, 0)), Hex(ShiftColor(kSoftFace, -84)));
        // No inner edges, and a plain face: rows do not darken.
        QCOMPARE(Hex(Pixel(img, 30, 1)), Hex(kSoftFace));
        QCOMPARE(Hex(Pixel(img, 30, 21)), Hex(kSoftFace));
    }

    // Row y of the soft face is shifted by -25 x y / H, halves rounded to even.
    void softShading_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("shift");
        QTest::newRow("row 3: 2.5 -> 2") << 3 << -2;
        QTest::newRow("row 9: 7.5 -> 8") << 9 << -8;
        QTest::newRow("row 15: 12.5 -> 12") << 15 << -12;
        QTest::newRow("row 20: 16.7 -> 17") << 20 << -17;
    }
    void softShading() {
        QFETCH(int, row);
        QFETCH(int, shift);
        const auto p = Paint(PlainLook(2, 0), {80, 30});
        QCOMPARE(Hex(Pixel(p->surface(), 40, row)), Hex(ShiftColor(kSoftFace, shift)));
    }

    // Face 0x808080 (split as 128, 129, 129), gradient colour 0x2040C0, 400 x 40: across,
    // the control is more than a quarter of the screen's width, down much less.
    void gradient_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QPoint>("first");
        QTest::addColumn<QPoint>("last");
        QTest::addColumn<quint32>("firstColor");
        QTest::addColumn<quint32>("lastColor");
        QTest::newRow("1 across, face first")
            << 1 << QPoint(0, 20) << QPoint(399, 20) << 0x818180u << 0x2040C0u;
        QTest::newRow("2 across, gradient first")
            << 2 << QPoint(0, 20) << QPoint(399, 20) << 0x2040C0u << 0x818180u;
        QTest::newRow("3 down, face first")
            << 3 << QPoint(200, 0) << QPoint(200, 39) << 0x818180u << 0x2040C0u;
        QTest::newRow("4 down, gradient first")
            << 4 << QPoint(200, 0) << QPoint(200, 39) << 0x2040C0u << 0x818180u;
    }
    void gradient() {
        QFETCH(int, mode);
        QFETCH(QPoint, first);
        QFETCH(QPoint, last);
        ButtonLook look = PlainLook(6, 0); // no edges at rest
        look.gradientMode = mode;
        look.gradientColor = 0x2040C0;
        const auto p = Paint(look, {400, 40});
        const QImage& img = p->surface();
        QFETCH(quint32, firstColor);
        QFETCH(quint32, lastColor);
        QCOMPARE(Hex(Pixel(img, first.x(), first.y())), Hex(firstColor));
        // Steps add up in floating point and are cut: the far end may fall one short.
        const QColor end = ToQColor(Pixel(img, last.x(), last.y())), want = ToQColor(lastColor);
        QVERIFY2(qAbs(end.red() - want.red()) <= 1 && qAbs(end.green() - want.green()) <= 1 &&
                     qAbs(end.blue() - want.blue()) <= 1,
                 qPrintable(Hex(FromQColor(end))));
        if (mode <= 2) { // bands of two: colours change only between x odd and x + 1
            int changes = 0;
            for (int x = 0; x + 1 < 400; ++x) {
                if (Pixel(img, x, 20) == Pixel(img, x + 1, 20))
                    continue;
                QCOMPARE(x % 2, 1);
                ++changes;
            }
            QVERIFY(changes > 20);
        } else {
            QVERIFY(Pixel(img, 200, 20) != Pixel(img, 200, 21));
        }
    }

    void gradientGivesWayToHoverFace() {
        ButtonLook look = WithFlags(PlainLook(6, 0), kHot);
        look.gradientMode = 1;
        look.gradientColor = 0x2040C0;
        look.hoverBackColor = 0x00A000;
        const auto p = Paint(look, {400, 40});
        QCOMPARE(Hex(Pixel(p->surface(), 150, 20)), Hex(0x00A000));
        QCOMPARE(Hex(Pixel(p->surface(), 396, 20)), Hex(0x00A000));
    }

    // Where the caption moves while pressed.
    void pressedOffset_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("shape");
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("style 0, rectangle") << 0 << 0 << QPoint(1, 1);
        QTest::newRow("style 2, slanted") << 2 << 3 << QPoint(1, 1);
        QTest::newRow("style 4, ellipse") << 4 << 4 << QPoint(0, 1);
        QTest::newRow("style 1, ellipse with rim") << 1 << 6 << QPoint(0, 1);
        QTest::newRow("style 3 stays") << 3 << 0 << QPoint(0, 0);
        QTest::newRow("style 3 ellipse stays") << 3 << 5 << QPoint(0, 0);
    }
    void pressedOffset() {
        QFETCH(int, style);
        QFETCH(int, shape);
        QFETCH(QPoint, offset);
        ButtonLook look = PlainLook(style, shape);
        look.caption = "HI";
        look.foreColor = look.hoverForeColor = 0x0000FF;
        const QRect up = BoxOfColor(Paint(look, {100, 40})->surface(), 0x0000FF);
        const QRect down =
            BoxOfColor(Paint(WithFlags(look, kPressed), {100, 40})->surface(), 0x0000FF);
        QVERIFY(!up.isEmpty());
        QCOMPARE(down, up.translated(offset));
    }

    // Disabled: white one pixel right and down under grey, when the caption colour is a
    // system colour or a gradient is on; else the caption colour itself.
    void disabledCaption_data() {
        QTest::addColumn<quint32>("fore");
        QTest::addColumn<int>("gradient");
        QTest::addColumn<bool>("etched");
        QTest::newRow("system colour") << 0x80000012u << 0 << true;
        QTest::newRow("rgb with gradient") << 0x0000C0u << 3 << true;
        QTest::newRow("rgb, no gradient") << 0x0000C0u << 0 << false;
    }
    void disabledCaption() {
        QFETCH(quint32, fore);
        QFETCH(int, gradient);
        QFETCH(bool, etched);
        ButtonLook look = WithFlags(PlainLook(0, 0), kDisabled);
        look.backColor = 0x00C0C0;
        look.caption = "HI";
        look.foreColor = fore;
        look.gradientMode = gradient;
        look.gradientColor = 0x00C0C0;
        const QImage img = Paint(look, {100, 40})->surface();
        const QRect grey = BoxOfColor(img, 0x808080);
        const QRect white = BoxOf(img, [](quint32 c) { return c == 0xFFFFFF; });
        const QRect own = BoxOfColor(img, 0x0000C0);
        if (!etched) {
            QVERIFY(grey.isEmpty() && white.isEmpty());
            QVERIFY(!own.isEmpty());
            return;
        }
        QVERIFY(!grey.isEmpty() && own.isEmpty());
        QCOMPARE(white.right(), grey.right() + 1);
        QCOMPARE(white.bottom(), grey.bottom() + 1);
    }

    // Embossed and engraved: a copy up-left and a copy down-right, shifted by -40 and +40.
    void captionStyles_data() {
        QTest::addColumn<int>("captionStyle");
        QTest::addColumn<int>("upLeftShift");
        QTest::newRow("embossed") << 1 << -40;
        QTest::newRow("engraved") << 2 << 40;
    }
    void captionStyles() {
        QFETCH(int, captionStyle);
        QFETCH(int, upLeftShift);
        ButtonLook look = PlainLook(6, 0);
        look.backColor = 0x00C0C0;
        look.caption = "HI";
        look.foreColor = look.hoverForeColor = 0x808080;
        look.captionStyle = 0;
        const QRect flat = BoxOfColor(Paint(look, {100, 40})->surface(), 0x808080);
        look.captionStyle = captionStyle;
        const QImage img = Paint(look, {100, 40})->surface();
        const QRect caption = BoxOfColor(img, 0x808080);
        const QRect upLeft = BoxOfColor(img, ShiftColor(0x808080, upLeftShift));
        const QRect downRight = BoxOfColor(img, ShiftColor(0x808080, -upLeftShift));
        QCOMPARE(caption.topLeft(), flat.topLeft() + QPoint(0, 1));
        QCOMPARE(upLeft.topLeft(), caption.topLeft() - QPoint(1, 1));
        QCOMPARE(downRight.bottomRight(), caption.bottomRight() + QPoint(1, 1));
    }

    // A bitmap keeps the face where it has its top-left colour; disabled, it is grey
    // wherever it is not white.
    void bitmapImage_data() {
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<quint32>("inBlock");
        QTest::addColumn<quint32>("outsideBlock");
        QTest::newRow("enabled, magenta transparent")
            << QColor(Qt::magenta) << true << 0x00FF00u << 0x808080u;
        QTest::newRow("disabled on white") << QColor(Qt::white) << false << 0x808080u << 0x00C0C0u;
        QTest::newRow("disabled, transparent colour keeps the face")
            << QColor(Qt::magenta) << false << 0x808080u << 0x00C0C0u;
    }
    void bitmapImage() {
        QFETCH(QColor, background);
        QFETCH(bool, enabled);
        ButtonLook look = PlainLook(6, 0);
        look.backColor = enabled ? 0x808080 : 0x00C0C0;
        look.enabled = enabled;
        look.picture = Bitmap({8, 8}, background, QRect(2, 2, 4, 4), Qt::green);
        look.pictureAlign = 0;
        const auto p = Paint(look, {100, 40});
        // The 8-pixel bitmap is scaled to 16: its block covers 4..11 of the image.
        const QPoint at = p->imagePosition();
        QCOMPARE(at, QPoint(4, 12));
        QTEST(Pixel(p->surface(), at.x() + 6, at.y() + 6), "inBlock");
        QTEST(Pixel(p->surface(), at.x() + 1, at.y() + 1), "outsideBlock");
        QTEST(Pixel(p->surface(), at.x() + 14, at.y() + 14), "outsideBlock");
    }

    void iconAlphaKeepsFace() {
        ButtonLook look = PlainLook(6, 0);
        auto icon = std::make_shared<ButtonPicture>();
        icon->kind = ButtonPicture::Kind::Icon;
        icon->image = QImage(16, 16, QImage::Format_ARGB32);
        icon->image.fill(Qt::transparent);
        QPainter(&icon->image).fillRect(QRect(4, 4, 8, 8), QColor(0, 0, 255));
        look.picture = icon;
        const auto p = Paint(look, {100, 40});
        const QPoint at = p->imagePosition();
        QCOMPARE(Hex(Pixel(p->surface(), at.x() + 8, at.y() + 8)), Hex(0xFF0000));
        QCOMPARE(Hex(Pixel(p->surface(), at.x() + 1, at.y() + 1)), Hex(0x808080));
    }

    // The dotted focus rectangle: 4 pixels inside, every other pixel inverted.
    void focusRect_data() {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("rectangle") << 0 << 4 << 75 - 5;
        QTest::newRow("outline 1, from the slant") << 1 << 26 + 4 << 75 - 5;
        QTest::newRow("outline 3, between the slants") << 3 << 26 + 4 << 50 - 5;
    }
    void focusRect() {
        QFETCH(int, shape);
        QFETCH(int, left);
        QFETCH(int, right);
        const ButtonLook look = WithFlags(PlainLook(6, shape), kDefault);
        ButtonLook plain = look;
        plain.defaultLook = false;
        const QImage with = Paint(look, {75, 25})->surface();
        const QImage without = Paint(plain, {75, 25})->surface();
        // Style 6 also frames the default button; the focus dots are the inverted pixels.
        QRect dots;
        for (int y = 0; y < 25; ++y) {
            for (int x = 0; x < 75; ++x) {
                if (Pixel(with, x, y) != (Pixel(without, x, y) ^ 0xFFFFFF))
                    continue;
                dots |= QRect(x, y, 1, 1);
                QCOMPARE((x + y) % 2, 0);
            }
        }
        QCOMPARE(dots, QRect(QPoint(left, 4), QPoint(right, 20)));
    }
};

} // namespace

int RunRenderTests(int argc, char** argv) {
    RenderTests t;
    return QTest::qExec(&t, argc, argv);
}

} // namespace painter_tests

#include "painter_render_tests.moc"
