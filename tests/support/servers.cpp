#include "servers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace testsupport {

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick; // wakes processEvents, so pred() is rechecked
    tick.start(5);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

ScriptedConnection::ScriptedConnection(QTcpSocket* socket, ScriptedServer* server)
    : QObject(server), socket_(socket), server_(server), pieceTimer_(new QTimer(this)) {
    socket_->setParent(this);
    pieceTimer_->setSingleShot(true);
    pieceTimer_->setInterval(1);
    connect(pieceTimer_, &QTimer::timeout, this, &ScriptedConnection::writeNextPiece);
    connect(socket_, &QTcpSocket::readyRead, this, [this] {
        received_ += socket_->readAll();
        if (server_->handler_)
            server_->handler_(*this);
    });
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        pieceTimer_->stop();
        outgoing_.clear();
    });
}

void ScriptedConnection::send(const QByteArray& data) {
    if (!outgoing_.empty())
        return outgoing_.push_back({data, data.size(), {}});
    socket_->write(data);
    socket_->flush();
}

void ScriptedConnection::sendInPieces(const QByteArray& data, int pieceSize,
                                      std::function<void()> then) {
    outgoing_.push_back({data, pieceSize > 0 ? pieceSize : data.size(), std::move(then)});
    if (!pieceTimer_->isActive())
        pieceTimer_->start();
}

void ScriptedConnection::writeNextPiece() {
    if (outgoing_.empty() || !isOpen())
        return;
    // Off the queue before writing: a failing write aborts the socket, which clears the queue.
    Outgoing& front = outgoing_.front();
    const QByteArray piece = front.data.left(front.pieceSize);
    front.data.remove(0, front.pieceSize);
    std::function<void()> then;
    if (front.data.isEmpty()) {
        then = std::move(front.then);
        outgoing_.pop_front();
    }
    socket_->write(piece);
    socket_->flush();
    if (!isOpen())
        return;
    if (then)
        then(); // may queue more or close the connection
    if (!outgoing_.empty())
        pieceTimer_->start();
    else if (closeRequested_)
        close();
}

void ScriptedConnection::close() {
    closeRequested_ = true;
    if (outgoing_.empty() && !closedByUs_) {
        closedByUs_ = true;
        socket_->disconnectFromHost(); // writes what is buffered before closing
    }
}

void ScriptedConnection::abort() {
    closedByUs_ = true;
    pieceTimer_->stop();
    outgoing_.clear();
    socket_->abort();
}

bool ScriptedConnection::isOpen() const {
    return socket_->state() == QAbstractSocket::ConnectedState;
}

ScriptedServer::ScriptedServer(QObject* parent) : QObject(parent), server_(new QTcpServer(this)) {
    connect(server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            auto* connection = new ScriptedConnection(socket, this);
            connections_.append(connection);
            if (connectHandler_) // before the socket's first bytes are read
                connectHandler_(*connection);
        }
    });
    setListening(true);
}

void ScriptedServer::setListening(bool on) {
    if (on == server_->isListening())
        return;
    if (!on)
        return server_->close();
    if (!server_->listen(QHostAddress::LocalHost, port_))
        qWarning("ScriptedServer: cannot listen: %s", qPrintable(server_->errorString()));
    port_ = server_->serverPort();
}

ScriptedServer::~ScriptedServer() {
    server_->close();
    for (ScriptedConnection* connection : std::as_const(connections_))
        connection->abort();
}

quint16 ScriptedServer::port() const {
    return port_;
}

void ScriptedServer::setHandler(std::function<void(ScriptedConnection&)> h) {
    handler_ = std::move(h);
}
void ScriptedServer::setConnectHandler(std::function<void(ScriptedConnection&)> h) {
    connectHandler_ = std::move(h);
}

void ScriptedServer::replyToRequests(const QByteArray& response) {
    setHandler([response](ScriptedConnection& connection) {
        if (connection.answered_ || !connection.received().contains("\r\n\r\n"))
            return;
        connection.answered_ = true;
        connection.send(response);
        connection.close();
    });
}

bool ScriptedServer::waitForConnections(int count, int timeoutMs) {
    return waitUntil([this, count] { return connections_.size() >= count; }, timeoutMs);
}

} // namespace testsupport
