// Checks the test servers and helpers that every other test relies on.
#include "servers.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(SupportSelftest)
#include "support_selftest.moc"
