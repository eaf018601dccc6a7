#include "socket_control.h"

#include "proxy_tunnel.h"
#include "socket_errors.h"
#include "tls_trust.h"

#include <QHostInfo>
#include <QNetworkProxy>
#include <QPointer>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <malloc.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace net {

namespace {

constexpr qint64 kReadPieceBytes = 256 * 1024;
constexpr int kEventsPerTurn = 256;
constexpr qint64 kHeldBytes = 64 * 1024; // coalesced sends are handed over in runs this large

// How long a closed socket may take to hand its unsent bytes to the peer before it is dropped.
constexpr int kFlushTimeoutMs = 30000;

// "21" or " 21 " gives 21; anything that is not a whole number from 1 to 65535 gives 0.
quint16 parsePort(const QString& text) {
    const QString digits = text.trimmed();
    const bool allDigits =
        std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (digits.isEmpty() || !allDigits)
        return 0;
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok);
    return ok && value <= 65535 ? quint16(value) : 0;
}

// Dotted form of an address; an IPv4-mapped IPv6 address is shown as the IPv4 address.
QString dotted(const QHostAddress& address) {
    if (address.isNull())
        return {};
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

// IPv4 addresses first, so that "localhost" reaches servers listening on 127.0.0.1.
QList<QHostAddress> ipv4First(QList<QHostAddress> addresses) {
    std::stable_partition(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
        return a.protocol() == QAbstractSocket::IPv4Protocol;
    });
    return addresses;
}

// Over TLS the Qt socket copies each read of the encrypted stream into a buffer of that
// read's size, and its decrypted data into buffers of its own. Above glibc's default 128 KiB
// such buffers are mapped and unmapped on every read, and every byte written into them
// faults a fresh page in; kept on the heap they are reused. Measured on a 256 MiB HTTPS
// download: 0.9 s with the defaults, 0.7 s with this (system time halved).
void KeepSocketBuffersOnHeap() {
    static std::once_flag once;
    std::call_once(once, [] {
        ::mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
        ::mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    });
}

} // namespace

SocketError::SocketError(int number, const QString& text)
    : std::runtime_error(text.toStdString()), number_(number) {
}

SocketControl::SocketControl(QObject* parent) : QObject(parent) {
}

SocketControl::~SocketControl() {
    Close();
    discardRequests();
}

// ---------------------------------------------------------------------------------------
// Operations

void SocketControl::Connect(const QString& remoteHost, const QString& remotePort) {
    Connect(remoteHost, remotePort, ConnectOptions{});
}

void SocketControl::Connect(const QString& remoteHost, const QString& remotePort,
                            const ConnectOptions& options) {
    const quint16 port = parsePort(remotePort);
    if (port == 0)
        throw SocketError(sckInvalidPropertyValue, tr("Invalid property value"));
    if (state_ != sckClosed)
        throw SocketError(sckInvalidOp, tr("Invalid operation at current state"));
    options_ = options;
    // The file's authorities are tried first, alone: naming any authority ends Qt's loading of
    // the system's on demand, and naming all of the system's costs a quarter of a second.
    trust_ = options.trustedCertificates.isEmpty() ? Trust::System : Trust::FileOnly;
    Connect(remoteHost, int(port));
}

void SocketControl::Connect(const QString& remoteHost, int remotePort) {
    if (remotePort < 1 || remotePort > 65535)
        throw SocketError(sckInvalidPropertyValue, tr("Invalid property value"));
    if (state_ != sckClosed)
        throw SocketError(sckInvalidOp, tr("Invalid operation at current state"));
    discardRequests();
    remotePort_ = quint16(remotePort);
    state_ = sckResolvingHost;

    const quint64 session = generation_;
    const QString host = remoteHost.trimmed();
    QHostAddress literal;
    if (literal.setAddress(host)) {
        // An address needs no lookup (and Qt's lookup would resolve it in reverse).
        QMetaObject::invokeMethod(
            this,
            [this, session, literal] {
                if (session == generation_)
                    resolved({literal}, {});
            },
            Qt::QueuedConnection);
        return;
    }
    lookupId_ = QHostInfo::lookupHost(host, this, [this, session](const QHostInfo& info) {
        if (session != generation_)
            return;
        lookupId_ = -1;
        const bool found = info.error() == QHostInfo::NoError;
        resolved(found ? info.addresses() : QList<QHostAddress>{}, info.errorString());
    });
}

void SocketControl::Listen() {
    if (state_ != sckClosed)
        throw SocketError(sckInvalidOp, tr("Invalid operation at current state"));
    discardRequests();
    auto* server = new QTcpServer(this);
    server->setProxy(QNetworkProxy::NoProxy);
    const QHostAddress address = listenAddress_.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4)
                                                          : QHostAddress(listenAddress_);
    if (!server->listen(address, localPort_)) {
        const QString text = server->errorString();
        const int number = detail::errorNumber(server->serverError(), text);
        delete server;
        throw SocketError(number, text);
    }
    server_ = server;
    connect(server, &QTcpServer::newConnection, this, &SocketControl::onNewConnection);
    connect(server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        const QString text = server_->errorString();
        post({EventKind::Error, detail::errorNumber(error, text), 0, text});
    });
    state_ = sckListening;
}

void SocketControl::Accept(qintptr requestID) {
    const auto it = requests_.find(requestID);
    if (it == requests_.end())
        throw SocketError(sckBadState, tr("Wrong protocol or connection state for the requested "
                                          "transaction or request"));
    QTcpSocket* socket = it.value();
    requests_.erase(it);
    Close();
    attachSocket(socket);
    rememberEndpoints();
    if (socket->state() == QAbstractSocket::ConnectedState) {
        state_ = sckConnected;
        queueDataIfUnannounced();
        return;
    }
    // The peer has already gone: hand over what it sent, then report the close.
    state_ = sckClosing;
    queueDataIfUnannounced();
    post({EventKind::Close});
}

void SocketControl::SendData(const QByteArray& data) {
    if (state_ != sckConnected || !socket_)
        throw SocketError(sckBadState, tr("Wrong protocol or connection state for the requested "
                                          "transaction or request"));
    if (data.isEmpty()) {
        // Nothing to write: complete at once unless bytes not yet reported as sent are still
        // on their way (their own completion then covers this one). Held bytes in the Qt
        // socket's buffer were reported when they were held.
        if (unsentBytes() <= reportedAhead_)
            post({EventKind::Complete});
        return;
    }
    if (coalescing_ && unsentBytes() == 0) {
        // Held as the system holds a part-filled segment: counted as sent now, handed over
        // with the ones after it in one go, at the latest on the next turn of the loop.
        held_.append(data.constData(), data.size()); // a copy: data may be borrowed
        post({EventKind::Progress, data.size(), 0});
        post({EventKind::Complete});
        if (held_.size() >= kHeldBytes)
            sendHeld();
        else
            scheduleHeldSend();
        return;
    }
    sendHeld(); // what is held goes first
    writeOut(data.constData(), data.size(), true);
}

// Hands bytes to the system. With nothing queued before them they go directly: through the
// Qt socket's buffer they would switch its write notifier on and off again, two event-loop
// wake-ups per send. What the system does not take, and every failure, takes the Qt socket's
// way. Bytes that were counted as sent already (held ones) are not reported again.
void SocketControl::writeOut(const char* bytes, qint64 size, bool report) {
    qint64 direct = 0;
    if (!encrypted_ && socket_->bytesToWrite() == 0 && socket_->socketDescriptor() >= 0) {
        const ssize_t n = ::send(int(socket_->socketDescriptor()), bytes, size_t(size),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        direct = qMax<ssize_t>(0, n);
    }
    if (report && direct > 0)
        post({EventKind::Progress, direct, size - direct});
    if (direct == size) {
        if (report)
            post({EventKind::Complete});
        return;
    }
    if (!report)
        reportedAhead_ += size - direct;
    if (socket_->write(bytes + direct, size - direct) < 0)
        throw SocketError(detail::errorNumber(socket_->error(), socket_->errorString()),
                          socket_->errorString());
    socket_->flush(); // hand the bytes to the system now rather than on the next loop turn
}

void SocketControl::sendHeld() {
    if (held_.isEmpty() || !socket_)
        return;
    QByteArray bytes;
    bytes.swap(held_);
    const auto keep = qScopeGuard([&] {
        held_.swap(bytes);
        held_.resize(0); // the array keeps its memory for the next pieces
    });
    writeOut(bytes.constData(), bytes.size(), false);
}

void SocketControl::scheduleHeldSend() {
    if (heldSendPosted_)
        return;
    heldSendPosted_ = true;
    const quint64 session = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, session] {
            heldSendPosted_ = false;
            if (session != generation_)
                return;
            try {
                sendHeld();
            } catch (const SocketError&) {
                // The socket's own error report follows.
            }
        },
        Qt::QueuedConnection);
}

void SocketControl::setCoalescing(bool on) {
    const qintptr fd = socket_ ? socket_->socketDescriptor() : -1;
    const int value = on ? 1 : 0;
    if (fd >= 0)
        ::setsockopt(int(fd), IPPROTO_TCP, TCP_CORK, &value, sizeof value);
    coalescing_ = on && socket_;
    if (!on && socket_ && state_ == sckConnected)
        sendHeld();
}

void SocketControl::GetData(QByteArray& data) {
    requireReadable();
    // Read into the caller's array: one that is read into again keeps its memory, so a long
    // transfer does not allocate (and fault in) fresh pages for every piece.
    const qint64 available = socket_->bytesAvailable();
    data.resize(available);
    const qint64 got = socket_->read(data.data(), available);
    data.resize(qMax<qint64>(0, got));
    consumed_ += data.size();
}

void SocketControl::PeekData(QByteArray& data) {
    requireReadable();
    data = socket_->peek(socket_->bytesAvailable());
}

qint64 SocketControl::BytesReceived() const {
    return socket_ ? socket_->bytesAvailable() : 0;
}

void SocketControl::Close() {
    if (socket_ && state_ == sckConnected) {
        try {
            sendHeld(); // held bytes were counted as sent: they go out before the close
        } catch (const SocketError&) {
            // The connection is being dropped; what it could not take is lost with it.
        }
    }
    held_.clear();
    coalescing_ = false;
    ++generation_;
    if (lookupId_ != -1) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    queue_.clear();
    dataQueued_ = false;
    candidates_.clear();
    options_ = {};
    setUp_ = SetUp::Tcp;
    tlsErrors_.clear();
    if (server_) {
        server_->disconnect(this);
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    releaseSocket();
    localAddress_.clear();
    peerAddress_.clear();
    peerPort_ = 0;
    state_ = sckClosed;
}

quint16 SocketControl::LocalPort() const {
    if (server_)
        return server_->serverPort();
    if (socket_ && socket_->state() == QAbstractSocket::ConnectedState)
        return socket_->localPort();
    return localPort_;
}

QString SocketControl::LocalIP() const {
    if (server_)
        return dotted(server_->serverAddress());
    return dotted(localAddress_);
}

QByteArray SocketControl::TlsSession() const {
    const auto* ssl = qobject_cast<const QSslSocket*>(socket_);
    return ssl && encrypted_ ? ssl->sslConfiguration().sessionTicket() : QByteArray();
}

void SocketControl::StartTls(const ConnectOptions& options) {
    if (state_ != sckConnected || !socket_ || encrypted_)
        throw SocketError(sckInvalidOp, tr("Invalid operation at current state"));
    if (socket_->bytesAvailable() > 0)
        throw SocketError(sckTlsFailed, tr("The peer sent data before the TLS handshake."));
    // Qt cannot wrap a live plain socket: the TLS socket takes a duplicate of its descriptor,
    // and the plain one closes only its own (no FIN goes out while the duplicate is open).
    const int descriptor = ::dup(int(socket_->socketDescriptor()));
    auto* ssl = new QSslSocket(this);
    ssl->setProxy(QNetworkProxy::NoProxy);
    if (descriptor < 0 || !ssl->setSocketDescriptor(descriptor)) {
        if (descriptor >= 0)
            ::close(descriptor);
        delete ssl;
        throw SocketError(sckTlsFailed, tr("The connection cannot be secured."));
    }
    QTcpSocket* plain = std::exchange(socket_, nullptr);
    plain->disconnect(this);
    plain->abort();
    plain->deleteLater();
    options_ = options;
    options_.tls = true;
    trust_ = options.trustedCertificates.isEmpty() ? Trust::System : Trust::FileOnly;
    attachSocket(ssl);
    upgraded_ = true;
    state_ = sckConnecting;
    startHandshake();
}

QString SocketControl::RemoteHostIP() const {
    return dotted(peerAddress_);
}

quint16 SocketControl::RemotePort() const {
    return peerPort_ != 0 ? peerPort_ : remotePort_;
}

void SocketControl::requireReadable() const {
    const bool connected = state_ == sckConnected;
    const bool leftOver = (state_ == sckClosing || state_ == sckError) && BytesReceived() > 0;
    if (!socket_ || !(connected || leftOver))
        throw SocketError(sckBadState, tr("Wrong protocol or connection state for the requested "
                                          "transaction or request"));
}

// ---------------------------------------------------------------------------------------
// Connecting

void SocketControl::resolved(const QList<QHostAddress>& addresses, const QString& errorText) {
    candidates_ = ipv4First(addresses);
    if (candidates_.isEmpty()) {
        state_ = sckError;
        post({EventKind::Error, sckHostNotFound, 0,
              errorText.isEmpty() ? tr("Host not found") : errorText});
        return;
    }
    // Connecting starts on the next turn of the event loop, so that waits can see state 5.
    state_ = sckHostResolved;
    scheduleConnectNext();
}

// Tries the next address on the next turn of the event loop, unless the socket has been
// closed or reused by then.
void SocketControl::scheduleConnectNext() {
    const quint64 session = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, session] {
            if (session == generation_)
                connectNextAddress();
        },
        Qt::QueuedConnection);
}

void SocketControl::connectNextAddress() {
    const QHostAddress address = candidates_.takeFirst();
    connectedAddress_ = address;
    // Only a connection that will run TLS gets a TLS socket: creating one loads the TLS
    // library, which a plain transfer would wait for at its start.
    QTcpSocket* socket = options_.tls ? new QSslSocket(this) : new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    if (localPort_ != 0) {
        const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
        if (!socket->bind(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4, localPort_)) {
            const QString text = socket->errorString();
            const int number = detail::errorNumber(socket->error(), text);
            delete socket;
            state_ = sckError;
            post({EventKind::Error, number, 0, text});
            return;
        }
    }
    attachSocket(socket);
    state_ = sckConnecting;
    socket->connectToHost(address, remotePort_);
}

void SocketControl::attachSocket(QTcpSocket* socket) {
    socket->setParent(this);
    // Data is taken from the system in pieces of at most this size: a reader that writes
    // each piece to disk keeps the connection flowing and the piece in the cache.
    socket->setReadBufferSize(kReadPieceBytes);
    socket_ = socket;
    encrypted_ = false;
    upgraded_ = false;
    issuerUnknownToFile_ = false;
    completeOwed_ = false;
    setUp_ = SetUp::Tcp;
    tlsErrors_.clear();
    issuerUnknownOnly_ = true;
    consumed_ = 0;
    announced_ = 0;
    reportedAhead_ = 0;
    dataQueued_ = false;
    connect(socket, &QTcpSocket::connected, this, &SocketControl::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &SocketControl::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &SocketControl::onDisconnected);
    connect(socket, &QTcpSocket::bytesWritten, this, &SocketControl::onBytesWritten);
    connect(socket, &QTcpSocket::errorOccurred, this, &SocketControl::onSocketError);
    if (auto* ssl = qobject_cast<QSslSocket*>(socket)) {
        connect(ssl, &QSslSocket::encrypted, this, &SocketControl::onEncrypted);
        connect(ssl, &QSslSocket::encryptedBytesWritten, this,
                &SocketControl::onEncryptedBytesWritten);
        connect(ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
            for (const QSslError& error : errors) {
                tlsErrors_ << error.errorString();
                issuerUnknownOnly_ = issuerUnknownOnly_ && IsUnknownIssuer(error.error());
            }
        });
    }
}

// Detaches the socket. Bytes that SendData queued still go out before it closes; nothing of
// it reaches this object any more.
void SocketControl::releaseSocket() {
    QTcpSocket* socket = std::exchange(socket_, nullptr);
    if (!socket)
        return;
    socket->disconnect(this);
    // A TLS connection ends with the TLS close, so that the peer knows the data is complete.
    const auto* ssl = qobject_cast<const QSslSocket*>(socket);
    const bool tlsClose = ssl && ssl->isEncrypted();
    if (socket->state() == QAbstractSocket::ConnectedState &&
        (socket->bytesToWrite() > 0 || tlsClose)) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kFlushTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
        return;
    }
    socket->abort();
    socket->deleteLater();
}

void SocketControl::discardRequests() {
    for (QTcpSocket* socket : std::as_const(requests_)) {
        socket->abort();
        socket->deleteLater();
    }
    requests_.clear();
}

void SocketControl::rememberEndpoints() {
    localAddress_ = socket_->localAddress();
    peerAddress_ = socket_->peerAddress();
    peerPort_ = socket_->peerPort();
}

// ---------------------------------------------------------------------------------------
// What the Qt socket and server report. These only record and queue; handlers run later.

void SocketControl::onConnected() {
    candidates_.clear();
    if (!options_.tunnelTo.isEmpty()) {
        setUp_ = SetUp::Tunnel;
        socket_->write(BuildConnectRequest(options_.tunnelTo));
        return;
    }
    if (options_.tls) {
        startHandshake();
        return;
    }
    becomeConnected();
}

void SocketControl::becomeConnected() {
    setUp_ = SetUp::Done;
    state_ = sckConnected;
    rememberEndpoints();
    post({EventKind::Connect});
}

// Only the answer's own bytes are taken from the socket; the tunnel's bytes are the TLS
// server's.
void SocketControl::readTunnelAnswer() {
    const TunnelAnswer answer = ReadTunnelAnswer(socket_->peek(socket_->bytesAvailable()));
    switch (answer.result) {
    case TunnelAnswer::Result::NeedMore:
        return;
    case TunnelAnswer::Result::Refused:
        failSetUp(
            sckProxyTunnelFailed,
            tr("The proxy refused the connection: %1").arg(QString::fromLatin1(answer.statusLine)));
        return;
    case TunnelAnswer::Result::Malformed:
        failSetUp(sckProxyTunnelFailed, tr("The proxy's answer is not valid."));
        return;
    case TunnelAnswer::Result::Established:
        socket_->skip(answer.headerBytes);
        if (options_.tls)
            startHandshake();
        else
            becomeConnected();
        return;
    }
}

void SocketControl::startHandshake() {
    KeepSocketBuffersOnHeap();
    auto* ssl = qobject_cast<QSslSocket*>(socket_);
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setProtocol(QSsl::TlsV1_2OrLater);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Keep the session, so that other connections to the server can resume it.
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    const auto authorities = trust_ == Trust::FileOnly
                                 ? FileAuthorities(options_.trustedCertificates)
                                 : std::optional<QList<QSslCertificate>>(QList<QSslCertificate>{});
    if (!authorities) {
        failSetUp(sckTlsFailed, tr("The trusted certificates file \"%1\" holds no readable "
                                   "certificate.")
                                    .arg(options_.trustedCertificates));
        return;
    }
    if (!authorities->isEmpty())
        config.setCaCertificates(*authorities);
    if (!options_.session.isEmpty())
        config.setSessionTicket(options_.session);
    ssl->setSslConfiguration(config);
    ssl->setPeerVerifyName(options_.peerName);
    setUp_ = SetUp::Handshake;
    encrypted_ = true;
    ssl->startClientEncryption();
}

void SocketControl::onEncrypted() {
    if (setUp_ == SetUp::Handshake)
        becomeConnected();
}

// A handshake that checked the server against the trusted-certificates file alone and found
// no issuer there is tried again against the system's authorities, on a new connection to the
// same address (through the tunnel again, if any). Anything else fails the connection.
void SocketControl::handshakeFailed(const QString& text) {
    const bool issuerUnknownToFile =
        trust_ == Trust::FileOnly && !tlsErrors_.isEmpty() && issuerUnknownOnly_;
    if (issuerUnknownToFile && upgraded_) {
        // The peer expects TLS on this very connection: the owner decides whether to connect
        // again without the file.
        failSetUp(sckTlsFailed, tlsErrors_.join(QStringLiteral("\r\n")));
        issuerUnknownToFile_ = true;
        return;
    }
    if (issuerUnknownToFile) {
        trust_ = Trust::System;
        candidates_ = {connectedAddress_};
        QTcpSocket* failed = std::exchange(socket_, nullptr);
        failed->disconnect(this);
        failed->abort();
        failed->deleteLater();
        setUp_ = SetUp::Tcp;
        scheduleConnectNext();
        return;
    }
    failSetUp(sckTlsFailed, tlsErrors_.isEmpty() ? text : tlsErrors_.join(QStringLiteral("\r\n")));
}

// A tunnel or handshake that failed: the connection is dropped and the error reported once.
void SocketControl::failSetUp(int number, const QString& text) {
    state_ = sckError;
    setUp_ = SetUp::Done;
    post({EventKind::Error, number, 0, text});
    socket_->disconnect(this);
    socket_->abort();
}

void SocketControl::onReadyRead() {
    if (setUp_ == SetUp::Tunnel) {
        readTunnelAnswer();
        return;
    }
    if (!dataQueued_) {
        dataQueued_ = true;
        post({EventKind::Data});
    }
}

void SocketControl::onDisconnected() {
    if (state_ == sckClosing)
        return; // a TLS close already reported it
    if (setUp_ == SetUp::Tunnel) {
        failSetUp(sckProxyTunnelFailed, tr("The proxy closed the connection."));
        return;
    }
    if (setUp_ == SetUp::Handshake) {
        handshakeFailed(tr("The server closed the connection during the handshake."));
        return;
    }
    // Qt may report the end while bytes still wait unannounced: they come first.
    queueDataIfUnannounced();
    if (state_ != sckError)
        state_ = sckClosing;
    post({EventKind::Close});
}

// A TLS peer's close comes before its TCP close, and the peer may wait for ours before it
// closes or goes on (an FTP server holds back its 226): it is answered at once, and what was
// received stays readable.
void SocketControl::peerClosedTls() {
    if (state_ != sckConnected)
        return;
    queueDataIfUnannounced();
    state_ = sckClosing;
    post({EventKind::Close});
    const quint64 session = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, session] {
            if (session == generation_ && socket_)
                socket_->disconnectFromHost();
        },
        Qt::QueuedConnection);
}

void SocketControl::onBytesWritten(qint64 bytes) {
    // Held bytes come first in the buffer and were reported when they were held.
    const qint64 ahead = qMin(bytes, reportedAhead_);
    reportedAhead_ -= ahead;
    bytes -= ahead;
    if (bytes == 0)
        return;
    const qint64 remaining = unsentBytes();
    post({EventKind::Progress, bytes, remaining});
    if (remaining == 0)
        post({EventKind::Complete});
    else
        completeOwed_ = encrypted_;
}

// Over TLS the Qt socket counts bytes as written once they are encrypted; they are sent only
// when the encrypted ones have gone to the system too. Counting them then keeps a fast
// sender's data out of memory while the peer is slower.
qint64 SocketControl::unsentBytes() const {
    const auto* ssl = qobject_cast<const QSslSocket*>(socket_);
    return socket_->bytesToWrite() + (ssl ? ssl->encryptedBytesToWrite() : 0);
}

void SocketControl::onEncryptedBytesWritten() {
    if (completeOwed_ && unsentBytes() == 0) {
        completeOwed_ = false;
        post({EventKind::Complete});
    }
}

void SocketControl::onSocketError(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        if (encrypted_ && setUp_ == SetUp::Done)
            peerClosedTls();
        return; // a plain peer's close is reported through disconnected()
    }
    if (state_ != sckConnecting && state_ != sckConnected)
        return;
    const QString text = socket_->errorString();
    if (setUp_ == SetUp::Tunnel) {
        failSetUp(sckProxyTunnelFailed, text);
        return;
    }
    if (setUp_ == SetUp::Handshake) {
        handshakeFailed(text);
        return;
    }
    if (state_ == sckConnecting && !candidates_.isEmpty()) {
        // Try the next address of the name. This runs inside the socket's own signal, so
        // the socket is only detached here and deleted later.
        QTcpSocket* failed = std::exchange(socket_, nullptr);
        failed->disconnect(this);
        failed->deleteLater();
        scheduleConnectNext();
        return;
    }
    if (state_ == sckConnected)
        queueDataIfUnannounced();
    state_ = sckError;
    post({EventKind::Error, detail::errorNumber(error, text), 0, text});
}

void SocketControl::onNewConnection() {
    while (server_ && server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        // Owned here, so that the request outlives a Close() of the listener.
        socket->setParent(this);
        const qintptr id = nextRequestId_++;
        requests_.insert(id, socket);
        post({EventKind::Request, id});
    }
}

// ---------------------------------------------------------------------------------------
// Delivery

void SocketControl::post(PendingEvent event) {
    queue_.push_back(std::move(event));
    if (dispatching_ || dispatchPosted_)
        return; // the running or already posted dispatch delivers it
    dispatchPosted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { dispatch(); }, Qt::QueuedConnection);
}

void SocketControl::queueDataIfUnannounced() {
    if (socket_ && !dataQueued_ && consumed_ + socket_->bytesAvailable() > announced_) {
        dataQueued_ = true;
        post({EventKind::Data});
    }
}

// Delivers the queued events one after another. A handler that runs a nested event loop
// holds back this socket's later events until it returns; they then follow in order.
void SocketControl::dispatch() {
    dispatchPosted_ = false;
    if (dispatching_)
        return;
    dispatching_ = true;
    const QPointer<SocketControl> self(this);
    const auto done = qScopeGuard([&] {
        if (self)
            dispatching_ = false;
    });
    // Events that handlers cause (a send that completes at once) are delivered in the same
    // turn, up to a bound, so that other sockets and timers still get their turn.
    for (int delivered = 0; self && !queue_.empty(); ++delivered) {
        if (delivered == kEventsPerTurn) {
            dispatchPosted_ = true;
            QMetaObject::invokeMethod(
                this, [this] { dispatch(); }, Qt::QueuedConnection);
            return;
        }
        const PendingEvent event = std::move(queue_.front());
        queue_.pop_front();
        deliver(event);
    }
}

void SocketControl::deliver(const PendingEvent& event) {
    switch (event.kind) {
    case EventKind::Connect:
        emit ConnectEvent();
        break;
    case EventKind::Data: {
        // One announcement for everything that arrived since the last one; bytes a handler
        // already took in a nested loop are not announced again.
        dataQueued_ = false;
        const qint64 waiting = BytesReceived();
        if (waiting > 0 && consumed_ + waiting > announced_) {
            announced_ = consumed_ + waiting;
            emit DataArrival(waiting);
        }
        break;
    }
    case EventKind::Close:
        emit CloseEvent();
        break;
    case EventKind::Progress:
        emit SendProgress(event.first, event.second);
        break;
    case EventKind::Complete:
        emit SendComplete();
        break;
    case EventKind::Error:
        emit ErrorEvent(int(event.first), event.text);
        break;
    case EventKind::Request:
        emit ConnectionRequest(qintptr(event.first));
        break;
    }
}

} // namespace net
