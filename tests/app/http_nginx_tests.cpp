// The window's HTTP transfer against real servers: nginx, directly and through tinyproxy.
#include "window_fixture.h"

#include <QLabel>
#include <QTest>

using testsupport::NginxServer;
using testsupport::TinyproxyServer;
using testsupport::waitUntil;

namespace {

constexpr qint64 kBig = 40 * 1024 * 1024;

const char* kLocations = R"(
    location = /moved/one { return 302 /moved/two; }
    location = /moved/two { return 301 http://127.0.0.1:$server_port/moved/three; }
    location = /moved/three { return 307 ../build.bin; }
    location = /loop { return 302 /loop; }
    location = /broken { return 500; }
    location /noranges/ { max_ranges 0; alias DOCROOT/; }
)";

} // namespace

class HttpNginxTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void bigFileDirect();
    void bigFileThroughProxy();
    void bigFileResumedWithRollback();
    void redirectChainFollowed();
    void redirectLoopStops();
    void notFound();
    void serverError();
    void refusedResume();

private:
    QTemporaryDir docRoot_;
    QString source_;
    NginxServer nginx_;
};

void HttpNginxTests::initTestCase() {
    QVERIFY(docRoot_.isValid());
    source_ = docRoot_.filePath("build.bin");
    QVERIFY(testsupport::writeRandomFile(source_, kBig, 7));
    QVERIFY(testsupport::writeRandomFile(docRoot_.filePath("small.bin"), 100000, 8));
    const QString config = QString::fromLatin1(kLocations).replace("DOCROOT", docRoot_.path());
    QVERIFY2(nginx_.start(docRoot_.path(), config), qPrintable(nginx_.errorText()));
}

void HttpNginxTests::bigFileDirect() {
    WindowFixture f;
    auto& w = f.open(nginx_.url("/build.bin"));
    w.cmdDownload->click();
    QVERIFY(f.waitForDownload(kBig));
    QVERIFY(testsupport::sameFileContents(source_, f.path("dl.bin")));
    QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->text(), QString("Download Completed"), 60000);
    QVERIFY(f.ui.messages.isEmpty());
}

void HttpNginxTests::bigFileThroughProxy() {
    TinyproxyServer proxy;
    QVERIFY2(proxy.start(), qPrintable(proxy.errorText()));
    WindowFixture f;
    f.setSetting("Proxy Use", "1");
    f.setSetting("Proxy IP", "127.0.0.1");
    f.setSetting("Proxy Port", QString::number(proxy.port()));
    f.open(nginx_.url("/build.bin")).cmdDownload->click();
    QVERIFY(f.waitForDownload(kBig));
    QVERIFY(testsupport::sameFileContents(source_, f.path("dl.bin")));
    QVERIFY(waitUntil([&] { return proxy.log().contains("/build.bin"); }, 30000));
    QVERIFY(f.ui.messages.isEmpty());
}

void HttpNginxTests::bigFileResumedWithRollback() {
    // A 25 MiB partial file whose last KiB is damaged: the resume starts 1024 bytes earlier
    // and writes over it.
    WindowFixture f;
    constexpr qint64 partialSize = 25 * 1024 * 1024;
    {
        QFile in(source_);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray head = in.read(partialSize);
        head.replace(partialSize - 1024, 1024, QByteArray(1024, '\x5a'));
        QVERIFY(writeFile(f.path("dl.bin"), head));
    }
    f.ui.dialogAnswers = {"cmdResume"};
    f.open(nginx_.url("/build.bin")).cmdDownload->click();
    QCOMPARE(app::Download().ResumeBase, partialSize - 1024);
    QVERIFY(f.waitForDownload(kBig));
    QVERIFY(testsupport::sameFileContents(source_, f.path("dl.bin")));
    QVERIFY(f.ui.messages.isEmpty());
}

void HttpNginxTests::redirectChainFollowed() {
    WindowFixture f;
    f.open(nginx_.url("/moved/one")).cmdDownload->click();
    QVERIFY(f.waitForDownload(kBig));
    QVERIFY(testsupport::sameFileContents(source_, f.path("dl.bin")));
    QCOMPARE(app::Download().DownloadURL, nginx_.url("/build.bin"));
}

void HttpNginxTests::redirectLoopStops() {
    WindowFixture f;
    f.open(nginx_.url("/loop")).cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    QCOMPARE(f.ui.messages.first().prompt,
             QString("Server returned the following error:\r\nHTTP/1.1 302 Moved Temporarily"));
    QCOMPARE(f.buttons(), QString("10010"));
    QVERIFY(!QFile::exists(f.path("dl.bin")));
}

void HttpNginxTests::notFound() {
    WindowFixture f;
    f.open(nginx_.url("/missing.exe")).cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    const RecordedMessage m = f.ui.messages.first();
    QCOMPARE(m.title, QString("File Not Found"));
    QCOMPARE(m.icon, app::MsgIcon::None);
    QCOMPARE(m.buttons, app::MsgButtons::OK);
    QCOMPARE(m.prompt,
             QString("The file requested was not found on the server!\r\n\r\nPossible Reasons:\r\n"
                     "- File Does Not Exist On Server\r\n"
                     "- URL Given Was Script And Data Returned Was Invalid\r\n"
                     "- URL Entered Was Incorrect\r\n- Server Is Excessively Busy\r\n\r\n"
                     "You may reattempt to download.  If its still failure then most likely "
                     "invalid url."));
    QCOMPARE(f.buttons(), QString("10010"));
    QVERIFY(!QFile::exists(f.path("dl.bin")));
}

void HttpNginxTests::serverError() {
    WindowFixture f;
    f.open(nginx_.url("/broken")).cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    QCOMPARE(f.ui.messages.first().prompt,
             QString("Server returned the following error:\r\nHTTP/1.1 500 Internal Server Error"));
    QCOMPARE(f.ui.messages.first().icon, app::MsgIcon::Critical);
    QVERIFY(!QFile::exists(f.path("dl.bin")));
}

void HttpNginxTests::refusedResume() {
    WindowFixture f;
    const QByteArray partial(50000, 'p');
    QVERIFY(writeFile(f.path("dl.bin"), partial));
    f.ui.dialogAnswers = {"cmdResume"};
    f.open(nginx_.url("/noranges/small.bin")).cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    QCOMPARE(f.ui.messages.first().title, QString("No Resuming Support"));
    QCOMPARE(readAll(f.path("dl.bin")), partial);
    QCOMPARE(f.buttons(), QString("10010"));
}

QTEST_MAIN(HttpNginxTests)
#include "http_nginx_tests.moc"
