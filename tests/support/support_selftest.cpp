// Checks the test servers and helpers that every other test relies on.
#include "servers.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace testsupport;

namespace {

// Sends a GET with "Connection: close"; the whole reply once the server has closed.
QByteArray httpGet(quint16 port, const QByteArray& target, const QByteArray& headers = {}) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                 headers + "\r\n");
    waitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 30000);
    return socket.readAll();
}

} // namespace

class SupportSelftest : public QObject {
    Q_OBJECT
private slots:
    void randomFilesAndComparison() {
        QTemporaryDir dir;
        const QString a = dir.filePath("a");
        const QString b = dir.filePath("b");
        const qint64 size = 3 * (1 << 20) + 5; // not a multiple of the block or word size
        QVERIFY(writeRandomFile(a, size, 7) && writeRandomFile(b, size, 7));
        QCOMPARE(QFileInfo(a).size(), size);
        QVERIFY(sameFileContents(a, b));
        QFile changed(b); // only the last byte differs
        QVERIFY(changed.open(QIODevice::ReadWrite) && changed.seek(size - 1));
        const char last = changed.read(1).at(0);
        QVERIFY(changed.seek(size - 1) && changed.putChar(char(last ^ 1)) && changed.flush());
        QVERIFY(!sameFileContents(a, b));
        QVERIFY(writeRandomFile(b, size - 1, 7)); // a prefix of a
        QVERIFY(!sameFileContents(a, b));
        QVERIFY(writeRandomFile(b, size, 8) && !sameFileContents(a, b)); // another seed
    }

    void nginxAndTinyproxy() {
        QTemporaryDir root;
        QVERIFY(writeRandomFile(root.filePath("blob.bin"), 5000, 3));
        QFile blob(root.filePath("blob.bin"));
        QVERIFY(blob.open(QIODevice::ReadOnly));
        const QByteArray contents = blob.readAll();
        NginxServer nginx;
        QVERIFY2(nginx.start(root.path()), qPrintable(nginx.errorText()));
        const QByteArray ranged = httpGet(nginx.port(), "/blob.bin", "Range: bytes=1000-1999\r\n");
        QVERIFY2(ranged.startsWith("HTTP/1.1 206 "), ranged.left(200).constData());
        QVERIFY(ranged.endsWith("\r\n\r\n" + contents.mid(1000, 1000)));
        TinyproxyServer proxy;
        QVERIFY2(proxy.start(), qPrintable(proxy.errorText()));
        const QByteArray proxied = httpGet(proxy.port(), nginx.url("/blob.bin").toLatin1());
        QVERIFY(proxied.endsWith("\r\n\r\n" + contents));
        QVERIFY2(proxy.log().contains("/blob.bin"), qPrintable(proxy.log()));
        proxy.stop();
        QVERIFY(!nginx.start(root.path(), "no_such_directive on;"));
        QVERIFY2(nginx.errorText().contains("no_such_directive"), qPrintable(nginx.errorText()));
    }

    // Pieces go out one write at a time, in order, followed by what send() queued; `then` runs
    // once; the connect handler speaks before the client does.
    void scriptedServer() {
        ScriptedServer server;
        QByteArray payload;
        for (int i = 0; i < 50; ++i)
            payload += QByteArray::number(1000000 + i); // 50 pieces of 7 distinct bytes
        int thenCalls = 0;
        server.setConnectHandler([](ScriptedConnection& c) { c.send("hello\r\n"); });
        server.setHandler([&](ScriptedConnection& connection) {
            connection.sendInPieces(payload, 7, [&] { ++thenCalls; });
            connection.send("tail"); // must follow the pieces
            connection.close();
        });
        QTcpSocket client;
        QList<QByteArray> reads;
        QObject::connect(&client, &QTcpSocket::readyRead, [&] {
            reads.append(client.readAll());
            if (reads.size() == 1)
                client.write("go");
        });
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(waitUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
        reads.append(client.readAll());
        QCOMPARE(reads.join(), "hello\r\n" + payload + "tail");
        QVERIFY2(reads.size() >= 10, qPrintable(QString::number(reads.size()) + " reads"));
        QCOMPARE(thenCalls, 1);
        QCOMPARE(server.connections().at(0)->received(), QByteArray("go"));
    }

    void ftpServersGreetAndLog() {
        QTemporaryDir root;
        FtpServer pyftpd;
        VsftpdServer vsftpd;
        QVERIFY2(pyftpd.start(root.path()), qPrintable(pyftpd.errorText()));
        QVERIFY2(vsftpd.start(root.path()), qPrintable(vsftpd.errorText()));
        for (quint16 port : {pyftpd.port(), vsftpd.port()}) {
            QTcpSocket control;
            control.connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(waitUntil([&] { return control.canReadLine(); }));
            QVERIFY(control.readLine().startsWith("220 "));
            control.write("USER anonymous\r\n");
            QVERIFY(waitUntil([&] { return control.canReadLine(); }));
            QVERIFY(control.readLine().startsWith("331 "));
        }
        QVERIFY(waitUntil([&] { return pyftpd.log().contains("USER anonymous"); }));
        QVERIFY(waitUntil([&] { return vsftpd.log().contains("USER anonymous"); }));
    }
};

QTEST_GUILESS_MAIN(SupportSelftest)
#include "support_selftest.moc"
