// The window's HTTP transfer against real servers: nginx, directly and through tinyproxy.
#include "window_fixture.h"

#include <QLabel>
#include <QTest>

using testsupport::NginxServer;
using testsupport::sameFileContents;
using testsupport::TinyproxyServer;
using testsupport::waitUntil;

namespace {

constexpr qint64 kBig = 40 * 1024 * 1024;

const char* kLocations = R"(
    location = /moved/one { return 302 /moved/two; }
    location = /moved/two { return 301 http://127.0.0.1:$server_port/moved/three; }
    location = /moved/three { return 307 ../build.bin; }
)";

} // namespace

class HttpNginxTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        source_ = docRoot_.filePath("build.bin");
        QVERIFY(testsupport::writeRandomFile(source_, kBig, 7));
        QVERIFY2(nginx_.start(docRoot_.path(), kLocations), qPrintable(nginx_.errorText()));
    }

    // 40 MiB arrive byte-identical: directly, through the proxy, after three redirects, and
    // resumed from a partial file whose last KiB is damaged (rolled back over).
    void bigFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("proxy");
        QTest::addColumn<qint64>("partial");
        QTest::newRow("direct") << "/build.bin" << false << qint64(0);
        QTest::newRow("through tinyproxy") << "/build.bin" << true << qint64(0);
        QTest::newRow("redirect chain") << "/moved/one" << false << qint64(0);
        QTest::newRow("resumed with roll-back") << "/build.bin" << false << qint64(25 << 20);
    }
    void bigFile() {
        QFETCH(QString, path);
        QFETCH(bool, proxy);
        QFETCH(qint64, partial);
        TinyproxyServer tinyproxy;
        WindowFixture f;
        if (proxy) {
            QVERIFY2(tinyproxy.start(), qPrintable(tinyproxy.errorText()));
            f.useProxy(tinyproxy.port());
        }
        if (partial > 0) {
            QFile in(source_);
            QVERIFY(in.open(QIODevice::ReadOnly));
            QByteArray head = in.read(partial);
            head.replace(partial - 1024, 1024, QByteArray(1024, '\x5a'));
            QVERIFY(writeFile(f.path("dl.bin"), head));
            f.ui.dialogAnswers = {"cmdResume"};
        }
        auto& w = f.open(nginx_.url(path));
        w.cmdDownload->click();
        QCOMPARE(app::Download().ResumeBase, partial > 0 ? partial - 1024 : 0);
        QVERIFY(f.waitForDownload(kBig));
        QVERIFY(sameFileContents(source_, f.path("dl.bin")));
        QCOMPARE(app::Download().DownloadURL, nginx_.url("/build.bin"));
        QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->text(), QString("Download Completed"), 60000);
        if (proxy)
            QVERIFY(waitUntil([&] { return tinyproxy.log().contains("/build.bin"); }, 30000));
        QVERIFY(f.ui.messages.isEmpty());
    }

private:
    QTemporaryDir docRoot_;
    QString source_;
    NginxServer nginx_;
};

QTEST_MAIN(HttpNginxTests)
#include "http_nginx_tests.moc"
