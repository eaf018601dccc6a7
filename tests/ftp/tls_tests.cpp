// The FTP client with TLS on, against vsftpd (TLS required, session reuse required) and
// pyftpdlib's TLS handler, in passive and active mode; scripted servers for refusals and a
// dropped handshake; a relay that records what crosses the wire in the clear.
#include "cftpconnection.h"
#include "ftp_errors.h"
#include "ftp_listing.h"
#include "scripted_ftp.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace ftp;
using testsupport::makeCertificate;
using testsupport::readAll;
using testsupport::sameFileContents;
using testsupport::writeRandomFile;

namespace {

constexpr qint64 kFileSize = 5 * 1024 * 1024 + 333;

// Forwards one client at a time to `target` and records what the client sends.
class RecordingRelay : public QObject {
public:
    explicit RecordingRelay(quint16 target) : target_(target) {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* client = server_.nextPendingConnection();
            auto* upstream = new QTcpSocket(client);
            upstream->connectToHost(QHostAddress::LocalHost, target_);
            connect(client, &QTcpSocket::readyRead, upstream, [this, client, upstream] {
                const QByteArray bytes = client->readAll();
                sent += bytes;
                upstream->write(bytes);
            });
            connect(upstream, &QTcpSocket::readyRead, client,
                    [client, upstream] { client->write(upstream->readAll()); });
            connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
        });
    }
    quint16 port() const { return server_.serverPort(); }
    QByteArray sent; // every byte the clients sent, in order

private:
    QTcpServer server_;
    quint16 target_;
};

} // namespace

class FtpTlsTests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void transfers_data();
    void transfers();
    void refusals_data();
    void refusals();
    void untrustedCertificate();
    void passwordNeverInClear();
    void abortMidway();

private:
    // A client set up for `server` ("vsftpd" or "pyftpdlib") and logged in.
    bool logIn(CFtpConnection& client, const QString& server, bool passive, const QString& trusted,
               const QString& user = {});
    QString ca() const { return certs_.filePath("ca.pem"); }

    QTemporaryDir certs_, strangers_, vsRoot_, pyRoot_, local_;
    testsupport::VsftpdServer vsftpd_;
    testsupport::FtpServer pyftpd_;
};

void FtpTlsTests::initTestCase() {
    QVERIFY(makeCertificate(certs_.path(), "ca"));
    QVERIFY(makeCertificate(certs_.path(), "server", "IP:127.0.0.1,DNS:localhost"));
    QVERIFY(makeCertificate(strangers_.path(), "ca"));
    for (const QTemporaryDir* root : {&vsRoot_, &pyRoot_}) {
        QVERIFY(writeRandomFile(root->filePath("build.bin"), kFileSize, 7));
        QVERIFY(QFile::setPermissions(root->path(), QFile::Permissions(0x7755)));
    }
    QVERIFY2(
        vsftpd_.start(vsRoot_.path(), certs_.filePath("server.pem"), certs_.filePath("server.key")),
        qPrintable(vsftpd_.errorText()));
    pyftpd_.useTls(certs_.filePath("server.pem"), certs_.filePath("server.key"));
    QVERIFY2(pyftpd_.start(pyRoot_.path()), qPrintable(pyftpd_.errorText()));
}

bool FtpTlsTests::logIn(CFtpConnection& client, const QString& server, bool passive,
                        const QString& trusted, const QString& user) {
    client.setTimeout(20);
    client.setUseTls(true);
    client.setTrustedCertificates(trusted);
    client.setPassiveMode(passive);
    if (!user.isEmpty()) {
        client.setUserName(user);
        client.setPassword(QStringLiteral("secret"));
    }
    const quint16 port = server == "vsftpd" ? vsftpd_.port() : pyftpd_.port();
    return client.Connect(QStringLiteral("127.0.0.1"), QString::number(port));
}

void FtpTlsTests::transfers_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("passive");
    QTest::newRow("vsftpd passive") << "vsftpd" << true;
    QTest::newRow("vsftpd active") << "vsftpd" << false;
    QTest::newRow("pyftpdlib passive") << "pyftpdlib" << true;
    QTest::newRow("pyftpdlib active") << "pyftpdlib" << false;
}

// A listing, a whole download, a download from a restart offset onto the first half, a
// whole upload and an upload from a restart offset: each byte-identical, on one login.
void FtpTlsTests::transfers() {
    QFETCH(QString, server);
    QFETCH(bool, passive);
    const QString root = server == "vsftpd" ? vsRoot_.path() : pyRoot_.path();
    const QString remote = root + "/build.bin";
    CFtpConnection client;
    QVERIFY2(logIn(client, server, passive, ca()), qPrintable(client.GetFtpErrorDescription()));

    CFTPFiles listing;
    QVERIFY2(client.EnumFiles(listing), qPrintable(client.GetFtpErrorDescription()));
    QStringList names;
    for (const CFTPFile& f : listing)
        names << f.Filename();
    QVERIFY2(names.contains("build.bin"), qPrintable(names.join(',')));

    const QString whole = local_.filePath(server + "-whole.bin");
    QVERIFY2(client.DownloadFile("build.bin", whole, 1),
             qPrintable(client.GetFtpErrorDescription()));
    QVERIFY(sameFileContents(whole, remote));

    const QString resumed = local_.filePath(server + "-resumed.bin");
    const qint64 half = kFileSize / 2 + 5;
    QVERIFY(testsupport::writeFile(resumed, readAll(remote).left(half)));
    QVERIFY2(client.DownloadFile("build.bin", resumed, 1, half),
             qPrintable(client.GetFtpErrorDescription()));
    QVERIFY(sameFileContents(resumed, remote));

    const QString upName = QStringLiteral("up-%1.bin").arg(passive ? "pasv" : "port");
    QVERIFY2(client.UploadFile(whole, upName, 1), qPrintable(client.GetFtpErrorDescription()));
    QVERIFY(
        testsupport::waitUntil([&] { return QFileInfo(root + '/' + upName).size() == kFileSize; }));
    QVERIFY(sameFileContents(root + '/' + upName, whole));

    // The server keeps the first part; REST makes STOR write from there.
    const QString restName = "rest-" + upName;
    QVERIFY(testsupport::writeFile(root + '/' + restName, readAll(whole).left(half)));
    QVERIFY2(client.UploadFile(whole, restName, 1, half),
             qPrintable(client.GetFtpErrorDescription()));
    QVERIFY(testsupport::waitUntil(
        [&] { return QFileInfo(root + '/' + restName).size() == kFileSize; }));
    QVERIFY(sameFileContents(root + '/' + restName, whole));
    QVERIFY(client.CloseConnection());

    const QString log = server == "vsftpd" ? vsftpd_.log() : pyftpd_.log();
    for (const char* command : {"AUTH TLS", "PBSZ 0", "PROT P"})
        QVERIFY2(log.contains(command), command);
}

void FtpTlsTests::refusals_data() {
    QTest::addColumn<QByteArray>("authAnswer");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("textPart");
    QTest::newRow("AUTH TLS refused")
        << QByteArray("534 no TLS here\r\n") << 60 << "534 no TLS here";
    QTest::newRow("AUTH TLS unknown") << QByteArray("500 what?\r\n") << 60 << "500 what?";
    // 234, then the server ends the connection instead of a handshake.
    QTest::newRow("handshake dropped") << QByteArray("234 go ahead\r\n") << 61 << "";
}

// No silent fall-back: the operation ends with the error, and the login is never sent.
void FtpTlsTests::refusals() {
    QFETCH(QByteArray, authAnswer);
    QFETCH(int, error);
    QFETCH(QString, textPart);
    ScriptedFtp script;
    script.answer = [&](const QByteArray& line) -> ScriptedFtp::Pieces {
        if (line == "AUTH TLS") {
            if (authAnswer.startsWith("234"))
                QTimer::singleShot(100, script.connection, [&] { script.connection->abort(); });
            return {authAnswer};
        }
        return ScriptedFtp::loginAnswer(line);
    };
    CFtpConnection client;
    client.setTimeout(10);
    client.setUseTls(true);
    QVERIFY(!client.Connect("127.0.0.1", QString::number(script.port())));
    QCOMPARE(client.FtpGetLastError(), error);
    QVERIFY2(client.GetFtpErrorDescription().contains(textPart),
             qPrintable(client.GetFtpErrorDescription()));
    const QByteArray received = script.connection->received();
    QVERIFY(received.startsWith("AUTH TLS\r\n"));
    QVERIFY(!received.contains("USER") && !received.contains("PBSZ"));
}

// A certificate from an authority that neither the file nor the system knows: error 61 with
// the reason, and nothing after AUTH TLS reaches the server.
void FtpTlsTests::untrustedCertificate() {
    const qsizetype logged = vsftpd_.log().size();
    CFtpConnection client;
    QVERIFY(!logIn(client, "vsftpd", true, strangers_.filePath("ca.pem")));
    QCOMPARE(client.FtpGetLastError(), int(ftpErrTlsFailed));
    QVERIFY2(client.GetFtpErrorDescription().contains("issuer", Qt::CaseInsensitive),
             qPrintable(client.GetFtpErrorDescription()));
    CFtpConnection trusting;
    QVERIFY(!logIn(trusting, "vsftpd", true, QString())); // the system's alone
    QCOMPARE(trusting.FtpGetLastError(), int(ftpErrTlsFailed));
    QVERIFY(!vsftpd_.log().mid(logged).contains("USER"));
}

// Seen on the wire between client and server: the commands up to AUTH TLS, then nothing
// readable; the password and user name never.
void FtpTlsTests::passwordNeverInClear() {
    RecordingRelay relay(pyftpd_.port());
    CFtpConnection client;
    client.setTimeout(20);
    client.setUseTls(true);
    client.setTrustedCertificates(ca());
    client.setPassiveMode(true);
    client.setUserName("tester");
    client.setPassword("secret");
    QVERIFY2(client.Connect("127.0.0.1", QString::number(relay.port())),
             qPrintable(client.GetFtpErrorDescription()));
    const QString copy = local_.filePath("relayed.bin");
    QVERIFY2(client.DownloadFile("build.bin", copy, 1),
             qPrintable(client.GetFtpErrorDescription()));
    QVERIFY(sameFileContents(copy, pyRoot_.filePath("build.bin")));
    QVERIFY(client.CloseConnection());
    QVERIFY(relay.sent.startsWith("AUTH TLS\r\n"));
    QVERIFY(relay.sent.size() > 200); // the handshake and the encrypted commands
    for (const char* secret : {"secret", "tester", "PASS", "USER", "RETR"})
        QVERIFY2(!relay.sent.contains(secret), secret);
    QVERIFY(pyftpd_.log().contains("USER 'tester' logged in"));
}

// ABOR during a TLS download: the transfer ends at once, and the next login transfers again.
// pyftpdlib here: vsftpd's reply to ABOR does not come while the client reads nothing more
// from the data connection, and the cancel then ends with the time-out.
void FtpTlsTests::abortMidway() {
    CFtpConnection client;
    QVERIFY(logIn(client, "pyftpdlib", true, ca()));
    bool aborted = false;
    connect(&client, &CFtpConnection::DownloadProgress, this, [&](qint64 bytes) {
        if (bytes > 1024 * 1024 && !aborted) {
            aborted = true;
            QVERIFY(client.CancelTransfer());
        }
    });
    const QString partial = local_.filePath("aborted.bin");
    client.DownloadFile("build.bin", partial, 1);
    QVERIFY(aborted);
    QVERIFY(QFileInfo(partial).size() < kFileSize);
    client.disconnect(this);
    CFtpConnection again;
    QVERIFY(logIn(again, "pyftpdlib", true, ca()));
    const QString whole = local_.filePath("after-abort.bin");
    QVERIFY2(again.DownloadFile("build.bin", whole, 1), qPrintable(again.GetFtpErrorDescription()));
    QVERIFY(sameFileContents(whole, pyRoot_.filePath("build.bin")));
}

QTEST_GUILESS_MAIN(FtpTlsTests)
#include "tls_tests.moc"
