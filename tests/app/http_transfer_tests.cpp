// The window's HTTP transfer against scripted loopback servers: the exact request bytes,
// header recognition in any fragmentation, the file-exists dialog and the failure paths.
#include "capabilities.h"
#include "window_fixture.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using testsupport::ScriptedServer;
using testsupport::waitUntil;

namespace {

QByteArray okResponse(const QByteArray& body, const QByteArray& extra = {}) {
    return "HTTP/1.0 200 OK\r\nServer: scripted\r\nContent-Type: application/octet-stream\r\n" +
           extra + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray expectedRequest(const QByteArray& target, const QByteArray& host,
                           const QByteArray& range = {}) {
    QByteArray r = "GET " + target + " HTTP/1.0\r\nAccept: *.*, */*\r\n";
    if (!range.isEmpty())
        r += "Range: bytes=" + range + "\r\n";
    return r + "User-Agent: Tessarin Software Downloader\r\nReferer: " + host +
           "\r\nHost: " + host + "\r\n\r\n";
}

QByteArray pattern(int size) {
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
    return data;
}

} // namespace

class HttpTransferTests : public QObject {
    Q_OBJECT
private slots:
    void requestWithPortAndFileBytes();
    void requestThroughProxy();
    void resumeSendsRangeAfterRollback_data();
    void resumeSendsRangeAfterRollback();
    void headerOneBytePerRead();
    void bodyThatLooksLikeHeader();
    void contentLengthSpellings_data();
    void contentLengthSpellings();
    void badResponses_data();
    void badResponses();
    void refusedResumeKeepsFile();
    void contentRangeMismatchRefused();
    void fileExistsAnswers_data();
    void fileExistsAnswers();
    void unwritableSavePath_data();
    void unwritableSavePath();
    void fileSizeLimitKeepsPartialFile();
    void unreachableHostWaitsForStop();
    void otherSchemeFetchesNothing();
};

void HttpTransferTests::requestWithPortAndFileBytes() {
    WindowFixture f;
    ScriptedServer server;
    const QByteArray body = pattern(5000);
    server.replyToRequests(okResponse(body));
    const QByteArray host = "127.0.0.1:" + QByteArray::number(server.port());
    auto& w = f.open("http://" + host + "/dir/file.exe");
    w.cmdDownload->click();
    QCOMPARE(f.buttons(), QString("01100"));
    QVERIFY(f.waitForDownload(5000));
    QCOMPARE(server.connections().at(0)->received(), expectedRequest("/dir/file.exe", host));
    QCOMPARE(app::Download().ConnectHost, QString::fromLatin1(host));
    QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->text(), QString("Download Completed"), 30000);
    QCOMPARE(readAll(f.path("dl.bin")), body);
    QVERIFY(f.ui.messages.isEmpty());
}

void HttpTransferTests::requestThroughProxy() {
    WindowFixture f;
    ScriptedServer proxy;
    proxy.replyToRequests(okResponse("via proxy"));
    f.setSetting("Proxy Use", "1");
    f.setSetting("Proxy IP", "127.0.0.1");
    f.setSetting("Proxy Port", QString::number(proxy.port()));
    f.open("http://files.example:81/u/z.exe").cmdDownload->click();
    QVERIFY(f.waitForDownload(9));
    QCOMPARE(proxy.connections().at(0)->received(),
             expectedRequest("http://files.example:81/u/z.exe", "files.example:81"));
    QCOMPARE(readAll(f.path("dl.bin")), QByteArray("via proxy"));
}

void HttpTransferTests::resumeSendsRangeAfterRollback_data() {
    QTest::addColumn<int>("existing");
    QTest::addColumn<QString>("rollback");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<int>("base");
    QTest::newRow("defaults") << 5000 << QString() << QString() << 3976;
    QTest::newRow("amount not below size") << 1000 << QString() << QString() << 1000;
    QTest::newRow("amount 0") << 5000 << QString() << "0" << 5000;
    QTest::newRow("rollback off") << 5000 << "0" << QString() << 5000;
    QTest::newRow("amount unreadable") << 5000 << QString() << "lots" << 3976;
    QTest::newRow("negative amount") << 5000 << QString() << "-5" << 5000;
}

void HttpTransferTests::resumeSendsRangeAfterRollback() {
    QFETCH(int, existing);
    QFETCH(QString, rollback);
    QFETCH(QString, amount);
    QFETCH(int, base);
    WindowFixture f;
    if (!rollback.isNull())
        f.setSetting("Rollback", rollback);
    if (!amount.isNull())
        f.setSetting("Rollback Amount", amount);
    const QByteArray full = pattern(8000);
    QByteArray partial = full.left(existing);
    partial.replace(base, existing - base, QByteArray(existing - base, '\0')); // to be refetched
    QVERIFY(writeFile(f.path("dl.bin"), partial));

    ScriptedServer server;
    const QByteArray rest = full.mid(base);
    server.replyToRequests(
        "HTTP/1.1 206 Partial Content\r\nContent-Type: x/y\r\nContent-Range: bytes " +
        QByteArray::number(base) +
        "-7999/8000\r\nContent-Length: " + QByteArray::number(rest.size()) + "\r\n\r\n" + rest);
    f.ui.dialogAnswers = {"cmdResume"};
    const QByteArray host = "127.0.0.1:" + QByteArray::number(server.port());
    f.open("http://" + host + "/f.bin").cmdDownload->click();
    QCOMPARE(f.ui.dialogsShown, 1);
    QVERIFY(f.waitForDownload(8000));
    QCOMPARE(server.connections().at(0)->received(),
             expectedRequest("/f.bin", host, QByteArray::number(base) + "-"));
    QCOMPARE(readAll(f.path("dl.bin")), full);
}

void HttpTransferTests::headerOneBytePerRead() {
    WindowFixture f;
    ScriptedServer server;
    const QByteArray body = pattern(3000);
    server.replyToRequests(okResponse(body), 1);
    f.open("http://127.0.0.1:" + QString::number(server.port()) + "/one").cmdDownload->click();
    // Nothing is decided while the header is still arriving.
    QVERIFY(waitUntil([&] { return app::Download().TotalSize > 0 || !f.ui.messages.isEmpty(); }));
    QCOMPARE(app::Download().TotalSize, qint64(3000));
    QVERIFY(f.waitForDownload(3000));
    QCOMPARE(readAll(f.path("dl.bin")), body);
    QVERIFY(f.ui.messages.isEmpty());
}

void HttpTransferTests::bodyThatLooksLikeHeader() {
    WindowFixture f;
    ScriptedServer server;
    const QByteArray body =
        "first\r\nContent-Type: text/html\r\n\r\nHTTP/1.0 404 Not Found\r\n" + pattern(2000);
    // The header arrives in one piece, the body in pieces of 7 bytes.
    server.setHandler([&](testsupport::ScriptedConnection& c) {
        if (!c.received().contains("\r\n\r\n") || c.property("answered").toBool())
            return;
        c.setProperty("answered", true);
        const QByteArray response = okResponse(body);
        const qsizetype headerEnd = response.indexOf("\r\n\r\n") + 4;
        c.send(response.left(headerEnd));
        c.sendInPieces(response.mid(headerEnd), 7, [&c] { c.close(); });
    });
    f.open("http://127.0.0.1:" + QString::number(server.port()) + "/b").cmdDownload->click();
    QVERIFY(f.waitForDownload(body.size()));
    QCOMPARE(readAll(f.path("dl.bin")), body);
    QVERIFY(f.ui.messages.isEmpty());
}

void HttpTransferTests::contentLengthSpellings_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("lower case") << QByteArray("content-length: 5000");
    QTest::newRow("no blank") << QByteArray("Content-Length:5000");
    QTest::newRow("no content type") << QByteArray("CONTENT-LENGTH:  5000");
}

void HttpTransferTests::contentLengthSpellings() {
    QFETCH(QByteArray, line);
    WindowFixture f;
    ScriptedServer server;
    const QByteArray body = pattern(5000);
    server.replyToRequests("HTTP/1.0 200 OK\r\n" + line + "\r\n\r\n" + body);
    f.open("http://127.0.0.1:" + QString::number(server.port()) + "/c").cmdDownload->click();
    QVERIFY(f.waitForDownload(5000));
    QCOMPARE(readAll(f.path("dl.bin")), body);
}

void HttpTransferTests::badResponses_data() {
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("statusText");
    QTest::newRow("unknown status")
        << QByteArray("HTTP/1.0 599 Odd\r\nContent-Length: 4\r\n\r\nbody") << "HTTP/1.0 599 Odd";
    QTest::newRow("informational")
        << QByteArray("HTTP/1.0 199 Early\r\n\r\nbody") << "HTTP/1.0 199 Early";
    QTest::newRow("redirect without location")
        << QByteArray("HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n") << "HTTP/1.0 302 Found";
    QTest::newRow("redirect elsewhere than http")
        << QByteArray("HTTP/1.0 301 Moved\r\nLocation: https://x/\r\n\r\n") << "HTTP/1.0 301 Moved";
    QTest::newRow("closed before header end")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n") << "HTTP/1.0 200 OK";
    QTest::newRow("header over 64 KiB")
        << QByteArray("HTTP/1.0 200 OK\r\nX-Pad: " + QByteArray(70000, 'p') + "\r\n\r\nbody")
        << "HTTP/1.0 200 OK";
    QTest::newRow("not http") << QByteArray("SSH-2.0-server\r\n\r\n") << "SSH-2.0-server";
    QTest::newRow("nothing at all") << QByteArray() << "";
}

void HttpTransferTests::badResponses() {
    QFETCH(QByteArray, response);
    QFETCH(QString, statusText);
    WindowFixture f;
    ScriptedServer server;
    server.replyToRequests(response);
    auto& w = f.open("http://127.0.0.1:" + QString::number(server.port()) + "/bad");
    w.cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    const RecordedMessage m = f.ui.messages.first();
    QCOMPARE(m.prompt, "Server returned the following error:\r\n" + statusText);
    QCOMPARE(m.title, QString("Quillon Updater"));
    QCOMPARE(m.icon, app::MsgIcon::Critical);
    QCOMPARE(f.buttons(), QString("10010")); // Reset: idle
    QCOMPARE(app::Download().Received, qint64(0));
    QVERIFY(!QFile::exists(f.path("dl.bin")));
    QCOMPARE(f.ui.messages.size(), 1);
}

void HttpTransferTests::refusedResumeKeepsFile() {
    WindowFixture f;
    const QByteArray partial = pattern(5000);
    QVERIFY(writeFile(f.path("dl.bin"), partial));
    ScriptedServer server;
    server.replyToRequests(okResponse(pattern(8000)));
    f.ui.dialogAnswers = {"cmdResume"};
    f.open("http://127.0.0.1:" + QString::number(server.port()) + "/r").cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    QCOMPARE(f.ui.messages.first().prompt, QString("Server did not accept resuming."));
    QCOMPARE(f.ui.messages.first().title, QString("No Resuming Support"));
    QCOMPARE(f.ui.messages.first().icon, app::MsgIcon::Critical);
    QCOMPARE(readAll(f.path("dl.bin")), partial);
    QCOMPARE(f.buttons(), QString("10010"));
    QVERIFY(!app::Download().IsResuming);
}

void HttpTransferTests::contentRangeMismatchRefused() {
    // A 206 that starts elsewhere than asked would corrupt the file: refused like a 200.
    WindowFixture f;
    const QByteArray partial = pattern(5000);
    QVERIFY(writeFile(f.path("dl.bin"), partial));
    ScriptedServer server;
    server.replyToRequests("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-7999/8000\r\n"
                           "Content-Length: 8000\r\n\r\n" +
                           pattern(8000));
    f.ui.dialogAnswers = {"cmdResume"};
    f.open("http://127.0.0.1:" + QString::number(server.port()) + "/r").cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    QCOMPARE(f.ui.messages.first().title, QString("No Resuming Support"));
    QCOMPARE(readAll(f.path("dl.bin")), partial);
}

void HttpTransferTests::fileExistsAnswers_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("fetched");
    QTest::addColumn<QString>("buttonsAfter");
    QTest::newRow("overwrite") << "cmdOverwrite" << true << "01100";
    QTest::newRow("resume") << "cmdResume" << true << "01100";
    QTest::newRow("cancel") << "cmdCancel" << false << "10000";
    QTest::newRow("close box") << "close" << false << "10000";
}

void HttpTransferTests::fileExistsAnswers() {
    QFETCH(QString, answer);
    QFETCH(bool, fetched);
    QFETCH(QString, buttonsAfter);
    WindowFixture f;
    const QByteArray old = QByteArray(6000, 'o');
    QVERIFY(writeFile(f.path("dl.bin"), old));
    ScriptedServer server;
    const QByteArray body = pattern(3000);
    server.setHandler([&](testsupport::ScriptedConnection& c) {
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
    auto& w = f.open("http://127.0.0.1:" + QString::number(server.port()) + "/e");
    w.cmdDownload->click();
    QCOMPARE(f.ui.dialogsShown, 1);
    QVERIFY(app::ExistDialog().isHidden());
    if (fetched) {
        QCOMPARE(f.buttons(), buttonsAfter);
        QVERIFY(waitUntil([&] {
            return app::Download().Received == app::Download().TotalSize &&
                   app::Download().TotalSize > 0;
        }));
        const QByteArray expected =
            answer == "cmdOverwrite" ? body : old.left(4976) + body.left(1024);
        QCOMPARE(readAll(f.path("dl.bin")), expected);
        QCOMPARE(app::ExistDialog().UserChoice, answer == "cmdOverwrite" ? 0 : -1);
    } else {
        QCOMPARE(f.buttons(), buttonsAfter); // Update on; Pause, Stop and Exit off
        QCOMPARE(app::ExistDialog().UserChoice, -2);
        QVERIFY(!server.waitForConnections(1, 300));
        QCOMPARE(readAll(f.path("dl.bin")), old);
    }
}

void HttpTransferTests::unwritableSavePath_data() {
    QTest::addColumn<QString>("saveName");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "no/such/folder/dl.bin"
                                    << "No such file or directory";
    QTest::newRow("folder is a file") << "plain/dl.bin"
                                      << "Not a directory";
}

void HttpTransferTests::unwritableSavePath() {
    QFETCH(QString, saveName);
    QFETCH(QString, reason);
    WindowFixture f;
    QVERIFY(writeFile(f.path("plain"), "x"));
    ScriptedServer server;
    server.replyToRequests(okResponse(pattern(100)));
    f.open("http://127.0.0.1:" + QString::number(server.port()) + "/w", saveName)
        .cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    QVERIFY2(f.ui.messages.first().prompt.contains(reason),
             qPrintable(f.ui.messages.first().prompt));
    QVERIFY(f.ui.messages.first().prompt.contains(f.path(saveName)));
    QCOMPARE(f.ui.messages.first().icon, app::MsgIcon::Critical);
    QCOMPARE(f.buttons(), QString("10010"));
}

void HttpTransferTests::fileSizeLimitKeepsPartialFile() {
    // A file that cannot grow (here: the process's file-size limit) stops the transfer with
    // the system's reason; what was written stays.
    WindowFixture f;
    ScriptedServer server;
    const QByteArray body = pattern(200000);
    server.setHandler([&](testsupport::ScriptedConnection& c) {
        if (!c.received().contains("\r\n\r\n") || c.property("answered").toBool())
            return;
        c.setProperty("answered", true);
        const QByteArray response = okResponse(body);
        c.sendInPieces(response, 16384, [&c] { c.close(); });
    });
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old;
    limit.rlim_cur = 65536;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
    f.open("http://127.0.0.1:" + QString::number(server.port()) + "/big").cmdDownload->click();
    const bool reported = waitUntil([&] { return !f.ui.messages.isEmpty(); });
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

void HttpTransferTests::unreachableHostWaitsForStop() {
    WindowFixture f;
    quint16 closedPort = 0;
    {
        ScriptedServer probe;
        closedPort = probe.port();
    }
    auto& w = f.open("http://127.0.0.1:" + QString::number(closedPort) + "/x");
    w.cmdDownload->click();
    QVERIFY(waitUntil([&] { return w.sckDownload->State() == net::sckError; }));
    QCOMPARE(f.buttons(), QString("01100")); // still running, as designed
    QVERIFY(f.ui.messages.isEmpty());
    f.ui.answers = {app::vbYes};
    w.cmdStop->click();
    QCOMPARE(f.ui.messages.last().prompt, QString("Stop Update Software !"));
    QCOMPARE(w.lblStatus->text(), QString("Download Aborted"));
    QCOMPARE(f.buttons(), QString("10010"));
}

void HttpTransferTests::otherSchemeFetchesNothing() {
    WindowFixture f;
    ScriptedServer server;
    auto& w = f.open("gopher://127.0.0.1:" + QString::number(server.port()) + "/x");
    w.cmdDownload->click();
    QVERIFY(!server.waitForConnections(1, 300));
    QCOMPARE(w.sckDownload->State(), int(net::sckClosed));
    QCOMPARE(f.buttons(), QString("01100"));
    QVERIFY(!QFile::exists(f.path("dl.bin")));
}

QTEST_MAIN(HttpTransferTests)
#include "http_transfer_tests.moc"
