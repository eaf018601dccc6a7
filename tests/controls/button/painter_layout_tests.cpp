// Caption and image layout: the image's place for each PictureAlign, large images centred,
// the horizontal limits of the slanted and picture outlines, and line breaks.
#include "painter_tests.h"

#include <QtTest>

namespace painter_tests {

namespace {

PictureRef Icon(int size) {
    auto p = std::make_shared<ButtonPicture>();
    p->kind = ButtonPicture::Kind::Icon;
    p->image = QImage(size, size, QImage::Format_ARGB32);
    p->image.fill(QColor(200, 0, 0));
    return p;
}

bool IsInk(quint32 c) {
    return c == 0x000000;
}

// Rows of the image, within columns [left, right), that hold caption ink.
QList<int> InkRows(const QImage& image, int left, int right) {
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = left; x < right; ++x) {
            if (IsInk(Pixel(image, x, y))) {
                rows << y;
                break;
            }
        }
    }
    return rows;
}

class LayoutTests : public QObject {
    Q_OBJECT
private slots:
    // A 120 x 60 button, 16-pixel image. "textSide": -1 image left of the ink, +1 right of
    // it, 0 above (4) or below (5).
    void pictureAlign_data() {
        QTest::addColumn<int>("align");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("imageX"); // -1: not fixed by the alignment alone
        QTest::addColumn<int>("imageY");
        QTest::addColumn<int>("textSide");
        QTest::newRow("0 left edge") << 0 << "Go" << 4 << 22 << -1;
        QTest::newRow("1 beside the caption") << 1 << "Go" << -1 << 22 << -1;
        QTest::newRow("1 empty caption: left edge") << 1 << "" << 4 << 22 << -1;
        QTest::newRow("2 right edge") << 2 << "Go" << 100 << 22 << 1;
        QTest::newRow("3 beside the caption") << 3 << "Go" << -1 << 22 << 1;
        QTest::newRow("3 empty caption: right edge") << 3 << "" << 100 << 22 << 1;
        QTest::newRow("4 above, centred") << 4 << "Go" << 52 << -1 << 0;
        QTest::newRow("5 below, centred") << 5 << "Go" << 52 << -1 << 0;
    }
    void pictureAlign() {
        QFETCH(int, align);
        QFETCH(QString, caption);
        QFETCH(int, imageX);
        QFETCH(int, imageY);
        QFETCH(int, textSide);
        ButtonLook look = PlainLook(6, 0); // style 6: no edges at rest
        look.caption = caption;
        look.picture = Icon(16);
        look.pictureAlign = align;
        const auto p = Paint(look, {120, 60});
        const QPoint at = p->imagePosition();
        if (imageX >= 0)
            QCOMPARE(at.x(), imageX);
        if (imageY >= 0)
            QCOMPARE(at.y(), imageY);
        // The image is painted where the layout put it.
        QCOMPARE(BoxOfColor(p->surface(), 0x0000C8), QRect(at, QSize(16, 16)));
        if (caption.isEmpty())
            return;
        const QRect ink = BoxOf(p->surface(), IsInk);
        QVERIFY(!ink.isEmpty());
        const bool beside = align == 1 || align == 3; // else at the edge
        if (textSide == -1) {
            const int gap = ink.left() - (at.x() + 16);
            QVERIFY2(beside ? gap >= 3 && gap <= 8 : gap > 8, qPrintable(QString::number(gap)));
        } else if (textSide == 1) {
            const int gap = at.x() - ink.right() - 1;
            QVERIFY2(beside ? gap >= 3 && gap <= 8 : gap > 8, qPrintable(QString::number(gap)));
        } else if (align == 4) {
            QCOMPARE(p->captionRect().top(), at.y() + 16 + 4);
            QVERIFY(ink.top() > at.y() + 16);
        } else {
            QCOMPARE(at.y(), p->captionRect().bottom() + 1 + 4);
            QVERIFY(ink.bottom() < at.y());
        }
        if (align == 1 || align == 3) { // image and caption centred as a group
            const int groupLeft = qMin(at.x(), ink.left()),
                      groupRight = qMax(at.x() + 15, ink.right());
            QVERIFY(qAbs((groupLeft + groupRight) - 119) <= 6);
        }
    }

    // 40 and 48 pixels: centred on the button, the caption keeps the full width.
    void largeImageCentred_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("align");
        QTest::newRow("40, align 1") << 40 << 1;
        QTest::newRow("48, align 0") << 48 << 0;
        QTest::newRow("48, align 4") << 48 << 4;
    }
    void largeImageCentred() {
        QFETCH(int, size);
        QFETCH(int, align);
        ButtonLook look = PlainLook(0, 0);
        look.caption = "Go";
        look.picture = Icon(size);
        look.imageSize = qint16(size);
        look.pictureAlign = align;
        const auto p = Paint(look, {120, 60});
        QCOMPARE(p->imagePosition(), QPoint((120 - size) / 2, (60 - size) / 2));
        QCOMPARE(p->captionRect().left(), 0);
        QCOMPARE(p->captionRect().width(), 120);
    }

    void limits_data() {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        // 75 x 25: S = 26, right slant position 50.
        QTest::newRow("outline 0 full width") << 0 << 0 << 75;
        QTest::newRow("outline 1") << 1 << 21 << 75;
        QTest::newRow("outline 2") << 2 << 0 << 58;
        QTest::newRow("outline 3") << 3 << 21 << 58;
        QTest::newRow("outline 5 full width") << 5 << 0 << 75;
        QTest::newRow("outline 7 inside the picture") << 7 << 3 << 72;
    }
    void limits() {
        QFETCH(int, shape);
        ButtonLook look = PlainLook(0, shape);
        look.caption = "Go";
        if (shape == 7) {
            look.picture = Bitmap({75, 25}, Qt::white, QRect(2, 2, 70, 20), Qt::blue);
            look.imageSize = 48;
        }
        const auto p = Paint(look, {75, 25});
        QTEST(p->captionRect().left(), "left");
        QTEST(p->captionRect().right() + 1, "right");
    }

    void twoLines_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("bands");
        QTest::newRow("one line") << "One Two" << 1;
        QTest::newRow("|| breaks") << "One||Two" << 2;
    }
    void twoLines() {
        QFETCH(QString, caption);
        QFETCH(int, bands);
        ButtonLook look = PlainLook(6, 0);
        look.caption = caption;
        const auto p = Paint(look, {120, 50});
        const QList<int> rows = InkRows(p->surface(), 0, 120);
        QVERIFY(!rows.isEmpty());
        int runs = 1;
        for (int i = 1; i < rows.size(); ++i)
            runs += rows[i] != rows[i - 1] + 1;
        QCOMPARE(runs, bands);
        // Centred vertically: as much room above the caption block as below it.
        const QRect r = p->captionRect();
        QVERIFY(qAbs(r.top() - (50 - r.bottom() - 1)) <= 1);
    }

    void ampersands() {
        ButtonLook look = PlainLook(6, 0);
        look.caption = "A&&B";
        const auto amp = Paint(look, {120, 30});
        look.caption = "A&B";
        const auto key = Paint(look, {120, 30});
        // "&&" shows an ampersand, wider than the underline of a single "&".
        QVERIFY(BoxOf(amp->surface(), IsInk).width() > BoxOf(key->surface(), IsInk).width());
    }
};

} // namespace

int RunLayoutTests(int argc, char** argv) {
    LayoutTests t;
    return QTest::qExec(&t, argc, argv);
}

} // namespace painter_tests

#include "painter_layout_tests.moc"
