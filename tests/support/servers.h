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

class ScriptedServer;

// One accepted connection of a ScriptedServer. Records every byte it receives.
class ScriptedConnection : public QObject {
    Q_OBJECT
public:
    QByteArray received() const { return received_; }
    // Sends now (behind any pieces still queued by sendInPieces, so the byte order holds).
    void send(const QByteArray& data);
    // Sends data in pieces of pieceSize bytes, one per event-loop turn (1 ms apart), then
    // runs `then` (may be empty).
    void sendInPieces(const QByteArray& data, int pieceSize, std::function<void()> then = {});
    void close(); // after everything queued has been written
    void abort(); // at once
    bool isOpen() const;
signals:
    void dataReceived();
    void closedByPeer();

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
    QList<ScriptedConnection*> connections() const { return connections_; }
    // Called whenever a connection has received more bytes.
    void setHandler(std::function<void(ScriptedConnection&)> handler);
    // Called once per accepted connection, before its bytes reach the handler (FTP greetings).
    void setConnectHandler(std::function<void(ScriptedConnection&)> handler);
    // Once a connection's bytes contain "\r\n\r\n", answers with `response` (in pieces of
    // pieceSize bytes when pieceSize > 0), then closes.
    void replyToRequests(const QByteArray& response, int pieceSize = 0);
    bool waitForConnections(int count, int timeoutMs = 60000);

private:
    friend class ScriptedConnection;
    QTcpServer* server_;
    QList<ScriptedConnection*> connections_;
    std::function<void(ScriptedConnection&)> handler_;
    std::function<void(ScriptedConnection&)> connectHandler_;
};

// A server running as a process of its own, with a temporary folder for its configuration
// and logs; errorText says why it failed to start. The destructor stops it.
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
    // How to start the server: prepare(port) writes its configuration and returns the
    // program's arguments (empty on failure); it is ready once bound() holds (if set) and
    // the port answers, with a first line holding `greeting` if that is set.
    struct Plan {
        QString program;
        std::function<QStringList(quint16)> prepare;
        std::function<bool()> bound;
        QByteArray greeting;
        QStringList logs; // files whose text explains a failure
    };
    bool fresh(const QString& name); // stops the server and makes a fresh folder
    bool launch(const QString& name, const Plan& plan);
    QString file(const QString& name) const { return dir_->filePath(name); }
    QString readFile(const QString& name) const;

    std::unique_ptr<QTemporaryDir> dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString errorText_;
};

// nginx serving docRoot (byte ranges on). extraServerConfig is pasted into the server block
// (locations with `return 302 ...;` or `return 500;`, say).
class NginxServer : public ServerProcess {
public:
    bool start(const QString& docRoot, const QString& extraServerConfig = QString());
    QString url(const QString& path) const; // "http://127.0.0.1:PORT" + path
};

// tinyproxy, allowing 127.0.0.1 clients.
class TinyproxyServer : public ServerProcess {
public:
    bool start();
    QString log() const { return readFile("tinyproxy.log"); } // a line per request, among others
};

// pyftpdlib (under /usr/bin/python3) serving rootDir as "/" to anonymous (any password;
// list, read, write, rename, delete) and "tester" / "secret" (also chmod and setting times).
// Passive mode uses any free port; PORT is accepted to 127.0.0.1 ports above 1023. Failed
// logins are answered at once.
class FtpServer : public ServerProcess {
public:
    bool start(const QString& rootDir);
    // "<- COMMAND args" per command (passwords masked) and "-> reply" per reply.
    QString log() const { return readFile("ftp.log"); }
};

} // namespace testsupport
