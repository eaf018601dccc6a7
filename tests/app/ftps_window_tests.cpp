// ftps:// updates through the main window against vsftpd (TLS required, session reuse
// required) with a certificate from the test's own authority, and a plain server that has
// no TLS to offer.
#include "window_fixture.h"

using namespace apptest;
using testsupport::makeCertificate;
using testsupport::waitUntil;

namespace {

constexpr qint64 kBuildSize = 3 * 1024 * 1024 + 101;
const QByteArray kOld = "old build";
const QString kConnectText = "Error occured while conencting to server: \r\n127.0.0.1\r\n";

} // namespace

class FtpsWindowTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void updates();
    void signedBuild();

private:
    QString build() const { return root_.filePath("build.bin"); }
    QString address(quint16 port) const {
        return QStringLiteral("ftps://127.0.0.1/build.bin:%1").arg(port);
    }

    QTemporaryDir certs_, strangers_, root_, plainRoot_;
    testsupport::VsftpdServer vsftpd_;
    testsupport::FtpServer plain_;
};

void FtpsWindowTests::initTestCase() {
    QVERIFY(makeCertificate(certs_.path(), "ca"));
    QVERIFY(makeCertificate(certs_.path(), "server", "IP:127.0.0.1"));
    QVERIFY(makeCertificate(strangers_.path(), "ca"));
    for (const QTemporaryDir* root : {&root_, &plainRoot_}) {
        QVERIFY(testsupport::writeRandomFile(root->filePath("build.bin"), kBuildSize, 43));
        QVERIFY(QFile::setPermissions(root->path(), QFile::Permissions(0x7755)));
    }
    QVERIFY2(
        vsftpd_.start(root_.path(), certs_.filePath("server.pem"), certs_.filePath("server.key")),
        qPrintable(vsftpd_.errorText()));
    QVERIFY2(plain_.start(plainRoot_.path()), qPrintable(plain_.errorText()));
}

// Each row is one update: installed, or refused at the connection's retry question (answered
// Cancel) with nothing written.
void FtpsWindowTests::updates() {
    struct Row {
        const char* name;
        bool passive;
        const char* trustFile; // what "Trusted Certificates" names
        bool plainServer;
        QString refusal; // the question's start; empty when the build must be installed
    };
    const QString ca = certs_.filePath("ca.pem");
    const QString stranger = strangers_.filePath("ca.pem");
    const QList<Row> rows = {
        {"passive", true, "ca", false, {}},
        {"active", false, "ca", false, {}},
        {"unknown authority", true, "stranger", false,
         kConnectText + "The TLS connection could not be set up:\r\nThe issuer certificate of a "
                        "locally looked up certificate could not be found"},
        {"server without TLS", true, "ca", true,
         kConnectText + "The server does not accept FTP over TLS (AUTH TLS): 5"},
    };
    for (const Row& r : rows) {
        WindowFixture f;
        f.setSetting("Trusted Certificates", QString(r.trustFile) == "ca" ? ca : stranger);
        f.setSetting("FTP PASV", r.passive ? "1" : "0");
        f.ui.answers = {app::vbCancel};
        auto& w = f.open(address(r.plainServer ? plain_.port() : vsftpd_.port()), "dl.bin", true);
        QVERIFY(writeFile(f.path("product.exe"), kOld));
        w.cmdDownload->click();
        QVERIFY2(waitUntil([&] {
                     return !f.ui.messages.isEmpty() || readAll(f.path("product.exe")) != kOld;
                 }),
                 r.name);
        if (r.refusal.isEmpty()) {
            QVERIFY2(f.ui.messages.isEmpty(), qPrintable(f.ui.messages.value(0).prompt));
            QVERIFY2(testsupport::sameFileContents(build(), f.path("product.exe")), r.name);
            continue;
        }
        QCOMPARE(f.ui.messages.size(), 1);
        const RecordedMessage m = f.ui.messages[0];
        QVERIFY2(m.prompt.startsWith(r.refusal), qPrintable(QString(r.name) + ": " + m.prompt));
        QCOMPARE(m.buttons, app::MsgButtons::RetryCancel);
        QVERIFY(!w.CFtpConnection); // the FTP routine has ended
        QVERIFY2(!QFile::exists(f.path("dl.bin")), r.name);
        QCOMPARE(readAll(f.path("product.exe")), kOld);
    }
    // The plain server never saw a login: the client stopped at its refusal of AUTH.
    QVERIFY(plain_.log().contains("<- AUTH TLS"));
    QVERIFY(!plain_.log().contains("<- USER"));
}

// A signed build whose signature comes over FTPS too, on a login of its own.
void FtpsWindowTests::signedBuild() {
    QTemporaryDir keys;
    QVERIFY(
        testsupport::runTool(keys.path(), "minisign", {"-G", "-W", "-p", "k.pub", "-s", "k.key"}));
    QVERIFY(testsupport::runTool(keys.path(), "minisign",
                                 {"-S", "-s", "k.key", "-m", build(), "-t", "version:3.1"}));
    WindowFixture f;
    f.setSetting("Trusted Certificates", certs_.filePath("ca.pem"));
    auto& w = f.open(address(vsftpd_.port()), "dl.bin", true);
    w.setMakerKey(readAll(keys.filePath("k.pub")).trimmed().split('\n').last());
    QVERIFY(writeFile(f.path("product.exe"), kOld));
    const qsizetype logged = vsftpd_.log().size();
    w.cmdDownload->click();
    QVERIFY(waitUntil(
        [&] { return !f.ui.messages.isEmpty() || readAll(f.path("product.exe")) != kOld; }));
    QVERIFY2(f.ui.messages.isEmpty(), qPrintable(f.ui.messages.value(0).prompt));
    QVERIFY(testsupport::sameFileContents(build(), f.path("product.exe")));
    QCOMPARE(readAll(f.path("product.exe.version")), QByteArray("3.1\n"));
    QVERIFY(vsftpd_.log().mid(logged).contains("RETR build.bin.minisig"));
    QVERIFY(QFile::remove(build() + ".minisig"));
}

QTEST_MAIN(FtpsWindowTests)
#include "ftps_window_tests.moc"
