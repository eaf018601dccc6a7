// The main window on a real X display: captions and defaults, its height and resizing, menus,
// start-up with the clipboard, the address box and the progress bar.
#include "progress_picture.h"
#include "twips.h"
#include "window_fixture.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTest>

namespace {

QString caption(QWidget* button) {
    auto* drawn = qobject_cast<controls::rkButtons_H*>(button);
    return drawn ? drawn->Caption() : qobject_cast<QPushButton*>(button)->text();
}

} // namespace

class WindowTests : public QObject {
    Q_OBJECT
private slots:
    void captionsAndDefaults() {
        WindowFixture f;
        app::frmMain w;
        QStringList texts = {w.windowTitle(), w.Label7->text(), w.fraDownloadProgress->title()};
        for (QLabel* l : {w.Label2, w.Label3, w.Label4, w.Label5, w.Label6, w.Label9, w.Label1,
                          w.Label8, w.Label10, w.Label11})
            texts << l->text();
        texts << w.Text1->text();
        for (QWidget* b :
             QList<QWidget*>{w.cmdDownload, w.cmdRun, w.cmdStop, w.CmdExit, w.cmdPause, w.Command1})
            texts << caption(b) + '/' + b->toolTip();
        QCOMPARE(texts.join('\n'), QString(R"(Zorv  Updater
Brantle Zorv Account Ver 1.0 Updater
&File Updater Progress
Total Size:
Recieved Size:
Speed:
Time Remaining:
Elapsed Time:
Complete:
Enter the url in which the file is located:
Save Download Path:
File Delete Path
Change File Name.:
Brantle Ver 1.0.exe
&Update/UPDATE QUILLON SOFTWARE
&Run/RUN QUILLON SOFTWARE
&Stop/STOP UPDATER
&Exit/CLOSE UPDATER
&Pause/
Command1/)"));
        QVERIFY(w.cmdDownload->isEnabled() && w.cmdStop->isEnabled() && w.CmdExit->isEnabled());
        QVERIFY(!w.cmdRun->isEnabled());
        QVERIFY(w.txtURL->text().startsWith("http://"));
        QVERIFY(w.txtURL->text().endsWith("/update/Zorvupdater.exe"));
        QVERIFY(w.TxtPath->text().endsWith("Zorvupdater.cat"));
        QVERIFY(w.Text2->text().endsWith("Brantle Ver 1.0.exe"));
        QVERIFY(w.lblStatus->isHidden());
        QCOMPARE(w.tmrUpdateProgress->interval(), 1);
        QCOMPARE(w.tmrTimeLeft->interval(), 1000);
        QVERIFY(w.tmrUpdateProgress->isActive() && w.tmrTimeLeft->isActive());
    }

    void outerHeightAndResizing() {
        WindowFixture f;
        app::frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(w.frameGeometry().height(), app::TwipsToPixelsY(2910));
        // The button row is in view; the boxes below it are not until the window grows.
        QVERIFY(w.cmdDownload->mapTo(&w, QPoint(0, w.cmdDownload->height())).y() <= w.height());
        QVERIFY(w.txtURL->mapTo(&w, QPoint(0, 0)).y() > w.height());
        const QPoint offCentre =
            w.frameGeometry().center() - w.screen()->availableGeometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 4, "not centred on the screen");
        QVERIFY(w.maximumHeight() > w.height());
        QCOMPARE(w.minimumWidth(), w.maximumWidth());
        w.resize(w.width(), w.maximumHeight());
        QTRY_VERIFY(w.Command1->mapTo(&w, QPoint(0, w.Command1->height())).y() <= w.height());
    }

    void menus() {
        WindowFixture f;
        app::frmMain w;
        QStringList tree;
        for (QAction* top : w.menuBar()->actions()) {
            tree << top->text();
            for (QAction* item : top->menu()->actions())
                tree << "  " + (item->isSeparator() ? QString("-") : item->text());
        }
        QCOMPARE(tree, QStringList({"&File", "  &New Instance", "  -", "  &Show Header", "  -",
                                    "  E&xit", "&Settings", "  &Proxy Server", "  &Ftp Options",
                                    "  -", "  &Snarfo! Options", "&About", "  &About Downloader",
                                    "  &Tessarin Software Webpage"}));
        // The proxy item is marked, each time the menu opens, when "Proxy Use" is 1.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QList<QPair<QString, bool>> marks = {{"1", true},  {"1.0", true}, {"01", true},
                                                   {"2", false}, {"on", false}, {"", false}};
        for (const auto& [value, marked] : marks) {
            f.setSetting("Proxy Use", value);
            w.mnuSettingsProxy->setChecked(!marked);
            w.mnuSettings->popup(w.mapToGlobal(QPoint(10, 10)));
            QTRY_VERIFY(w.mnuSettings->isVisible());
            QVERIFY2(w.mnuSettingsProxy->isChecked() == marked, qPrintable(value));
            w.mnuSettings->hide();
        }
    }

    // The clipboard's address replaces the default one at start-up when "Clipboard" allows.
    void clipboardAtStartUp() {
        // setting ("~": absent) | clipboard | address shown ("" : the default stays)
        const QStringList rows =
            QStringLiteral(R"(~|   http://h.example/b.exe  |http://h.example/b.exe
0|http://h.example/b.exe|
1|get it at ftp://h/b.exe|get it at ftp://h/b.exe
1|just some words|
1|HTTP://h.example/b.exe|
maybe|http://h/x|http://h/x)")
                .split('\n');
        for (const QString& row : rows) {
            const QStringList cells = row.split('|');
            WindowFixture f(false);
            if (cells[0] != "~")
                f.setSetting("Clipboard", cells[0]);
            QGuiApplication::clipboard()->setText(cells[1]);
            QTRY_COMPARE(QGuiApplication::clipboard()->text(), cells[1]);
            app::frmMain w;
            QVERIFY2(cells[2].isEmpty() ? w.txtURL->text().endsWith("/update/Zorvupdater.exe")
                                        : w.txtURL->text() == cells[2],
                     qPrintable(row + " gave " + w.txtURL->text()));
        }
    }

    // Typed blanks vanish; a dropped address is trimmed, and taken as the download address
    // only when "Download Drop" is 1.
    void addressBox() {
        WindowFixture f;
        app::frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.txtURL->setText("http://h/x");
        w.txtURL->setFocus();
        w.txtURL->end(false);
        QTest::keyClick(w.txtURL, Qt::Key_Space);
        w.txtURL->home(false);
        QTest::keyClick(w.txtURL, Qt::Key_Space);
        QTest::keyClicks(w.txtURL, "a");
        QCOMPARE(w.txtURL->text(), QString("ahttp://h/x"));
        for (const QString& drop : {QString(), QString("1")}) {
            if (!drop.isNull())
                f.setSetting("Download Drop", drop);
            app::Download().DownloadURL.clear();
            QMimeData mime;
            mime.setText("  http://dropped.example/new.exe ");
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(w.txtURL, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(w.txtURL, &event);
            QVERIFY(event.isAccepted());
            QCOMPARE(w.txtURL->text(), QString("http://dropped.example/new.exe"));
            QCOMPARE(app::Download().DownloadURL, drop.isNull() ? QString() : mime.text());
        }
    }

    void progressBarPixels() {
        WindowFixture f;
        app::frmMain w;
        app::ProgressPicture* pic = w.picDownloadProgress;
        app::DrawProgress(pic, 50, false);
        const QImage& image = pic->image();
        const QColor background = pic->BackColor;
        // Not-Xor-Pen of green over the background: ~(green ^ background).
        const QRgb expected = ~(qRgb(0, 255, 0) ^ background.rgb()) | 0xff000000;
        QCOMPARE(image.pixel(1, image.height() / 2), expected);
        QCOMPARE(image.pixel(image.width() / 2 - 2, 0), expected);
        QCOMPARE(QColor(image.pixel(image.width() / 2 + 2, image.height() / 2)), background);
        QCOMPARE(QColor(image.pixel(image.width() - 1, 0)), background);
        app::DrawProgress(pic, 0, false);
        QCOMPARE(QColor(image.pixel(0, 0)), background);
        app::DrawProgress(pic, 100, false);
        QCOMPARE(pic->image().pixel(image.width() - 1, 0), expected);
    }
};

QTEST_MAIN(WindowTests)
#include "window_tests.moc"
