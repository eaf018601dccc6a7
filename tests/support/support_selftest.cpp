// Checks the test servers and helpers that every other test relies on.
#include "servers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace testsupport;

namespace {

struct HttpReply {
    QByteArray head; // status line and headers
    QByteArray body;
    bool complete = false; // the server closed the connection
};

// Sends a raw request with "Connection: close" semantics and collects everything until the
// server closes.
HttpReply rawExchange(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    QByteArray all;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { all += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }))
        return {};
    socket.write(request);
    HttpReply reply;
    reply.complete = waitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; });
    all += socket.readAll();
    const qsizetype end = all.indexOf("\r\n\r\n");
    reply.head = end < 0 ? all : all.left(end);
    reply.body = end < 0 ? QByteArray() : all.mid(end + 4);
    return reply;
}

QByteArray getRequest(const QByteArray& target, const QByteArray& extraHeaders = {}) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
           extraHeaders + "\r\n";
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool flipByte(const QString& path, qint64 offset) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(offset))
        return false;
    char c = 0;
    if (!file.getChar(&c) || !file.seek(offset))
        return false;
    return file.putChar(static_cast<char>(c ^ 0x01));
}

bool canConnect(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(5000);
}

constexpr int kWaitMs = 30000;

// Reads from socket until it is closed; false if it stays open past the bound.
bool readUntilClosed(QTcpSocket& socket, QByteArray& data) {
    const QDeadlineTimer deadline(kWaitMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(100);
        data += socket.readAll();
    }
    data += socket.readAll();
    return socket.state() != QAbstractSocket::ConnectedState;
}

// The control connection of a minimal FTP client, with blocking calls.
class FtpControl {
public:
    bool open(quint16 port) {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        return socket_.waitForConnected(kWaitMs);
    }
    // The next complete reply, lines of a multi-line reply included; empty after a timeout.
    QByteArray reply() {
        const QDeadlineTimer deadline(kWaitMs);
        qsizetype end = replyEnd();
        while (end < 0 && !deadline.hasExpired()) {
            socket_.waitForReadyRead(100);
            buffer_ += socket_.readAll();
            end = replyEnd();
        }
        const QByteArray text = end < 0 ? QByteArray() : buffer_.left(end);
        buffer_.remove(0, end < 0 ? 0 : end);
        return text;
    }
    QByteArray command(const QByteArray& line) {
        socket_.write(line + "\r\n");
        return reply();
    }
    bool closedByServer() {
        return socket_.state() == QAbstractSocket::UnconnectedState ||
               socket_.waitForDisconnected(kWaitMs);
    }
    // Sends PASV and connects to the address in the 227 reply.
    bool passive(QTcpSocket& data) {
        static const QRegularExpression address(
            QStringLiteral("\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)"));
        const QRegularExpressionMatch match = address.match(QString::fromLatin1(command("PASV")));
        if (!match.hasMatch())
            return false;
        const QString host =
            QStringList{match.captured(1), match.captured(2), match.captured(3), match.captured(4)}
                .join(QLatin1Char('.'));
        data.connectToHost(host, static_cast<quint16>(match.captured(5).toUInt() * 256 +
                                                      match.captured(6).toUInt()));
        return host == QStringLiteral("127.0.0.1") && data.waitForConnected(kWaitMs);
    }

private:
    // End of the first complete reply in buffer_: "ddd text" or "ddd-" lines up to "ddd ".
    qsizetype replyEnd() const {
        qsizetype start = 0;
        while (true) {
            const qsizetype newline = buffer_.indexOf("\r\n", start);
            if (newline < 0)
                return -1;
            const QByteArray line = buffer_.mid(start, newline - start);
            start = newline + 2;
            if (line.size() >= 4 && line.at(3) == ' ' && line.left(3) == buffer_.left(3))
                return start;
        }
    }

    QTcpSocket socket_;
    QByteArray buffer_;
};

// Logs in as user, lists the root over PASV and over PORT, uploads a file over PASV, renames
// it and quits, checking each reply and the files in root. Expects root to hold known.txt.
void exerciseFtpSession(quint16 port, const QString& root, const QByteArray& user,
                        const QByteArray& password) {
    FtpControl control;
    QVERIFY(control.open(port));
    QVERIFY(control.reply().startsWith("220 "));
    QVERIFY(control.command("USER " + user).startsWith("331"));
    QVERIFY(control.command("PASS " + password).startsWith("230"));
    QVERIFY(control.command("TYPE I").startsWith("200"));

    QTcpSocket passiveData;
    QVERIFY(control.passive(passiveData));
    QVERIFY(control.command("LIST").startsWith("1"));
    QByteArray listing;
    QVERIFY(readUntilClosed(passiveData, listing));
    QVERIFY(control.reply().startsWith("226"));
    QVERIFY2(listing.contains(" known.txt\r\n"), listing.constData());

    QTcpServer activeListener;
    QVERIFY(activeListener.listen(QHostAddress::LocalHost, 0));
    const quint16 activePort = activeListener.serverPort();
    const QByteArray portArgument = "127,0,0,1," + QByteArray::number(activePort / 256) + ',' +
                                    QByteArray::number(activePort % 256);
    QVERIFY(control.command("PORT " + portArgument).startsWith("200"));
    QVERIFY(control.command("LIST").startsWith("1"));
    QVERIFY(activeListener.waitForNewConnection(kWaitMs));
    std::unique_ptr<QTcpSocket> activeData(activeListener.nextPendingConnection());
    QByteArray activeListing;
    QVERIFY(readUntilClosed(*activeData, activeListing));
    QVERIFY(control.reply().startsWith("226"));
    QCOMPARE(activeListing, listing);

    const QByteArray upload = "uploaded by " + user + QByteArray(100000, 'u');
    QTcpSocket uploadData;
    QVERIFY(control.passive(uploadData));
    QVERIFY(control.command("STOR upload.bin").startsWith("1"));
    uploadData.write(upload);
    uploadData.disconnectFromHost();
    QVERIFY(uploadData.state() == QAbstractSocket::UnconnectedState ||
            uploadData.waitForDisconnected(kWaitMs));
    QVERIFY(control.reply().startsWith("226"));
    QCOMPARE(readAll(root + "/upload.bin"), upload);

    QVERIFY(control.command("RNFR upload.bin").startsWith("350"));
    QVERIFY(control.command("RNTO renamed.bin").startsWith("250"));
    QVERIFY(!QFile::exists(root + "/upload.bin"));
    QCOMPARE(readAll(root + "/renamed.bin"), upload);
    QVERIFY(control.command("QUIT").startsWith("221"));
}

// What every session of exerciseFtpSession leaves in the server's log.
void checkSessionLogged(const QString& log, const QByteArray& user) {
    for (const QByteArray& sent :
         {"USER " + user, QByteArray("PASV"), QByteArray("LIST"), QByteArray("PORT 127,0,0,1,"),
          QByteArray("STOR upload.bin"), QByteArray("RNTO renamed.bin"), QByteArray("QUIT")})
        QVERIFY2(log.contains(QString::fromLatin1(sent)), qPrintable(sent + " not in\n" + log));
    QVERIFY2(!log.contains(QStringLiteral("DELE")), qPrintable(log)); // never sent
}

} // namespace

class SupportSelftest : public QObject {
    Q_OBJECT
private slots:
    void randomFilesAndComparison();
    void nginxServesFilesRangesAndExtraConfig();
    void nginxReportsWhyItDidNotStart();
    void tinyproxyForwardsToNginx();
    void scriptedServerRecordsExactBytes();
    void scriptedSendsPiecesInOrderThenCloses();
    void replyToRequestsAnswersOnceHeadersEnd();
    void connectHandlerSpeaksBeforeAnyData();
    void ftpServerServesAnonymousAndTester();
    void vsftpdServesAnonymous();
};

void SupportSelftest::randomFilesAndComparison() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString a = dir.filePath("a");
    const QString b = dir.filePath("b");
    const QString c = dir.filePath("c");
    const qint64 size = 3 * (1 << 20) + 5; // not a multiple of the block or word size
    QVERIFY(writeRandomFile(a, size, 7));
    QVERIFY(writeRandomFile(b, size, 7));
    QVERIFY(writeRandomFile(c, size, 8));
    QCOMPARE(QFileInfo(a).size(), size);
    QVERIFY(sameFileContents(a, b));
    QVERIFY(!sameFileContents(a, c));
    QVERIFY(readAll(a).count('\0') < size / 100); // filled, not left zero

    QVERIFY(flipByte(b, size - 1)); // differs only in the last byte of the last short block
    QVERIFY(!sameFileContents(a, b));
    QVERIFY(writeRandomFile(b, size, 7));
    QVERIFY(flipByte(b, (1 << 20) + 3)); // only in the second block
    QVERIFY(!sameFileContents(a, b));
    QVERIFY(writeRandomFile(b, size - 1, 7)); // a prefix of a
    QVERIFY(!sameFileContents(a, b));
    QVERIFY(!sameFileContents(a, dir.filePath("missing")));
    QVERIFY(writeRandomFile(b, 0, 7));
    QCOMPARE(QFileInfo(b).size(), 0);
}

void SupportSelftest::nginxServesFilesRangesAndExtraConfig() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const qint64 size = 2 * (1 << 20) + 7;
    QVERIFY(writeRandomFile(root.filePath("blob.bin"), size, 3));
    const QByteArray contents = readAll(root.filePath("blob.bin"));

    NginxServer nginx;
    QVERIFY2(nginx.start(root.path(), "location = /moved { return 302 /blob.bin; }"),
             qPrintable(nginx.errorText()));
    QCOMPARE(nginx.url("/x"), QStringLiteral("http://127.0.0.1:%1/x").arg(nginx.port()));

    const HttpReply whole = rawExchange(nginx.port(), getRequest("/blob.bin"));
    QVERIFY(whole.complete);
    QVERIFY2(whole.head.startsWith("HTTP/1.1 200 "), whole.head.constData());
    QVERIFY(whole.body == contents);

    const HttpReply part =
        rawExchange(nginx.port(), getRequest("/blob.bin", "Range: bytes=1000-1999\r\n"));
    QVERIFY2(part.head.startsWith("HTTP/1.1 206 "), part.head.constData());
    QVERIFY(part.head.contains("Content-Range: bytes 1000-1999/" + QByteArray::number(size)));
    QVERIFY(part.body == contents.mid(1000, 1000));

    const HttpReply moved = rawExchange(nginx.port(), getRequest("/moved"));
    QVERIFY2(moved.head.startsWith("HTTP/1.1 302 "), moved.head.constData());
    QVERIFY(moved.head.contains("/blob.bin"));

    nginx.stop();
    QVERIFY(!canConnect(nginx.port()));
}

void SupportSelftest::nginxReportsWhyItDidNotStart() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    NginxServer nginx;
    QVERIFY(!nginx.start(root.path(), "no_such_directive on;"));
    QVERIFY2(nginx.errorText().contains("no_such_directive"), qPrintable(nginx.errorText()));
}

void SupportSelftest::tinyproxyForwardsToNginx() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(writeRandomFile(root.filePath("via-proxy.bin"), 300000, 5));
    NginxServer nginx;
    QVERIFY2(nginx.start(root.path()), qPrintable(nginx.errorText()));
    TinyproxyServer proxy;
    QVERIFY2(proxy.start(), qPrintable(proxy.errorText()));
    QVERIFY(proxy.port() != nginx.port());

    const QByteArray target = nginx.url("/via-proxy.bin").toLatin1();
    const HttpReply reply = rawExchange(proxy.port(), getRequest(target));
    QVERIFY(reply.complete);
    QVERIFY2(reply.head.startsWith("HTTP/1.1 200 ") || reply.head.startsWith("HTTP/1.0 200 "),
             reply.head.constData());
    QVERIFY(reply.body == readAll(root.filePath("via-proxy.bin")));
    QVERIFY2(proxy.log().contains("/via-proxy.bin"), qPrintable(proxy.log()));

    proxy.stop();
    QVERIFY(!canConnect(proxy.port()));
}

void SupportSelftest::scriptedServerRecordsExactBytes() {
    ScriptedServer server;
    QVERIFY(server.port() != 0);
    int handlerCalls = 0;
    server.setHandler([&](ScriptedConnection&) { ++handlerCalls; });

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(server.waitForConnections(1));
    ScriptedConnection* connection = server.connections().at(0);
    QSignalSpy dataSpy(connection, &ScriptedConnection::dataReceived);
    QSignalSpy closedSpy(connection, &ScriptedConnection::closedByPeer);

    const QList<QByteArray> chunks = {QByteArray("first\r\n"), QByteArray("\0\xff\0 binary", 10),
                                      QByteArray(70000, 'z')};
    QByteArray expected;
    for (const QByteArray& chunk : chunks) {
        client.write(chunk);
        expected += chunk;
        QVERIFY(waitUntil([&] { return connection->received().size() >= expected.size(); }));
    }
    QCOMPARE(connection->received(), expected);
    QVERIFY(handlerCalls >= chunks.size());
    QCOMPARE(dataSpy.count(), handlerCalls);
    QVERIFY(connection->isOpen());

    client.disconnectFromHost();
    QVERIFY(waitUntil([&] { return closedSpy.count() == 1; }));
    QVERIFY(!connection->isOpen());
    QCOMPARE(server.connections().size(), 1);
}

void SupportSelftest::scriptedSendsPiecesInOrderThenCloses() {
    ScriptedServer server;
    QByteArray payload;
    for (int i = 0; i < 50; ++i)
        payload += QByteArray::number(1000000 + i); // 50 pieces of 7 distinct bytes
    int thenCalls = 0;
    server.setHandler([&](ScriptedConnection& connection) {
        connection.sendInPieces(payload, 7, [&] { ++thenCalls; });
        connection.send("tail"); // must follow the pieces
        connection.close();
    });

    QTcpSocket client;
    QList<QByteArray> reads;
    QObject::connect(&client, &QTcpSocket::readyRead, [&] { reads.append(client.readAll()); });
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(waitUntil([&] { return client.state() == QAbstractSocket::ConnectedState; }));
    client.write("go");
    QVERIFY(waitUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    if (client.bytesAvailable() > 0)
        reads.append(client.readAll());

    QCOMPARE(reads.join(), payload + "tail");
    // 51 separate writes 1 ms apart; even on a busy machine most arrive on their own.
    QVERIFY2(reads.size() >= 10, qPrintable(QString::number(reads.size()) + " reads"));
    QCOMPARE(thenCalls, 1);
    QCOMPARE(client.error(), QAbstractSocket::RemoteHostClosedError);
}

void SupportSelftest::replyToRequestsAnswersOnceHeadersEnd() {
    ScriptedServer server;
    const QByteArray response = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
    server.replyToRequests(response, 4);

    QTcpSocket client;
    QByteArray got;
    QObject::connect(&client, &QTcpSocket::readyRead, [&] { got += client.readAll(); });
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(server.waitForConnections(1));
    ScriptedConnection* connection = server.connections().at(0);
    const QByteArray firstPart = "GET / HTTP/1.1\r\nHost: x\r\n\r"; // stops inside the blank line
    client.write(firstPart);
    QVERIFY(waitUntil([&] { return connection->received() == firstPart; }));
    client.write("\n");
    QVERIFY(waitUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    got += client.readAll();
    QCOMPARE(got, response);
    QCOMPARE(connection->received(), firstPart + "\n");
}

void SupportSelftest::connectHandlerSpeaksBeforeAnyData() {
    ScriptedServer server;
    QList<QByteArray> receivedAtConnect;
    server.setConnectHandler([&](ScriptedConnection& connection) {
        receivedAtConnect.append(connection.received());
        connection.send("220 scripted\r\n");
    });
    server.setHandler([](ScriptedConnection& connection) {
        if (connection.received().endsWith("\r\n"))
            connection.send("331 then this\r\n");
    });

    // The first client writes at once, before the greeting could have arrived.
    QTcpSocket eager;
    QByteArray eagerGot;
    QObject::connect(&eager, &QTcpSocket::readyRead, [&] { eagerGot += eager.readAll(); });
    eager.connectToHost(QHostAddress::LocalHost, server.port());
    eager.write("USER x\r\n");
    QVERIFY(waitUntil([&] { return eagerGot.contains("331"); }));
    QCOMPARE(eagerGot, QByteArray("220 scripted\r\n331 then this\r\n"));

    // The second one only listens: the greeting must come without any bytes from it.
    QTcpSocket quiet;
    QByteArray quietGot;
    QObject::connect(&quiet, &QTcpSocket::readyRead, [&] { quietGot += quiet.readAll(); });
    quiet.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(waitUntil([&] { return quietGot == "220 scripted\r\n"; }));
    QCOMPARE(receivedAtConnect, QList<QByteArray>({QByteArray(), QByteArray()}));
}

void SupportSelftest::ftpServerServesAnonymousAndTester() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(writeRandomFile(root.filePath("known.txt"), 1000, 9));
    FtpServer ftp;
    QVERIFY2(ftp.start(root.path()), qPrintable(ftp.errorText()));

    exerciseFtpSession(ftp.port(), root.path(), "anonymous", "guest@example.org");
    if (QTest::currentTestFailed())
        return;
    checkSessionLogged(ftp.log(), "anonymous");
    QVERIFY(QFile::remove(root.filePath("renamed.bin")));
    exerciseFtpSession(ftp.port(), root.path(), "tester", "secret");
    if (QTest::currentTestFailed())
        return;
    checkSessionLogged(ftp.log(), "tester");

    FtpControl wrongPassword;
    QVERIFY(wrongPassword.open(ftp.port()));
    QVERIFY(wrongPassword.reply().startsWith("220 "));
    QVERIFY(wrongPassword.command("USER tester").startsWith("331"));
    QVERIFY(wrongPassword.command("PASS wrong").startsWith("530"));
    QVERIFY(!ftp.log().contains(QStringLiteral("wrong"))); // passwords are masked

    ftp.stop(); // also ends the session still open
    QVERIFY(wrongPassword.closedByServer());
    QVERIFY(!canConnect(ftp.port()));
}

void SupportSelftest::vsftpdServesAnonymous() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(writeRandomFile(root.filePath("known.txt"), 1000, 9));
    VsftpdServer vsftpd;
    QVERIFY2(vsftpd.start(root.path()), qPrintable(vsftpd.errorText()));

    exerciseFtpSession(vsftpd.port(), root.path(), "anonymous", "guest@example.org");
    if (QTest::currentTestFailed())
        return;
    checkSessionLogged(vsftpd.log(), "anonymous");

    FtpControl session;
    QVERIFY(session.open(vsftpd.port()));
    QVERIFY(session.reply().startsWith("220 "));
    QVERIFY(session.command("USER anonymous").startsWith("331"));
    vsftpd.stop(); // also ends the session's own process
    QVERIFY(session.closedByServer());
    QVERIFY(!canConnect(vsftpd.port()));
}

QTEST_GUILESS_MAIN(SupportSelftest)
#include "support_selftest.moc"
