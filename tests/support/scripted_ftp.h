// A scripted FTP server for the client's tests: a greeting in pieces, then one answer per
// command line (each answer a list of pieces, sent with a pause between them), recording
// every byte the client sends.
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
        server.setConnectHandler([this](testsupport::ScriptedConnection& c) {
            connection = &c;
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

    // The answer to a command line (without CR LF); the default answers nothing.
    std::function<Pieces(const QByteArray& line)> answer = [](const QByteArray&) {
        return Pieces();
    };
    Pieces greeting = {"220 scripted\r\n"};

    quint16 port() const { return server.port(); }
    QByteArray received() const { return connection ? connection->received() : QByteArray(); }
    // The command lines received, without their line ends.
    QList<QByteArray> lines() const {
        QList<QByteArray> result = received().split('\n');
        result.removeLast(); // what follows the last line end
        for (QByteArray& line : result)
            line.chop(1);
        return result;
    }
    // Pieces of a standard anonymous login: USER 331, PASS 230, PWD 257 "/".
    static Pieces loginAnswer(const QByteArray& line) {
        if (line.startsWith("USER"))
            return {"331 send password\r\n"};
        if (line.startsWith("PASS"))
            return {"230 logged in\r\n"};
        return line == "PWD" ? Pieces{"257 \"/\" is current\r\n"} : Pieces{};
    }
    // The 227 reply that sends the client to `data`.
    QByteArray pasvReply() const {
        const quint16 p = data.port();
        return "227 Entering Passive Mode (127,0,0,1," + QByteArray::number(p / 256) + "," +
               QByteArray::number(p % 256) + ")\r\n";
    }

    testsupport::ScriptedServer server;
    testsupport::ScriptedServer data; // for passive data connections
    testsupport::ScriptedConnection* connection = nullptr;

private:
    // Pieces go out in order: one at once, each further one after a pause.
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
