// Checks the test servers and helpers that every other test relies on.
#include "servers.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace testsupport;

namespace {

constexpr int kWaitMs = 30000;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool canConnect(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(5000);
}

// Sends a GET with "Connection: close"; the whole reply once the server has closed, else
// nothing.
QByteArray httpGet(quint16 port, const QByteArray& target, const QByteArray& headers = {}) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                 headers + "\r\n");
    const bool closed =
        waitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs);
    return closed ? socket.readAll() : QByteArray();
}

// Sends command (if any) and reads the one-line reply; empty if none comes in time.
QByteArray ftpReply(QTcpSocket& control, const QByteArray& command = {}) {
    if (!command.isEmpty())
        control.write(command + "\r\n");
    while (!control.canReadLine()) {
        if (!control.waitForReadyRead(kWaitMs))
            return {};
    }
    return control.readLine();
}

} // namespace

class SupportSelftest : public QObject {
    Q_OBJECT
private slots:
    void randomFilesAndComparison();
    void nginxAndTinyproxyServeFiles();
    void scriptedServerRecordsBytesAndAnswersOnceHeadersEnd();
    void scriptedSendsPiecesInOrderThenCloses();
    void connectHandlerSpeaksBeforeAnyData();
    void ftpServerListsAndLogs();
};

void SupportSelftest::randomFilesAndComparison() {
    QTemporaryDir dir;
    const QString a = dir.filePath("a");
    const QString b = dir.filePath("b");
    const qint64 size = 3 * (1 << 20) + 5; // not a multiple of the block or word size
    QVERIFY(writeRandomFile(a, size, 7) && writeRandomFile(b, size, 7));
    QCOMPARE(QFileInfo(a).size(), size);
    QVERIFY(sameFileContents(a, b));
    QVERIFY(writeRandomFile(b, size, 8)); // another seed: other bytes, so never all zero
    QVERIFY(!sameFileContents(a, b));
    QByteArray bytes = readAll(a);
    bytes[size - 1] = char(bytes[size - 1] ^ 1); // only the last byte of the last short block
    QFile changed(b);
    QVERIFY(changed.open(QIODevice::WriteOnly) && changed.write(bytes) == size && changed.flush());
    QVERIFY(!sameFileContents(a, b));
    QVERIFY(writeRandomFile(b, size - 1, 7)); // a prefix of a
    QVERIFY(!sameFileContents(a, b));
}

void SupportSelftest::nginxAndTinyproxyServeFiles() {
    QTemporaryDir root;
    const qint64 size = 2 * (1 << 20) + 7;
    QVERIFY(writeRandomFile(root.filePath("blob.bin"), size, 3));
    const QByteArray contents = readAll(root.filePath("blob.bin"));
    NginxServer nginx;
    QVERIFY2(nginx.start(root.path(), "location = /moved { return 302 /blob.bin; }"),
             qPrintable(nginx.errorText()));

    const QByteArray whole = httpGet(nginx.port(), "/blob.bin");
    QVERIFY2(whole.startsWith("HTTP/1.1 200 "), whole.left(200).constData());
    QVERIFY(whole.endsWith("\r\n\r\n" + contents));
    const QByteArray ranged = httpGet(nginx.port(), "/blob.bin", "Range: bytes=1000-1999\r\n");
    QVERIFY2(ranged.startsWith("HTTP/1.1 206 "), ranged.left(200).constData());
    QVERIFY(ranged.contains("\r\nContent-Range: bytes 1000-1999/" + QByteArray::number(size)));
    QVERIFY(ranged.endsWith("\r\n\r\n" + contents.mid(1000, 1000)));
    const QByteArray moved = httpGet(nginx.port(), "/moved"); // from the extra configuration
    QVERIFY2(moved.startsWith("HTTP/1.1 302 "), moved.constData());

    TinyproxyServer proxy;
    QVERIFY2(proxy.start(), qPrintable(proxy.errorText()));
    const QByteArray proxied = httpGet(proxy.port(), nginx.url("/blob.bin").toLatin1());
    QVERIFY2(proxied.startsWith("HTTP/1.1 200 ") || proxied.startsWith("HTTP/1.0 200 "),
             proxied.left(200).constData());
    QVERIFY(proxied.endsWith("\r\n\r\n" + contents));
    QVERIFY2(proxy.log().contains("/blob.bin"), qPrintable(proxy.log()));

    proxy.stop();
    nginx.stop();
    QVERIFY(!canConnect(proxy.port()) && !canConnect(nginx.port()));
    QVERIFY(!nginx.start(root.path(), "no_such_directive on;"));
    QVERIFY2(nginx.errorText().contains("no_such_directive"), qPrintable(nginx.errorText()));
}

void SupportSelftest::scriptedServerRecordsBytesAndAnswersOnceHeadersEnd() {
    ScriptedServer server;
    const QByteArray response = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
    server.replyToRequests(response); // sent and closed within the handler call
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(server.waitForConnections(1));
    const ScriptedConnection* connection = server.connections().at(0);
    // Sent one after the other, so that they arrive in separate reads; the last one stops
    // inside the blank line that ends the headers.
    QByteArray expected;
    for (const QByteArray& chunk : {QByteArray("PUT / HTTP/1.1\r\n"), QByteArray(70000, 'z'),
                                    QByteArray("\0\xff\0 binary\r\n\r", 13)}) {
        client.write(chunk);
        expected += chunk;
        QVERIFY(waitUntil([&] { return connection->received().size() >= expected.size(); }));
    }
    QCOMPARE(connection->received(), expected);
    client.write("\n"); // an answer to what came before would have closed the connection
    QVERIFY(waitUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    QCOMPARE(client.readAll(), response);
    QCOMPARE(connection->received(), expected + "\n");
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

void SupportSelftest::connectHandlerSpeaksBeforeAnyData() {
    ScriptedServer server;
    QList<QByteArray> receivedAtConnect;
    int closedByPeer = 0;
    server.setConnectHandler([&](ScriptedConnection& connection) {
        receivedAtConnect.append(connection.received());
        connection.send("220 scripted\r\n");
        connect(&connection, &ScriptedConnection::closedByPeer, [&] { ++closedByPeer; });
    });
    server.setHandler([](ScriptedConnection& connection) {
        if (connection.received().endsWith("\r\n"))
            connection.send("331 then this\r\n");
    });
    // The first client writes at once, before the greeting could have arrived; the second
    // one only listens, so the greeting must come without any bytes from it.
    QTcpSocket eager;
    QTcpSocket quiet;
    for (QTcpSocket* client : {&eager, &quiet})
        client->connectToHost(QHostAddress::LocalHost, server.port());
    eager.write("USER x\r\n");
    QVERIFY(
        waitUntil([&] { return eager.bytesAvailable() >= 29 && quiet.bytesAvailable() >= 14; }));
    QCOMPARE(eager.readAll(), QByteArray("220 scripted\r\n331 then this\r\n"));
    QCOMPARE(quiet.readAll(), QByteArray("220 scripted\r\n"));
    QCOMPARE(receivedAtConnect, QList<QByteArray>({QByteArray(), QByteArray()}));
    quiet.disconnectFromHost();
    QVERIFY(waitUntil([&] { return closedByPeer == 1; }));
}

// Logs in anonymously, lists the root over a passive connection and checks the server's
// log; then stops the server, which also ends the open session.
void SupportSelftest::ftpServerListsAndLogs() {
    QTemporaryDir root;
    QVERIFY(writeRandomFile(root.filePath("known.txt"), 1000, 9));
    FtpServer ftp;
    QVERIFY2(ftp.start(root.path()), qPrintable(ftp.errorText()));
    QTcpSocket control;
    control.connectToHost(QHostAddress::LocalHost, ftp.port());
    QVERIFY(control.waitForConnected(kWaitMs));
    QVERIFY(ftpReply(control).startsWith("220 "));
    QVERIFY(ftpReply(control, "USER anonymous").startsWith("331 "));
    QVERIFY(ftpReply(control, "PASS guest@example.org").startsWith("230 "));

    static const QRegularExpression address(R"(\(127,0,0,1,(\d+),(\d+)\))");
    const QRegularExpressionMatch match = address.match(ftpReply(control, "PASV"));
    QVERIFY(match.hasMatch());
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost,
                       quint16(match.captured(1).toUInt() * 256 + match.captured(2).toUInt()));
    QVERIFY(data.waitForConnected(kWaitMs));
    QVERIFY(ftpReply(control, "LIST").startsWith('1'));
    QVERIFY(waitUntil([&] { return data.state() == QAbstractSocket::UnconnectedState; }));
    const QByteArray listing = data.readAll();
    QVERIFY2(listing.contains(" known.txt\r\n"), listing.constData());
    QVERIFY(ftpReply(control).startsWith("226 "));
    for (const char* sent : {"USER anonymous", "PASV", "LIST"})
        QVERIFY2(ftp.log().contains(sent), qPrintable(ftp.log()));

    ftp.stop();
    QVERIFY(waitUntil([&] { return control.state() == QAbstractSocket::UnconnectedState; }));
    QVERIFY(!canConnect(ftp.port()));
}

QTEST_GUILESS_MAIN(SupportSelftest)
#include "support_selftest.moc"
