// Outlines: the corners each style cuts from the rectangle, the slanted outlines and their
// slant, the ellipses with their face and inner regions, and outlines taken from a picture.
#include "painter_tests.h"

#include <QtTest>

namespace painter_tests {

namespace {

using Points = QList<QPoint>;

class OutlineTests : public QObject {
    Q_OBJECT
private slots:
    void rectangleCorners_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<Points>("outside");
        QTest::addColumn<Points>("inside");
        // 40 x 20: the right column is 39, the bottom row 19.
        const Points whole{{0, 0}, {39, 0}, {0, 19}, {39, 19}};
        const Points triangles{{0, 0},  {1, 0},  {0, 1},  {39, 0},  {38, 0},  {39, 1},
                               {0, 19}, {0, 18}, {1, 19}, {39, 19}, {38, 19}, {39, 18}};
        const Points besideTriangles{{2, 0}, {1, 1}, {0, 2}, {37, 0}, {38, 1}, {38, 18}};
        QTest::newRow("style 0 whole") << 0 << true << Points{} << whole;
        QTest::newRow("style 4 whole") << 4 << true << Points{} << whole;
        QTest::newRow("style 5 whole") << 5 << true << Points{} << whole;
        QTest::newRow("style 6 whole") << 6 << true << Points{} << whole;
        QTest::newRow("style 1 pixels") << 1 << true << whole << Points{{1, 0}, {0, 1}, {38, 19}};
        QTest::newRow("style 3 pixels") << 3 << true << whole << Points{{1, 0}, {38, 0}};
        QTest::newRow("style 3 disabled whole") << 3 << false << Points{} << whole;
        QTest::newRow("style 2 triangles") << 2 << true << triangles << besideTriangles;
        QTest::newRow("style 7 triangles") << 7 << true << triangles << besideTriangles;
    }
    void rectangleCorners() {
        QFETCH(int, style);
        QFETCH(bool, enabled);
        QFETCH(Points, outside);
        QFETCH(Points, inside);
        ButtonLook look = PlainLook(style, 0);
        look.enabled = enabled;
        const auto p = Paint(look, {40, 20});
        for (const QPoint& pt : outside) {
            QVERIFY2(!p->outerRegion().contains(pt),
                     qPrintable(QString("%1,%2 kept").arg(pt.x()).arg(pt.y())));
            QCOMPARE(Hex(Pixel(p->windowImage(), pt.x(), pt.y())), Hex(kContainer));
        }
        for (const QPoint& pt : inside)
            QVERIFY2(p->outerRegion().contains(pt),
                     qPrintable(QString("%1,%2 cut").arg(pt.x()).arg(pt.y())));
    }

    // A 75 x 25 button: S = 26, the slanted edges run at 45 degrees.
    void slanted_data() {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("leftSlant");
        QTest::addColumn<int>("rightSlant");
        QTest::addColumn<Points>("outside");
        QTest::addColumn<Points>("inside");
        QTest::newRow("outline 1, left edge slants")
            << 1 << 26 << 75 << Points{{0, 24}, {23, 24}, {10, 11}}
            << Points{{0, 0}, {74, 0}, {24, 24}, {74, 24}, {11, 11}};
        QTest::newRow("outline 2, right edge slants")
            << 2 << 0 << 50 << Points{{50, 0}, {74, 0}, {74, 23}, {62, 11}}
            << Points{{0, 0}, {49, 0}, {0, 24}, {73, 24}, {60, 11}};
        QTest::newRow("outline 3, parallelogram")
            << 3 << 26 << 50 << Points{{50, 0}, {74, 0}, {0, 24}, {23, 24}}
            << Points{{0, 0}, {49, 0}, {24, 24}, {73, 24}};
    }
    void slanted() {
        QFETCH(int, shape);
        QFETCH(Points, outside);
        QFETCH(Points, inside);
        const auto p = Paint(PlainLook(0, shape), {75, 25});
        QCOMPARE(p->slant(), 26);
        QTEST(p->leftSlantOffset(), "leftSlant");
        QTEST(p->rightSlantPosition(), "rightSlant");
        for (const QPoint& pt : outside) {
            QVERIFY2(!p->outerRegion().contains(pt),
                     qPrintable(QString("%1,%2 inside").arg(pt.x()).arg(pt.y())));
            QCOMPARE(Hex(Pixel(p->windowImage(), pt.x(), pt.y())), Hex(kContainer));
        }
        for (const QPoint& pt : inside)
            QVERIFY2(p->outerRegion().contains(pt),
                     qPrintable(QString("%1,%2 outside").arg(pt.x()).arg(pt.y())));
    }

    void ellipses_data() {
        QTest::addColumn<int>("shape");
        QTest::newRow("outline 4") << 4;
        QTest::newRow("outline 5") << 5;
        QTest::newRow("outline 6") << 6;
    }
    void ellipses() {
        QFETCH(int, shape);
        const auto p = Paint(PlainLook(0, shape), {60, 20});
        const QRegion outer = p->outerRegion(), face = p->faceRegion(), inner = p->secondRegion();
        QVERIFY(!outer.contains(QPoint(0, 0)));
        QVERIFY(!outer.contains(QPoint(59, 19)));
        QVERIFY(outer.contains(QPoint(30, 0)) && outer.contains(QPoint(0, 10)));
        // The face is the ellipse inset by one, the inner rim's region inset by two.
        QVERIFY((face - outer).isEmpty() && (inner - face).isEmpty());
        QVERIFY(!face.contains(QPoint(30, 0)) && !face.contains(QPoint(0, 10)));
        QVERIFY(face.contains(QPoint(1, 10)) && face.contains(QPoint(58, 10)));
        QVERIFY(!inner.contains(QPoint(1, 10)) && inner.contains(QPoint(2, 10)));
        QVERIFY(!inner.contains(QPoint(58, 10)) && inner.contains(QPoint(57, 10)));
        QVERIFY(!face.contains(QPoint(59, 10)) && outer.contains(QPoint(59, 10)));
        QCOMPARE(Hex(Pixel(p->windowImage(), 0, 0)), Hex(kContainer));
        if (shape == 6)
            QCOMPARE(Hex(Pixel(p->surface(), 30, 0)), Hex(0x000000));
    }

    // Every pixel that differs from the top-left one is inside; that colour inside the
    // picture is cut out too.
    void pictureOutline_data() {
        QTest::addColumn<int>("shape");
        QTest::newRow("outline 7") << 7;
        QTest::newRow("outline 8") << 8;
    }
    void pictureOutline() {
        QFETCH(int, shape);
        ButtonLook look = PlainLook(0, shape);
        auto pic = std::make_shared<ButtonPicture>();
        pic->image = QImage(30, 12, QImage::Format_RGB32);
        pic->image.fill(Qt::white);
        {
            QPainter g(&pic->image);
            g.fillRect(QRect(0, 4, 30, 8), Qt::blue);
            g.fillRect(QRect(10, 6, 2, 2), Qt::white);
        }
        look.picture = pic;
        look.imageSize = 48;
        const auto p = Paint(look, {30, 12});
        const QRegion outer = p->outerRegion();
        QVERIFY(!outer.contains(QPoint(0, 3)) && outer.contains(QPoint(0, 4)));
        QVERIFY(outer.contains(QPoint(29, 11)));
        QVERIFY(!outer.contains(QPoint(10, 6)) && !outer.contains(QPoint(11, 7)));
        QVERIFY(outer.contains(QPoint(12, 7)));
        // The face region comes from the picture inset by one pixel.
        QVERIFY(!p->faceRegion().contains(QPoint(0, 5)) && p->faceRegion().contains(QPoint(1, 5)));
        QVERIFY(!p->faceRegion().contains(QPoint(5, 11)));
        // The second region is the outline shrunk by one pixel.
        QVERIFY(!p->secondRegion().contains(QPoint(1, 4)) &&
                p->secondRegion().contains(QPoint(1, 5)));
        QVERIFY(!p->secondRegion().contains(QPoint(9, 6)));
        QCOMPARE(Hex(Pixel(p->windowImage(), 10, 6)), Hex(kContainer));
    }
};

} // namespace

int RunOutlineTests(int argc, char** argv) {
    OutlineTests t;
    return QTest::qExec(&t, argc, argv);
}

} // namespace painter_tests

#include "painter_outline_tests.moc"
