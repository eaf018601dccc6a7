// A whole update over HTTP: progress display, completion with the replacement of the
// product's executable, "&Run", pause/resume/stop, and further main windows.
#include "capabilities.h"
#include "display_format.h"
#include "window_fixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <sys/stat.h>

using namespace apptest;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::waitUntil;

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// Answers the first request with the first `sent` bytes of a 200 response for `body` and
// keeps the connection open; a request with a Range gets the rest as a 206.
void serveInTwoParts(ScriptedServer& server, const QByteArray& body, qsizetype sent) {
    server.setHandler([body, sent](ScriptedConnection& c) {
        if (!c.received().contains("\r\n\r\n") || c.property("answered").toBool())
            return;
        c.setProperty("answered", true);
        const QByteArray request = c.received();
        const qsizetype at = request.indexOf("Range: bytes=");
        if (at < 0)
            return c.send(okResponse(body).left(sent));
        const qint64 from = request.mid(at + 13, request.indexOf('-', at) - at - 13).toLongLong();
        c.send("HTTP/1.1 206 Partial Content\r\nContent-Length: " +
               QByteArray::number(body.size() - from) + "\r\n\r\n" + body.mid(from));
        c.close();
    });
}

QList<app::frmMain*> visibleWindows() {
    QList<app::frmMain*> windows;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* m = qobject_cast<app::frmMain*>(top); m && m->isVisible())
            windows << m;
    }
    return windows;
}

} // namespace

class UpdateTests : public QObject {
    Q_OBJECT
private slots:
    void completionReplacesExecutable() {
        WindowFixture f;
        ScriptedServer server;
        const QByteArray build = pattern(300000, 3);
        server.replyToRequests(okResponse(build));
        QVERIFY(writeFile(f.path("product.exe"), "old build"));
        QVERIFY(setMode(f.path("product.exe"), 0750));
        auto& w = f.open(localUrl(server.port(), "/b.exe"));
        w.tmrTimeLeft->start();
        w.cmdDownload->click();
        QVERIFY(waitUntil([&] { return w.cmdRun->isEnabled(); }));
        QCOMPARE(readAll(f.path("product.exe")), build);
        QVERIFY(!QFile::exists(f.path("dl.bin")));
        QCOMPARE(modeOf(f.path("product.exe")), mode_t(0750));
        QCOMPARE(w.lblStatus->text(), QString("Download Completed"));
        QCOMPARE(w.lblSpeed->text(), QString("0"));
        QCOMPARE(f.buttons(), QString("10011")); // Update, Exit and Run on
        QCOMPARE(app::Download().Received, qint64(0));
        QVERIFY(f.ui.messages.isEmpty());
    }

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
        QCOMPARE(f.ui.messages[0].title, QString("Application Error"));
        QCOMPARE(f.ui.messages[0].icon, app::MsgIcon::Critical);
        QVERIFY(f.ui.messages[0].prompt.contains("No such file or directory"));
        QCOMPARE(readAll(f.path("product.exe")), QByteArray("new build"));

        QVERIFY(QDir(f.path("")).mkdir("locked"));
        w.Text2->setText(f.path("locked/product.exe"));
        QVERIFY(writeFile(f.path("locked/product.exe"), "old build"));
        QVERIFY(writeFile(f.path("dl.bin"), "newer build"));
        QVERIFY(setMode(f.path("locked"), 0555));
        {
            FileModesEnforced enforced;
            w.Command1->click();
        }
        QCOMPARE(f.ui.messages.size(), 2);
        QCOMPARE(f.ui.messages[1].prompt, QString("Close Velder Application !"));
        QCOMPARE(f.ui.messages[1].title, QString("Application Error"));
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
        d.Received = 512;
        d.TotalSize = 1000;
        w.tmrUpdateProgress_Timer();
        QCOMPARE(w.lblRecieve->text() + '|' + w.lblSize->text() + '|' + w.LBLPR->text(),
                 QString("512 Bytes|1000 Bytes|51 %"));
        d.Received = 999;
        w.tmrUpdateProgress_Timer();
        QCOMPARE(w.LBLPR->text(), QString("100 %"));
        d.Received = 1536;
        d.TotalSize = 0; // no percentage while the size is unknown
        w.tmrUpdateProgress_Timer();
        QCOMPARE(w.lblRecieve->text() + '|' + w.lblSize->text() + '|' + w.LBLPR->text(),
                 QString("1.50 KB|Unknown|100 %"));

        d.Received = 1048576;
        d.TotalSize = 1073741824;
        w.Speed = 1.5;
        d.ElapsedMinutes = 59;
        d.ElapsedSeconds = 59;
        w.tmrTimeLeft_Timer();
        QCOMPARE(w.lblSpeed->text(), QString("1.50 Kbps"));
        QCOMPARE(w.lblRemaining->text(), QString("193:59:28"));
        QCOMPARE(QList<qint16>({d.ElapsedHours, d.ElapsedMinutes, d.ElapsedSeconds}),
                 QList<qint16>({0, 60, 0}));
        QCOMPARE(w.lblElapsed->text(), QString("01:00:00")); // minute 60 shows carried
        w.tmrTimeLeft_Timer();
        QCOMPARE(QList<qint16>({d.ElapsedHours, d.ElapsedMinutes, d.ElapsedSeconds}),
                 QList<qint16>({1, 0, 1}));
        QCOMPARE(w.lblElapsed->text(), QString("01:00:01"));
        QVERIFY(!w.cmdRun->isEnabled() && !w.CmdExit->isEnabled());
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

    void pauseAndResumeWithRange() {
        WindowFixture f;
        ScriptedServer server;
        const QByteArray build = pattern(100000, 9);
        serveInTwoParts(server, build, okResponse(build).size() - 60000);
        auto& w = f.open(localUrl(server.port(), "/p"));
        w.cmdDownload->click();
        w.cmdPause->click(); // before the size is known: refused
        QCOMPARE(w.cmdPause->text(), QString("&Pause"));
        QCOMPARE(f.buttons(), QString("01100"));
        QVERIFY(waitUntil([] { return app::Download().Received == 40000; }));
        w.cmdPause->click();
        QCOMPARE(w.cmdPause->text(), QString("&Resume"));
        QVERIFY(w.Paused);
        QCOMPARE(w.lblStatus->text(), QString("Download Paused"));
        QCOMPARE(w.sckDownload->State(), int(net::sckClosed));
        QCOMPARE(f.buttons(), QString("01000"));
        QVERIFY(!w.tmrTimeLeft->isActive());
        w.cmdPause->click();
        QCOMPARE(w.cmdPause->text(), QString("&Pause"));
        QVERIFY(!w.Paused && w.tmrTimeLeft->isActive());
        QVERIFY(f.waitForDownload(build.size()));
        QCOMPARE(server.connections().size(), 2);
        QVERIFY(server.connections().at(1)->received().contains("Range: bytes=40000-\r\n"));
        QCOMPARE(readAll(f.path("dl.bin")), build);
    }

    void stopAnsweredNoThenYes() {
        WindowFixture f;
        ScriptedServer server;
        serveInTwoParts(server, pattern(50000, 1), 30000);
        auto& w = f.open(localUrl(server.port(), "/s"));
        w.cmdDownload->click();
        QVERIFY(waitUntil([&] { return app::Download().Received > 0; }));
        f.ui.answers = {app::vbNo, app::vbYes};
        w.cmdStop->click();
        const RecordedMessage m = f.ui.messages.last();
        QCOMPARE(m.prompt + '|' + m.title, QString("Stop Update Software !|Stop Update"));
        QCOMPARE(m.buttons, app::MsgButtons::YesNo);
        QCOMPARE(m.icon, app::MsgIcon::None);
        QCOMPARE(w.sckDownload->State(), int(net::sckConnected));
        QCOMPARE(f.buttons(), QString("01100"));
        const qint64 kept = app::Download().Received;
        w.cmdStop->click();
        QCOMPARE(w.lblStatus->text(), QString("Download Aborted"));
        QCOMPARE(w.sckDownload->State(), int(net::sckClosed));
        QCOMPARE(f.buttons(), QString("10010"));
        QCOMPARE(readAll(f.path("dl.bin")).size(), kept); // the partial file stays
    }

    // New windows have their own socket and timers but show the one shared download; closing
    // any window ends the program.
    void furtherWindows() {
        WindowFixture f;
        auto& w = f.open("http://unused/");
        w.mnuNewInstanceFile->trigger();
        w.mnuNewInstanceFile->trigger();
        const QList<app::frmMain*> windows = visibleWindows();
        QCOMPARE(windows.size(), 2); // the two new ones are shown; the fixture's is not
        QVERIFY(windows[0]->sckDownload != windows[1]->sckDownload);
        QVERIFY(windows[0]->tmrTimeLeft != windows[1]->tmrTimeLeft);
        app::Download().Received = 2048;
        app::Download().TotalSize = 4096;
        QVERIFY(waitUntil([&] {
            return windows[0]->LBLPR->text() == "50 %" && windows[1]->LBLPR->text() == "50 %";
        }));
        // windows[0] stays open: only the program's end can stop this event loop in time.
        const QList<QPointer<app::frmMain>> owned(windows.begin(), windows.end());
        bool timedOut = false;
        QTimer::singleShot(0, windows[1], [&] { windows[1]->close(); });
        QTimer::singleShot(60000, [&timedOut] {
            timedOut = true;
            QCoreApplication::exit(1);
        });
        QCOMPARE(QApplication::exec(), 0); // the program's event loop ended
        QVERIFY(!timedOut);
        for (const QPointer<app::frmMain>& window : owned)
            delete window.data();
    }
};

QTEST_MAIN(UpdateTests)
#include "update_tests.moc"
