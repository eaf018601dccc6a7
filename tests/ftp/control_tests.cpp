// The FTP client's control connection against scripted servers: login exchanges, reply
// pieces, raised errors, time-outs and the watcher.
#include "cftpconnection.h"
#include "ctimeout.h"
#include "ftp_errors.h"
#include "ftp_replies.h"
#include "scripted_ftp.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using ftp::CFtpConnection;
using testsupport::waitUntil;

namespace {

// A logged-in client on a scripted server answering `answer` after the login.
struct Session {
    explicit Session(std::function<ScriptedFtp::Pieces(const QByteArray&)> after = {}) {
        script.answer = [after](const QByteArray& line) {
            ScriptedFtp::Pieces login = ScriptedFtp::loginAnswer(line);
            return login.isEmpty() && after ? after(line) : login;
        };
        client.setTimeout(5);
    }
    bool connect() { return client.Connect("127.0.0.1", QString::number(script.port())); }
    ScriptedFtp script;
    CFtpConnection client;
};

} // namespace

class ControlTests : public QObject {
    Q_OBJECT
private slots:
    void replyCodes();
    void pwdPaths();
    void anonymousLoginTranscript();
    void userWithoutPasswordSendsNothing();
    void emptyServerFailsAtOnce();
    void greetingInPieces();
    void greetings_data();
    void greetings();
    void multiLine230WaitsForLastLine();
    void piece426ClosesControlConnection();
    void nonDigitReplyRaises();
    void silentServerTimesOut();
    void refusedPortTimesOut();
    void floodingServerTimesOut();
    void bytesInRepliesKept();
    void watcherTicks();
    void watcherResetPushesBack();
    void renameRejectedSourceSendsNoRnto();
    void closeSendsQuitAndCloses();
};

void ControlTests::replyCodes() {
    QCOMPARE(ftp::GetReplyCode("220 ready"), qint16(220));
    QCOMPARE(ftp::GetReplyCode("22"), qint16(0));
    QCOMPARE(ftp::GetReplyCode(""), qint16(0));
    QCOMPARE(ftp::GetReplyCode("550"), qint16(550));
    for (const QByteArray bad : {"abc", "22x", " 22", "-12", "1.5 x"}) {
        try {
            ftp::GetReplyCode(bad);
            QFAIL(bad.constData());
        } catch (const ftp::RuntimeError& e) {
            QCOMPARE(e.number(), 13);
        }
    }
    QCOMPARE(ftp::PieceCode("426 aborted").value(), 426);
    QVERIFY(!ftp::PieceCode("42"));
    QVERIFY(!ftp::PieceCode("x26 a"));
}

void ControlTests::pwdPaths() {
    QCOMPARE(ftp::PwdPath("257 \"/pub/a b\" is current").value(), QByteArray("/pub/a b"));
    QCOMPARE(ftp::PwdPath("257 \"\"").value(), QByteArray());
    QCOMPARE(ftp::PwdPath("257 \"/x\"\"y\" quoted").value(), QByteArray("/x"));
    QVERIFY(!ftp::PwdPath("257 /no/quotes"));
    QVERIFY(!ftp::PwdPath("257 \"/unterminated"));
}

void ControlTests::anonymousLoginTranscript() {
    Session s;
    QStringList shown;
    QObject::connect(&s.client, &CFtpConnection::ReplyMessage,
                     [&](const QString& m) { shown << m; });
    QSignalSpy states(&s.client, &CFtpConnection::StateChanged);
    QVERIFY(s.connect());
    QCOMPARE(s.script.lines(),
             QList<QByteArray>(
                 {"USER anonymous", "PASS " + CFtpConnection::kAnonymousPassword.toUtf8(), "PWD"}));
    QCOMPARE(s.client.UserName(), QString("anonymous"));
    QCOMPARE(s.client.Password(), CFtpConnection::kAnonymousPassword);
    QVERIFY(CFtpConnection::kAnonymousPassword.contains('@'));
    QCOMPARE(s.client.CurrentDirectory(), QString("/"));
    QVERIFY(shown.contains("PASS **********\r\n"));
    for (const QString& m : shown)
        QVERIFY(!m.contains(CFtpConnection::kAnonymousPassword));
    QVERIFY(shown.contains("331 send password\r\n"));
    QList<int> seen;
    for (const auto& args : states)
        seen << args.at(0).toInt();
    QVERIFY(seen.contains(ftp::ftpConnected));
    QCOMPARE(seen.last(), int(ftp::ftpLoggedIn));
    QVERIFY(seen.indexOf(ftp::ftpConnected) < seen.indexOf(ftp::ftpLoggingIn));
    QVERIFY(!s.client.Busy());
}

void ControlTests::userWithoutPasswordSendsNothing() {
    Session s;
    s.client.setUserName("alice");
    QVERIFY(!s.connect());
    QVERIFY(s.script.lines().isEmpty());
    QCOMPARE(s.client.FtpGetLastError(), 0);
}

void ControlTests::emptyServerFailsAtOnce() {
    CFtpConnection client;
    QVERIFY(!client.Connect());
    QVERIFY(!client.Busy());
    QCOMPARE(client.FtpGetLastError(), 0);
}

void ControlTests::greetingInPieces() {
    Session s;
    s.script.greeting = {"22", "0 ready\r\n"};
    QVERIFY(s.connect());
    QCOMPARE(s.script.lines().first(), QByteArray("USER anonymous"));
}

void ControlTests::greetings_data() {
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<int>("error");
    QTest::newRow("421") << QByteArray("421 too many users\r\n") << 41;
    QTest::newRow("120") << QByteArray("120 ready in 5 minutes\r\n") << 37;
    QTest::newRow("other") << QByteArray("500 what\r\n") << 0;
}

void ControlTests::greetings() {
    QFETCH(QByteArray, greeting);
    QFETCH(int, error);
    Session s;
    s.script.greeting = {greeting};
    QVERIFY(!s.connect());
    QCOMPARE(s.client.FtpGetLastError(), error);
    QCOMPARE(s.client.GetFtpErrorDescription(), QString()); // no text at connect
    QVERIFY(s.script.lines().isEmpty());
}

void ControlTests::multiLine230WaitsForLastLine() {
    Session s;
    bool lastLineSent = false;
    bool pwdAfterLastLine = false;
    s.script.answer = [&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("PASS"))
            return {"230-Welcome\r\n", "230-Second line\r\n", "230 Done\r\n"};
        if (line == "PWD") {
            pwdAfterLastLine = lastLineSent;
            return {"257 \"/home\"\r\n"};
        }
        return ScriptedFtp::loginAnswer(line);
    };
    QObject::connect(&s.client, &CFtpConnection::ReplyMessage, [&](const QString& m) {
        lastLineSent = lastLineSent || m.startsWith("230 Done");
    });
    QVERIFY(s.connect());
    QVERIFY(pwdAfterLastLine);
    QCOMPARE(s.client.CurrentDirectory(), QString("/home"));
}

void ControlTests::piece426ClosesControlConnection() {
    Session s([](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("CWD"))
            return {"426 connection closed\r\n"};
        return {};
    });
    QVERIFY(s.connect());
    QSignalSpy closed(s.script.connection, &testsupport::ScriptedConnection::closedByPeer);
    QVERIFY(!s.client.SetCurrentDirectory("pub"));
    QCOMPARE(s.client.FtpGetLastError(), 43);
    QCOMPARE(s.client.GetFtpErrorDescription(), QString("Connection closed; transfer aborted."));
    QVERIFY(closed.count() > 0 || closed.wait(30000));
    QVERIFY(!s.client.Busy());
}

void ControlTests::nonDigitReplyRaises() {
    Session s([](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("CWD"))
            return {"hello there\r\n"};
        return {};
    });
    QVERIFY(s.connect());
    try {
        s.client.SetCurrentDirectory("x");
        QFAIL("no error raised");
    } catch (const ftp::FtpError& e) {
        QCOMPARE(e.number(), ftp::kObjectErrorOffset + 13);
        QCOMPARE(e.source(), QString("CFtpConnection.ProcessCWDCommand"));
    }
    QVERIFY(!s.client.Busy());

    Session greeting;
    greeting.script.greeting = {"SSH-2.0 hello\r\n"};
    try {
        greeting.connect();
        QFAIL("no error raised");
    } catch (const ftp::FtpError& e) {
        QCOMPARE(e.number(), ftp::kObjectErrorOffset + 13);
        QCOMPARE(e.source(), QString("CFtpConnection.Connect"));
    }
}

void ControlTests::silentServerTimesOut() {
    Session s; // answers nothing after the login
    QVERIFY(s.connect());
    s.client.setTimeout(1);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!s.client.CreateDirectory("new"));
    const qint64 ms = clock.elapsed();
    QCOMPARE(s.client.FtpGetLastError(), 58);
    QVERIFY2(ms >= 1000 && ms < 6000, qPrintable(QString::number(ms)));
}

void ControlTests::refusedPortTimesOut() {
    quint16 closedPort = 0;
    {
        testsupport::ScriptedServer probe;
        closedPort = probe.port();
    }
    CFtpConnection client; // limit 0: ends at the first tick
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!client.Connect("127.0.0.1", QString::number(closedPort)));
    QCOMPARE(client.FtpGetLastError(), 58);
    QVERIFY(clock.elapsed() < 6000);
}

void ControlTests::floodingServerTimesOut() {
    // An endless reply line: the client keeps a bounded buffer and still times out.
    Session s([](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("DELE"))
            return ScriptedFtp::Pieces(40, QByteArray(256 * 1024, 'x'));
        return {};
    });
    QVERIFY(s.connect());
    s.client.setTimeout(1);
    QVERIFY(!s.client.DeleteFile("f"));
    QCOMPARE(s.client.FtpGetLastError(), 58);
}

void ControlTests::bytesInRepliesKept() {
    Session s;
    s.script.answer = [](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line == "PWD")
            return {QByteArray("257 \"/a\0b\xff\"\r\n", 13)};
        return ScriptedFtp::loginAnswer(line);
    };
    QVERIFY(s.connect());
    QCOMPARE(s.client.CurrentDirectory().size(), 5);
    QCOMPARE(s.client.CurrentDirectory().at(2), QChar(0));
}

void ControlTests::watcherTicks() {
    ftp::CTimeout watcher;
    watcher.setTimeoutValue(2);
    watcher.StartTimer();
    QVERIFY(!watcher.Timeout()); // before the first tick, whatever the limit
    QElapsedTimer clock;
    clock.start();
    QVERIFY(waitUntil([&] { return watcher.Timeout(); }, 30000));
    QCOMPARE(MFtpSupport::ElapsedSeconds(), qint16(0)); // stopped at that moment
    QVERIFY2(clock.elapsed() >= 2500, qPrintable(QString::number(clock.elapsed())));

    ftp::CTimeout zero;
    zero.StartTimer();
    QVERIFY(!zero.Timeout());
    QVERIFY(waitUntil([&] { return zero.Timeout(); }, 30000));
}

void ControlTests::watcherResetPushesBack() {
    ftp::CTimeout watcher;
    watcher.setTimeoutValue(1);
    watcher.StartTimer();
    QVERIFY(waitUntil([] { return MFtpSupport::ElapsedSeconds() == 1; }, 30000));
    watcher.Reset();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(waitUntil([&] { return watcher.Timeout(); }, 30000));
    QVERIFY2(clock.elapsed() >= 1500, qPrintable(QString::number(clock.elapsed())));
}

void ControlTests::renameRejectedSourceSendsNoRnto() {
    Session s([](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("RNFR"))
            return {"550 no such file\r\n"};
        return {"250 ok\r\n"};
    });
    QVERIFY(s.connect());
    QVERIFY(!s.client.RenameFile("old name", "new"));
    QCOMPARE(s.client.FtpGetLastError(), 54);
    QCOMPARE(s.script.lines().last(), QByteArray("RNFR old name"));
}

void ControlTests::closeSendsQuitAndCloses() {
    Session s([](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line == "QUIT")
            return {"500 no\r\n"};
        return {};
    });
    QVERIFY(s.connect());
    QSignalSpy closed(s.script.connection, &testsupport::ScriptedConnection::closedByPeer);
    QVERIFY(!s.client.CloseConnection()); // not 221, but closed all the same
    QCOMPARE(s.script.lines().last(), QByteArray("QUIT"));
    QVERIFY(closed.count() > 0 || closed.wait(30000));
}

QTEST_GUILESS_MAIN(ControlTests)
#include "control_tests.moc"
