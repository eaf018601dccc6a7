// The main window on a real X display: captions and defaults, menus, start-up with the
// clipboard and the address box.
#include "twips.h"
#include "window_fixture.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
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
        QVERIFY(w.lblStatus->isHidden());
    }

    // Every label holds its text (and the progress values at their widest) without cutting it.
    void labelsHoldTheirTexts() {
        WindowFixture f;
        app::frmMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QList<QPair<QLabel*, QString>> values = {
            {w.lblSize, "1023.99 MB"},    {w.lblRecieve, "1023.99 MB"},
            {w.lblSpeed, "1023.99 Kbps"}, {w.lblRemaining, "00:00:00"},
            {w.lblElapsed, "00:00:00"},   {w.LBLPR, "100 %"}};
        for (const auto& [label, text] : values)
            label->setText(text);
        QStringList cut;
        for (QLabel* l : w.findChildren<QLabel*>()) {
            if (!l->isVisible() || l->text().isEmpty() || l->wordWrap())
                continue;
            const int needed = l->fontMetrics().horizontalAdvance(l->text());
            if (needed > l->contentsRect().width())
                cut << QString("%1 \"%2\" %3>%4")
                           .arg(l->objectName(), l->text())
                           .arg(needed)
                           .arg(l->contentsRect().width());
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
        // Along each row, a text ends at least two pixels before the next label begins.
        const QList<QList<QLabel*>> rows = {
            {w.Label2, w.lblSize, w.Label3, w.lblRecieve, w.Label4, w.lblSpeed},
            {w.Label5, w.lblRemaining, w.Label6, w.lblElapsed, w.Label9, w.LBLPR}};
        for (const QList<QLabel*>& row : rows) {
            for (int i = 0; i + 1 < row.size(); ++i) {
                const int end =
                    row[i]->x() + row[i]->fontMetrics().horizontalAdvance(row[i]->text());
                QVERIFY2(end + 2 <= row[i + 1]->x(), qPrintable(row[i]->objectName()));
            }
            QVERIFY(row.last()->geometry().right() < w.fraDownloadProgress->width());
        }
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
        // The client area shows the button row (ending at 2415 twips) and a margin of six
        // pixels, not the Pause button below it.
        const int clientTop = w.centralWidget()->mapTo(&w, QPoint(0, 0)).y();
        QTRY_COMPARE(w.height() - clientTop, app::TwipsToPixelsY(2415) + 6);
        QVERIFY(w.cmdPause->mapTo(&w, QPoint(0, 0)).y() >= w.height());
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
1|https://h.example/b.exe|https://h.example/b.exe
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
};

QTEST_MAIN(WindowTests)
#include "window_tests.moc"
