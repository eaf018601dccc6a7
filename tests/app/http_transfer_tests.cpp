// The window's HTTP transfer against scripted loopback servers: the exact request bytes,
// header recognition in any fragmentation, resuming, the file-exists dialog and the failures.
#include "window_fixture.h"

#include <QLabel>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using namespace apptest;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::waitUntil;

namespace {

QByteArray partialResponse(const QByteArray& full, qint64 from) {
    return "HTTP/1.1 206 Partial Content\r\nContent-Type: x/y\r\nContent-Range: bytes " +
           QByteArray::number(from) + '-' + QByteArray::number(full.size() - 1) + '/' +
           QByteArray::number(full.size()) +
           "\r\nContent-Length: " + QByteArray::number(full.size() - from) + "\r\n\r\n" +
           full.mid(from);
}

// A partial file of 8000 bytes resumed with the roll-back settings given ("" leaves one
// absent): the bytes from `base` on are damaged and must be fetched again.
void addResumeRow(const char* name, int existing, const QString& rollback, const QString& amount,
                  int base) {
    const QByteArray full = pattern(8000);
    QByteArray partial = full.left(existing);
    partial.replace(base, existing - base, QByteArray(existing - base, '\0'));
    QStringList settings;
    if (!rollback.isEmpty())
        settings << "Rollback=" + rollback;
    if (!amount.isEmpty())
        settings << "Rollback Amount=" + amount;
    QTest::newRow(name) << settings << partial << partialResponse(full, base) << 0
                        << QByteArray::number(base) << full;
}

} // namespace

class HttpTransferTests : public QObject {
    Q_OBJECT
private slots:
    void transfers_data() {
        QTest::addColumn<QStringList>("settings"); // "Name=value"; "proxy" for the proxy
        QTest::addColumn<QByteArray>("existing");  // in the save path before; null for none
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<int>("piece"); // the response goes out in pieces of this size
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<QByteArray>("file");
        const QByteArray body = pattern(5000);
        const QByteArray fake =
            "first\r\nContent-Type: text/html\r\n\r\nHTTP/1.0 404 Not Found\r\n";
        const QStringList none;
        QTest::newRow("whole") << none << QByteArray() << okResponse(body) << 0 << QByteArray()
                               << body;
        QTest::newRow("via proxy") << QStringList{"proxy"} << QByteArray() << okResponse(body) << 0
                                   << QByteArray() << body;
        QTest::newRow("header byte by byte")
            << none << QByteArray() << okResponse(body) << 1 << QByteArray() << body;
        QTest::newRow("body looks like a header")
            << none << QByteArray() << okResponse(fake + body) << 7 << QByteArray() << fake + body;
        for (const char* line :
             {"content-length: 5000", "Content-Length:5000", "CONTENT-LENGTH:  5000"})
            QTest::newRow(line) << none << QByteArray()
                                << "HTTP/1.0 200 OK\r\n" + QByteArray(line) + "\r\n\r\n" + body << 0
                                << QByteArray() << body;
        addResumeRow("resume, defaults", 5000, "", "", 3976);
        addResumeRow("resume, amount not below size", 1000, "", "", 1000);
        addResumeRow("resume, amount equal to size", 1024, "", "", 1024);
        addResumeRow("resume, amount 0", 5000, "", "0", 5000);
        addResumeRow("resume, rollback off", 5000, "0", "", 5000);
        addResumeRow("resume, amount unreadable", 5000, "", "lots", 3976);
        addResumeRow("resume, negative amount", 5000, "", "-5", 5000);
    }
    void transfers() {
        QFETCH(QStringList, settings);
        QFETCH(QByteArray, existing);
        QFETCH(QByteArray, response);
        QFETCH(int, piece);
        QFETCH(QByteArray, range);
        QFETCH(QByteArray, file);
        WindowFixture f;
        ScriptedServer server;
        server.replyToRequests(response, piece);
        QByteArray host = "127.0.0.1:" + QByteArray::number(server.port());
        QByteArray url = "http://" + host + "/dir/f.exe";
        for (const QString& s : settings) {
            if (s == "proxy") {
                f.useProxy(server.port());
                host = "files.example:81";
                url = "http://" + host + "/dir/f.exe";
            } else {
                f.setSetting(s.section('=', 0, 0).toLatin1().constData(), s.section('=', 1));
            }
        }
        if (!existing.isNull()) {
            QVERIFY(writeFile(f.path("dl.bin"), existing));
            f.ui.dialogAnswers = {"cmdResume"};
        }
        auto& w = f.open(QString::fromLatin1(url));
        w.cmdDownload->click();
        QCOMPARE(f.ui.dialogsShown, existing.isNull() ? 0 : 1);
        QCOMPARE(f.buttons(), QString("01100"));
        QVERIFY(f.waitForDownload(file.size()));
        const QByteArray target = settings.contains("proxy") ? url : "/dir/f.exe";
        QCOMPARE(server.connections().at(0)->received(), expectedRequest(target, host, range));
        QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->text(), QString("Download Completed"), 30000);
        QCOMPARE(readAll(f.path("dl.bin")), file);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void failures_data() {
        QTest::addColumn<QByteArray>("existing"); // resumed when not null
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("prompt"); // "!" + status line: the server-error message
        QTest::addColumn<QString>("title");
        const QString error = "Quillon Updater";
        const auto bad = [&](const char* name, const QByteArray& response, const char* status) {
            QTest::newRow(name) << QByteArray() << response
                                << "Server returned the following error:\r\n" + QString(status)
                                << error;
        };
        bad("unknown status", "HTTP/1.0 599 Odd\r\nContent-Length: 4\r\n\r\nbody",
            "HTTP/1.0 599 Odd");
        bad("informational", "HTTP/1.0 199 Early\r\n\r\nbody", "HTTP/1.0 199 Early");
        bad("redirect without location", "HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n",
            "HTTP/1.0 302 Found");
        bad("redirect elsewhere than http", "HTTP/1.0 301 Moved\r\nLocation: https://x/\r\n\r\n",
            "HTTP/1.0 301 Moved");
        bad("closed before header end", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n",
            "HTTP/1.0 200 OK");
        bad("header over 64 KiB",
            "HTTP/1.0 200 OK\r\nX-Pad: " + QByteArray(70000, 'p') + "\r\n\r\nbody",
            "HTTP/1.0 200 OK");
        bad("not http", "SSH-2.0-server\r\n\r\n", "SSH-2.0-server");
        bad("nothing at all", "", "");
        const QString noResume = "Server did not accept resuming.";
        QTest::newRow("200 to a resume")
            << pattern(5000) << okResponse(pattern(8000)) << noResume << "No Resuming Support";
        QTest::newRow("206 from elsewhere") << pattern(5000) << partialResponse(pattern(8000), 0)
                                            << noResume << "No Resuming Support";
    }
    void failures() {
        QFETCH(QByteArray, existing);
        QFETCH(QByteArray, response);
        QFETCH(QString, prompt);
        QFETCH(QString, title);
        WindowFixture f;
        ScriptedServer server;
        server.replyToRequests(response);
        if (!existing.isNull()) {
            QVERIFY(writeFile(f.path("dl.bin"), existing));
            f.ui.dialogAnswers = {"cmdResume"};
        }
        f.open(localUrl(server.port(), "/bad")).cmdDownload->click();
        QVERIFY(f.waitForMessage());
        const RecordedMessage m = f.ui.messages.first();
        QCOMPARE(m.prompt, prompt);
        QCOMPARE(m.title, title);
        QCOMPARE(m.icon, app::MsgIcon::Critical);
        QCOMPARE(f.buttons(), QString("10010")); // idle again
        QCOMPARE(QFile::exists(f.path("dl.bin")), !existing.isNull());
        QCOMPARE(readAll(f.path("dl.bin")), existing);
        QVERIFY(!app::Download().IsResuming);
        if (existing.isNull())
            QCOMPARE(app::Download().Received, qint64(0));
        QCOMPARE(f.ui.messages.size(), 1);
    }

    void fileExistsAnswers_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("overwrite") << "cmdOverwrite";
        QTest::newRow("resume") << "cmdResume";
        QTest::newRow("cancel") << "cmdCancel";
        QTest::newRow("close box") << "close";
    }
    void fileExistsAnswers() {
        QFETCH(QString, answer);
        WindowFixture f;
        const QByteArray old(6000, 'o');
        const QByteArray body = pattern(3000);
        QVERIFY(writeFile(f.path("dl.bin"), old));
        ScriptedServer server;
        server.setHandler([&](ScriptedConnection& c) {
            if (!c.received().contains("\r\n\r\n") || c.property("answered").toBool())
                return;
            c.setProperty("answered", true);
            if (c.received().contains("Range: bytes=4976-"))
                c.send("HTTP/1.1 206 Partial Content\r\nContent-Length: 1024\r\n\r\n" +
                       body.left(1024));
            else
                c.send(okResponse(body));
            c.close();
        });
        f.ui.dialogAnswers = {answer};
        f.open(localUrl(server.port(), "/e")).cmdDownload->click();
        QCOMPARE(f.ui.dialogsShown, 1);
        QVERIFY(app::ExistDialog().isHidden());
        if (answer == "cmdCancel" || answer == "close") {
            QCOMPARE(f.buttons(), QString("10000")); // Update on; Pause, Stop and Exit off
            QCOMPARE(app::ExistDialog().UserChoice, -2);
            QVERIFY(!server.waitForConnections(1, 300));
            QCOMPARE(readAll(f.path("dl.bin")), old);
            return;
        }
        QCOMPARE(f.buttons(), QString("01100"));
        QVERIFY(waitUntil([&] {
            return app::Download().Received == app::Download().TotalSize &&
                   app::Download().TotalSize > 0;
        }));
        const bool overwrite = answer == "cmdOverwrite";
        QCOMPARE(readAll(f.path("dl.bin")), overwrite ? body : old.left(4976) + body.left(1024));
        QCOMPARE(app::ExistDialog().UserChoice, overwrite ? 0 : -1);
    }

    void unwritableSavePath() {
        const QList<QPair<QString, QString>> cases = {
            {"no/such/folder/dl.bin", "No such file or directory"},
            {"plain/dl.bin", "Not a directory"}};
        for (const auto& [saveName, reason] : cases) {
            WindowFixture f;
            QVERIFY(writeFile(f.path("plain"), "x"));
            ScriptedServer server;
            server.replyToRequests(okResponse(pattern(100)));
            f.open(localUrl(server.port(), "/w"), saveName).cmdDownload->click();
            QVERIFY(f.waitForMessage());
            const QString prompt = f.ui.messages.first().prompt;
            QVERIFY2(prompt.contains(reason) && prompt.contains(f.path(saveName)),
                     qPrintable(prompt));
            QCOMPARE(f.ui.messages.first().icon, app::MsgIcon::Critical);
            QCOMPARE(f.buttons(), QString("10010"));
        }
    }

    // A file that cannot grow (the process's file-size limit) stops the transfer with the
    // system's reason; what was written stays.
    void fileSizeLimitKeepsPartialFile() {
        WindowFixture f;
        ScriptedServer server;
        const QByteArray body = pattern(200000);
        server.replyToRequests(okResponse(body), 16384);
        rlimit old{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = 65536;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        f.open(localUrl(server.port(), "/big")).cmdDownload->click();
        const bool reported = f.waitForMessage();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(reported);
        QVERIFY2(f.ui.messages.first().prompt.contains("File too large"),
                 qPrintable(f.ui.messages.first().prompt));
        const QByteArray kept = readAll(f.path("dl.bin"));
        QVERIFY(kept.size() > 0 && kept.size() <= 65536);
        QCOMPARE(kept, body.left(kept.size()));
        QCOMPARE(f.buttons(), QString("10010"));
    }

    // A refused connection leaves the transfer running until Stop; another scheme fetches
    // nothing.
    void unreachableHostAndOtherScheme() {
        WindowFixture f;
        quint16 closedPort = 0;
        {
            ScriptedServer probe;
            closedPort = probe.port();
        }
        auto& w = f.open(localUrl(closedPort, "/x"));
        w.cmdDownload->click();
        QVERIFY(waitUntil([&] { return w.sckDownload->State() == net::sckError; }));
        QCOMPARE(f.buttons(), QString("01100"));
        QVERIFY(f.ui.messages.isEmpty());
        f.ui.answers = {app::vbYes};
        w.cmdStop->click();
        QCOMPARE(f.ui.messages.last().prompt, QString("Stop Update Software !"));
        QCOMPARE(w.lblStatus->text(), QString("Download Aborted"));
        QCOMPARE(f.buttons(), QString("10010"));

        ScriptedServer server;
        auto& other = f.open("gopher://127.0.0.1:" + QString::number(server.port()) + "/x");
        other.cmdDownload->click();
        QVERIFY(!server.waitForConnections(1, 300));
        QCOMPARE(other.sckDownload->State(), int(net::sckClosed));
        QCOMPARE(f.buttons(), QString("01100"));
        QVERIFY(!QFile::exists(f.path("dl.bin")));
    }
};

QTEST_MAIN(HttpTransferTests)
#include "http_transfer_tests.moc"
