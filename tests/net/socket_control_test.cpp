// SocketControl against real loopback peers: states, event order, data integrity and
// handlers that close, reconnect, delete or run nested event loops.
#include "socket_control.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

using net::SocketControl;
using net::SocketError;

namespace {

constexpr int kWait = 30000;

// Runs the event loop until pred() holds (true) or kWait ms pass (false).
bool waitUntil(const std::function<bool()>& pred) {
    const QDeadlineTimer deadline(kWait);
    QTimer wake; // lets the loop look at the deadline when nothing else happens
    wake.start(50);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// The number of the SocketError that f throws, 0 when it throws none.
int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const SocketError& e) {
        return e.number();
    }
    return 0;
}

QByteArray randomBytes(qsizetype size) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator gen(7);
    gen.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

// Waits for the next connection accepted by server (listening on 127.0.0.1).
QTcpSocket* nextPeer(QTcpServer& server) {
    return waitUntil([&] { return server.hasPendingConnections(); })
               ? server.nextPendingConnection()
               : nullptr;
}

// Connects sock to server and returns the server side of the connection.
QTcpSocket* connectPair(SocketControl& sock, QTcpServer& server) {
    QSignalSpy connected(&sock, &SocketControl::ConnectEvent);
    sock.Connect(QStringLiteral("127.0.0.1"), server.serverPort());
    QTcpSocket* peer = nextPeer(server);
    return connected.count() > 0 || connected.wait(kWait) ? peer : nullptr;
}

quint16 unusedPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

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
    void wrongArgumentsAndStatesThrow();
    void failedConnectsReportErrors();
    void smallPiecesArriveInOrderWithWaitingTotals();
    void peerClosingRightAfterWritingAnnouncesEveryByteFirst();
    void peekLeavesBytesForLater();
    void largeSendArrivesIntactWithProgress();
    void coalescedPiecesEachCompleteAndArriveWhole();
    void listenAcceptsAfterListenerClosed();
    void listenOnTakenPortFails();
    void closeInsideDataArrivalStopsEvents();
    void reconnectFromCloseEvent();
    void deleteLaterFromHandler();
    void nestedLoopInDataArrivalKeepsOrder();
};

void SocketControlTest::connectRunsThroughStates_data() {
    QTest::addColumn<QString>("host");
    QTest::newRow("address") << QStringLiteral("127.0.0.1");
    QTest::newRow("name") << QStringLiteral("localhost");
}

void SocketControlTest::connectRunsThroughStates() {
    QFETCH(QString, host);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketControl sock;
    QSignalSpy connects(&sock, &SocketControl::ConnectEvent);
    int stateAtConnect = -1;
    connect(&sock, &SocketControl::ConnectEvent, [&] { stateAtConnect = sock.State(); });

    sock.Connect(host, QStringLiteral(" %1 ").arg(server.serverPort()));
    QList<int> states{sock.State()};
    QVERIFY(waitUntil([&] {
        if (sock.State() != states.last())
            states << sock.State();
        return sock.State() == net::sckConnected;
    }));
    QCOMPARE(states.first(), int(net::sckResolvingHost));
    QVERIFY(std::is_sorted(states.begin(), states.end()));
    for (int s : states)
        QVERIFY2(s >= net::sckResolvingHost && s <= net::sckConnected,
                 qPrintable(QString::number(s)));

    QTcpSocket* peer = nextPeer(server);
    QVERIFY(peer);
    QVERIFY(connects.count() == 1 || connects.wait(kWait));
    QCOMPARE(stateAtConnect, int(net::sckConnected));
    QCOMPARE(sock.LocalIP(), QStringLiteral("127.0.0.1"));
    QCOMPARE(sock.RemoteHostIP(), QStringLiteral("127.0.0.1"));
    QCOMPARE(sock.RemotePort(), server.serverPort());
    QCOMPARE(sock.LocalPort(), peer->peerPort());

    // A round trip later there is still exactly one ConnectEvent.
    QSignalSpy arrivals(&sock, &SocketControl::DataArrival);
    peer->write("x");
    QVERIFY(arrivals.wait(kWait));
    QCOMPARE(connects.count(), 1);
}

void SocketControlTest::wrongArgumentsAndStatesThrow() {
    SocketControl sock;
    for (const char* port : {"", "abc", "0", "65536", "-5", "21x", "99999999999999999999"})
        QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", QString::fromLatin1(port)); }), 380);
    QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", 70000); }), 380);
    QByteArray data;
    QCOMPARE(errorOf([&] { sock.GetData(data); }), 40006);
    QCOMPARE(errorOf([&] { sock.PeekData(data); }), 40006);
    QCOMPARE(errorOf([&] { sock.SendData("x"); }), 40006);
    QCOMPARE(errorOf([&] { sock.Accept(12345); }), 40006);
    QCOMPARE(sock.State(), int(net::sckClosed));

    sock.Connect("127.0.0.1", unusedPort());
    QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", 21); }), 40020);
    QCOMPARE(errorOf([&] { sock.Listen(); }), 40020);
}

void SocketControlTest::failedConnectsReportErrors() {
    SocketControl sock;
    QSignalSpy errors(&sock, &SocketControl::ErrorEvent);
    QSignalSpy connects(&sock, &SocketControl::ConnectEvent);
    const quint16 port = unusedPort();
    for (int round = 0; round < 2; ++round) { // a failed socket can be used again
        sock.Connect("127.0.0.1", port);
        QVERIFY(errors.wait(kWait));
        QCOMPARE(errors.takeFirst().at(0).toInt(), 10061);
        QCOMPARE(sock.State(), int(net::sckError));
        QByteArray data;
        QCOMPARE(errorOf([&] { sock.GetData(data); }), 40006);
        QCOMPARE(errorOf([&] { sock.Connect("127.0.0.1", port); }), 40020);
        sock.Close();
        QCOMPARE(sock.State(), int(net::sckClosed));
    }
    sock.Connect("no-such-host.invalid", 80);
    QVERIFY(errors.wait(kWait));
    QCOMPARE(errors.takeFirst().at(0).toInt(), 11001);
    QCOMPARE(sock.State(), int(net::sckError));
    QCOMPARE(connects.count(), 0);
}

void SocketControlTest::smallPiecesArriveInOrderWithWaitingTotals() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketControl sock;
    QTcpSocket* peer = connectPair(sock, server);
    QVERIFY(peer);

    // Every other DataArrival leaves the bytes waiting: the next count must include them.
    QByteArray received;
    qint64 leftWaiting = 0;
    int events = 0;
    int wrongCounts = 0;
    connect(&sock, &SocketControl::DataArrival, [&](qint64 waiting) {
        if (waiting != sock.BytesReceived() || waiting <= leftWaiting)
            ++wrongCounts;
        if (++events % 2 == 0) {
            leftWaiting = waiting;
            return;
        }
        QByteArray piece;
        sock.GetData(piece);
        received += piece;
        leftWaiting = 0;
    });

    const int pieces = 300;
    QByteArray sent;
    for (int i = 0; i < pieces; ++i)
        sent += QByteArray(101, char('a' + i % 26)) + QByteArray::number(i);
    int next = 0;
    QTimer pump;
    pump.setInterval(1);
    connect(&pump, &QTimer::timeout, [&] {
        peer->write(QByteArray(101, char('a' + next % 26)) + QByteArray::number(next));
        if (++next == pieces)
            pump.stop();
    });
    pump.start();
    QVERIFY(waitUntil([&] { return received.size() + sock.BytesReceived() == sent.size(); }));
    QByteArray rest;
    if (sock.BytesReceived() > 0)
        sock.GetData(rest);
    QCOMPARE(received + rest, sent);
    QCOMPARE(wrongCounts, 0);
    QVERIFY(events > 1);
}

void SocketControlTest::peerClosingRightAfterWritingAnnouncesEveryByteFirst() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const QByteArray sent = randomBytes(4 << 20);
    {
        SocketControl sock;
        QTcpSocket* peer = connectPair(sock, server);
        QVERIFY(peer);
        QByteArray received;
        qsizetype receivedAtClose = -1;
        int stateAtClose = -1;
        collectInto(sock, received);
        connect(&sock, &SocketControl::CloseEvent, [&] {
            receivedAtClose = received.size();
            stateAtClose = sock.State();
        });
        QSignalSpy closes(&sock, &SocketControl::CloseEvent);
        peer->write(sent);
        peer->disconnectFromHost();
        QVERIFY(closes.wait(kWait));
        QCOMPARE(receivedAtClose, sent.size());
        QVERIFY(received == sent);
        QCOMPARE(stateAtClose, int(net::sckClosing));
        QCOMPARE(sock.State(), int(net::sckClosing));
        sock.Close();
        QCOMPARE(sock.State(), int(net::sckClosed));
        QCOMPARE(closes.count(), 1);
    }
    {
        // Nobody reads: the bytes wait in state 8 until taken.
        SocketControl sock;
        QTcpSocket* peer = connectPair(sock, server);
        QVERIFY(peer);
        QSignalSpy closes(&sock, &SocketControl::CloseEvent);
        peer->write("tail");
        peer->disconnectFromHost();
        QVERIFY(closes.wait(kWait));
        QCOMPARE(sock.State(), int(net::sckClosing));
        QCOMPARE(sock.BytesReceived(), 4);
        QByteArray data;
        sock.GetData(data);
        QCOMPARE(data, QByteArray("tail"));
        QCOMPARE(errorOf([&] { sock.GetData(data); }), 40006);
        QCOMPARE(sock.State(), int(net::sckClosing));
    }
}

void SocketControlTest::peekLeavesBytesForLater() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketControl sock;
    QTcpSocket* peer = connectPair(sock, server);
    QVERIFY(peer);
    QList<qint64> counts;
    QByteArray peeked;
    QByteArray taken;
    connect(&sock, &SocketControl::DataArrival, [&](qint64 waiting) {
        counts << waiting;
        if (counts.size() == 1)
            sock.PeekData(peeked);
        else
            sock.GetData(taken);
    });
    peer->write("hello");
    QVERIFY(waitUntil([&] { return counts.size() == 1; }));
    QCOMPARE(peeked, QByteArray("hello"));
    QCOMPARE(sock.BytesReceived(), 5);
    peer->write(" world");
    QVERIFY(waitUntil([&] { return counts.size() == 2; }));
    QCOMPARE(counts, (QList<qint64>{5, 11}));
    QCOMPARE(taken, QByteArray("hello world"));
    QCOMPARE(sock.BytesReceived(), 0);
}

void SocketControlTest::largeSendArrivesIntactWithProgress() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketControl sock;
    QTcpSocket* peer = connectPair(sock, server);
    QVERIFY(peer);
    QByteArray received;
    connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll(); });
    qint64 sentTotal = 0;
    qint64 lastRemaining = -1;
    bool remainingGrew = false;
    connect(&sock, &SocketControl::SendProgress, [&](qint64 sent, qint64 remaining) {
        sentTotal += sent;
        remainingGrew = remainingGrew || (lastRemaining >= 0 && remaining > lastRemaining);
        lastRemaining = remaining;
    });
    QSignalSpy completes(&sock, &SocketControl::SendComplete);

    const QByteArray data = randomBytes(20 << 20);
    sock.SendData(data);
    QVERIFY(waitUntil([&] { return received.size() >= data.size() && completes.count() > 0; }));
    QVERIFY(received == data);
    QCOMPARE(sentTotal, data.size());
    QCOMPARE(lastRemaining, 0);
    QVERIFY(!remainingGrew);

    QSignalSpy arrivals(&sock, &SocketControl::DataArrival);
    peer->write("ok");
    QVERIFY(arrivals.wait(kWait));
    QCOMPARE(completes.count(), 1);

    // Close() right after SendData still delivers the bytes, then ends the connection.
    received.clear();
    sock.SendData(data);
    sock.Close();
    QVERIFY(waitUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    received += peer->readAll();
    QVERIFY(received == data);
    QCOMPARE(completes.count(), 1);
}

// Pieces sent one after another from SendComplete, as the FTP upload does: each completes
// once, all arrive in order without coalescing being switched off, and a piece held at the
// moment of Close() still goes out before the connection ends.
void SocketControlTest::coalescedPiecesEachCompleteAndArriveWhole() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketControl sock;
    QTcpSocket* peer = connectPair(sock, server);
    QVERIFY(peer);
    QByteArray received;
    connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll(); });
    qint64 sentTotal = 0;
    connect(&sock, &SocketControl::SendProgress, [&](qint64 sent, qint64) { sentTotal += sent; });
    const QByteArray data = randomBytes(40 * 4096 + 100);
    qsizetype offset = 0;
    int completes = 0;
    const auto next = [&] {
        if (offset < data.size())
            sock.SendData(data.mid(offset, 4096));
        offset += 4096;
    };
    connect(&sock, &SocketControl::SendComplete, [&] { ++completes, next(); });
    sock.setCoalescing(true);
    next();
    QVERIFY(waitUntil([&] { return received.size() >= data.size(); }));
    QVERIFY(received == data);
    QCOMPARE(completes, 41);
    QCOMPARE(sentTotal, data.size());

    received.clear();
    offset = data.size() - 100;
    next();
    sock.Close();
    QVERIFY(waitUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    received += peer->readAll();
    QCOMPARE(received, data.right(100));
}

void SocketControlTest::listenAcceptsAfterListenerClosed() {
    SocketControl sock;
    sock.setLocalPort(0);
    sock.setListenAddress(QStringLiteral("127.0.0.1"));
    sock.Listen();
    QCOMPARE(sock.State(), int(net::sckListening));
    const quint16 port = sock.LocalPort();
    QVERIFY(port != 0);
    QCOMPARE(sock.LocalIP(), QStringLiteral("127.0.0.1"));

    QTcpSocket client;
    qintptr acceptedId = -1;
    int stateAfterAccept = -1;
    connect(&sock, &SocketControl::ConnectionRequest, [&](qintptr id) {
        // Let the client's first bytes reach the connection before it is accepted.
        QVERIFY(waitUntil([&] {
            return client.state() == QAbstractSocket::ConnectedState && client.bytesToWrite() == 0;
        }));
        QCoreApplication::processEvents();
        sock.Close();
        sock.Accept(id);
        acceptedId = id;
        stateAfterAccept = sock.State();
    });
    QByteArray received;
    collectInto(sock, received);

    client.connectToHost(QHostAddress::LocalHost, port);
    client.write("early");
    QVERIFY(waitUntil([&] { return acceptedId != -1; }));
    QCOMPARE(stateAfterAccept, int(net::sckConnected));
    QVERIFY(waitUntil([&] { return received == "early"; }));
    QCOMPARE(sock.LocalIP(), QStringLiteral("127.0.0.1"));
    QCOMPARE(sock.RemotePort(), client.localPort());

    client.write("ping");
    QVERIFY(waitUntil([&] { return received == "earlyping"; }));
    sock.SendData("pong");
    QVERIFY(waitUntil([&] { return client.bytesAvailable() == 4; }));
    QCOMPARE(client.readAll(), QByteArray("pong"));
    QCOMPARE(errorOf([&] { sock.Accept(acceptedId); }), 40006);
}

void SocketControlTest::listenOnTakenPortFails() {
    SocketControl first;
    first.setListenAddress(QStringLiteral("127.0.0.1"));
    first.Listen();
    SocketControl second;
    second.setListenAddress(QStringLiteral("127.0.0.1"));
    second.setLocalPort(first.LocalPort());
    QCOMPARE(errorOf([&] { second.Listen(); }), 10048);
    QCOMPARE(second.State(), int(net::sckClosed));

    QTcpServer loopbackOnly;
    QVERIFY(loopbackOnly.listen(QHostAddress::LocalHost, 0));
    second.setLocalPort(loopbackOnly.serverPort());
    QCOMPARE(errorOf([&] { second.Listen(); }), 10048);

    second.setLocalPort(0);
    second.Listen();
    QCOMPARE(second.State(), int(net::sckListening));
}

void SocketControlTest::closeInsideDataArrivalStopsEvents() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketControl sock;
    QTcpSocket* peer = connectPair(sock, server);
    QVERIFY(peer);
    QSignalSpy arrivals(&sock, &SocketControl::DataArrival);
    QSignalSpy closes(&sock, &SocketControl::CloseEvent);
    QSignalSpy errors(&sock, &SocketControl::ErrorEvent);
    // The handler lets the peer's close come in (so its CloseEvent is due), then closes.
    bool sawPeerClose = false;
    connect(&sock, &SocketControl::DataArrival, [&] {
        sawPeerClose = waitUntil([&] { return sock.State() == net::sckClosing; });
        sock.Close();
    });

    peer->write("first");
    peer->disconnectFromHost();
    QVERIFY(arrivals.wait(kWait));
    QVERIFY(sawPeerClose);
    QCOMPARE(sock.State(), int(net::sckClosed));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(arrivals.count(), 1);
    QCOMPARE(closes.count(), 0);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(sock.BytesReceived(), 0);
    QVERIFY(connectPair(sock, server)); // usable again
}

void SocketControlTest::reconnectFromCloseEvent() {
    QTcpServer first;
    QTcpServer second;
    QVERIFY(first.listen(QHostAddress::LocalHost, 0));
    QVERIFY(second.listen(QHostAddress::LocalHost, 0));
    connect(&second, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = second.nextPendingConnection();
        peer->write("two");
    });
    SocketControl sock;
    QByteArray received;
    collectInto(sock, received);
    connect(&sock, &SocketControl::CloseEvent, [&] {
        sock.Close();
        sock.Connect("127.0.0.1", second.serverPort());
    });
    QSignalSpy connects(&sock, &SocketControl::ConnectEvent);
    QSignalSpy closes(&sock, &SocketControl::CloseEvent);

    QTcpSocket* peer = connectPair(sock, first);
    QVERIFY(peer);
    peer->write("one");
    peer->disconnectFromHost();
    QVERIFY(waitUntil([&] { return received == "onetwo"; }));
    QCOMPARE(connects.count(), 2);
    QCOMPARE(closes.count(), 1);
    QCOMPARE(sock.State(), int(net::sckConnected));
}

void SocketControlTest::deleteLaterFromHandler() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QPointer<SocketControl> sock = new SocketControl;
    QTcpSocket* peer = connectPair(*sock, server);
    QVERIFY(peer);
    int arrivals = 0;
    connect(sock, &SocketControl::DataArrival, [&] {
        ++arrivals;
        sock->deleteLater();
    });
    peer->write(randomBytes(1 << 20));
    peer->disconnectFromHost();
    QVERIFY(waitUntil([&] { return sock.isNull(); }));
    QCOMPARE(arrivals, 1);
}

void SocketControlTest::nestedLoopInDataArrivalKeepsOrder() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketControl sock;
    QTcpSocket* peer = connectPair(sock, server);
    QVERIFY(peer);
    const QByteArray first(1000, 'A');
    const QByteArray second(2000, 'B');
    QStringList log;
    QByteArray received;
    int depth = 0;
    bool reentered = false;
    qint64 waitingInNestedLoop = -1;
    connect(&sock, &SocketControl::DataArrival, [&](qint64 waiting) {
        reentered = reentered || depth > 0;
        ++depth;
        log << QStringLiteral("data:%1").arg(waiting);
        QByteArray piece;
        sock.GetData(piece);
        received += piece;
        if (log.size() == 1) {
            // The peer sends its last bytes and closes while this handler waits.
            peer->write(second);
            peer->disconnectFromHost();
            QEventLoop loop;
            QTimer check;
            connect(&check, &QTimer::timeout, [&] {
                if (sock.State() == net::sckClosing)
                    loop.quit();
            });
            check.start(5);
            QTimer::singleShot(kWait, &loop, &QEventLoop::quit);
            loop.exec();
            waitingInNestedLoop = sock.BytesReceived();
        }
        --depth;
    });
    connect(&sock, &SocketControl::CloseEvent, [&] { log << QStringLiteral("close"); });
    peer->write(first);
    QVERIFY(waitUntil([&] { return log.contains(QStringLiteral("close")); }));
    QCOMPARE(waitingInNestedLoop, second.size());
    QCOMPARE(log, (QStringList{"data:1000", "data:2000", "close"}));
    QVERIFY(!reentered);
    QCOMPARE(received, first + second);
}

QTEST_GUILESS_MAIN(SocketControlTest)
#include "socket_control_test.moc"
