// The update around the transfer: the replacement of the product's executable, "&Run", the
// progress display, and pause and resume.
#include "progress_picture.h"
#include "window_fixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace apptest;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::waitUntil;

namespace {

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// Clicks `button` without the capabilities that let root ignore file modes.
void clickWithFileModesEnforced(QPushButton* button) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
    const bool got = syscall(SYS_capget, &header, saved) == 0;
    __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        reduced[cap / 32].effective &= ~(1u << (cap % 32));
    const bool dropped = got && syscall(SYS_capset, &header, reduced) == 0;
    button->click();
    if (dropped)
        syscall(SYS_capset, &header, saved);
}

} // namespace

class UpdateTests : public QObject {
    Q_OBJECT
private slots:
    // The replacement (Command1) without an old executable, without a download, and in a
    // folder that refuses changes until it is opened again.
    void replacementCases() {
        WindowFixture f;
        auto& w = f.open("http://unused/");
        QVERIFY(writeFile(f.path("dl.bin"), "new build"));
        QVERIFY(setMode(f.path("dl.bin"), 0600));
        const mode_t mask = ::umask(022);
        w.Command1->click();
        ::umask(mask);
        QCOMPARE(readAll(f.path("product.exe")), QByteArray("new build"));
        QCOMPARE(modeOf(f.path("product.exe")), mode_t(0711)); // executable as the umask allows
        QVERIFY(f.ui.messages.isEmpty());

        w.Command1->click(); // the download is gone now
        QCOMPARE(f.ui.messages.size(), 1);
        QVERIFY(f.ui.messages[0].title == "Application Error" &&
                f.ui.messages[0].prompt.contains("No such file or directory"));
        QCOMPARE(readAll(f.path("product.exe")), QByteArray("new build"));

        QVERIFY(QDir(f.path("")).mkdir("locked"));
        w.Text2->setText(f.path("locked/product.exe"));
        QVERIFY(writeFile(f.path("locked/product.exe"), "old build"));
        QVERIFY(writeFile(f.path("dl.bin"), "newer build"));
        QVERIFY(setMode(f.path("locked"), 0555));
        clickWithFileModesEnforced(w.Command1);
        QCOMPARE(f.ui.messages.size(), 2);
        QCOMPARE(f.ui.messages[1].prompt + '|' + f.ui.messages[1].title,
                 QString("Close Velder Application !|Application Error"));
        QCOMPARE(f.ui.messages[1].icon, app::MsgIcon::Critical);
        QCOMPARE(readAll(f.path("locked/product.exe")), QByteArray("old build"));
        QCOMPARE(readAll(f.path("dl.bin")), QByteArray("newer build"));
        QVERIFY(setMode(f.path("locked"), 0755));
        w.Command1->click();
        QCOMPARE(readAll(f.path("locked/product.exe")), QByteArray("newer build"));
        QCOMPARE(f.ui.messages.size(), 2);
    }

    void runStartsTheProduct() {
        WindowFixture f;
        auto& w = f.open("http://unused/");
        const QString marker = f.path("ran.txt");
        QVERIFY(writeFile(f.path("product.exe"),
                          "#!/bin/sh\necho \"$PWD\" > '" + QFile::encodeName(marker) + "'\n"));
        QVERIFY(setMode(f.path("product.exe"), 0755));
        w.cmdRun->setEnabled(true);
        w.cmdRun->click();
        QVERIFY(waitUntil([&] { return readAll(marker).size() > 0; }, 30000));
        QCOMPARE(readAll(marker).trimmed(), QFile::encodeName(QFileInfo(marker).absolutePath()));
    }

    void progressTexts() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        WindowFixture f;
        auto& w = f.open("http://unused/");
        auto& d = app::Download();
        const auto texts = [&](qint64 received, qint64 total) {
            d.Received = received;
            d.TotalSize = total;
            w.tmrUpdateProgress_Timer();
            return w.lblRecieve->text() + '|' + w.lblSize->text() + '|' + w.LBLPR->text();
        };
        QCOMPARE(QStringList({texts(512, 1000), texts(999, 1000), texts(1536, 0)}).join(' '),
                 "512 Bytes|1000 Bytes|51 % 999 Bytes|1000 Bytes|100 % 1.50 KB|Unknown|100 %");

        texts(1048576, 1073741824);
        w.Speed = 1.5;
        d.ElapsedMinutes = 59;
        d.ElapsedSeconds = 59;
        w.tmrTimeLeft_Timer();
        QCOMPARE(w.lblSpeed->text() + '|' + w.lblRemaining->text() + '|' + w.lblElapsed->text(),
                 QString("1.50 Kbps|193:59:28|01:00:00")); // minute 60 shows carried
        w.tmrTimeLeft_Timer();
        QCOMPARE(QList<qint16>({d.ElapsedHours, d.ElapsedMinutes, d.ElapsedSeconds}),
                 QList<qint16>({1, 0, 1}));
        w.Speed = 0; // no speed: the one-second tick does nothing
        w.lblSpeed->clear();
        w.tmrTimeLeft_Timer();
        QCOMPARE(w.lblSpeed->text(), QString());
        QLocale::setDefault(QLocale::c());
    }

    void idleTicksRepaintNothing() {
        WindowFixture f;
        auto& w = f.open("http://unused/");
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        app::Download().Received = 4000;
        app::Download().TotalSize = 8000;
        QTRY_COMPARE(w.LBLPR->text(), QString("50 %"));
        // The bar is drawn Not-Xor-Pen over the background: ~(green ^ background).
        const QImage& bar = w.picDownloadProgress->image();
        const QRgb background = w.picDownloadProgress->BackColor.rgb();
        QCOMPARE(QList<QRgb>({bar.pixel(1, bar.height() / 2), bar.pixel(bar.width() - 1, 0)}),
                 QList<QRgb>({~(qRgb(0, 255, 0) ^ background) | 0xff000000, background}));
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                paints += e->type() == QEvent::Paint;
                return false;
            }
        } counter;
        QCoreApplication::processEvents();
        for (QWidget* child : w.findChildren<QWidget*>())
            child->installEventFilter(&counter);
        int ticks = 0;
        QObject::connect(w.tmrUpdateProgress, &QTimer::timeout, [&] { ++ticks; });
        QVERIFY(waitUntil([&] { return ticks >= 50; }, 30000));
        QCOMPARE(counter.paints, 0);
        app::Download().Received = 6000; // a change repaints
        QVERIFY(waitUntil([&] { return counter.paints > 0; }, 30000));
        QCOMPARE(w.LBLPR->text(), QString("75 %"));
    }

    // The first request gets 40000 bytes and stays open; the one with a Range gets the rest.
    void pauseAndResumeWithRange() {
        WindowFixture f;
        ScriptedServer server;
        const QByteArray build = pattern(100000, 9);
        server.setHandler([&](ScriptedConnection& c) {
            if (!c.received().contains("\r\n\r\n") || c.property("answered").toBool())
                return;
            c.setProperty("answered", true);
            if (!c.received().contains("Range: bytes=40000-\r\n"))
                return c.send(okResponse(build).chopped(60000));
            c.send("HTTP/1.1 206 Partial Content\r\nContent-Length: 60000\r\n\r\n" +
                   build.mid(40000));
            c.close();
        });
        auto& w = f.open("http://127.0.0.1:" + QString::number(server.port()) + "/p");
        w.cmdDownload->click();
        w.cmdPause->click(); // before the size is known: refused
        QCOMPARE(w.cmdPause->text(), QString("&Pause"));
        QVERIFY(waitUntil([] { return app::Download().Received == 40000; }));
        w.cmdPause->click();
        QCOMPARE(w.cmdPause->text() + '|' + w.lblStatus->text(),
                 QString("&Resume|Download Paused"));
        QCOMPARE(w.sckDownload->State(), int(net::sckClosed));
        QCOMPARE(f.buttons(), QString("01000"));
        QVERIFY(!w.tmrTimeLeft->isActive());
        w.cmdPause->click();
        QCOMPARE(w.cmdPause->text(), QString("&Pause"));
        QVERIFY(!w.Paused && w.tmrTimeLeft->isActive());
        QVERIFY(f.waitForDownload(build.size()));
        QCOMPARE(server.connections().size(), 2);
        QCOMPARE(readAll(f.path("dl.bin")), build);
    }

    // The file-exists dialog belongs to the window that shows it; deleting that window must
    // leave the next window a working dialog (and the program's end nothing to delete twice).
    void existDialogOutlivesItsWindow() {
        for (int round = 0; round < 2; ++round) {
            WindowFixture f;
            QVERIFY(writeFile(f.path("dl.bin"), "partial"));
            f.ui.dialogAnswers = {"cmdCancel"};
            f.open("http://127.0.0.1:9/x").cmdDownload->click();
            QCOMPARE(f.ui.dialogsShown, 1);
            QCOMPARE(app::ExistDialog().parentWidget(), f.window.get());
        }
        QCOMPARE(app::ExistDialog().parentWidget(), nullptr);
    }

    // "&New Instance" opens windows that show the one shared download; closing any window ends
    // the program.
    void furtherWindows() {
        WindowFixture f;
        f.open("http://unused/").mnuNewInstanceFile->trigger();
        f.window->mnuNewInstanceFile->trigger();
        QList<QPointer<app::frmMain>> windows;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<app::frmMain*>(top); m && m->isVisible())
                windows << m;
        QCOMPARE(windows.size(), 2); // the fixture's window is not shown
        app::Download().Received = 2048;
        app::Download().TotalSize = 4096;
        QVERIFY(waitUntil(
            [&] { return windows[0]->LBLPR->text() + windows[1]->LBLPR->text() == "50 %50 %"; }));
        // windows[0] stays open: only the program's end can stop this event loop in time.
        QTimer::singleShot(0, windows[1], [&] { windows[1]->close(); });
        QTimer::singleShot(60000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        for (const QPointer<app::frmMain>& window : windows)
            delete window.data();
    }
};

QTEST_MAIN(UpdateTests)
#include "update_tests.moc"
