// A TCP socket that reports what happens through signals on the GUI thread,
// with the small integer states and the read/peek/send operations that the
// HTTP engine and the FTP client are written against.
#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <stdexcept>

class QSslError;
class QTcpServer;
class QTcpSocket;

namespace net {

// State numbers. The program tests 0, 4, 5, 7 and 8; every other value counts as busy.
enum SocketState : int {
    sckClosed = 0,
    sckOpen = 1,
    sckListening = 2,
    sckConnectionPending = 3,
    sckResolvingHost = 4,
    sckHostResolved = 5,
    sckConnecting = 6,
    sckConnected = 7,
    sckClosing = 8, // the peer closed; bytes may still wait to be read
    sckError = 9,
};

// Error numbers of failed operations.
enum SocketErrorNumber : int {
    sckInvalidPropertyValue = 380,
    sckBadState = 40006,  // wrong protocol or connection state for the request
    sckInvalidOp = 40020, // invalid operation at current state
    sckAddressInUse = 10048,
    sckHostNotFound = 11001,
    sckTlsFailed = 40110,         // the TLS handshake failed or the certificate is not trusted
    sckProxyTunnelFailed = 40111, // the proxy refused the tunnel or answered nonsense
};

// What an outbound connection adds to TCP.
struct ConnectOptions {
    QString tunnelTo;            // "host:port": the peer is an HTTP proxy; CONNECT there first
    bool tls = false;            // a TLS client over the connection (inside the tunnel, if any)
    QString peerName;            // the name the server's certificate must carry
    QString trustedCertificates; // a PEM file of certificates trusted beside the system's
    QByteArray session;          // a TLS session to resume (another socket's TlsSession())
};

// A failed operation: the number above and a readable text.
class SocketError : public std::runtime_error {
public:
    SocketError(int number, const QString& text);
    int number() const { return number_; }
    QString text() const { return QString::fromUtf8(what()); }

private:
    int number_;
};

// Signals are raised from the event loop, never from inside an operation. While a handler of
// one socket runs (even inside a nested event loop) that socket's further signals wait and
// follow in order once it returns; State() and BytesReceived() stay current meanwhile.
// Handlers may Close(), Connect() again or deleteLater() the socket.
class SocketControl : public QObject {
    Q_OBJECT
public:
    explicit SocketControl(QObject* parent = nullptr);
    ~SocketControl() override;

    // Starts an outbound connection and returns at once. The port is a number or numeric
    // text; the state runs through 4 (resolving), 5/6 (resolved, connecting) to 7 and
    // ConnectEvent follows. A refused or unreachable peer leaves the state at 9 (error)
    // and raises ErrorEvent; no ConnectEvent. Throws SocketError(40020) unless closed,
    // SocketError(380) for a port that is not a number from 1 to 65535.
    void Connect(const QString& remoteHost, const QString& remotePort);
    void Connect(const QString& remoteHost, int remotePort);
    // The same with a tunnel and/or TLS: the state stays 6 until the tunnel is up and the
    // handshake has verified the certificate (against the system's trusted certificates plus
    // the options' file, and the peer name); only then 7 and ConnectEvent. A refused tunnel
    // raises ErrorEvent(40111), a failed handshake or an untrusted certificate
    // ErrorEvent(40110) with the reasons, one per line. There is no way to accept a
    // certificate that does not verify.
    void Connect(const QString& remoteHost, const QString& remotePort,
                 const ConnectOptions& options);
    // The TLS session of an encrypted connection, for another connection to resume.
    QByteArray TlsSession() const;
    // Turns the connected plain connection (outbound or accepted) into a TLS client
    // connection with the options' certificate checks: the state is 6 until the handshake
    // has verified the certificate, then 7 and ConnectEvent; a failure raises
    // ErrorEvent(40110) as for Connect. The peer must not have sent anything since the
    // connection came up. Throws SocketError(40020) unless connected and plain.
    void StartTls(const ConnectOptions& options);
    // After a failed StartTls: the trusted-certificates file knew no issuer of the peer's
    // certificate, which the system's authorities may still know. A connection to the same
    // peer with no file names them.
    bool IssuerUnknownToFile() const { return issuerUnknownToFile_; }

    // Listens at LocalPort() (0: the system chooses; LocalPort() then tells which) on the
    // local address set with setListenAddress, or on every IPv4 address when none is set.
    // A peer shows as ConnectionRequest(requestID). Throws SocketError(40020) unless
    // closed, SocketError(10048) when the port is taken.
    void Listen();
    void setListenAddress(const QString& dottedAddress) { listenAddress_ = dottedAddress; }
    // Takes over the incoming connection requestID (given by ConnectionRequest). Allowed in
    // any state: a listening or connected socket is closed first. State 7 afterwards.
    // Throws SocketError(40006) for an unknown requestID.
    void Accept(qintptr requestID);

    // Queues bytes to send, in order after everything sent earlier; what it keeps is copied,
    // so data may be borrowed (QByteArray::fromRawData). Throws SocketError(40006) unless
    // connected.
    void SendData(const QByteArray& data);
    // While on, small sends are held back and handed to the system in runs (up to 64 KiB,
    // and at the latest on the next turn of the event loop), which joins them into full
    // segments; each counts as sent (SendProgress, SendComplete) when it is held, as the
    // system counts bytes it holds. Turning it off, or Close(), hands over what is held.
    // Harmless when not connected; a new connection starts with it off.
    void setCoalescing(bool on);
    // Removes and returns every byte received and not yet read. Throws SocketError(40006)
    // unless connected, or closed by the peer (8) or failed (9) with bytes still waiting.
    void GetData(QByteArray& data);
    // Returns the bytes waiting without removing them. Same failures as GetData.
    void PeekData(QByteArray& data);
    // Bytes received and not yet read.
    qint64 BytesReceived() const;

    // Closes at once; state 0; the socket can connect or listen again. Harmless when closed.
    void Close();

    int State() const { return state_; }
    quint16 LocalPort() const;
    void setLocalPort(quint16 port) { localPort_ = port; }
    // Dotted IPv4 address of the local end of a connection ("" when none).
    QString LocalIP() const;
    QString RemoteHostIP() const;
    quint16 RemotePort() const;

signals:
    void ConnectEvent();                 // the outbound connection is up
    void DataArrival(qint64 bytesTotal); // bytes now waiting to be read
    void ConnectionRequest(qintptr requestID);
    void CloseEvent(); // the peer closed; after the last DataArrival
    void SendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void SendComplete();
    void ErrorEvent(int number, const QString& description);

private:
    // Everything reported to the owner goes through this queue, so that handlers run
    // from the event loop (never from inside an operation or a Qt socket signal), one at
    // a time, in the order things happened on the socket.
    enum class EventKind { Connect, Data, Close, Progress, Complete, Error, Request };
    struct PendingEvent {
        EventKind kind;
        qint64 first = 0;
        qint64 second = 0;
        QString text = {};
    };

    void resolved(const QList<QHostAddress>& addresses, const QString& errorText);
    void scheduleConnectNext();
    void connectNextAddress();
    void attachSocket(QTcpSocket* socket);
    void releaseSocket();
    void discardRequests();
    void rememberEndpoints();

    void onConnected();
    void readTunnelAnswer();
    void startHandshake();
    void onEncrypted();
    void becomeConnected();
    void handshakeFailed(const QString& text);
    void failSetUp(int number, const QString& text);
    void onReadyRead();
    void onDisconnected();
    void peerClosedTls();
    void onBytesWritten(qint64 bytes);
    void onEncryptedBytesWritten();
    qint64 unsentBytes() const;
    void onSocketError(QAbstractSocket::SocketError error);
    void onNewConnection();

    void post(PendingEvent event);
    void queueDataIfUnannounced();
    void dispatch();
    void deliver(const PendingEvent& event);
    void requireReadable() const;
    void writeOut(const char* bytes, qint64 size, bool report);
    void sendHeld();
    void scheduleHeldSend();

    int state_ = sckClosed;
    quint16 localPort_ = 0;
    QString listenAddress_;

    QTcpSocket* socket_ = nullptr;
    QTcpServer* server_ = nullptr;
    QHash<qintptr, QTcpSocket*> requests_; // accepted by the listener, waiting for Accept
    qintptr nextRequestId_ = 1;

    QList<QHostAddress> candidates_; // addresses still to try for the current Connect
    ConnectOptions options_;         // of the current Connect
    QHostAddress connectedAddress_;  // the address the current try connects to
    enum class SetUp { Tcp, Tunnel, Handshake, Done };
    SetUp setUp_ = SetUp::Tcp;
    bool encrypted_ = false;        // TLS runs on this connection: no bytes go past the socket
    QStringList tlsErrors_;         // the certificate problems the handshake reported
    bool issuerUnknownOnly_ = true; // each of them was a missing or unknown issuer
    // Which authorities the handshake checks against: the trusted-certificates file's alone
    // first; the system's when those know no issuer of the server's certificate.
    enum class Trust { System, FileOnly };
    Trust trust_ = Trust::System;
    bool upgraded_ = false;            // TLS started on a live connection: no reconnect to retry
    bool issuerUnknownToFile_ = false; // see IssuerUnknownToFile()
    bool completeOwed_ = false;        // SendComplete waits for encrypted bytes to go out
    quint16 remotePort_ = 0;
    int lookupId_ = -1;
    quint64 generation_ = 0; // bumped by Close(); deferred steps of older sessions drop out

    QHostAddress localAddress_;
    QHostAddress peerAddress_;
    quint16 peerPort_ = 0;

    std::deque<PendingEvent> queue_;
    bool dispatchPosted_ = false;
    bool dispatching_ = false;
    bool dataQueued_ = false;
    qint64 consumed_ = 0; // bytes of this connection removed by GetData
    bool coalescing_ = false;
    QByteArray held_; // sends held back while coalescing
    bool heldSendPosted_ = false;
    qint64 reportedAhead_ = 0; // bytes in the Qt socket's buffer already reported as sent
    qint64 announced_ = 0;     // consumed_ + waiting bytes as of the last DataArrival
};

} // namespace net
