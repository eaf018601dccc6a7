// A whole update over HTTP: progress display, completion with the replacement of the
// product's executable, "&Run", pause/resume/stop, and further main windows.
#include "capabilities.h"
#include "display_format.h"
#include "window_fixture.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <sys/stat.h>

using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::waitUntil;

namespace {

QByteArray response200(const QByteArray& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QByteArray bodyOf(int size, char seed) {
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>(seed + i * 7);
    return data;
}

} // namespace

class UpdateTests : public QObject {
    Q_OBJECT
private slots:
    void completionReplacesExecutable();
    void replacementWithoutOldExecutable();
    void replacementWithoutDownload();
    void replacementDenied();
    void runStartsTheProduct();
    void progressTexts();
    void idleTicksRepaintNothing();
    void elapsedCounterCarries();
    void pauseAndResumeWithRange();
    void pauseBeforeSizeKnownIsRefused();
    void stopAnsweredNoThenYes();
    void newInstancesShareTheDownload();
    void closingAnyWindowEndsTheProgram();
};

void UpdateTests::completionReplacesExecutable() {
    WindowFixture f;
    ScriptedServer server;
    const QByteArray build = bodyOf(300000, 3);
    server.replyToRequests(response200(build));
    QVERIFY(writeFile(f.path("product.exe"), "old build"));
    QVERIFY(QFile::setPermissions(f.path("product.exe"), QFile::ReadOwner | QFile::WriteOwner |
                                                             QFile::ExeOwner | QFile::ReadGroup |
                                                             QFile::ExeGroup));
    auto& w = f.open("http://127.0.0.1:" + QString::number(server.port()) + "/b.exe");
    w.tmrTimeLeft->start();
    w.cmdDownload->click();
    QVERIFY(waitUntil([&] { return w.cmdRun->isEnabled(); }));
    QCOMPARE(readAll(f.path("product.exe")), build);
    QVERIFY(!QFile::exists(f.path("dl.bin")));
    QCOMPARE(modeOf(f.path("product.exe")), mode_t(0750));
    QCOMPARE(w.lblStatus->text(), QString("Download Completed"));
    QVERIFY(w.lblStatus->isVisible() || !w.isVisible());
    QCOMPARE(w.lblSpeed->text(), QString("0"));
    QCOMPARE(f.buttons(), QString("10011")); // Update, Exit and Run on
    QCOMPARE(app::Download().Received, qint64(0));
    QVERIFY(f.ui.messages.isEmpty());
}

void UpdateTests::replacementWithoutOldExecutable() {
    WindowFixture f;
    auto& w = f.open("http://unused/");
    QVERIFY(writeFile(f.path("dl.bin"), "new build"));
    QVERIFY(QFile::setPermissions(f.path("dl.bin"), QFile::ReadOwner | QFile::WriteOwner));
    const mode_t mask = ::umask(022);
    w.Command1->click();
    ::umask(mask);
    QCOMPARE(readAll(f.path("product.exe")), QByteArray("new build"));
    QCOMPARE(modeOf(f.path("product.exe")), mode_t(0711)); // executable where the umask allows
    QVERIFY(f.ui.messages.isEmpty());
}

void UpdateTests::replacementWithoutDownload() {
    WindowFixture f;
    auto& w = f.open("http://unused/");
    QVERIFY(writeFile(f.path("product.exe"), "old build"));
    w.Command1->click();
    QCOMPARE(f.ui.messages.size(), 1);
    QCOMPARE(f.ui.messages.first().title, QString("Application Error"));
    QCOMPARE(f.ui.messages.first().icon, app::MsgIcon::Critical);
    QVERIFY(f.ui.messages.first().prompt.contains("No such file or directory"));
    QCOMPARE(readAll(f.path("product.exe")), QByteArray("old build"));
}

void UpdateTests::replacementDenied() {
    // The product's folder refuses changes: both files stay, and pressing Command1 again
    // after the folder allows it finishes the replacement.
    WindowFixture f;
    QDir(f.path("")).mkdir("locked");
    auto& w = f.open("http://unused/");
    w.Text2->setText(f.path("locked/product.exe"));
    QVERIFY(writeFile(f.path("locked/product.exe"), "old build"));
    QVERIFY(writeFile(f.path("dl.bin"), "new build"));
    QVERIFY(::chmod(QFile::encodeName(f.path("locked")).constData(), 0555) == 0);
    {
        FileModesEnforced enforced;
        w.Command1->click();
    }
    QCOMPARE(f.ui.messages.size(), 1);
    QCOMPARE(f.ui.messages.first().prompt, QString("Close Velder Application !"));
    QCOMPARE(f.ui.messages.first().title, QString("Application Error"));
    QCOMPARE(f.ui.messages.first().icon, app::MsgIcon::Critical);
    QCOMPARE(readAll(f.path("locked/product.exe")), QByteArray("old build"));
    QCOMPARE(readAll(f.path("dl.bin")), QByteArray("new build"));
    QVERIFY(::chmod(QFile::encodeName(f.path("locked")).constData(), 0755) == 0);
    w.Command1->click();
    QCOMPARE(readAll(f.path("locked/product.exe")), QByteArray("new build"));
    QCOMPARE(f.ui.messages.size(), 1);
}

void UpdateTests::runStartsTheProduct() {
    WindowFixture f;
    auto& w = f.open("http://unused/");
    const QString marker = f.path("ran.txt");
    QVERIFY(writeFile(f.path("product.exe"),
                      "#!/bin/sh\necho \"$PWD\" > '" + QFile::encodeName(marker) + "'\n"));
    QVERIFY(::chmod(QFile::encodeName(f.path("product.exe")).constData(), 0755) == 0);
    w.cmdRun->setEnabled(true);
    w.cmdRun->click();
    QVERIFY(waitUntil([&] { return readAll(marker).size() > 0; }, 30000));
    QCOMPARE(readAll(marker).trimmed(), QFile::encodeName(QFileInfo(f.path("x")).absolutePath()));
}

void UpdateTests::progressTexts() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    WindowFixture f;
    auto& w = f.open("http://unused/");
    auto& d = app::Download();
    d.Received = 512;
    d.TotalSize = 1000;
    w.tmrUpdateProgress_Timer();
    QCOMPARE(w.lblRecieve->text(), QString("512 Bytes"));
    QCOMPARE(w.lblSize->text(), QString("1000 Bytes"));
    QCOMPARE(w.LBLPR->text(), QString("51 %"));
    QCOMPARE(w.Percent, qint16(51));
    d.Received = 999;
    w.tmrUpdateProgress_Timer();
    QCOMPARE(w.LBLPR->text(), QString("100 %"));
    d.Received = 1536;
    d.TotalSize = 0;
    w.tmrUpdateProgress_Timer();
    QCOMPARE(w.lblSize->text(), QString("Unknown"));
    QCOMPARE(w.lblRecieve->text(), QString("1.50 KB"));
    QCOMPARE(w.LBLPR->text(), QString("100 %")); // no percentage while the size is unknown

    d.Received = 1048576;
    d.TotalSize = 1073741824;
    w.Speed = 1.5;
    w.tmrTimeLeft_Timer();
    QCOMPARE(w.lblSpeed->text(), QString("1.50 Kbps"));
    QCOMPARE(w.lblRemaining->text(),
             app::ConvertTime(std::floor((1073741824.0 - 1048576.0) / 1024 / 1.5)));
    QCOMPARE(w.lblRemaining->text(), QString("193:59:28"));
    w.Speed = 0; // no speed: the one-second tick does nothing
    w.lblSpeed->clear();
    w.tmrTimeLeft_Timer();
    QCOMPARE(w.lblSpeed->text(), QString());
    QLocale::setDefault(QLocale::c());
}

void UpdateTests::idleTicksRepaintNothing() {
    WindowFixture f;
    auto& w = f.open("http://unused/");
    w.tmrTimeLeft->start();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto& d = app::Download();
    d.Received = 4000;
    d.TotalSize = 8000;
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
    const int ticksBefore = 0;
    int ticks = ticksBefore;
    QObject::connect(w.tmrUpdateProgress, &QTimer::timeout, [&] { ++ticks; });
    QVERIFY(waitUntil([&] { return ticks >= 50; }, 30000));
    QCOMPARE(counter.paints, 0);
    d.Received = 6000; // a change repaints
    QVERIFY(waitUntil([&] { return counter.paints > 0; }, 30000));
    QCOMPARE(w.LBLPR->text(), QString("75 %"));
    d = app::DownloadFields{};
}

void UpdateTests::elapsedCounterCarries() {
    WindowFixture f;
    auto& w = f.open("http://unused/");
    auto& d = app::Download();
    d.Received = 10;
    d.TotalSize = 100;
    w.Speed = 1;
    d.ElapsedSeconds = 59;
    d.ElapsedMinutes = 59;
    d.ElapsedHours = 0;
    w.tmrTimeLeft_Timer();
    QCOMPARE(d.ElapsedSeconds, qint16(0));
    QCOMPARE(d.ElapsedMinutes, qint16(60));
    QCOMPARE(d.ElapsedHours, qint16(0));
    QCOMPARE(w.lblElapsed->text(), QString("01:00:00")); // minute 60 shows carried
    w.tmrTimeLeft_Timer();
    QCOMPARE(d.ElapsedSeconds, qint16(1));
    QCOMPARE(d.ElapsedMinutes, qint16(0));
    QCOMPARE(d.ElapsedHours, qint16(1));
    QCOMPARE(w.lblElapsed->text(), QString("01:00:01"));
    QVERIFY(!w.cmdRun->isEnabled() && !w.CmdExit->isEnabled());
}

void UpdateTests::pauseAndResumeWithRange() {
    WindowFixture f;
    ScriptedServer server;
    const QByteArray build = bodyOf(100000, 9);
    server.setHandler([&](ScriptedConnection& c) {
        if (!c.received().contains("\r\n\r\n") || c.property("answered").toBool())
            return;
        c.setProperty("answered", true);
        const QByteArray request = c.received();
        const qsizetype at = request.indexOf("Range: bytes=");
        if (at < 0) { // the first request: the header and 40000 bytes, then the line stays open
            c.send(response200(build).left(response200(build).size() - 60000));
            return;
        }
        const qint64 from = request.mid(at + 13, request.indexOf('-', at) - at - 13).toLongLong();
        c.send("HTTP/1.1 206 Partial Content\r\nContent-Length: " +
               QByteArray::number(build.size() - from) + "\r\n\r\n" + build.mid(from));
        c.close();
    });
    auto& w = f.open("http://127.0.0.1:" + QString::number(server.port()) + "/p");
    w.cmdDownload->click();
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
    QVERIFY(!w.Paused);
    QVERIFY(w.tmrTimeLeft->isActive());
    QVERIFY(waitUntil([&] { return server.connections().size() == 2; }));
    QVERIFY(waitUntil([&] { return app::Download().Received == build.size(); }));
    QVERIFY(server.connections().at(1)->received().contains("Range: bytes=40000-\r\n"));
    QCOMPARE(readAll(f.path("dl.bin")), build);
    QCOMPARE(app::Download().TotalSize, qint64(build.size()));
}

void UpdateTests::pauseBeforeSizeKnownIsRefused() {
    WindowFixture f;
    ScriptedServer server; // accepts and says nothing
    auto& w = f.open("http://127.0.0.1:" + QString::number(server.port()) + "/slow");
    w.cmdDownload->click();
    QVERIFY(server.waitForConnections(1));
    w.cmdPause->click();
    QCOMPARE(w.cmdPause->text(), QString("&Pause"));
    QVERIFY(!w.Paused);
    QCOMPARE(f.buttons(), QString("01100"));
}

void UpdateTests::stopAnsweredNoThenYes() {
    WindowFixture f;
    ScriptedServer server;
    const QByteArray build = bodyOf(50000, 1);
    server.setHandler([&](ScriptedConnection& c) { // part of the answer; the line stays open
        if (c.received().contains("\r\n\r\n") && !c.property("answered").toBool()) {
            c.setProperty("answered", true);
            c.send(response200(build).left(30000));
        }
    });
    auto& w = f.open("http://127.0.0.1:" + QString::number(server.port()) + "/s");
    w.cmdDownload->click();
    QVERIFY(waitUntil([&] { return app::Download().Received > 0; }));
    f.ui.answers = {app::vbNo};
    w.cmdStop->click();
    QCOMPARE(f.ui.messages.last().prompt, QString("Stop Update Software !"));
    QCOMPARE(f.ui.messages.last().title, QString("Stop Update"));
    QCOMPARE(f.ui.messages.last().buttons, app::MsgButtons::YesNo);
    QCOMPARE(f.ui.messages.last().icon, app::MsgIcon::None);
    QCOMPARE(w.sckDownload->State(), int(net::sckConnected));
    QCOMPARE(f.buttons(), QString("01100"));
    const qint64 kept = app::Download().Received;
    f.ui.answers = {app::vbYes};
    w.cmdStop->click();
    QCOMPARE(w.lblStatus->text(), QString("Download Aborted"));
    QCOMPARE(w.sckDownload->State(), int(net::sckClosed));
    QCOMPARE(f.buttons(), QString("10010"));
    QCOMPARE(readAll(f.path("dl.bin")).size(), kept); // the partial file stays
}

void UpdateTests::newInstancesShareTheDownload() {
    WindowFixture f;
    auto& w = f.open("http://unused/");
    const int before = QApplication::topLevelWidgets().size();
    w.mnuNewInstanceFile->trigger();
    w.mnuNewInstanceFile->trigger();
    QList<app::frmMain*> windows;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* m = qobject_cast<app::frmMain*>(top); m && m->isVisible())
            windows << m;
    }
    QCOMPARE(windows.size(), 2); // the two new ones are shown; the fixture's is not
    QVERIFY(QApplication::topLevelWidgets().size() >= before + 2);
    QVERIFY(windows[0]->sckDownload != windows[1]->sckDownload);
    QVERIFY(windows[0]->tmrTimeLeft != windows[1]->tmrTimeLeft);
    app::Download().Received = 2048;
    app::Download().TotalSize = 4096;
    QVERIFY(waitUntil([&] {
        return windows[0]->LBLPR->text() == "50 %" && windows[1]->LBLPR->text() == "50 %";
    }));
    app::Download() = app::DownloadFields{};
    for (app::frmMain* m : windows)
        delete m;
}

void UpdateTests::closingAnyWindowEndsTheProgram() {
    WindowFixture f;
    auto& w = f.open("http://unused/");
    w.show();
    w.mnuNewInstanceFile->trigger();
    app::frmMain* second = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* m = qobject_cast<app::frmMain*>(top); m && m != &w && m->isVisible())
            second = m;
    }
    QVERIFY(second);
    bool timedOut = false;
    QTimer::singleShot(0, second, [second] { second->close(); });
    QTimer::singleShot(60000, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    QCOMPARE(QApplication::exec(), 0); // the program's event loop ended
    QVERIFY(!timedOut);
}

QTEST_MAIN(UpdateTests)
#include "update_tests.moc"
