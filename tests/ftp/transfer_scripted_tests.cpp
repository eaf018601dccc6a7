// The FTP client's data side against scripted servers: what real servers won't do on
// demand (DOS listings, data before the 150 reply, refusals, broken PASV replies, stalls).
#include "cftpconnection.h"
#include "ftp_errors.h"
#include "ftp_listing.h"
#include "ftp_replies.h"
#include "scripted_ftp.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using ftp::CFtpConnection;
using testsupport::ScriptedConnection;
using testsupport::waitUntil;

namespace {

// A scripted server whose data side sends `data` on each data connection, then closes.
struct DataScript {
    DataScript() {
        client.setTimeout(5);
        client.setPassiveMode(true);
        script.data.setConnectHandler([this](ScriptedConnection& c) { dataConnection = &c; });
    }
    // Answers with `specific` where it has an answer, else as a plain server would: PASV to
    // the data server, TYPE accepted, LIST refused, and the login.
    void answer(std::function<ScriptedFtp::Pieces(const QByteArray&)> specific) {
        script.answer = [this, specific](const QByteArray& line) -> ScriptedFtp::Pieces {
            if (const ScriptedFtp::Pieces pieces = specific(line); !pieces.isEmpty())
                return pieces;
            if (line == "PASV")
                return {script.pasvReply()};
            if (line.startsWith("TYPE"))
                return {"200 ok\r\n"};
            if (line == "LIST")
                return {"550 no listing\r\n"};
            return ScriptedFtp::loginAnswer(line);
        };
    }
    bool connect() { return client.Connect("127.0.0.1", QString::number(script.port())); }
    void sendData(const QByteArray& bytes) {
        QVERIFY(waitUntil([&] { return dataConnection != nullptr; }, 30000));
        dataConnection->send(bytes);
        dataConnection->close();
    }
    ScriptedFtp script;
    CFtpConnection client;
    ScriptedConnection* dataConnection = nullptr;
    QTemporaryDir dir;
};

} // namespace

class TransferScriptedTests : public QObject {
    Q_OBJECT
private slots:
    void dosListing();
    void earlyDataWrittenFirst();
    void restRefused();
    void retrRefusedLeavesNoFile();
    void pasvWithoutList();
    void pasvOutOfRange();
    void stalledTransferTimesOut();
    void unwritableLocalFileRaises();
    void missingUploadFileRaises();
    void dataPortsContinueAndWrap();
};

void TransferScriptedTests::dosListing() {
    DataScript s;
    s.answer([&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line == "LIST") {
            QTimer::singleShot(0, [&] {
                s.sendData("03-05-09  10:22AM       <DIR>          old stuff\r\n"
                           "12-31-99  11:59PM           5000000123 big  file.iso\r\n");
            });
            return {"150 here it comes\r\n", "226 done\r\n"};
        }
        return {};
    });
    QVERIFY(s.connect());
    ftp::CFTPFiles files;
    QVERIFY(s.client.EnumFiles(files));
    QCOMPARE(files.Count(), 2);
    QVERIFY(files.Item(1).IsDirectory());
    QCOMPARE(files.Item(1).Filename(), QString("old stuff"));
    QCOMPARE(files.Item(2).FileSize(), qint64(5000000123));
    QCOMPARE(files.Item(2).Filename(), QString("big  file.iso"));
}

void TransferScriptedTests::earlyDataWrittenFirst() {
    // The whole file arrives on the data connection before the 150 reply is sent.
    DataScript s;
    const QByteArray content = "early bytes, then the rest";
    s.answer([&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("RETR")) {
            s.sendData(content);
            return {"150 opening\r\n", "226 sent\r\n"};
        }
        return {};
    });
    QVERIFY(s.connect());
    const QString out = s.dir.filePath("early.bin");
    QVERIFY(s.client.DownloadFile("f.bin", out, 1));
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), content);
}

void TransferScriptedTests::restRefused() {
    DataScript s;
    s.answer([&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("REST"))
            return {"504 not for that parameter\r\n"};
        return {};
    });
    QVERIFY(s.connect());
    QVERIFY(!s.client.DownloadFile("f.bin", s.dir.filePath("r.bin"), 1, 1000));
    QCOMPARE(s.client.FtpGetLastError(), 51);
    QVERIFY(s.client.GetLastServerResponse().startsWith("504"));
    QVERIFY(!s.script.lines().contains("RETR f.bin"));
}

void TransferScriptedTests::retrRefusedLeavesNoFile() {
    DataScript s;
    s.answer([&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("RETR"))
            return {"550 no such file\r\n"};
        return {};
    });
    QVERIFY(s.connect());
    const QString out = s.dir.filePath("never.bin");
    QVERIFY(!s.client.DownloadFile("missing.bin", out, 1));
    QCOMPARE(s.client.FtpGetLastError(), 54);
    QVERIFY(!QFile::exists(out));
    QVERIFY(!s.client.Busy());
}

void TransferScriptedTests::pasvWithoutList() {
    DataScript s;
    s.script.answer = [](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line == "PASV")
            return {"227 Entering Passive Mode 127,0,0,1,4,1\r\n"};
        return ScriptedFtp::loginAnswer(line);
    };
    QVERIFY(s.connect());
    ftp::CFTPFiles files;
    try {
        s.client.EnumFiles(files);
        QFAIL("no error raised");
    } catch (const ftp::FtpError& e) {
        QCOMPARE(e.source(), QString("CFtpConnection.MakePassiveDataConnection"));
        QVERIFY(e.number() < 0);
    }
    QVERIFY(!s.client.Busy());
}

void TransferScriptedTests::pasvOutOfRange() {
    DataScript s;
    s.script.answer = [](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line == "PASV")
            return {"227 Entering Passive Mode (127,0,0,300,4,1)\r\n"};
        return ScriptedFtp::loginAnswer(line);
    };
    QVERIFY(s.connect());
    ftp::CFTPFiles files;
    QVERIFY_THROWS_EXCEPTION(ftp::FtpError, s.client.EnumFiles(files));
    QCOMPARE(s.script.data.connections().size(), 0);
    try {
        (void)ftp::ParsePasvReply("227 (1,2,3,4,0,0)");
        QFAIL("port 0 accepted");
    } catch (const ftp::RuntimeError&) {
    }
    QCOMPARE(ftp::ParsePasvReply("227 (192,168,1,2,4,1)").port, quint16(1025));
    QCOMPARE(ftp::ParsePasvReply("227 (192,168,1,2,4,1)").host, QString("192.168.1.2"));
}

void TransferScriptedTests::stalledTransferTimesOut() {
    DataScript s;
    s.client.setTimeout(1);
    s.answer([&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("RETR")) {
            QTimer::singleShot(0, [&] { s.dataConnection->send("only the start"); });
            return {"150 opening\r\n"}; // and then nothing more
        }
        return {};
    });
    QVERIFY(s.connect());
    QVERIFY(!s.client.DownloadFile("f.bin", s.dir.filePath("stall.bin"), 1));
    QCOMPARE(s.client.FtpGetLastError(), 58);
    s.client.BreakeConnection();
    QVERIFY(!s.client.Busy());
}

void TransferScriptedTests::unwritableLocalFileRaises() {
    DataScript s;
    s.answer([&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("RETR"))
            return {"150 opening\r\n"};
        return {};
    });
    QVERIFY(s.connect());
    try {
        s.client.DownloadFile("f.bin", s.dir.filePath("no/such/folder/f.bin"), 1);
        QFAIL("no error raised");
    } catch (const ftp::FtpError& e) {
        QCOMPARE(e.number(), ftp::kObjectErrorOffset + ftp::kErrFileAccess);
        QCOMPARE(e.source(), QString("CFtpConnection.ProcessRETRCommand"));
        QVERIFY(e.description().contains("no/such/folder"));
    }
    QVERIFY(!s.client.Busy());
    s.client.BreakeConnection();
}

void TransferScriptedTests::missingUploadFileRaises() {
    DataScript s;
    s.answer([&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line.startsWith("STOR"))
            return {"150 go ahead\r\n"};
        return {};
    });
    QVERIFY(s.connect());
    try {
        s.client.UploadFile(s.dir.filePath("missing.bin"), "up.bin", 1);
        QFAIL("no error raised");
    } catch (const ftp::FtpError& e) {
        QCOMPARE(e.number(), ftp::kObjectErrorOffset + ftp::kErrFileNotFound);
        QCOMPARE(e.source(), QString("CFtpConnection.UploadData"));
    }
    QVERIFY(!s.client.Busy());
}

void TransferScriptedTests::dataPortsContinueAndWrap() {
    const quint16 first = CFtpConnection::GetNextDataPort();
    QCOMPARE(CFtpConnection::GetNextDataPort(), quint16(first + 1));
    quint16 port = first;
    while (port != 32767)
        port = CFtpConnection::GetNextDataPort();
    QCOMPARE(CFtpConnection::GetNextDataPort(), quint16(1100));
}

QTEST_GUILESS_MAIN(TransferScriptedTests)
#include "transfer_scripted_tests.moc"
