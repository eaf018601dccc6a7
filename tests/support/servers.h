// Real and scripted servers on 127.0.0.1, stopped by their destructors.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace testsupport {

// Runs the event loop until pred() holds or timeoutMs passes; returns pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 60000);
// Writes `size` reproducible pseudo-random bytes to path.
bool writeRandomFile(const QString& path, qint64 size, quint32 seed = 1);
// The whole file; empty when it cannot be read.
QByteArray readAll(const QString& path);
// Writes `data` as the whole file, making its folder first; true on success.
bool writeFile(const QString& path, const QByteArray& data);
bool sameFileContents(const QString& a, const QString& b);
// Runs a program in dir and waits for it; true when it exited with 0.
bool runTool(const QString& dir, const QString& program, const QStringList& args);

class ScriptedServer;

// One accepted connection of a ScriptedServer; records every byte it receives.
class ScriptedConnection : public QObject {
    Q_OBJECT
public:
    QByteArray received() const { return received_; }
    void send(const QByteArray& data); // behind any pieces still queued
    // Sends data in pieces of pieceSize bytes 1 ms apart, then runs `then` (may be empty).
    void sendInPieces(const QByteArray& data, int pieceSize, std::function<void()> then = {});
    void close(); // after everything queued has been written
    void abort(); // at once
    bool isOpen() const;

private:
    friend class ScriptedServer;
    struct Outgoing {
        QByteArray data;
        qsizetype pieceSize = 0;
        std::function<void()> then; // runs once the data is out
    };
    ScriptedConnection(QTcpSocket* socket, ScriptedServer* server);
    void writeNextPiece();

    QTcpSocket* socket_;
    ScriptedServer* server_;
    QTimer* pieceTimer_;
    QByteArray received_;
    std::deque<Outgoing> outgoing_;
    bool closeRequested_ = false; // close once outgoing_ is empty
    bool closedByUs_ = false;
    bool answered_ = false; // replyToRequests has answered this connection
};

// A TCP server on 127.0.0.1, port 0, that hands each connection to a script.
class ScriptedServer : public QObject {
    Q_OBJECT
public:
    explicit ScriptedServer(QObject* parent = nullptr);
    ~ScriptedServer() override;
    quint16 port() const;
    QList<ScriptedConnection*> connections() const { return connections_; }
    // Runs whenever a connection has received more bytes.
    void setHandler(std::function<void(ScriptedConnection&)> handler);
    // Runs once per accepted connection, before its bytes reach the handler.
    void setConnectHandler(std::function<void(ScriptedConnection&)> handler);
    // Answers each request (once "\r\n\r\n" has arrived) with `response`, then closes.
    void replyToRequests(const QByteArray& response);
    bool waitForConnections(int count, int timeoutMs = 60000);
    // Off: the port refuses new connections (those made stay); on: it takes them again.
    void setListening(bool on);

private:
    friend class ScriptedConnection;
    QTcpServer* server_;
    quint16 port_ = 0;
    QList<ScriptedConnection*> connections_;
    std::function<void(ScriptedConnection&)> handler_;
    std::function<void(ScriptedConnection&)> connectHandler_;
};

// A server process with a temporary folder for its configuration and logs; errorText says
// why it failed to start.
class ServerProcess {
public:
    void stop();
    quint16 port() const { return port_; }
    QString errorText() const { return errorText_; }

protected:
    ServerProcess() = default;
    ~ServerProcess();
    // prepare(port) writes the configuration and returns the arguments (empty on failure);
    // the server is ready once bound() holds (if set) and the port answers with `greeting`.
    struct Plan {
        QString program;
        std::function<QStringList(quint16)> prepare;
        std::function<bool()> bound;
        QByteArray greeting;
    };
    bool launch(const QString& name, const Plan& plan);
    QString file(const QString& name) const { return dir_->filePath(name); }
    QString readFile(const QString& name) const;

    std::unique_ptr<QTemporaryDir> dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString errorText_;
};

// nginx serving docRoot; extraServerConfig is pasted into the server block.
class NginxServer : public ServerProcess {
public:
    // Serve https:// with this certificate and key (PEM files), from the next start on.
    void useTls(const QString& certificate, const QString& key) {
        tlsCertificate_ = certificate;
        tlsKey_ = key;
    }
    bool start(const QString& docRoot, const QString& extraServerConfig = QString());
    QString url(const QString& path) const; // "http(s)://127.0.0.1:PORT" + path

private:
    QString tlsCertificate_, tlsKey_;
};

// Certificates made by openssl in `dir`: makeCertificate(dir, "ca") makes the authority
// (ca.pem, ca.key); any other name a certificate NAME.pem / NAME.key for the names in `san`
// ("IP:127.0.0.1"), signed by that authority, expired if asked.
bool makeCertificate(const QString& dir, const QString& name, const QString& san = QString(),
                     bool expired = false);

// tinyproxy, allowing 127.0.0.1 clients.
class TinyproxyServer : public ServerProcess {
public:
    bool start();
    QString log() const { return readFile("tinyproxy.log"); }
};

// pyftpdlib serving rootDir as "/" to anonymous and to "tester" / "secret"; its log has
// "<- COMMAND args" per command and "-> reply" per reply.
class FtpServer : public ServerProcess {
public:
    // Require TLS (AUTH TLS, protected data) with this certificate and key, from the next start.
    void useTls(const QString& certificate, const QString& key) {
        tlsCertificate_ = certificate;
        tlsKey_ = key;
    }
    bool start(const QString& rootDir);
    QString log() const { return readFile("ftp.log"); }

private:
    QString tlsCertificate_, tlsKey_;
};

// vsftpd serving rootDir to anonymous users (uploads allowed), run as the user who runs the
// tests. TLS is required for logins and data, and data connections must resume the control
// connection's TLS session. Its log has every command and reply.
class VsftpdServer : public ServerProcess {
public:
    bool start(const QString& rootDir, const QString& certificate, const QString& key);
    QString log() const { return readFile("vsftpd.log"); }
};

} // namespace testsupport
