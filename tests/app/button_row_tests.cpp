// The main window's button row as the screen shows it, on a real X display: every pixel of
// each caption and image inside its button's face, the container's colour around the
// slanted edges, a visible focus cue that Tab moves and Enter that clicks.
#include "window_fixture.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

namespace {

using controls::rkButtons_H;

QImage Screen(QWidget& w) {
    return w.windowHandle()->screen()->grabWindow(w.winId()).toImage().convertToFormat(
        QImage::Format_RGB32);
}

// The part of a window grab that one button covers.
QImage ButtonPixels(QWidget& w, rkButtons_H* b) {
    const QImage all = Screen(w);
    const qreal ratio = w.devicePixelRatioF();
    const QRect r(b->mapTo(&w, QPoint(0, 0)) * ratio, b->size() * ratio);
    return all.copy(r).scaled(b->size()); // compare in the button's own pixels
}

// Columns of row y inside the face: three rings in from the outline's ends.
bool InsideFace(const rkButtons_H* b, int x, int y) {
    const QRegion outer = b->Painter().outerRegion() & b->rect();
    const QRect row = (outer & QRect(0, y, b->width(), 1)).boundingRect();
    return !row.isEmpty() && x >= row.left() + 3 && x <= row.right() - 3 && y >= 3 &&
           y <= b->height() - 4;
}

QString Visible(const QString& caption) {
    return QString(caption).remove('&');
}

QWidget* Client(app::frmMain& w) {
    return w.cmdDownload->parentWidget();
}

} // namespace

class ButtonRowTests : public QObject {
    Q_OBJECT
private slots:
    // The caption and image are the pixels that differ from the same button without them;
    // every one lies inside the face (a caption that ran into the rim would show there), and
    // they span at least the caption's width.
    void captionsAndImagesInsideFaces() {
        WindowFixture f;
        app::frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QDir().mkpath("screenshots");
        QImage shown;
        QTRY_VERIFY(!(shown = Screen(w)).isNull() && shown == Screen(w));
        QVERIFY(shown.save("screenshots/main-window.png"));
        w.cmdRun->setEnabled(true); // drawn in its enabled colours like the others
        for (rkButtons_H* b : {w.cmdDownload, w.cmdRun, w.cmdStop, w.CmdExit}) {
            const QString caption = b->Caption();
            const controls::PictureRef picture = b->Picture();
            QImage full;
            QTRY_VERIFY((full = ButtonPixels(w, b)) == ButtonPixels(w, b));
            b->setCaption(QString());
            b->setPicture(nullptr);
            QImage bare;
            QTRY_VERIFY((bare = ButtonPixels(w, b)) != full);
            b->setCaption(caption);
            b->setPicture(picture);
            int outside = 0, left = b->width(), right = -1;
            for (int y = 0; y < full.height(); ++y) {
                for (int x = 0; x < full.width(); ++x) {
                    if (full.pixel(x, y) == bare.pixel(x, y))
                        continue;
                    outside += InsideFace(b, x, y) ? 0 : 1;
                    left = qMin(left, x);
                    right = qMax(right, x);
                }
            }
            const int textWidth = QFontMetrics(b->Font()).horizontalAdvance(Visible(caption));
            QVERIFY2(
                outside == 0,
                qPrintable(
                    QString("%1: %2 content pixels outside the face").arg(caption).arg(outside)));
            QVERIFY2(
                right - left + 1 >= textWidth,
                qPrintable(
                    QString("%1: content only %2 px wide").arg(caption).arg(right - left + 1)));
        }
    }

    // Around the slanted edges the window's own colour shows, not button grey.
    void containerColourAroundSlants() {
        WindowFixture f;
        app::frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QColor blue = Client(w)->palette().color(Client(w)->backgroundRole());
        rkButtons_H* b = w.cmdRun; // both edges slant
        QCOMPARE(b->Look().containerBackRgb, controls::FromQColor(blue));
        QImage pixels;
        QTRY_VERIFY(!(pixels = ButtonPixels(w, b)).isNull());
        QCOMPARE(QColor(pixels.pixel(1, b->height() - 2)), blue);
        QCOMPARE(QColor(pixels.pixel(b->width() - 2, 1)), blue);
    }

    // Tab moves a visible cue from button to button; Enter clicks the focused one; holding
    // Space shows the pressed look until it is released.
    void focusCueAndKeys() {
        WindowFixture f;
        app::frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QApplication::setActiveWindow(&w);
        QTRY_VERIFY(w.isActiveWindow());
        const QImage unfocusedExit = ButtonPixels(w, w.CmdExit);
        const QImage unfocusedStop = ButtonPixels(w, w.cmdStop);
        w.cmdStop->setFocus(Qt::OtherFocusReason);
        QImage focusedStop;
        QTRY_VERIFY((focusedStop = ButtonPixels(w, w.cmdStop)) != unfocusedStop);
        QVERIFY(w.cmdStop->Look().defaultLook);
        QDir().mkpath("screenshots");
        Screen(w).save("screenshots/main-window-focus.png");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(w.CmdExit->hasFocus());
        QVERIFY(!w.cmdStop->Look().defaultLook);
        QTRY_VERIFY(ButtonPixels(w, w.CmdExit) != unfocusedExit);
        QTRY_COMPARE(ButtonPixels(w, w.cmdStop), unfocusedStop);

        QSignalSpy clicks(w.cmdStop, &rkButtons_H::Click);
        w.cmdStop->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(ButtonPixels(w, w.cmdStop), focusedStop);
        QTest::keyClick(w.cmdStop, Qt::Key_Return);
        QCOMPARE(clicks.size(), 1);

        const QImage before = ButtonPixels(w, w.cmdStop);
        QTest::keyPress(w.cmdStop, Qt::Key_Space);
        QImage held;
        QTRY_VERIFY((held = ButtonPixels(w, w.cmdStop)) != before);
        QCOMPARE(clicks.size(), 1);
        QVERIFY(held != focusedStop);
        Screen(w).save("screenshots/main-window-space-held.png");
        QCoreApplication::processEvents(); // no later paint takes the pressed look back
        QCOMPARE(ButtonPixels(w, w.cmdStop), held);
        QTest::keyRelease(w.cmdStop, Qt::Key_Space);
        QCOMPARE(clicks.size(), 2);
        QTRY_COMPARE(ButtonPixels(w, w.cmdStop), before);
    }
};

QTEST_MAIN(ButtonRowTests)
#include "button_row_tests.moc"
