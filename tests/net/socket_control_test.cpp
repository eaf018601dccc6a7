// SocketControl against real loopback peers: states, errors, event order, data integrity and
// handlers that run nested event loops.
#include "servers.h"
#include "socket_control.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using net::SocketControl;
using testsupport::waitUntil;

namespace {

// The number of the SocketError that f throws, 0 when it throws none.
int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const net::SocketError& e) {
        return e.number();
    }
    return 0;
}

QByteArray randomBytes(qsizetype size) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

// A QTcpServer on 127.0.0.1 and `peer`, its side of a connection from `sock` (null when the
// connection failed), after ConnectEvent.
struct Pair {
    Pair() {
        server.listen(QHostAddress::LocalHost, 0);
        QSignalSpy connected(sock, &SocketControl::ConnectEvent);
        sock->Connect("127.0.0.1", server.serverPort());
        if (waitUntil([&] { return server.hasPendingConnections() && connected.count() > 0; }))
            peer = server.nextPendingConnection();
    }
    QTcpServer server;
    SocketControl own;
    SocketControl* sock = &own;
    QTcpSocket* peer = nullptr;
};

} // namespace

class SocketControlTest : public QObject {
    Q_OBJECT
private slots:
    // By address and by name: resolving first, resolved or connecting next, then connected,
    // and one ConnectEvent, also after a round trip.
    void connectRunsThroughStates() {
        for (const char* host : {"127.0.0.1", "localhost"}) {
            QTcpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost, 0));
            SocketControl sock;
            QList<int> states;
            connect(&sock, &SocketControl::ConnectEvent, [&] { states << -sock.State(); });
            sock.Connect(host, QStringLiteral(" %1 ").arg(server.serverPort()));
            QVERIFY(waitUntil([&] {
                if (states.isEmpty() || states.last() != sock.State())
                    states << sock.State();
                return server.hasPendingConnections() && states.contains(-net::sckConnected);
            }));
            QCOMPARE(states.first(), int(net::sckResolvingHost));
            QVERIFY(std::is_sorted(states.begin(),
                                   states.indexOf(-net::sckConnected) + states.begin()));
            QCOMPARE(sock.LocalIP(), "127.0.0.1"); // what an active-mode PORT announces
            QSignalSpy arrivals(&sock, &SocketControl::DataArrival);
            server.nextPendingConnection()->write("x");
            QVERIFY(arrivals.wait(30000));
            QCOMPARE(states.count(-net::sckConnected), 1);
        }
    }

    void errors() {
        SocketControl sock;
        for (const char* port : {"", "abc", "0", "65536", "-5", "21x", "99999999999999999999"})
            QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", QString::fromLatin1(port)); }), 380);
        QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", 70000); }), 380);
        QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", " 65535 "), sock.Close(); }), 0);
        QByteArray data;
        QCOMPARE(errorOf([&] { sock.PeekData(data); }), 40006);
        QCOMPARE(errorOf([&] { sock.SendData("x"); }), 40006);
        QSignalSpy errors(&sock, &SocketControl::ErrorEvent);
        const quint16 closedPort = testsupport::ScriptedServer().port();
        for (int round = 0; round < 2; ++round) { // a failed socket can be used again
            sock.Connect("127.0.0.1", closedPort);
            QCOMPARE(errorOf([&] { sock.Listen(); }), 40020);
            QVERIFY(errors.wait(30000));
            QCOMPARE(QList<int>({errors.takeFirst().at(0).toInt(), sock.State()}),
                     QList<int>({10061, net::sckError}));
            QCOMPARE(errorOf([&] { sock.GetData(data); }), 40006);
            QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", closedPort); }), 40020);
            sock.Close();
        }
        sock.Connect("no-such-host.invalid", 80);
        QVERIFY(errors.wait(30000));
        QCOMPARE(QList<int>({errors.takeFirst().at(0).toInt(), sock.State()}),
                 QList<int>({11001, net::sckError}));
    }

    // One large send, and pieces sent one after another from SendComplete with coalescing
    // on, as the FTP upload does: everything arrives, progress adds up (0 left at the end),
    // one SendComplete each. Close() right after a send (or with a piece held back) still
    // delivers it before the connection ends.
    void sendsArriveWholeAndFlushOnClose() {
        for (const bool coalescing : {false, true}) {
            Pair p;
            QVERIFY(p.peer);
            QByteArray received;
            connect(p.peer, &QTcpSocket::readyRead, [&] { received += p.peer->readAll(); });
            qint64 sentTotal = 0, left = 0, leftAtCompletes = 0;
            connect(p.sock, &SocketControl::SendProgress,
                    [&](qint64 sent, qint64 remaining) { sentTotal += sent, left = remaining; });
            const QByteArray data = randomBytes(coalescing ? 40 * 4096 + 100 : 20 << 20);
            const qsizetype piece = coalescing ? 4096 : data.size();
            qsizetype offset = 0;
            int completes = 0;
            const auto next = [&] {
                if (offset < data.size())
                    p.sock->SendData(data.mid(offset, piece));
                offset += piece;
            };
            connect(p.sock, &SocketControl::SendComplete,
                    [&] { leftAtCompletes += left, ++completes, next(); });
            p.sock->setCoalescing(coalescing);
            next();
            QVERIFY(
                waitUntil([&] { return received.size() >= data.size() && offset > data.size(); }));
            QVERIFY(received == data && leftAtCompletes == 0);
            QCOMPARE(sentTotal, data.size());
            const int sends = completes;
            QCOMPARE(sends, coalescing ? 41 : 1);

            received.clear();
            offset = coalescing ? data.size() - 100 : 0;
            next();
            p.sock->Close();
            QVERIFY(
                waitUntil([&] { return p.peer->state() == QAbstractSocket::UnconnectedState; }));
            received += p.peer->readAll();
            QVERIFY(received == data.mid(offset - piece));
            QCOMPARE(completes, sends);
        }
    }

    // The FTP upload's empty last piece, sent while a held run waits in the Qt socket's
    // buffer (the peer reads nothing for a while): it still gets its SendComplete.
    void emptySendBehindAHeldRunCompletes() {
        Pair p;
        QVERIFY(p.peer);
        p.peer->setReadBufferSize(4096); // takes nothing more from the system until read
        auto* own = p.sock->findChild<QTcpSocket*>();
        QVERIFY(own);
        int completes = 0;
        connect(p.sock, &SocketControl::SendComplete, [&] { ++completes; });
        p.sock->setCoalescing(true);
        const QByteArray piece = randomBytes(4096);
        for (int sent = 0; own->bytesToWrite() == 0; ++sent) {
            QVERIFY(sent < 10000); // the system's buffers hold far less than 40 MiB
            p.sock->SendData(piece);
            QVERIFY(waitUntil([&] { return completes == sent + 1; }, 30000));
        }
        p.sock->SendData(QByteArray());
        connect(p.peer, &QTcpSocket::readyRead, [&] { p.peer->readAll(); });
        p.peer->readAll();
        const int before = completes;
        QVERIFY(waitUntil([&] { return completes == before + 1; }, 30000));
    }

    void listenAndAccept() {
        SocketControl sock;
        sock.setListenAddress("127.0.0.1");
        sock.Listen();
        QCOMPARE(QString::number(sock.State()) + " " + sock.LocalIP(), "2 127.0.0.1");
        SocketControl taken;
        taken.setListenAddress("127.0.0.1");
        taken.setLocalPort(sock.LocalPort());
        QCOMPARE(QList<int>({errorOf([&] { taken.Listen(); }), taken.State()}),
                 QList<int>({10048, net::sckClosed}));
        taken.setLocalPort(0);
        taken.Listen(); // usable after the failure

        // The request outlives the listener's Close(); bytes sent before Accept are not lost.
        QTcpSocket client;
        qintptr acceptedId = -1;
        connect(&sock, &SocketControl::ConnectionRequest, [&](qintptr id) {
            QVERIFY(waitUntil([&] { return client.bytesToWrite() == 0; }));
            QCoreApplication::processEvents(); // the bytes reach the request before Accept
            sock.Close();
            sock.Accept(id);
            acceptedId = id;
        });
        QByteArray received, piece;
        // A peek leaves the bytes where they are, for GetData.
        connect(&sock, &SocketControl::DataArrival,
                [&] { sock.PeekData(piece), sock.GetData(piece), received += piece; });
        client.connectToHost(QHostAddress::LocalHost, sock.LocalPort());
        client.write("early");
        QVERIFY(waitUntil([&] { return received == "early"; }));
        QCOMPARE(QList<int>({sock.State(), sock.RemotePort()}),
                 QList<int>({net::sckConnected, client.localPort()}));
        sock.SendData("pong");
        QVERIFY(waitUntil([&] { return client.bytesAvailable() == 4; }));
        QCOMPARE(client.readAll(), QByteArray("pong"));
        QCOMPARE(errorOf([&] { sock.Accept(acceptedId); }), 40006);
    }

    // While a DataArrival handler runs a nested loop, the socket's later events wait and then
    // follow in order; bytes left unread at the peer's close wait in state 8 until taken.
    void nestedLoopKeepsOrderAndUnreadBytesWait() {
        Pair p;
        QVERIFY(p.peer);
        QStringList log;
        int depth = 0;
        connect(p.sock, &SocketControl::DataArrival, [&](qint64 waiting) {
            log << QStringLiteral("data:%1 depth:%2").arg(waiting).arg(depth++);
            if (log.size() == 1) { // takes the bytes; the peer sends more and closes meanwhile
                QByteArray piece;
                p.sock->GetData(piece);
                p.peer->write("tail");
                p.peer->disconnectFromHost();
                QVERIFY(waitUntil([&] { return p.sock->State() == net::sckClosing; }));
                log << QString::number(p.sock->BytesReceived());
            }
            --depth;
        });
        connect(p.sock, &SocketControl::CloseEvent, [&] {
            log << QString("close: state %1, %2 waiting")
                       .arg(p.sock->State())
                       .arg(p.sock->BytesReceived());
        });
        p.peer->write(QByteArray(1000, 'A'));
        QVERIFY(waitUntil([&] { return log.join(' ').contains("close"); }));
        QCOMPARE(log, (QStringList{"data:1000 depth:0", "4", "data:4 depth:0",
                                   "close: state 8, 4 waiting"}));
        QByteArray tail;
        p.sock->GetData(tail);
        QCOMPARE(tail, QByteArray("tail"));
        QCOMPARE(errorOf([&] { p.sock->GetData(tail); }), 40006);
        p.sock->Close();
        QCOMPARE(p.sock->State(), int(net::sckClosed));
    }
};

QTEST_GUILESS_MAIN(SocketControlTest)
#include "socket_control_test.moc"
