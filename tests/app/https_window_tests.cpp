// https:// downloads through the main window against nginx with certificates made by the
// test's own authority, directly and through tinyproxy's tunnel.
#include "signature_fetch.h"
#include "window_fixture.h"

#include <QLabel>
#include <QUrl>

using namespace apptest;
using testsupport::makeCertificate;
using testsupport::waitUntil;

namespace {

constexpr qint64 kBuildSize = 3 * 1024 * 1024 + 17;
const QByteArray kOld = "old build";
const QString kCertificateText = "The server's certificate could not be verified:\r\n";

} // namespace

class HttpsWindowTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void certificates();
    void pauseAndResume();
    void signedBuildThroughTunnel();
    void tunnelRefused();

private:
    bool startNginx(testsupport::NginxServer& server, const QString& certificate,
                    const QString& extra = {}) {
        server.useTls(certs_.filePath(certificate + ".pem"), certs_.filePath(certificate + ".key"));
        return server.start(root_.path(), extra);
    }
    QString build() const { return root_.filePath("build.bin"); }

    QTemporaryDir certs_, strangers_, root_;
    testsupport::NginxServer trusted_, wrongName_, byName_, expired_, untrusted_, plain_;
    testsupport::TinyproxyServer proxy_;
};

void HttpsWindowTests::initTestCase() {
    QVERIFY(makeCertificate(certs_.path(), "ca"));
    QVERIFY(makeCertificate(certs_.path(), "good", "IP:127.0.0.1,DNS:localhost"));
    QVERIFY(makeCertificate(certs_.path(), "other", "DNS:updates.other.example"));
    QVERIFY(makeCertificate(certs_.path(), "named", "DNS:localhost")); // no address in it
    QVERIFY(makeCertificate(certs_.path(), "old", "IP:127.0.0.1", true));
    QVERIFY(makeCertificate(strangers_.path(), "ca"));
    QVERIFY(makeCertificate(strangers_.path(), "good", "IP:127.0.0.1"));
    QVERIFY(QFile::copy(strangers_.filePath("good.pem"), certs_.filePath("stranger.pem")) &&
            QFile::copy(strangers_.filePath("good.key"), certs_.filePath("stranger.key")));
    QVERIFY(testsupport::writeRandomFile(build(), kBuildSize, 41));
    QVERIFY2(plain_.start(root_.path()), qPrintable(plain_.errorText()));
    // /away sends the client from https to plain http; /slow gives the bytes slowly.
    const QString extra = "location = /away { return 302 " + plain_.url("/build.bin") +
                          "; }\nlocation = /next { return 302 /build.bin; }\n"
                          "location = /slow.bin { alias " +
                          build() + "; limit_rate 1m; }";
    QVERIFY2(startNginx(trusted_, "good", extra), qPrintable(trusted_.errorText()));
    QVERIFY2(startNginx(wrongName_, "other"), qPrintable(wrongName_.errorText()));
    QVERIFY2(startNginx(byName_, "named"), qPrintable(byName_.errorText()));
    QVERIFY2(startNginx(expired_, "old"), qPrintable(expired_.errorText()));
    QVERIFY2(startNginx(untrusted_, "stranger"), qPrintable(untrusted_.errorText()));
    QVERIFY2(proxy_.start(), qPrintable(proxy_.errorText()));
}

// Each row is one update: installed, or refused with nothing written.
void HttpsWindowTests::certificates() {
    struct Row {
        const char* name;
        testsupport::NginxServer* server;
        const char* path;
        const char* trustFile; // what "Trusted Certificates" names in certs_ ("": nothing)
        bool viaProxy;
        QString refusal; // the message's start; empty when the build must be installed
    };
    const QList<Row> rows = {
        {"trusted", &trusted_, "/build.bin", "ca.pem", false, {}},
        {"trusted, redirected within https", &trusted_, "/next", "ca.pem", false, {}},
        {"trusted, through the proxy's tunnel", &trusted_, "/build.bin", "ca.pem", true, {}},
        {"trusted, by host name", &byName_, "/build.bin", "ca.pem", false, {}},
        {"trusted, by host name through the tunnel", &byName_, "/build.bin", "ca.pem", true, {}},
        {"authority not trusted", &trusted_, "/build.bin", "", false,
         kCertificateText + "The issuer certificate of a locally looked up certificate could "
                            "not be found"},
        {"unknown authority", &untrusted_, "/build.bin", "ca.pem", false,
         kCertificateText + "The issuer certificate of a locally looked up certificate could "
                            "not be found"},
        {"unknown authority, through the proxy", &untrusted_, "/build.bin", "ca.pem", true,
         kCertificateText + "The issuer certificate of a locally looked up certificate could "
                            "not be found"},
        {"wrong host name", &wrongName_, "/build.bin", "ca.pem", false,
         kCertificateText + "The host name did not match any of the valid hosts"},
        {"expired", &expired_, "/build.bin", "ca.pem", false,
         kCertificateText + "The certificate has expired"},
        {"trusted certificates file unreadable", &trusted_, "/build.bin", "missing.pem", false,
         kCertificateText + "The trusted certificates file \""},
        {"https to http", &trusted_, "/away", "ca.pem", false,
         "Server returned the following error:\r\nHTTP/1.1 302 Moved Temporarily"},
    };
    for (const Row& r : rows) {
        WindowFixture f;
        if (*r.trustFile)
            f.setSetting("Trusted Certificates", certs_.filePath(r.trustFile));
        if (r.viaProxy)
            f.useProxy(proxy_.port());
        QString url = r.server->url(r.path);
        if (r.server == &byName_) // the name, not the address, is what the certificate names
            url.replace("127.0.0.1", "localhost");
        auto& w = f.open(url, "dl.bin", true);
        QVERIFY(writeFile(f.path("product.exe"), kOld));
        const auto tunnels = [&] {
            return proxy_.log().count(QString("CONNECT ") + QUrl(url).host());
        };
        const qsizetype tunnelsBefore = tunnels();
        w.cmdDownload->click();
        QVERIFY2(waitUntil([&] {
                     return !f.ui.messages.isEmpty() || readAll(f.path("product.exe")) != kOld;
                 }),
                 r.name);
        // The file's authorities are tried alone first; an unknown issuer is tried again
        // against the system's, on a new connection.
        if (r.viaProxy)
            QCOMPARE(tunnels() - tunnelsBefore, qsizetype(r.server == &untrusted_ ? 2 : 1));
        if (r.refusal.isEmpty()) {
            QVERIFY2(f.ui.messages.isEmpty(), qPrintable(f.ui.messages.value(0).prompt));
            QVERIFY2(testsupport::sameFileContents(build(), f.path("product.exe")), r.name);
            continue;
        }
        QCOMPARE(f.ui.messages.size(), 1);
        const RecordedMessage m = f.ui.messages[0];
        QVERIFY2(m.prompt.startsWith(r.refusal), qPrintable(QString(r.name) + ": " + m.prompt));
        QCOMPARE(m.title + '|' + QString::number(int(m.icon)),
                 QString("Quillon Updater|%1").arg(int(app::MsgIcon::Critical)));
        QVERIFY2(!QFile::exists(f.path("dl.bin")), r.name); // nothing was written
        QCOMPARE(readAll(f.path("product.exe")), kOld);
        QCOMPARE(f.buttons(), QString("10010")); // back to idle
    }
    QVERIFY(proxy_.log().contains("CONNECT"));
}

// A pause closes the TLS connection; the resume asks for the rest with a Range over a new one.
void HttpsWindowTests::pauseAndResume() {
    WindowFixture f;
    f.setSetting("Trusted Certificates", certs_.filePath("ca.pem"));
    auto& w = f.open(trusted_.url("/slow.bin"), "dl.bin", true);
    QVERIFY(writeFile(f.path("product.exe"), kOld));
    QTimer user; // clicks as a user would, from the event loop
    int clicks = 0;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (clicks == 0 && app::Download().Received > 1024 * 1024) {
            ++clicks;
            w.cmdPause->click();
        }
    });
    user.start(5);
    w.cmdDownload->click();
    QVERIFY(waitUntil([&] { return clicks == 1; }));
    QCOMPARE(w.lblStatus->text(), QString("Download Paused"));
    const qint64 partial = QFileInfo(f.path("dl.bin")).size();
    QVERIFY(partial > 1024 * 1024 && partial < kBuildSize);
    w.cmdPause->click();
    QVERIFY(waitUntil([&] { return readAll(f.path("product.exe")) != kOld; }, 120000));
    QVERIFY(testsupport::sameFileContents(build(), f.path("product.exe")));
    QVERIFY(f.ui.messages.isEmpty());
}

// A signed build and its signature, both through the tunnel.
void HttpsWindowTests::signedBuildThroughTunnel() {
    QTemporaryDir keys;
    QVERIFY(
        testsupport::runTool(keys.path(), "minisign", {"-G", "-W", "-p", "k.pub", "-s", "k.key"}));
    QVERIFY(testsupport::runTool(keys.path(), "minisign",
                                 {"-S", "-s", "k.key", "-m", build(), "-t", "version:2.0"}));
    WindowFixture f;
    f.setSetting("Trusted Certificates", certs_.filePath("ca.pem"));
    f.useProxy(proxy_.port());
    auto& w = f.open(trusted_.url("/build.bin"), "dl.bin", true);
    w.setMakerKey(readAll(keys.filePath("k.pub")).trimmed().split('\n').last());
    QVERIFY(writeFile(f.path("product.exe"), kOld));
    w.cmdDownload->click();
    QVERIFY(waitUntil(
        [&] { return !f.ui.messages.isEmpty() || readAll(f.path("product.exe")) != kOld; }));
    QVERIFY2(f.ui.messages.isEmpty(), qPrintable(f.ui.messages.value(0).prompt));
    QVERIFY(testsupport::sameFileContents(build(), f.path("product.exe")));
    QCOMPARE(readAll(f.path("product.exe.version")), QByteArray("2.0\n"));
    QVERIFY(QFile::remove(build() + ".minisig"));
}

// A proxy that refuses the tunnel, or answers nonsense, gets the exact CONNECT request and
// nothing more; the user learns the proxy's answer.
void HttpsWindowTests::tunnelRefused() {
    const QList<QPair<QByteArray, QString>> rows = {
        {"HTTP/1.0 403 Forbidden\r\nContent-Length: 0\r\n\r\n",
         "The proxy refused the connection: HTTP/1.0 403 Forbidden"},
        {"SSH-2.0-x\r\n", "The proxy's answer is not valid."},
    };
    for (const auto& [answer, text] : rows) {
        testsupport::ScriptedServer proxy;
        proxy.setHandler([&](testsupport::ScriptedConnection& c) {
            if (c.received().endsWith("\r\n\r\n"))
                c.send(answer);
        });
        WindowFixture f;
        f.setSetting("Trusted Certificates", certs_.filePath("ca.pem"));
        f.useProxy(proxy.port());
        auto& w = f.open("https://127.0.0.1:8443/build.bin", "dl.bin", true);
        w.cmdDownload->click();
        QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
        QCOMPARE(f.ui.messages[0].prompt, "Server returned the following error:\r\n" + text);
        QCOMPARE(proxy.connections().size(), 1);
        QCOMPARE(proxy.connections()[0]->received(),
                 QByteArray("CONNECT 127.0.0.1:8443 HTTP/1.0\r\nHost: 127.0.0.1:8443\r\n\r\n"));
        QVERIFY(!QFile::exists(f.path("dl.bin")));
        QCOMPARE(f.buttons(), QString("10010"));
    }
}

QTEST_MAIN(HttpsWindowTests)
#include "https_window_tests.moc"
