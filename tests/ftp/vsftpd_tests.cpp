// The FTP client against a second real server, vsftpd: its greeting and login, its listing
// format, and passive and active downloads and an upload.
#include "cftpconnection.h"
#include "ftp_listing.h"
#include "servers.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using ftp::CFtpConnection;

class VsftpdTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void listingMatchesFiles();
    void downloads_data();
    void downloads();
    void upload();

private:
    void connect(CFtpConnection& client, bool passive) {
        client.setTimeout(20);
        client.setPassiveMode(passive);
        QVERIFY(client.Connect("127.0.0.1", QString::number(server_.port())));
    }
    QTemporaryDir root_;
    QTemporaryDir local_;
    testsupport::VsftpdServer server_;
};

void VsftpdTests::initTestCase() {
    QVERIFY(testsupport::writeRandomFile(root_.filePath("build.bin"), 3 * 1024 * 1024 + 7, 51));
    QVERIFY(QDir(root_.path()).mkdir("sub dir"));
    QVERIFY2(server_.start(root_.path()), qPrintable(server_.errorText()));
}

void VsftpdTests::listingMatchesFiles() {
    CFtpConnection client;
    connect(client, true);
    ftp::CFTPFiles files;
    QVERIFY(client.EnumFiles(files));
    QCOMPARE(files.Count(), 2);
    for (const ftp::CFTPFile& file : files) {
        const QFileInfo local(root_.filePath(file.Filename()));
        QVERIFY2(local.exists(), qPrintable(file.Filename()));
        QCOMPARE(file.IsDirectory(), local.isDir());
        if (local.isFile())
            QCOMPARE(file.FileSize(), local.size());
    }
}

void VsftpdTests::downloads_data() {
    QTest::addColumn<bool>("passive");
    QTest::newRow("passive") << true;
    QTest::newRow("active") << false;
}

void VsftpdTests::downloads() {
    QFETCH(bool, passive);
    CFtpConnection client;
    connect(client, passive);
    qint64 total = 0;
    client.setTotalSizeSink([&](qint64 size) { total = size; });
    const QString out = local_.filePath(passive ? "p.bin" : "a.bin");
    QVERIFY(client.DownloadFile("build.bin", out, 1));
    QCOMPARE(total, QFileInfo(root_.filePath("build.bin")).size());
    QVERIFY(testsupport::sameFileContents(root_.filePath("build.bin"), out));
    QVERIFY(client.CloseConnection());
}

void VsftpdTests::upload() {
    const QString source = local_.filePath("up.bin");
    QVERIFY(testsupport::writeRandomFile(source, 100000, 52));
    CFtpConnection client;
    connect(client, true);
    QVERIFY(client.UploadFile(source, "up.bin", 1));
    QVERIFY(testsupport::waitUntil(
        [&] { return QFileInfo(root_.filePath("up.bin")).size() == 100000; }, 60000));
    QVERIFY(testsupport::sameFileContents(source, root_.filePath("up.bin")));
}

QTEST_GUILESS_MAIN(VsftpdTests)
#include "vsftpd_tests.moc"
