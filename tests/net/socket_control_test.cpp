// SocketControl against real loopback peers: states, errors, event order, data integrity and
// handlers that close, reconnect, delete or run nested event loops.
#include "servers.h"
#include "socket_control.h"

#include <QEventLoop>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

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
    explicit Pair(SocketControl* s = nullptr) : sock(s ? s : &own) {
        server.listen(QHostAddress::LocalHost, 0);
        QSignalSpy connected(sock, &SocketControl::ConnectEvent);
        sock->Connect("127.0.0.1", server.serverPort());
        if (waitUntil([&] { return server.hasPendingConnections() && connected.count() > 0; }))
            peer = server.nextPendingConnection();
    }
    QTcpServer server;
    SocketControl own;
    SocketControl* sock;
    QTcpSocket* peer = nullptr;
};

// Makes every DataArrival of sock take the waiting bytes and append them to received.
void collectInto(SocketControl& sock, QByteArray& received) {
    QObject::connect(&sock, &SocketControl::DataArrival, &sock, [&sock, &received] {
        QByteArray piece;
        sock.GetData(piece);
        received += piece;
    });
}

} // namespace

class SocketControlTest : public QObject {
    Q_OBJECT
private slots:
    void connectRunsThroughStates_data();
    void connectRunsThroughStates();
    void errors();
    void piecesInOrderWithWaitingTotals();
    void peerCloseComesAfterEveryByte();
    void largeSendWithProgressAndFlushOnClose();
    void coalescedPiecesEachCompleteAndArriveWhole();
    void listenAndAccept();
    void handlersCloseReconnectAndDelete();
    void nestedLoopInDataArrivalKeepsOrder();
};

void SocketControlTest::connectRunsThroughStates_data() {
    QTest::addColumn<QString>("host");
    QTest::newRow("address") << "127.0.0.1";
    QTest::newRow("name") << "localhost";
}

void SocketControlTest::connectRunsThroughStates() {
    QFETCH(QString, host);
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
    // Resolving first, resolved or connecting next, then connected, and one ConnectEvent.
    QCOMPARE(states.first(), int(net::sckResolvingHost));
    QVERIFY(std::is_sorted(states.begin(), states.indexOf(-net::sckConnected) + states.begin()));
    QCOMPARE(sock.LocalIP(), QStringLiteral("127.0.0.1"));
    QCOMPARE(sock.RemoteHostIP(), QStringLiteral("127.0.0.1"));
    QCOMPARE(sock.RemotePort(), server.serverPort());
    QTcpSocket* peer = server.nextPendingConnection();
    QCOMPARE(sock.LocalPort(), peer->peerPort());
    QSignalSpy arrivals(&sock, &SocketControl::DataArrival);
    peer->write("x"); // a round trip later, still one ConnectEvent
    QVERIFY(arrivals.wait(30000));
    QCOMPARE(states.count(-net::sckConnected), 1);
}

void SocketControlTest::errors() {
    SocketControl sock;
    for (const char* port : {"", "abc", "0", "65536", "-5", "21x", "99999999999999999999"})
        QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", QString::fromLatin1(port)); }), 380);
    QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", 70000); }), 380);
    QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", " 65535 "), sock.Close(); }), 0);
    QByteArray data;
    QCOMPARE(errorOf([&] { sock.GetData(data); }), 40006);
    QCOMPARE(errorOf([&] { sock.PeekData(data); }), 40006);
    QCOMPARE(errorOf([&] { sock.SendData("x"); }), 40006);
    QCOMPARE(errorOf([&] { sock.Accept(12345); }), 40006);
    QSignalSpy errors(&sock, &SocketControl::ErrorEvent);
    const quint16 closedPort = testsupport::ScriptedServer().port();
    for (int round = 0; round < 2; ++round) { // a failed socket can be used again
        sock.Connect("127.0.0.1", closedPort);
        QCOMPARE(errorOf([&] { sock.Listen(); }), 40020);
        QVERIFY(errors.wait(30000));
        QCOMPARE(errors.takeFirst().at(0).toInt(), 10061);
        QCOMPARE(sock.State(), int(net::sckError));
        QCOMPARE(errorOf([&] { sock.GetData(data); }), 40006);
        QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", closedPort); }), 40020);
        sock.Close();
        QCOMPARE(sock.State(), int(net::sckClosed));
    }
    sock.Connect("no-such-host.invalid", 80);
    QVERIFY(errors.wait(30000));
    QCOMPARE(errors.takeFirst().at(0).toInt(), 11001);
    QCOMPARE(sock.State(), int(net::sckError));
}

// Every other DataArrival only peeks and leaves the bytes waiting: the next count includes them.
void SocketControlTest::piecesInOrderWithWaitingTotals() {
    Pair p;
    QVERIFY(p.peer);
    QByteArray sent, received;
    qint64 leftWaiting = 0;
    int events = 0, wrongCounts = 0;
    connect(p.sock, &SocketControl::DataArrival, [&](qint64 waiting) {
        QByteArray piece;
        const bool take = ++events % 2 == 1;
        take ? p.sock->GetData(piece) : p.sock->PeekData(piece);
        wrongCounts += waiting != piece.size() || waiting <= leftWaiting;
        received += take ? piece : QByteArray();
        leftWaiting = take ? 0 : waiting;
    });
    for (int i = 0; i < 300; ++i) {
        const QByteArray piece = QByteArray(101, char('a' + i % 26)) + QByteArray::number(i);
        sent += piece;
        QTimer::singleShot(i, p.peer, [piece, &p] { p.peer->write(piece); });
    }
    QVERIFY(waitUntil([&] { return received.size() + p.sock->BytesReceived() == sent.size(); }));
    QByteArray rest;
    if (p.sock->BytesReceived() > 0)
        p.sock->GetData(rest);
    QCOMPARE(received + rest, sent);
    QCOMPARE(wrongCounts, 0);
    QVERIFY(events > 1);
}

// Bytes the peer wrote just before closing are all announced before CloseEvent; unread
// ones wait in state 8 until taken.
void SocketControlTest::peerCloseComesAfterEveryByte() {
    for (const QByteArray& sent : {randomBytes(4 << 20), QByteArray("tail")}) {
        Pair p;
        QVERIFY(p.peer);
        QByteArray received;
        const bool reads = sent.size() > 4;
        if (reads)
            collectInto(*p.sock, received);
        QString atClose;
        connect(p.sock, &SocketControl::CloseEvent, [&] {
            const qint64 bytes = reads ? received.size() : p.sock->BytesReceived();
            atClose = QString("%1 bytes, state %2").arg(bytes).arg(p.sock->State());
        });
        p.peer->write(sent);
        p.peer->disconnectFromHost();
        QVERIFY(waitUntil([&] { return !atClose.isEmpty(); }));
        QCOMPARE(atClose, QString("%1 bytes, state 8").arg(sent.size()));
        if (!reads)
            p.sock->GetData(received);
        QVERIFY(received == sent);
        QCOMPARE(errorOf([&] { p.sock->GetData(received); }), 40006);
        p.sock->Close();
        QCOMPARE(p.sock->State(), int(net::sckClosed));
    }
}

void SocketControlTest::largeSendWithProgressAndFlushOnClose() {
    Pair p;
    QVERIFY(p.peer);
    QByteArray received;
    connect(p.peer, &QTcpSocket::readyRead, [&] { received += p.peer->readAll(); });
    qint64 sentTotal = 0, lastRemaining = -1;
    bool remainingGrew = false;
    connect(p.sock, &SocketControl::SendProgress, [&](qint64 sent, qint64 remaining) {
        sentTotal += sent;
        remainingGrew = remainingGrew || (lastRemaining >= 0 && remaining > lastRemaining);
        lastRemaining = remaining;
    });
    QSignalSpy completes(p.sock, &SocketControl::SendComplete);
    const QByteArray data = randomBytes(20 << 20);
    p.sock->SendData(data);
    QVERIFY(waitUntil([&] { return received.size() >= data.size() && completes.count() > 0; }));
    QVERIFY(received == data && !remainingGrew);
    QCOMPARE(sentTotal, data.size());
    QCOMPARE(lastRemaining, 0);
    // Close() right after SendData still delivers the bytes, then ends the connection.
    received.clear();
    p.sock->SendData(data);
    p.sock->Close();
    QVERIFY(waitUntil([&] { return p.peer->state() == QAbstractSocket::UnconnectedState; }));
    received += p.peer->readAll();
    QVERIFY(received == data);
    QCOMPARE(completes.count(), 1);
}

// Pieces sent one after another from SendComplete, as the FTP upload does: each completes
// once, all arrive in order without coalescing being switched off, and a piece held at the
// moment of Close() still goes out before the connection ends.
void SocketControlTest::coalescedPiecesEachCompleteAndArriveWhole() {
    Pair p;
    QVERIFY(p.peer);
    QByteArray received;
    connect(p.peer, &QTcpSocket::readyRead, [&] { received += p.peer->readAll(); });
    qint64 sentTotal = 0;
    connect(p.sock, &SocketControl::SendProgress, [&](qint64 sent, qint64) { sentTotal += sent; });
    const QByteArray data = randomBytes(40 * 4096 + 100);
    qsizetype offset = 0;
    int completes = 0;
    const auto next = [&] {
        if (offset < data.size())
            p.sock->SendData(data.mid(offset, 4096));
        offset += 4096;
    };
    connect(p.sock, &SocketControl::SendComplete, [&] { ++completes, next(); });
    p.sock->setCoalescing(true);
    next();
    QVERIFY(waitUntil([&] { return received.size() >= data.size(); }));
    QVERIFY(received == data);
    QCOMPARE(completes, 41);
    QCOMPARE(sentTotal, data.size());

    received.clear();
    offset = data.size() - 100;
    next();
    p.sock->Close();
    QVERIFY(waitUntil([&] { return p.peer->state() == QAbstractSocket::UnconnectedState; }));
    received += p.peer->readAll();
    QCOMPARE(received, data.right(100));
}

void SocketControlTest::listenAndAccept() {
    SocketControl sock;
    sock.setListenAddress("127.0.0.1");
    sock.Listen();
    QCOMPARE(sock.State(), int(net::sckListening));
    QCOMPARE(sock.LocalIP(), QStringLiteral("127.0.0.1"));
    SocketControl taken;
    taken.setListenAddress("127.0.0.1");
    taken.setLocalPort(sock.LocalPort());
    QCOMPARE(errorOf([&] { taken.Listen(); }), 10048);
    QCOMPARE(taken.State(), int(net::sckClosed));
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
    QByteArray received;
    collectInto(sock, received);
    client.connectToHost(QHostAddress::LocalHost, sock.LocalPort());
    client.write("early");
    QVERIFY(waitUntil([&] { return received == "early"; }));
    QCOMPARE(sock.State(), int(net::sckConnected));
    QCOMPARE(sock.RemotePort(), client.localPort());
    sock.SendData("pong");
    QVERIFY(waitUntil([&] { return client.bytesAvailable() == 4; }));
    QCOMPARE(client.readAll(), QByteArray("pong"));
    QCOMPARE(errorOf([&] { sock.Accept(acceptedId); }), 40006);
}

// A handler may close the socket (no event of the old connection follows), connect again
// from CloseEvent, or delete the socket.
void SocketControlTest::handlersCloseReconnectAndDelete() {
    Pair closing;
    QVERIFY(closing.peer);
    QSignalSpy arrivals(closing.sock, &SocketControl::DataArrival);
    QSignalSpy others(closing.sock, &SocketControl::CloseEvent);
    const auto closer = connect(closing.sock, &SocketControl::DataArrival, [&] {
        QVERIFY(waitUntil([&] { return closing.sock->State() == net::sckClosing; }));
        closing.sock->Close(); // with the peer's CloseEvent already due
    });
    closing.peer->write("first");
    closing.peer->disconnectFromHost();
    QVERIFY(arrivals.wait(30000));
    for (int turn = 0; turn < 3; ++turn) // room for a wrong late event; none may come
        QCoreApplication::processEvents();
    QCOMPARE(arrivals.count() + others.count(), 1);
    QCOMPARE(closing.sock->BytesReceived(), 0);
    disconnect(closer);

    QByteArray received;
    collectInto(*closing.sock, received);
    QTcpServer second;
    QVERIFY(second.listen(QHostAddress::LocalHost, 0));
    connect(&second, &QTcpServer::newConnection,
            [&] { second.nextPendingConnection()->write("two"); });
    connect(closing.sock, &SocketControl::CloseEvent, [&] {
        closing.sock->Close();
        closing.sock->Connect("127.0.0.1", second.serverPort());
    });
    Pair again(closing.sock);
    QVERIFY(again.peer);
    again.peer->write("one");
    again.peer->disconnectFromHost();
    QVERIFY(waitUntil([&] { return received == "onetwo"; }));
    QCOMPARE(closing.sock->State(), int(net::sckConnected));

    QPointer<SocketControl> doomed = new SocketControl;
    Pair deleting(doomed);
    QVERIFY(deleting.peer);
    int deliveries = 0;
    connect(doomed, &SocketControl::DataArrival, [&] {
        ++deliveries;
        doomed->deleteLater();
    });
    deleting.peer->write(randomBytes(1 << 20));
    deleting.peer->disconnectFromHost();
    QVERIFY(waitUntil([&] { return doomed.isNull(); }));
    QCOMPARE(deliveries, 1);
}

// While a DataArrival handler runs a nested loop, the socket's later events wait and then
// follow in order.
void SocketControlTest::nestedLoopInDataArrivalKeepsOrder() {
    Pair p;
    QVERIFY(p.peer);
    QStringList log;
    QByteArray received;
    int depth = 0;
    qint64 waitingInNestedLoop = -1;
    connect(p.sock, &SocketControl::DataArrival, [&](qint64 waiting) {
        log << QStringLiteral("data:%1 depth:%2").arg(waiting).arg(depth++);
        QByteArray piece;
        p.sock->GetData(piece);
        received += piece;
        if (log.size() == 1) { // the peer sends the rest and closes meanwhile
            p.peer->write(QByteArray(2000, 'B'));
            p.peer->disconnectFromHost();
            QVERIFY(waitUntil([&] { return p.sock->State() == net::sckClosing; }));
            waitingInNestedLoop = p.sock->BytesReceived();
        }
        --depth;
    });
    connect(p.sock, &SocketControl::CloseEvent, [&] { log << "close"; });
    p.peer->write(QByteArray(1000, 'A'));
    QVERIFY(waitUntil([&] { return log.contains("close"); }));
    QCOMPARE(waitingInNestedLoop, 2000);
    QCOMPARE(log, (QStringList{"data:1000 depth:0", "data:2000 depth:0", "close"}));
    QCOMPARE(received, QByteArray(1000, 'A') + QByteArray(2000, 'B'));
}

QTEST_GUILESS_MAIN(SocketControlTest)
#include "socket_control_test.moc"
