// The FTP client's parsers (replies, listings) on their own, and the client against scripted
// servers for what real servers won't do on demand: exact transcripts, replies in pieces,
// refusals, raised errors, broken PASV replies, time-outs.
#include "cftpconnection.h"
#include "ftp_errors.h"
#include "ftp_listing.h"
#include "ftp_replies.h"
#include "scripted_ftp.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <map>

using namespace ftp;
using namespace Qt::StringLiterals;
using Pieces = ScriptedFtp::Pieces;
using testsupport::ScriptedConnection;

namespace {

const QDate kToday(2024, 6, 15);

// kind|size|date|name|link target|permissions|owner|group, without empty fields at the end;
// a time of midnight is left out.
QString describe(const CFTPFile& f) {
    const QDateTime t = f.LastWriteTime();
    const QString when = t.isNull() ? "-" : t.toString("yyyy-MM-dd hh:mm").remove(" 00:00");
    QStringList out{f.IsDirectory() ? "dir" : "file"};
    out << QString::number(f.FileSize()) << when << f.Filename() << f.FilePath() << f.Permissions()
        << f.Owner() << f.Group();
    while (out.last().isEmpty())
        out.removeLast();
    return out.join(u'|');
}

// What a reply parser makes of a reply: a code, a path, an address, or "error N".
QString parsed(const QByteArray& parser, const QByteArray& reply) {
    try {
        if (parser == "code")
            return QString::number(GetReplyCode(reply));
        if (parser == "piece")
            return QString::number(PieceCode(reply).value_or(-1));
        if (parser == "pwd")
            return PwdPath(reply).value_or("<none>");
        const PassiveAddress a = ParsePasvReply(reply);
        return a.host + ':' + QString::number(a.port);
    } catch (const RuntimeError& e) {
        return "error " + QString::number(e.number());
    }
}

// A passive client and a scripted server that answers `verb` lines with `pieces`, the rest
// like a plain server: the login, TYPE and REST accepted, PASV to its data server, LIST
// refused. The data server's latest connection is `data`.
struct Session {
    explicit Session(const QByteArray& verb = {}, const Pieces& pieces = {}) {
        client.setTimeout(5);
        client.setPassiveMode(true);
        script.data.setConnectHandler([this](ScriptedConnection& c) {
            data = &c;
            if (auto* socket = c.findChild<QTcpSocket*>(); socket && !readsData) {
                socket->setReadBufferSize(1); // once full, nothing more is taken from the system
                socket->disconnect(SIGNAL(readyRead()));
            }
        });
        script.answer = [this, verb, pieces](const QByteArray& line) -> Pieces {
            if (!verb.isEmpty() && line.startsWith(verb))
                return pieces;
            if (line == "PASV") // the client connects after this reply
                return data = nullptr, Pieces{script.pasvReply()};
            if (line.startsWith("TYPE") || line.startsWith("REST"))
                return {line.startsWith("TYPE") ? "200 ok\r\n" : "350 go on\r\n"};
            return line == "LIST" ? Pieces{"550 no listing\r\n"} : ScriptedFtp::loginAnswer(line);
        };
    }
    bool connect() { return client.Connect("127.0.0.1", QString::number(script.port())); }
    // Sends bytes on the data connection once it is open, then closes it.
    void sendData(const QByteArray& bytes) {
        QVERIFY(testsupport::waitUntil([&] { return data != nullptr; }, 30000));
        data->send(bytes);
        data->close();
    }
    ScriptedFtp script;
    CFtpConnection client;
    ScriptedConnection* data = nullptr;
    bool readsData = true; // false: the data server stops reading at once
    QTemporaryDir dir;
};

// Connects, runs one action and describes the outcome: "ok|failed ERROR LAST-LINE-SENT
// DIRECTORY" (" +file" when a download made its file), or "raised N SOURCE: DESCRIPTION"
// with N the raised number without its offset. <path> is a missing local path.
QString outcome(Session& s, const QByteArray& action) {
    const QString missing = s.dir.filePath("no/such/dir/f.bin");
    const QString local = s.dir.filePath("r.bin");
    CFTPFiles files;
    const std::map<QByteArray, std::function<bool()>> actions = {
        {"CWD", [&] { return s.client.SetCurrentDirectory("pub"); }},
        {"LIST", [&] { return s.client.EnumFiles(files); }},
        {"RETR", [&] { return s.client.DownloadFile("f.bin", local, 1, 1000); }},
        {"RETR to nowhere", [&] { return s.client.DownloadFile("f.bin", missing, 1); }},
        {"STOR", [&] { return s.client.UploadFile(missing, "f.bin", 1); }},
        {"STOR to a full pipe", // more than the socket buffers hold
         [&] {
             s.readsData = false;
             return testsupport::writeRandomFile(local, 64 << 20) &&
                    s.client.UploadFile(local, "f.bin", 1);
         }},
        {"RNFR", [&] { return s.client.RenameFile("old name", "new"); }},
        {"DELE", [&] { return s.client.DeleteFile("f"); }},
        {"QUIT", [&] { return s.client.CloseConnection(); }}};
    bool ok = false;
    try {
        if (action == "alice")
            s.client.setUserName("alice"); // no password: nothing is sent
        ok = s.connect();
        s.client.setTimeout(1);
        if (const auto it = actions.find(action); it != actions.end())
            ok = it->second();
    } catch (const FtpError& e) {
        return QStringLiteral("raised %1 %2: %3")
            .arg(e.number() - kObjectErrorOffset)
            .arg(e.source(), e.description())
            .replace(missing, "<path>");
    }
    const QList<QByteArray> lines = s.script.lines();
    return QStringLiteral("%1 %2 %3 %4%5")
        .arg(ok ? "ok" : "failed")
        .arg(s.client.FtpGetLastError())
        .arg(lines.isEmpty() ? "-" : lines.last(), s.client.CurrentDirectory(),
             QFile::exists(local) ? " +file" : "");
}

} // namespace

class ClientTests : public QObject {
    Q_OBJECT
private slots:
    void replies();
    void listingLine();
    void dataPortsContinueAndWrap();
    void exchanges();
    void downloadTranscript();
};

void ClientTests::replies() {
    auto row = [](const char* parser, const char* reply, const char* expected) {
        QCOMPARE(parser + (" " + parsed(parser, reply)), parser + (" " + QString(expected)));
    };
    row("code", "220 ready", "220");
    row("code", "550", "550");
    row("code", "22", "0"), row("code", "", "0");
    for (const char* bad : {"abc", "22x", " 22", "-12", "1.5 x"}) {
        row("code", bad, "error 13");
        row("piece", bad, "-1");
    }
    row("piece", "426 aborted", "426");
    row("piece", "42", "-1");
    row("pwd", "257 \"/pub/a b\" is current", "/pub/a b");
    row("pwd", "257 \"\"", "");
    row("pwd", "257 \"/x\"\"y\" quoted", "/x");
    row("pwd", "257 /no/quotes", "<none>");
    row("pwd", "257 \"/open", "<none>");
    row("pasv", "227 Entering Passive Mode (192,168,1,2,4,1).", "192.168.1.2:1025");
    row("pasv", "227 ( 10, 0 ,0,1,255,255)", "10.0.0.1:65535");
    for (const char* bad : {"227 Entering Passive Mode 127,0,0,1,4,1", "227 (1,2,3,4,5)",
                            "227 (1,2,,4,5,6)", "227 (1,2,3,0004,5,6)", "227 (1,2,3,4,0,0)"})
        row("pasv", bad, "error 5");
    row("pasv", "227 (1,2,3,x,5,6)", "error 13");
    row("pasv", "227 (127,0,0,256,4,1)", "error 6");
    row("pasv", "227 (1,2,3,4,256,0)", "error 6");
}

// Each line alone, with a CR LF and with an LF.
void ClientTests::listingLine() {
    auto row = [](const QByteArray& line, const QString& expected) {
        for (const QByteArray& end : {QByteArray(), QByteArray("\r\n"), QByteArray("\n")}) {
            const CFTPFiles files = ParseListing(line + end, kToday);
            QCOMPARE(files.Count(), 1);
            QCOMPARE(line + " " + describe(files.Item(1)), line + " " + expected);
        }
    };
    row("-rw-r--r--  1 u  g  1234 Mar  5 12:30 a.txt",
        "file|1234|2024-03-05|a.txt||-rw-r--r--|u|g");
    row("- 1 0 0 5368709121 Mar 05 2021 b", "file|5368709121|2021-03-05|b||-|0|0");
    row("- 1 u g 99999999999999999999 Mar 5 2009 h", "file|0|2009-03-05|h||-|u|g");
    row("drwxr-xr-x 2 u g 4096 Jan 31 09:15 pub", "dir|4096|2024-01-31|pub||drwxr-xr-x|u|g");
    row("- 1 u g 1 Mar 5 2009 a  b   c", "file|1|2009-03-05|a  b   c||-|u|g");
    row("- 1 u g 1 Mar 5 2009 caf\xc3\xa9 \xff", u"file|1|2009-03-05|caf\u00e9 \ufffd||-|u|g"_s);
    row("l 1 u g 7 Jan 1 2010 b -> u/b", "dir|7|2010-01-01|b -> u/b|u/b|l|u|g");
    row("l 1 u g 2 Jan 1 2010 l -> l.so", "file|2|2010-01-01|l -> l.so|l.so|l|u|g");
    row("l 1 u g 2 Jan 1 2010 up -> ..", "dir|2|2010-01-01|up -> ..|..|l|u|g");
    row("l--------- 1 u g 7 Jan 1 2010 dangling", "dir|7|2010-01-01|dangling||l---------|u|g");
    row("03-05-09  10:22AM    <DIR>     Program Files", "dir|0|2009-03-05 10:22|Program Files");
    row("03-05-09  10:22PM  1234 a.txt", "file|1234|2009-03-05 22:22|a.txt");
    row("12-31-99  12:00AM   5 old", "file|5|1999-12-31|old");
    row("01-01-2024  12:05PM  6000000000 big", "file|6000000000|2024-01-01 12:05|big");
    row("03-05-09  14:22   12 a  b", "file|12|2009-03-05 14:22|a  b");
    // Nine fields or more, as a Unix line has, yet still a DOS line.
    row("03-05-09  10:22AM   1 a b c d e f g", "file|1|2009-03-05 10:22|a b c d e f g");
    row("13-45-09  10:22AM  5 x", "file|5|-|x");
    row(" ", "dir|0|-");
    const char* const mixed = "total 12\r\n\r\nTOTAL 0\n\nd 2 u g 4096 Mar 5 2009 .\r\n"
                              "03-05-09  10:22AM  <DIR>  ..\n- 1 u g 3 Mar 5 2009 last";
    row(mixed, "file|3|2009-03-05|last||-|u|g");
    // Dates roll over like a date serial; two-digit years are 1970-2069.
    row("- 1 u g 1 Dec 32 2023 x", "file|1|2024-01-01|x||-|u|g");
    row("- 1 u g 1 Jan 0 2024 x", "file|1|2023-12-31|x||-|u|g");
    row("- 1 u g 1 13 5 2023 x", "file|1|2024-01-05|x||-|u|g");
    row("- 1 u g 1 0 5 2023 x", "file|1|2022-12-05|x||-|u|g");
    row("- 1 u g 1 Mar 5 69 x", "file|1|2069-03-05|x||-|u|g");
    row("- 1 u g 1 Mar 5 70 x", "file|1|1970-03-05|x||-|u|g");
    row("- 1 u g 1 Jan 1 9999 x", "file|1|9999-01-01|x||-|u|g");
    for (const char* bad : {"mar 5 2023", "Mar 5 40000", "Mar x 2023", "Dec 32 9999"})
        row(QByteArray("- 1 u g 1 ") + bad + " x", "file|1|-|x||-|u|g");
}

void ClientTests::dataPortsContinueAndWrap() {
    for (int expected = 1100; expected <= 32767; ++expected)
        QCOMPARE(CFtpConnection::GetNextDataPort(), quint16(expected));
    QCOMPARE(CFtpConnection::GetNextDataPort(), quint16(1100));
}

// Lines starting with `verb` ("220": the greeting) are answered with `pieces`. A 426 piece
// closes the control connection; so does QUIT, whatever the answer.
void ClientTests::exchanges() {
    auto row = [](const QByteArray& verb, const Pieces& pieces, const char* action,
                  const QString& expected) {
        Session s(verb, pieces);
        if (verb == "220")
            s.script.greeting = pieces;
        QCOMPARE(outcome(s, action), expected);
        QVERIFY(!s.client.Busy());
        if (s.client.FtpGetLastError() == 43 || QByteArray(action) == "QUIT")
            QVERIFY(testsupport::waitUntil([&] { return !s.script.connection->isOpen(); }));
        s.client.BreakeConnection();
    };
    const QString pass = "PASS " + CFtpConnection::kAnonymousPassword;
    // Logins
    row("PASS", {"230-Welcome\r\n", "230-More\r\n", "230 Done\r\n"}, "connect", "ok 0 PWD /");
    row("PWD", {QByteArray("257 \"/a\0b\xff\"\r\n", 13)}, "connect",
        QString::fromUtf16(u"ok 0 PWD /a\0b\uFFFD", 14));
    row("220", {"421 too many\r\n"}, "connect", "failed 41 - ");
    row("220", {"120 in 5 minutes\r\n"}, "connect", "failed 37 - ");
    row("220", {"SSH-2.0 hello\r\n"}, "connect", "raised 13 CFtpConnection.Connect: Type mismatch");
    row("PASS", {"530 no\r\n"}, "connect", "failed 52 " + pass + " ");
    row("PASS", {"332 account\r\n"}, "connect", "failed 39 " + pass + " ");
    row("", {}, "alice", "failed 0 - ");
    // One command in pieces; slow pieces span more than the time-out: each one is traffic.
    row("CWD", {"2", "50 ok\r\n"}, "CWD", "ok 0 CWD pub /");
    row("CWD", {"250 ok\r", "\n"}, "CWD", "ok 0 CWD pub /");
    row("CWD", Pieces{"250 "} + Pieces(20, "k") + Pieces{"\r\n"}, "CWD", "ok 0 CWD pub /");
    row("CWD", {"299 hm\r\n"}, "CWD", "failed 0 CWD pub /");
    row("CWD", {"550 gone\r\n"}, "CWD", "failed 54 CWD pub /");
    row("CWD", {"426 closed\r\n"}, "CWD", "failed 43 CWD pub /");
    row("RNFR", {"550 no such file\r\n"}, "RNFR", "failed 54 RNFR old name /");
    row("QUIT", {"500 no\r\n"}, "QUIT", "failed 47 QUIT /");
    // One endless line: the buffer stays bounded and the time-out still comes.
    row("DELE", Pieces(40, QByteArray(256 * 1024, 'x')), "DELE", "failed 58 DELE f /");
    row("CWD", {"hello there\r\n"}, "CWD",
        "raised 13 CFtpConnection.ProcessCWDCommand: Type mismatch");
    // Data connections and transfers
    row("PASV", {"227 Entering Passive Mode 127,0,0,1,4,1\r\n"}, "LIST",
        "raised 5 CFtpConnection.MakePassiveDataConnection: Invalid procedure call or argument");
    row("PASV", {"227 Entering Passive Mode (127,0,0,300,4,1)\r\n"}, "LIST",
        "raised 6 CFtpConnection.MakePassiveDataConnection: Overflow");
    row("TYPE", {"504 not that type\r\n"}, "RETR", "failed 51 TYPE I /");
    row("REST", {"504 no restart\r\n"}, "RETR", "failed 51 REST 1000 /");
    row("RETR", {"550 no such file\r\n"}, "RETR", "failed 54 RETR f.bin /");
    row("RETR", {"150 opening, then nothing\r\n"}, "RETR", "failed 58 RETR f.bin / +file");
    row("RETR", {"150 opening\r\n"}, "RETR to nowhere",
        "raised 75 CFtpConnection.ProcessRETRCommand: Path/File access error: <path>: No such "
        "file or directory");
    row("STOR", {"150 go ahead\r\n"}, "STOR",
        "raised 53 CFtpConnection.UploadData: <path>: No such file or directory");
    // The data server stops reading: the upload's piece waits, nested in the STOR wait, end
    // with the time-out instead of waiting for ever.
    row("STOR", {"150 go ahead\r\n"}, "STOR to a full pipe", "failed 58 STOR f.bin / +file");
}

// The whole exchange of a download: the login (the password masked where it is shown), a
// DOS listing that gives the file's size, and the file, whose bytes arrive before the 150.
// The PASV replies name 127.0.0.2, where nothing listens: only their port is taken, and the
// data connections go to the control connection's host.
void ClientTests::downloadTranscript() {
    Session s;
    qint64 total = -1;
    s.client.setTotalSizeSink([&](qint64 size) { total = size; });
    s.script.answer = [&, plain = s.script.answer](const QByteArray& line) {
        if (line == "PASV")
            return Pieces{plain(line).first().replace("(127,0,0,1,", "(127,0,0,2,")};
        if (line != "LIST" && !line.startsWith("RETR"))
            return plain(line);
        s.sendData(line != "LIST" ? "early bytes"
                                  : "03-05-09  10:22AM  <DIR>  old stuff\r\n"
                                    "12-31-99  11:59PM  5000000123 F.BIN\r\n");
        return Pieces{"150 here it comes\r\n", "226 done\r\n"};
    };
    QString shown;
    QObject::connect(&s.client, &CFtpConnection::ReplyMessage,
                     [&](const QString& m) { shown += m; });
    QSignalSpy states(&s.client, &CFtpConnection::StateChanged);
    QVERIFY(s.connect() && s.client.DownloadFile("f.bin", s.dir.filePath("f"), 1));
    QList<int> seen;
    for (const auto& args : states)
        seen << args.at(0).toInt();
    QCOMPARE(seen.mid(seen.indexOf(ftpConnected)), (QList<int>{2, 3, 4, 5, 6, 7, 8, 5, 6, 9, 10}));
    QCOMPARE(
        s.script.lines(),
        (QList<QByteArray>{"USER anonymous", "PASS " + CFtpConnection::kAnonymousPassword.toUtf8(),
                           "PWD", "PASV", "LIST", "TYPE I", "PASV", "RETR f.bin"}));
    QFile f(s.dir.filePath("f"));
    QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll() == "early bytes" && total == 5000000123);
    QVERIFY(shown.contains("331 send password\r\nPASS **********\r\n230") &&
            !shown.contains(CFtpConnection::kAnonymousPassword));
    QCOMPARE(shown.count("Connecting to: 127.0.0.1:" + QString::number(s.script.data.port())), 2);
}

QTEST_GUILESS_MAIN(ClientTests)
#include "client_tests.moc"
