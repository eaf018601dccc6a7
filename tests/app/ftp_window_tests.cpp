// FTP downloads through the main window against pyftpdlib and scripted servers, friendly,
// faulty and hostile.
#include "cftpconnection.h"
#include "ftp_address.h"
#include "scripted_ftp.h"
#include "window_fixture.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>

using namespace apptest;
using testsupport::sameFileContents;
using testsupport::waitUntil;

namespace {

constexpr qint64 kBig = 40 * 1024 * 1024;
constexpr qint64 kMiB = 1024 * 1024;

QString ftpUrl(const QString& pathAndMore, quint16 port) {
    return "ftp://" + pathAndMore + ":" + QString::number(port);
}

// Runs `action` from the event loop, as a user would, once the FTP client reports `bytes`.
void whenReceived(app::frmMain& w, qint64 bytes, std::function<void()> action) {
    auto* poll = new QTimer(&w);
    QObject::connect(poll, &QTimer::timeout, [&w, poll, bytes, action] {
        if (!w.CFtpConnection)
            return;
        poll->stop();
        QObject::connect(w.CFtpConnection, &ftp::CFtpConnection::DownloadProgress, poll,
                         [poll, bytes, action, done = false](qint64 n) mutable {
                             if (n >= bytes && !std::exchange(done, true))
                                 QTimer::singleShot(0, poll, action);
                         });
    });
    poll->start(1);
}

} // namespace

class FtpWindowTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(testsupport::writeRandomFile(source("big.bin"), kBig, 21));
        QVERIFY(QDir(root_.path()).mkpath("nested/deeper"));
        QVERIFY(testsupport::writeRandomFile(source("nested/deeper/small.bin"), 300000, 22));
        QVERIFY(testsupport::writeRandomFile(source("small.bin"), 70000, 23));
        QVERIFY2(pyftpd_.start(root_.path()), qPrintable(pyftpd_.errorText()));
    }

    void addressSplit() {
        // address after "ftp://" | user | password | host | port | folder | file ("A": the
        // anonymous password)
        const QStringList rows =
            QStringLiteral(R"(H/pub/tools/f.zip|anonymous|A|H|21|/pub/tools|f.zip
u:p@H/pub/tools/f.zip|u|p|H|21|/pub/tools|f.zip
H/pub/tools/f.zip:2121|anonymous|A|H|2121|/pub/tools|f.zip
H/f.zip|anonymous|A|H|21||f.zip
H:2121/f.zip|anonymous|A|H:2121|21||f.zip
u@H/d/f.zip|u||H|21|/d|f.zip
u:p@ss@H/d/f.zip:99|u|p@ss|H|99|/d|f.zip
H/a:b/f.zip|anonymous|A|H|21|/a:b|f.zip
H|anonymous|A|H|21||
/f.zip|anonymous|A||21||f.zip
H/f.zip:abc|anonymous|A|H|abc||f.zip)")
                .split('\n');
        for (const QString& row : rows) {
            const QString rest = row.section('|', 0, 0);
            const app::FtpAddress a = app::SplitFtpAddress(rest, "A");
            QCOMPARE(
                QStringList({rest, a.user, a.password, a.host, a.port, a.directory, a.fileName})
                    .join('|'),
                row);
        }
    }

    // The whole update in active mode with a named login (pauseAndResume: passive, anonymous).
    void activeNamedDownload() {
        WindowFixture f;
        f.setSetting("FTP PASV", "0");
        const QString file = "nested/deeper/small.bin";
        auto& w = f.open(ftpUrl("tester:secret@127.0.0.1/" + file, pyftpd_.port()), "dl.bin", true);
        QVERIFY(writeFile(f.path("product.exe"), "old build"));
        w.cmdDownload->click();
        QVERIFY(waitUntil([&] { return w.cmdRun->isEnabled(); }, 120000));
        QVERIFY(sameFileContents(source(file), f.path("product.exe")));
        QVERIFY(!QFile::exists(f.path("dl.bin")));
        QCOMPARE(f.buttons(), QString("10011"));
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(pyftpd_.log().contains("USER tester") && pyftpd_.log().contains("<- PORT"));
    }

    // Paused after 8 MiB of a passive anonymous download, resumed from the partial file.
    void pauseAndResume() {
        WindowFixture f;
        auto& w = f.open(ftpUrl("127.0.0.1/big.bin", pyftpd_.port()), "dl.bin", true);
        whenReceived(w, 8 * kMiB, [&w] { w.cmdPause->click(); });
        w.cmdDownload->click(); // returns when the pause has ended the routine
        QCOMPARE(w.cmdPause->text() + '|' + w.lblStatus->text(), "&Resume|Download Paused");
        QVERIFY(w.Paused && w.CFtpConnection == nullptr);
        const qint64 partial = QFileInfo(f.path("dl.bin")).size();
        QVERIFY2(partial >= 8 * kMiB && partial < kBig, qPrintable(QString::number(partial)));
        QVERIFY(waitUntil([&] { return pyftpd_.log().contains("<- ABOR"); }));
        w.cmdPause->click(); // resume: the rest is fetched from the partial file's length
        QVERIFY(waitUntil([&] { return w.cmdRun->isEnabled(); }, 120000));
        QVERIFY(sameFileContents(source("big.bin"), f.path("product.exe")));
        QVERIFY(pyftpd_.log().contains("<- REST " + QString::number(partial)));
        QVERIFY(pyftpd_.log().contains("USER anonymous") && pyftpd_.log().contains("<- PASV"));
        QCOMPARE(f.buttons(), QString("10011"));
        QVERIFY(!QFile::exists(f.path("dl.bin")) && f.ui.messages.isEmpty());
    }

    // The data connection breaks after 12000 of 30000 bytes and the server says 426, which
    // closes the control connection: "Retry" connects again and goes on from the partial file
    // with REST, and the update completes with the whole file.
    void retryAfterBrokenDataConnection() {
        const QByteArray content = pattern(30000, 9);
        ScriptedFtpFile server(content, content.size());
        int retrs = 0;
        server.onRetr = [&]() -> ScriptedFtp::Pieces {
            if (retrs++ == 0) {
                server.sendOnData(content.left(12000));
                return {"150 sending\r\n", "426 data connection broken\r\n"};
            }
            server.sendOnData(content.mid(std::exchange(server.offset, 0)));
            return {"150 sending\r\n", "226 sent\r\n"};
        };
        WindowFixture f;
        QVERIFY(writeFile(f.path("product.exe"), "old build"));
        f.ui.answers = {app::vbRetry};
        auto& w = f.open(server.url(), "dl.bin", true);
        w.cmdDownload->click();
        QVERIFY(waitUntil([&] { return w.cmdRun->isEnabled(); }));
        QCOMPARE(f.ui.messages.size(), 1);
        QVERIFY(f.ui.messages.first().prompt.contains("426 data connection broken"));
        QCOMPARE(readAll(f.path("product.exe")), content);
        QCOMPARE(server.ftp.server.connections().size(), 2);
        const QString second = server.ftp.lines().join(',');
        QVERIFY2(second.startsWith("USER anonymous") && second.endsWith(",REST 12000,RETR f.bin"),
                 qPrintable(second));
    }

    // A stop while the client waits for a server that never greets ends the wait long before
    // the time-out, and asks nothing more.
    void stopWhileConnecting() {
        ScriptedFtp silent;
        silent.greeting = {};
        WindowFixture f;
        f.setSetting("FTP Timeout", "120");
        auto& w = f.open(ftpUrl("127.0.0.1/f.bin", silent.port()));
        f.ui.answers = {app::vbYes};
        QTimer::singleShot(0, [&] {
            if (silent.server.waitForConnections(1))
                w.cmdStop->click();
        });
        QElapsedTimer clock;
        clock.start();
        w.cmdDownload->click();
        QVERIFY(clock.elapsed() < 60000);
        QCOMPARE(f.ui.messages.size(), 1); // the stop question only
        QCOMPARE(w.lblStatus->text() + '|' + f.buttons(), "Download Aborted|10010");
    }

    void retryQuestions_data() {
        QTest::addColumn<QString>("address"); // %1: pyftpdlib's port, %2: a silent server's
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QString>("prompt"); // the start of each question
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("logged"); // in the server's log once per question
        const int critical = int(app::MsgIcon::Critical);
        const QList<int> retryCancel = {app::vbRetry, app::vbCancel};
        const QList<int> cancel = {app::vbCancel};
        const QString connectError = "Error occured while conencting to server: \r\n";
        QTest::newRow("missing file")
            << "ftp://127.0.0.1/nothing.bin:%1" << retryCancel
            << "Server returned the following error:\r\n550 " << 0 << "<- RETR nothing.bin";
        QTest::newRow("missing folder")
            << "ftp://127.0.0.1/nope/small.bin:%1" << retryCancel
            << "Error occured while changing server directory to: \r\n/nope" << critical
            << "<- CWD /nope";
        QTest::newRow("port not a number") << "ftp://127.0.0.1/small.bin:x%1" << cancel
                                           << connectError + "127.0.0.1" << critical << "";
        QTest::newRow("silent server") << "ftp://127.0.0.1/small.bin:%2" << retryCancel
                                       << connectError + "127.0.0.1" << critical << "";
        QTest::newRow("empty host")
            << "ftp:///small.bin:%1" << cancel << connectError << critical << "";
    }
    // Each failed step asks Retry/Cancel; Retry repeats the step, Cancel ends the routine and
    // leaves the window as for a running transfer, which "&Stop" then cannot reset.
    void retryQuestions() {
        QFETCH(QString, address);
        QFETCH(QList<int>, answers);
        QFETCH(QString, prompt);
        QFETCH(int, icon);
        QFETCH(QString, logged);
        ScriptedFtp silent;
        silent.greeting = {};
        WindowFixture f;
        f.setSetting("FTP Timeout", "2");
        auto& w = f.open(address.replace("%1", QString::number(pyftpd_.port()))
                             .replace("%2", QString::number(silent.port())));
        f.ui.answers = answers;
        const int before = logged.isEmpty() ? 0 : pyftpd_.log().count(logged);
        w.cmdDownload->click();
        QCOMPARE(f.ui.messages.size(), answers.size());
        for (const RecordedMessage& m : f.ui.messages) {
            QVERIFY2(m.prompt.startsWith(prompt), qPrintable(m.prompt));
            QCOMPARE(m.buttons, app::MsgButtons::RetryCancel);
            QCOMPARE(int(m.icon), icon);
            QCOMPARE(m.title, QString("Quillon Updater"));
        }
        if (!logged.isEmpty())
            QVERIFY(
                waitUntil([&] { return pyftpd_.log().count(logged) == before + answers.size(); }));
        QVERIFY(!QFile::exists(f.path("dl.bin")));
        QVERIFY(w.CFtpConnection == nullptr);
        QCOMPARE(f.buttons(), QString("01100"));
        f.ui.answers = {app::vbYes};
        w.cmdStop->click();
        QVERIFY(w.Paused && w.lblStatus->isHidden());
        QCOMPARE(f.buttons(), QString("01100"));
    }

    // One file of 30000 bytes. Each row ends with its first message, the save path holding
    // `kept` bytes, the executable replaced only when the row completes, and bounded resources.
    void scripted_data() {
        // "Name=value" settings; "504": REST refused, a partial file of 10000 bytes there before;
        // "listed=N"; "silent": 150, then nothing; "elsewhere": PASV names 127.0.0.2.
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QString>("prompt"); // the start of the first message
        QTest::addColumn<int>("kept");       // -1: replaced the executable
        const QString error = "Server returned the following error:\r\n";
        const QStringList silent = {"silent", "FTP Timeout=1", "FTP PASV=1"};
        // A 504 to REST: the message, then the whole file in the same run.
        QTest::newRow("REST refused")
            << QStringList{"504"} << "Server did not accept resuming." << -1;
        // The transfer ends at another size than the listing gave: not taken for complete.
        for (const QString listed : {"40000", "20000"})
            QTest::newRow(qPrintable("listing says " + listed))
                << QStringList{"listed=" + listed}
                << error + "30000 bytes arrived, the server listed " + listed + " bytes.\r\n"
                << 30000;
        // A PASV reply naming another host is followed only for its port: the client still
        // reaches the data server on 127.0.0.1, which stays silent, so the step fails by time-out.
        QTest::newRow("150, passive data stays silent") << silent << error << 0;
        QTest::newRow("150, server never connects")
            << QStringList{"silent", "FTP Timeout=1", "FTP PASV=0"} << error << 0;
        QTest::newRow("PASV names another host") << silent + QStringList{"elsewhere"} << error << 0;
    }
    void scripted() {
        QFETCH(QStringList, settings);
        QFETCH(QString, prompt);
        QFETCH(int, kept);
        const int existing = settings.contains("504") ? 10000 : 0;
        const qint64 listed =
            settings.filter("listed=").value(0, "listed=30000").mid(7).toLongLong();
        const QByteArray content = pattern(30000, 5);
        const ResourceProbe probe;
        {
            ScriptedFtpFile server(content, listed);
            server.refuseRest = settings.contains("504");
            server.pasvElsewhere = settings.contains("elsewhere");
            server.onRetr = [&]() -> ScriptedFtp::Pieces {
                if (settings.contains("silent"))
                    return {"150 opening\r\n"};
                server.sendOnData(content);
                // The final reply comes late, so the one-second timer sees the bytes first.
                QTimer::singleShot(1500, [&] { server.ftp.connection->send("226 sent\r\n"); });
                return {"150 sending\r\n"};
            };
            if (existing > 0)
                server.onRetr = nullptr;
            WindowFixture f;
            for (const QString& s : settings)
                if (s.startsWith("FTP "))
                    f.setSetting(s.section('=', 0, 0).toLatin1().constData(), s.section('=', 1));
            QVERIFY(writeFile(f.path("product.exe"), "old build"));
            if (existing > 0) {
                QVERIFY(writeFile(f.path("dl.bin"), content.left(existing)));
                f.ui.dialogAnswers = {"cmdResume"};
            }
            if (kept >= 0)
                f.ui.answers = {app::vbCancel};
            auto& w = f.open(server.url(), "dl.bin", true);
            w.cmdDownload->click(); // returns when the FTP routine has ended
            if (kept < 0)
                QVERIFY(waitUntil([&] { return w.cmdRun->isEnabled(); }));
            QVERIFY(!w.CFtpConnection);
            QCOMPARE(f.ui.messages.size(), 1);
            const RecordedMessage m = f.ui.messages.first();
            QVERIFY2(m.prompt.startsWith(prompt), qPrintable(m.prompt));
            QCOMPARE(m.icon, kept < 0 ? app::MsgIcon::Critical : app::MsgIcon::None);
            QCOMPARE(readAll(f.path("product.exe")), kept < 0 ? content : "old build");
            QCOMPARE(readAll(f.path("dl.bin")), content.left(std::max(kept, 0)));
            if (kept < 0) {
                QCOMPARE(m.title, QString("No Resuming Support"));
                QCOMPARE(server.ftp.lines().join(','),
                         "USER anonymous,PASS zorvupdater@localhost,PWD,PASV,LIST,TYPE I,PASV,"
                         "REST 10000,PASV,LIST,TYPE I,PASV,RETR f.bin");
            } else {
                QCOMPARE(m.buttons, app::MsgButtons::RetryCancel);
                QCOMPARE(f.buttons(), QString("01100")); // a cancelled step leaves no Reset
            }
            if (settings.contains("silent") && settings.contains("FTP PASV=1"))
                QCOMPARE(server.ftp.data.connections().size(), 2); // LIST's and RETR's
        }
        probe.verify();
    }

    // Closing the window while the routine waits ends the transfer; the window is deleted
    // only after the routine has returned.
    void closingWindowEndsTransfer() {
        WindowFixture f;
        auto* w = new app::frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->txtURL->setText(ftpUrl("127.0.0.1/big.bin", pyftpd_.port()));
        w->TxtPath->setText(f.path("dl.bin"));
        QPointer<app::frmMain> alive(w);
        whenReceived(*w, 4 * kMiB, [w] { w->close(); });
        w->cmdDownload->click();
        QVERIFY(waitUntil([&] { return alive.isNull(); }));
        QVERIFY(QFileInfo(f.path("dl.bin")).size() < kBig);
    }

private:
    QString source(const QString& name) const { return root_.filePath(name); }
    QTemporaryDir root_;
    testsupport::FtpServer pyftpd_;
};

QTEST_MAIN(FtpWindowTests)
#include "ftp_window_tests.moc"
