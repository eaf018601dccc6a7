// The redraw as a whole: its result per style and state, the outline frame that it adds to
// the window image, the picture face of custom outlines while pressed, and a sweep of every
// style, outline and state.
#include "painter_tests.h"

#include <QtTest>

namespace painter_tests {

namespace {

constexpr quint32 kHotFrame = 0x0096E7;
constexpr quint32 kDefaultFrame = 0xEF826B;

PictureRef Pill() {
    return Bitmap({60, 24}, Qt::white, QRect(2, 2, 56, 20), QColor(0, 0, 200));
}

ButtonLook Custom(int style, int shape) {
    ButtonLook look = PlainLook(style, shape);
    look.picture = Pill();
    look.imageSize = 48;
    return look;
}

class StateTests : public QObject {
    Q_OBJECT
private slots:
    void softResult_data() {
        QTest::addColumn<bool>("hot");
        QTest::addColumn<bool>("isDefault");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("frame");
        QTest::newRow("normal: not framed") << false << false << 1 << 0x733C00;
        QTest::newRow("hot") << true << false << 2 << int(kHotFrame);
        QTest::newRow("default") << false << true << 2 << int(kDefaultFrame);
        QTest::newRow("hot default") << true << true << 2 << int(kHotFrame);
    }
    void softResult() {
        QFETCH(bool, hot);
        QFETCH(bool, isDefault);
        ButtonLook look = PlainLook(2, 0);
        look.hot = hot;
        look.defaultLook = isDefault;
        int result = -1;
        const auto p = Paint(look, {60, 24}, &result);
        QTEST(result, "result");
        QTEST(p->frameColor(), "frame");
    }

    // Style 2 on an ellipse: the face region's edge is framed on the window image only.
    void softEllipseFrame_data() {
        QTest::addColumn<bool>("hot");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<int>("shape");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("expected"); // -1: as on the surface
        QTest::newRow("hot, face region") << true << false << 4 << QPoint(30, 1) << int(kHotFrame);
        QTest::newRow("normal, not framed") << false << false << 4 << QPoint(30, 1) << -1;
        QTest::newRow("pressed, outline 4 not framed") << true << true << 4 << QPoint(30, 1) << -1;
        QTest::newRow("pressed, outline 6 along the outline")
            << true << true << 6 << QPoint(30, 0) << int(kHotFrame);
    }
    void softEllipseFrame() {
        QFETCH(bool, hot);
        QFETCH(bool, pressed);
        QFETCH(int, shape);
        QFETCH(QPoint, at);
        QFETCH(int, expected);
        ButtonLook look = PlainLook(2, shape);
        look.hot = hot;
        look.pressed = pressed;
        const auto p = Paint(look, {60, 24});
        const quint32 shown = Pixel(p->windowImage(), at.x(), at.y());
        const quint32 painted = Pixel(p->surface(), at.x(), at.y());
        if (expected < 0) {
            QCOMPARE(Hex(shown), Hex(painted));
        } else {
            QCOMPARE(Hex(shown), Hex(quint32(expected)));
            QVERIFY(painted != quint32(expected));
        }
    }

    // Custom outlines: the default button is framed along its face or second region; on
    // hover the whole outline, in the hover face for styles other than 2.
    void customFrame_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("shape");
        QTest::addColumn<bool>("hot");
        QTest::addColumn<bool>("isDefault");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<quint32>("expected");
        const quint32 classicFrame = ShiftColor(0x808080, -160);
        QTest::newRow("default, outline 7: face region")
            << 0 << 7 << false << true << false << QPoint(30, 2) << classicFrame;
        QTest::newRow("default, outline 8: second region")
            << 0 << 8 << false << true << false << QPoint(30, 3) << classicFrame;
        QTest::newRow("default and checked: shade - 32")
            << 0 << 7 << false << true << true << QPoint(30, 2) << ShiftColor(0x808080, -32);
        QTest::newRow("soft, hot: outline in the hot frame colour")
            << 2 << 7 << true << false << false << QPoint(30, 2) << kHotFrame;
        QTest::newRow("classic, hot: outline in the hover face")
            << 0 << 8 << true << false << false << QPoint(30, 2) << 0x00A000u;
    }
    void customFrame() {
        QFETCH(int, style);
        QFETCH(int, shape);
        QFETCH(bool, hot);
        QFETCH(bool, isDefault);
        QFETCH(bool, checked);
        QFETCH(QPoint, at);
        QFETCH(quint32, expected);
        ButtonLook look = Custom(style, shape);
        look.hot = hot;
        look.defaultLook = isDefault;
        look.mode = checked ? 1 : 0;
        look.value = checked;
        look.hoverBackColor = 0x00A000;
        int result = 0;
        const auto p = Paint(look, {60, 24}, &result);
        QCOMPARE(result, 2);
        QCOMPARE(Hex(Pixel(p->windowImage(), at.x(), at.y())), Hex(expected));
        QVERIFY(Pixel(p->surface(), at.x(), at.y()) != expected);
    }

    void customHoverSameAsBackIsNotFramed() {
        ButtonLook look = Custom(0, 7);
        look.hot = true;
        const auto p = Paint(look, {60, 24});
        QCOMPARE(p->windowImage(), p->surface());
    }

    // Pressed, the picture shrinks by one pixel on each side, or moves for CustomClick.
    void customPressed_data() {
        QTest::addColumn<int>("click");
        QTest::addColumn<QRect>("block");
        QTest::newRow("shrinks") << 0 << QRect(3, 3, 54, 18);
        // What moves beyond the outline is not shown.
        QTest::newRow("1 moves up") << 1 << QRect(2, 2, 56, 18);
        QTest::newRow("3 moves right") << 3 << QRect(4, 2, 54, 20);
        QTest::newRow("6 moves down-left") << 6 << QRect(2, 4, 54, 18);
    }
    void customPressed() {
        QFETCH(int, click);
        QFETCH(QRect, block);
        ButtonLook look = Custom(6, 7);
        look.customClick = click;
        look.hot = look.pressed = true;
        const auto p = Paint(look, {60, 24});
        QCOMPARE(BoxOfColor(p->surface(), 0xC80000), block);
    }

    void emptySurfaceDrawsNothing() {
        ButtonPainter p;
        const ButtonLook look = PlainLook(2, 0);
        QCOMPARE(p.Redraw(look), 0);
        p.Resize({0, 10});
        QCOMPARE(p.Redraw(look), 0);
    }

    // Every style, outline and state paints, shows the result, keeps the container colour
    // outside the outline and paints the caption inside.
    void sweep() {
        int checkedCount = 0;
        for (int style = 0; style < 8; ++style) {
            for (int shape = 0; shape < 9; ++shape) {
                for (int state = 0; state < 6; ++state) {
                    ButtonLook look = shape >= 7 ? Custom(style, shape) : PlainLook(style, shape);
                    look.caption = "Go";
                    look.foreColor = look.hoverForeColor = 0x0000FF;
                    look.hot = state == 1 || state == 2;
                    look.pressed = state == 2;
                    look.mode = state == 3 ? 1 : 0;
                    look.value = state == 3;
                    look.defaultLook = state == 4;
                    look.enabled = state != 5;
                    int result = 0;
                    const auto p = Paint(look, {60, 24}, &result);
                    const QString where =
                        QString("style %1 outline %2 state %3").arg(style).arg(shape).arg(state);
                    QVERIFY2(result == 1 || result == 2, qPrintable(where));
                    const QRegion outside = QRegion(0, 0, 60, 24) - p->outerRegion();
                    for (const QRect& r : outside) {
                        QCOMPARE(Hex(Pixel(p->surface(), r.left(), r.top())), Hex(kContainer));
                        QCOMPARE(Hex(Pixel(p->surface(), r.right(), r.bottom())), Hex(kContainer));
                    }
                    // Style 7 shows the inverse caption colour while pressed or checked.
                    const bool inverse = style == 7 && (state == 2 || state == 3);
                    const quint32 caption = inverse ? 0xFFFF00 : 0x0000FF;
                    if (look.enabled)
                        QVERIFY2(!BoxOfColor(p->surface(), caption).isEmpty(), qPrintable(where));
                    ++checkedCount;
                }
            }
        }
        QCOMPARE(checkedCount, 8 * 9 * 6);
    }
};

} // namespace

int RunStateTests(int argc, char** argv) {
    StateTests t;
    return QTest::qExec(&t, argc, argv);
}

} // namespace painter_tests

#include "painter_state_tests.moc"
