// The main window on a real X display: controls, layout in twips, fonts and colours, menus,
// start-up with the clipboard, the address box, the progress bar, and a screenshot.
#include "progress_picture.h"
#include "rkbuttons_h.h"
#include "twips.h"
#include "window_fixture.h"

#include <QClipboard>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTest>

using app::TwipsRect;

class WindowTests : public QObject {
    Q_OBJECT
private slots:
    void captionsAndDefaults();
    void layoutInTwips();
    void outerHeightAndResizing();
    void fontsAndColours();
    void menuTree();
    void settingsMenuMark_data();
    void settingsMenuMark();
    void clipboardAtStartUp_data();
    void clipboardAtStartUp();
    void addressBoxTrimsItself();
    void dropOnAddressBox_data();
    void dropOnAddressBox();
    void progressBarPixels();
    void screenshot();
};

void WindowTests::captionsAndDefaults() {
    WindowFixture f;
    app::frmMain w;
    QCOMPARE(w.windowTitle(), QString("Zorv  Updater"));
    QCOMPARE(w.Label7->text(), QString("Brantle Zorv Account Ver 1.0 Updater"));
    QCOMPARE(w.fraDownloadProgress->title(), QString("&File Updater Progress"));
    const QList<QPair<QLabel*, const char*>> labels = {
        {w.Label2, "Total Size:"},
        {w.Label3, "Recieved Size:"},
        {w.Label4, "Speed:"},
        {w.Label5, "Time Remaining:"},
        {w.Label6, "Elapsed Time:"},
        {w.Label9, "Complete:"},
        {w.Label1, "Enter the url in which the file is located:"},
        {w.Label8, "Save Download Path:"},
        {w.Label10, "File Delete Path"},
        {w.Label11, "Change File Name.:"}};
    for (const auto& [label, text] : labels)
        QCOMPARE(label->text(), QString(text));
    const QList<QPair<QWidget*, QPair<const char*, const char*>>> buttons = {
        {w.cmdDownload, {"&Update", "UPDATE QUILLON SOFTWARE"}},
        {w.cmdRun, {"&Run", "RUN QUILLON SOFTWARE"}},
        {w.cmdStop, {"&Stop", "STOP UPDATER"}},
        {w.CmdExit, {"&Exit", "CLOSE UPDATER"}},
        {w.cmdPause, {"&Pause", ""}},
        {w.Command1, {"Command1", ""}}};
    for (const auto& [button, texts] : buttons) {
        auto* drawn = qobject_cast<controls::rkButtons_H*>(button);
        QCOMPARE(drawn ? drawn->Caption() : qobject_cast<QPushButton*>(button)->text(),
                 QString(texts.first));
        QCOMPARE(button->toolTip(), QString(texts.second));
    }
    QVERIFY(w.cmdDownload->isEnabled() && w.cmdStop->isEnabled() && w.CmdExit->isEnabled());
    QVERIFY(!w.cmdRun->isEnabled());
    QVERIFY(w.txtURL->text().startsWith("http://"));
    QVERIFY(w.txtURL->text().endsWith("/update/Zorvupdater.exe"));
    QVERIFY(w.TxtPath->text().endsWith("Zorvupdater.cat"));
    QVERIFY(w.Text2->text().endsWith("Brantle Ver 1.0.exe"));
    QCOMPARE(w.Text1->text(), QString("Brantle Ver 1.0.exe"));
    QVERIFY(w.lblStatus->isHidden());
    QCOMPARE(w.tmrUpdateProgress->interval(), 1);
    QCOMPARE(w.tmrTimeLeft->interval(), 1000);
    QVERIFY(w.tmrUpdateProgress->isActive() && w.tmrTimeLeft->isActive());
    QVERIFY(!app::Download().IsResuming);
}

void WindowTests::layoutInTwips() {
    WindowFixture f;
    app::frmMain w;
    QCOMPARE(w.fraDownloadProgress->geometry(), TwipsRect(120, 480, 5775, 1455));
    QCOMPARE(w.picDownloadProgress->geometry(), TwipsRect(120, 240, 5535, 255));
    QCOMPARE(w.lblStatus->geometry(), w.picDownloadProgress->geometry());
    QCOMPARE(w.lblSize->pos(), TwipsRect(960, 600, 1, 1).topLeft());
    QCOMPARE(w.LBLPR->pos(), TwipsRect(5040, 960, 1, 1).topLeft());
    QCOMPARE(w.cmdPause->geometry(), TwipsRect(2640, 2400, 1095, 375));
    QCOMPARE(w.txtURL->geometry().topLeft(), TwipsRect(120, 3120, 1, 1).topLeft());
    QCOMPARE(w.txtURL->width(), TwipsRect(0, 0, 5775, 1).width());
    for (QWidget* b : {w.cmdDownload, w.cmdRun, w.cmdStop, w.CmdExit})
        QCOMPARE(b->y(), TwipsRect(0, 2040, 1, 1).y());
    QVERIFY(w.cmdDownload->x() < w.cmdRun->x() && w.cmdRun->x() < w.cmdStop->x() &&
            w.cmdStop->x() < w.CmdExit->x());
    QCOMPARE(w.Command1->pos(), TwipsRect(4200, 6000, 1, 1).topLeft());
}

void WindowTests::outerHeightAndResizing() {
    WindowFixture f;
    app::frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(w.frameGeometry().height(), app::TwipsToPixelsY(2910));
    // The button row is in view; the boxes below it are not until the window grows.
    const QPoint buttonBottom = w.cmdDownload->mapTo(&w, QPoint(0, w.cmdDownload->height()));
    QVERIFY(buttonBottom.y() <= w.height());
    QVERIFY(w.txtURL->mapTo(&w, QPoint(0, 0)).y() > w.height());
    // Opens centred on the screen.
    const QPoint offCentre = w.frameGeometry().center() - w.screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 4,
             qPrintable(QString::number(offCentre.manhattanLength())));
    QVERIFY(w.maximumHeight() > w.height());
    QCOMPARE(w.minimumWidth(), w.maximumWidth());
    w.resize(w.width(), w.maximumHeight());
    QTRY_VERIFY(w.Command1->mapTo(&w, QPoint(0, w.Command1->height())).y() <= w.height());
}

void WindowTests::fontsAndColours() {
    WindowFixture f;
    app::frmMain w;
    QCOMPARE(w.Label7->font().families().first(), QString("Comic Sans MS"));
    QCOMPARE(w.Label7->font().pointSizeF(), 12.0);
    QVERIFY(w.Label7->font().bold());
    QVERIFY(QFontInfo(w.Label7->font()).exactMatch() ||
            !QFontInfo(w.Label7->font()).family().isEmpty()); // a fallback face renders
    QCOMPARE(w.Label7->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    QCOMPARE(w.Label7->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(w.lblSize->font().families().first(), QString("Tahoma"));
    QCOMPARE(w.lblSize->font().pointSizeF(), 8.25);
    const QColor highlight = w.palette().color(QPalette::Highlight);
    QCOMPARE(w.centralWidget()->palette().color(QPalette::Window), highlight);
    QCOMPARE(w.fraDownloadProgress->palette().color(QPalette::Window), highlight);
    QCOMPARE(w.lblSize->palette().color(QPalette::WindowText),
             w.palette().color(QPalette::HighlightedText));
    QCOMPARE(w.picDownloadProgress->ForeColor, QColor(0, 255, 0));
}

void WindowTests::menuTree() {
    WindowFixture f;
    app::frmMain w;
    QStringList tree;
    for (QAction* top : w.menuBar()->actions()) {
        tree << top->text();
        for (QAction* item : top->menu()->actions())
            tree << "  " + (item->isSeparator() ? QString("-") : item->text());
    }
    QCOMPARE(tree, QStringList({"&File", "  &New Instance", "  -", "  &Show Header", "  -",
                                "  E&xit", "&Settings", "  &Proxy Server", "  &Ftp Options", "  -",
                                "  &Snarfo! Options", "&About", "  &About Downloader",
                                "  &Tessarin Software Webpage"}));
    QCOMPARE(w.mnuNewInstanceFile->objectName(), QString("mnuNewInstanceFile"));
    QCOMPARE(w.mnuTessarinOnWeb->objectName(), QString("mnuTessarinOnWeb"));
}

void WindowTests::settingsMenuMark_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("marked");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("1.0") << "1.0" << true;
    QTest::newRow("01") << "01" << true;
    QTest::newRow("2") << "2" << false;
    QTest::newRow("absent") << QString() << false;
    QTest::newRow("unreadable") << "on" << false;
}

void WindowTests::settingsMenuMark() {
    QFETCH(QString, value);
    QFETCH(bool, marked);
    WindowFixture f;
    if (!value.isNull())
        f.setSetting("Proxy Use", value);
    app::frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.mnuSettingsProxy->setChecked(!marked);
    w.mnuSettings->popup(w.mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(w.mnuSettings->isVisible());
    QCOMPARE(w.mnuSettingsProxy->isChecked(), marked);
    w.mnuSettings->hide();
}

void WindowTests::clipboardAtStartUp_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("expected"); // empty: the default address stays
    QTest::newRow("blanks around") << QString() << "   http://h.example/b.exe  "
                                   << "http://h.example/b.exe";
    QTest::newRow("setting off") << "0"
                                 << "http://h.example/b.exe" << QString();
    QTest::newRow("ftp after words") << "1"
                                     << "get it at ftp://h/b.exe"
                                     << "get it at ftp://h/b.exe";
    QTest::newRow("no address") << "1"
                                << "just some words" << QString();
    QTest::newRow("case differs") << "1"
                                  << "HTTP://h.example/b.exe" << QString();
    QTest::newRow("unreadable setting") << "maybe"
                                        << "http://h/x"
                                        << "http://h/x";
}

void WindowTests::clipboardAtStartUp() {
    QFETCH(QString, setting);
    QFETCH(QString, clipboard);
    QFETCH(QString, expected);
    WindowFixture f(false);
    if (!setting.isNull())
        f.setSetting("Clipboard", setting);
    QGuiApplication::clipboard()->setText(clipboard);
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), clipboard);
    app::frmMain w;
    if (expected.isEmpty())
        QVERIFY(w.txtURL->text().endsWith("/update/Zorvupdater.exe"));
    else
        QCOMPARE(w.txtURL->text(), expected);
}

void WindowTests::addressBoxTrimsItself() {
    WindowFixture f;
    app::frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.txtURL->setText("http://h/x");
    w.txtURL->setFocus();
    w.txtURL->end(false);
    QTest::keyClick(w.txtURL, Qt::Key_Space);
    QCOMPARE(w.txtURL->text(), QString("http://h/x"));
    w.txtURL->home(false);
    QTest::keyClick(w.txtURL, Qt::Key_Space);
    QCOMPARE(w.txtURL->text(), QString("http://h/x"));
    QTest::keyClicks(w.txtURL, "a");
    QCOMPARE(w.txtURL->text(), QString("ahttp://h/x"));
}

void WindowTests::dropOnAddressBox_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("analysed");
    QTest::newRow("absent") << QString() << false;
    QTest::newRow("on") << "1" << true;
}

void WindowTests::dropOnAddressBox() {
    QFETCH(QString, setting);
    QFETCH(bool, analysed);
    WindowFixture f;
    if (!setting.isNull())
        f.setSetting("Download Drop", setting);
    app::frmMain w;
    app::Download().DownloadURL.clear();
    auto* mime = new QMimeData;
    mime->setText("  http://dropped.example/new.exe ");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.txtURL, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.txtURL, &drop);
    QVERIFY(drop.isAccepted());
    delete mime;
    QCOMPARE(w.txtURL->text(), QString("http://dropped.example/new.exe"));
    QCOMPARE(app::Download().DownloadURL,
             analysed ? QString("  http://dropped.example/new.exe ") : QString());
}

void WindowTests::progressBarPixels() {
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

void WindowTests::screenshot() {
    WindowFixture f;
    app::frmMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    app::Download().Received = 3 * 1048576;
    app::Download().TotalSize = 8 * 1048576;
    QTRY_COMPARE(w.LBLPR->text(), QString("38 %"));
    w.repaint(); // paints and flushes now
    QDir().mkpath("screenshots");
    const QPixmap shot = w.screen()->grabWindow(w.winId());
    QVERIFY(!shot.isNull());
    QVERIFY(shot.save("screenshots/main-window.png"));
    app::Download() = app::DownloadFields{};
}

QTEST_MAIN(WindowTests)
#include "window_tests.moc"
