// A scripted FTP server: a greeting, then one answer per command line (a list of pieces sent
// with a pause between them), recording every byte the client sends.
#pragma once

#include "servers.h"

#include <QList>
#include <QTimer>
#include <functional>

class ScriptedFtp {
public:
    using Pieces = QList<QByteArray>;
    static constexpr int kPauseMs = 150;

    ScriptedFtp() {
        // A new control connection (the client connected again) is answered from its start.
        server.setConnectHandler([this](testsupport::ScriptedConnection& c) {
            connection = &c;
            answeredUpTo_ = 0;
            sendPieces(c, greeting);
        });
        server.setHandler([this](testsupport::ScriptedConnection& c) {
            const QByteArray all = c.received();
            for (qsizetype end; (end = all.indexOf("\r\n", answeredUpTo_)) >= 0;) {
                const QByteArray line = all.mid(answeredUpTo_, end - answeredUpTo_);
                answeredUpTo_ = end + 2;
                sendPieces(c, answer(line));
            }
        });
    }

    std::function<Pieces(const QByteArray& line)> answer = [](const QByteArray&) {
        return Pieces();
    };
    Pieces greeting = {"220 scripted\r\n"};

    quint16 port() const { return server.port(); }
    QList<QByteArray> lines() const { // of the latest connection, without their line ends
        QList<QByteArray> result = (connection ? connection->received() : "").split('\n');
        result.removeLast(); // what follows the last line end
        for (QByteArray& line : result)
            line.chop(1);
        return result;
    }
    static Pieces loginAnswer(const QByteArray& line) {
        if (line.startsWith("USER"))
            return {"331 send password\r\n"};
        if (line.startsWith("PASS"))
            return {"230 logged in\r\n"};
        return line == "PWD" ? Pieces{"257 \"/\" is current\r\n"} : Pieces{};
    }
    QByteArray pasvReply() const {
        const quint16 p = data.port();
        return "227 Entering Passive Mode (127,0,0,1," + QByteArray::number(p / 256) + "," +
               QByteArray::number(p % 256) + ")\r\n";
    }

    testsupport::ScriptedServer server;
    testsupport::ScriptedServer data; // for passive data connections
    testsupport::ScriptedConnection* connection = nullptr;

private:
    void sendPieces(testsupport::ScriptedConnection& c, const Pieces& pieces) {
        queue_ += pieces;
        if (pausing_ || queue_.isEmpty())
            return;
        c.send(queue_.takeFirst());
        if (queue_.isEmpty())
            return;
        pausing_ = true;
        QTimer::singleShot(kPauseMs, &c, [this, &c] {
            pausing_ = false;
            sendPieces(c, {});
        });
    }

    qsizetype answeredUpTo_ = 0;
    Pieces queue_;
    bool pausing_ = false;
};

// A scripted server with one file, `name`: the listing gives `listed` bytes, RETR sends
// `content` from the REST offset on the last passive data connection, in pieces of `piece`
// bytes (0: at once). Active mode gets no listing and no data. `onRetr` may replace what RETR does.
struct ScriptedFtpFile {
    ScriptedFtpFile(QByteArray fileContent, qint64 listedSize, QByteArray fileName = "f.bin")
        : content(std::move(fileContent)), listed(listedSize), name(std::move(fileName)) {
        ftp.answer = [this](const QByteArray& line) -> ScriptedFtp::Pieces {
            if (line == "PASV") {
                ++pasv;
                QByteArray reply = ftp.pasvReply();
                return {pasvElsewhere ? reply.replace("127,0,0,1", "127,0,0,2") : reply};
            }
            if (line.startsWith("TYPE") || line.startsWith("CWD") || line.startsWith("PORT"))
                return {"200 ok\r\n"};
            if (line.startsWith("REST") && refuseRest)
                return {"504 restart not here\r\n"};
            if (line.startsWith("REST"))
                return {(offset = line.mid(5).toLongLong(), "350 restarting\r\n")};
            if (line.startsWith("RETR") && onRetr)
                return onRetr();
            if (line == "LIST" && pasv == 0)
                return {"550 no listing\r\n"};
            if (line != "LIST" && !line.startsWith("RETR"))
                return ScriptedFtp::loginAnswer(line);
            sendOnData(line == "LIST" ? "-rw-r--r-- 1 u g " + QByteArray::number(listed) +
                                            " Jan 01 2020 " + name + "\r\n"
                                      : content.mid(std::exchange(offset, 0)));
            return {"150 sending\r\n", "226 sent\r\n"};
        };
        ftp.data.setConnectHandler([this](testsupport::ScriptedConnection& c) {
            if (pendingIndex == ftp.data.connections().size() - 1)
                sendPending(c);
        });
    }
    // Sends on the last PASV's data connection once the client has made it, then closes.
    void sendOnData(const QByteArray& bytes) {
        if (pasv == 0)
            return;
        pendingIndex = pasv - 1;
        pending = bytes;
        if (ftp.data.connections().size() > pendingIndex)
            sendPending(*ftp.data.connections().at(pendingIndex));
    }
    void sendPending(testsupport::ScriptedConnection& c) {
        c.sendInPieces(std::exchange(pending, {}), piece, [&c] { c.close(); });
        pendingIndex = -1;
    }
    QString url() const {
        return "ftp://127.0.0.1/" + QString::fromLatin1(name) + ':' + QString::number(ftp.port());
    }

    ScriptedFtp ftp;
    QByteArray content;
    qint64 listed;
    QByteArray name;
    int piece = 0;
    qint64 offset = 0;
    int pasv = 0;
    QByteArray pending; // for the data connection of PASV number pendingIndex + 1
    qsizetype pendingIndex = -1;
    bool refuseRest = false;
    bool pasvElsewhere = false; // the PASV reply names 127.0.0.2
    std::function<ScriptedFtp::Pieces()> onRetr;
};
