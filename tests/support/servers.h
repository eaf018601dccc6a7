// Real and scripted servers for the tests, all on 127.0.0.1, started inside the test
// process and stopped by their destructors.
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

// Writes `size` pseudo-random bytes (seeded, so reproducible) to path; true on success.
bool writeRandomFile(const QString& path, qint64 size, quint32 seed = 1);

// True when both files exist and hold the same bytes.
bool sameFileContents(const QString& a, const QString& b);

// One accepted connection of a ScriptedServer. Records every byte it receives.
class ScriptedServer;

class ScriptedConnection : public QObject {
    Q_OBJECT
public:
    QByteArray received() const;
    // Sends now (behind any pieces still queued by sendInPieces, so the byte order holds).
    void send(const QByteArray& data);
    // Sends data in pieces of pieceSize bytes, each piece written and flushed on its own
    // event-loop turn (a 1 ms timer between pieces), then runs `then` (may be empty).
    void sendInPieces(const QByteArray& data, int pieceSize, std::function<void()> then = {});
    // Closes after everything queued has been written.
    void close();
    // Drops the connection at once.
    void abort();
    bool isOpen() const;
signals:
    void dataReceived();
    void closedByPeer();

private:
    friend class ScriptedServer;
    // Data still to go out, written pieceSize bytes per timer tick; `then` runs once it is out.
    struct Outgoing {
        QByteArray data;
        qsizetype pieceSize = 0;
        std::function<void()> then;
    };

    ScriptedConnection(QTcpSocket* socket, ScriptedServer* server);
    void readAvailable();
    void writeNextPiece();
    void finishIfIdle();

    QTcpSocket* socket_;
    ScriptedServer* server_;
    QTimer* pieceTimer_;
    QByteArray received_;
    std::deque<Outgoing> outgoing_;
    bool closeRequested_ = false; // close once outgoing_ is empty
    bool closedByUs_ = false;     // so our own close is not reported as closedByPeer
    bool answered_ = false;       // replyToRequests has answered this connection
};

// A TCP server on 127.0.0.1, port 0, that hands each connection to a script.
class ScriptedServer : public QObject {
    Q_OBJECT
public:
    explicit ScriptedServer(QObject* parent = nullptr);
    ~ScriptedServer() override;
    quint16 port() const;
    QList<ScriptedConnection*> connections() const;
    // Called whenever a connection has received more bytes.
    void setHandler(std::function<void(ScriptedConnection&)> handler);
    // Called once for each accepted connection, before any of its bytes reach the handler:
    // protocols where the server speaks first (FTP's greeting) send it from here.
    void setConnectHandler(std::function<void(ScriptedConnection&)> handler);
    // Convenience script: once a connection's bytes contain "\r\n\r\n", answer with
    // `response` (in pieces of pieceSize bytes when pieceSize > 0), then close.
    void replyToRequests(const QByteArray& response, int pieceSize = 0);
    bool waitForConnections(int count, int timeoutMs = 60000);

private:
    friend class ScriptedConnection;
    void acceptPending();

    QTcpServer* server_;
    QList<ScriptedConnection*> connections_;
    std::function<void(ScriptedConnection&)> handler_;
    std::function<void(ScriptedConnection&)> connectHandler_;
};

// What every server that runs as a process of its own has: a temporary folder for its
// configuration and logs, the process, the port it listens on, and why it failed to start.
// The destructor stops it.
class ServerProcess {
public:
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    void stop();
    quint16 port() const { return port_; }
    QString errorText() const { return errorText_; }

protected:
    ServerProcess() = default;
    ~ServerProcess();
    // Stops a running server and makes a fresh folder; false (with errorText) when it cannot.
    bool freshFolder(const QString& serverName);
    // A file of the folder ("" before the first start).
    QString folderFile(const QString& name) const;

    std::unique_ptr<QTemporaryDir> dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString errorText_;
};

// nginx serving docRoot on 127.0.0.1 (byte ranges on). extraServerConfig is pasted into the
// server block (locations with `return 302 ...;` or `return 500;`, say).
class NginxServer : public ServerProcess {
public:
    bool start(const QString& docRoot, const QString& extraServerConfig = QString());
    QString url(const QString& path) const; // "http://127.0.0.1:PORT" + path

private:
    bool writeConfig(const QString& docRoot, const QString& extraServerConfig);
};

// tinyproxy on 127.0.0.1, allowing 127.0.0.1 clients.
class TinyproxyServer : public ServerProcess {
public:
    bool start();
    // Lines of tinyproxy's log (requests it forwarded), for asserting that it was used.
    QString log() const;

private:
    bool writeConfig();
};

// An FTP server (pyftpdlib under /usr/bin/python3) on 127.0.0.1 serving rootDir, which is
// "/" for its users: anonymous (any password; list, read, write, rename, delete) and
// "tester" / "secret" (all of that plus chmod and setting times). Passive mode uses any free
// port; active mode accepts PORT to 127.0.0.1 ports above 1023. Failed logins are answered
// at once instead of after pyftpdlib's usual delay.
class FtpServer : public ServerProcess {
public:
    bool start(const QString& rootDir);
    // The server's log: one "<- COMMAND args" line per command received (passwords masked)
    // and one "-> reply" line per reply, each prefixed with the client's address and user.
    QString log() const;

private:
};

// vsftpd on 127.0.0.1 for anonymous users only (any password), allowed to read, upload,
// make folders, rename and delete. It runs as the launching user without chroot, so the
// login folder is rootDir but paths are those of the machine: PWD answers rootDir's
// absolute path, and clients should use paths relative to the login folder. Passive and
// active (PORT to 127.0.0.1) modes are on.
class VsftpdServer : public ServerProcess {
public:
    bool start(const QString& rootDir);
    // vsftpd's protocol log: a line per command ("FTP command: Client "127.0.0.1", "LIST"")
    // and per reply, with passwords shown as <password>.
    QString log() const;

private:
    bool writeConfig(const QString& rootDir, const QString& banner);
};

} // namespace testsupport
