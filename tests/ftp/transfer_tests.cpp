// Listings and file transfers of the FTP client against a real FTP server: passive and
// active downloads, resume, uploads in pieces, a listing's sizes, cancel and reconnect.
#include "cftpconnection.h"
#include "ftp_listing.h"
#include "servers.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using ftp::CFtpConnection;
using testsupport::sameFileContents;

namespace {

constexpr qint64 kBig = 40 * 1024 * 1024;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TransferTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void downloads_data();
    void downloads();
    void resumedDownload();
    void downloadStartZeroReplacesLongerFile();
    void uploadInPieces_data();
    void uploadInPieces();
    void bigUpload();
    void uploadWithStartPoint();
    void listingMatchesFiles();
    void transferModeSentOnlyOnChange();
    void cancelThenReconnect();
    void closeDuringDownloadRefused();

private:
    void connect(CFtpConnection& client, bool passive = true) {
        client.setTimeout(20);
        client.setPassiveMode(passive);
        QVERIFY(client.Connect("127.0.0.1", QString::number(server_.port())));
    }
    QTemporaryDir root_;
    QTemporaryDir local_;
    QString big_;
    testsupport::FtpServer server_;
};

void TransferTests::initTestCase() {
    big_ = root_.filePath("build.bin");
    QVERIFY(testsupport::writeRandomFile(big_, kBig, 11));
    QVERIFY(testsupport::writeRandomFile(root_.filePath("small.bin"), 10000, 12));
    QVERIFY(QDir(root_.path()).mkdir("folder"));
    QVERIFY2(server_.start(root_.path()), qPrintable(server_.errorText()));
}

void TransferTests::downloads_data() {
    QTest::addColumn<bool>("passive");
    QTest::newRow("passive") << true;
    QTest::newRow("active") << false;
}

void TransferTests::downloads() {
    QFETCH(bool, passive);
    CFtpConnection client;
    connect(client, passive);
    qint64 total = -1;
    client.setTotalSizeSink([&](qint64 size) { total = size; });
    qint64 lastProgress = 0;
    QObject::connect(&client, &CFtpConnection::DownloadProgress,
                     [&](qint64 n) { lastProgress = n; });
    QSignalSpy states(&client, &CFtpConnection::StateChanged);
    const QString out = local_.filePath(passive ? "p.bin" : "a.bin");
    QVERIFY(client.DownloadFile("build.bin", out, 1));
    QCOMPARE(total, kBig);
    QCOMPARE(lastProgress, kBig);
    QVERIFY(sameFileContents(big_, out));
    QCOMPARE(states.last().at(0).toInt(), int(ftp::ftpTransferDone));
    QVERIFY(!client.Busy());
    const QString log = server_.log();
    QVERIFY(log.contains(passive ? "<- PASV" : "<- PORT 127,0,0,1,"));
    QVERIFY(client.CloseConnection());
}

void TransferTests::resumedDownload() {
    const QString out = local_.filePath("resumed.bin");
    {
        QFile in(big_);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QFile part(out);
        QVERIFY(part.open(QIODevice::WriteOnly));
        part.write(in.read(25 * 1024 * 1024));
    }
    CFtpConnection client;
    connect(client);
    qint64 firstProgress = -1;
    QObject::connect(&client, &CFtpConnection::DownloadProgress, [&](qint64 n) {
        if (firstProgress < 0)
            firstProgress = n;
    });
    QVERIFY(client.DownloadFile("build.bin", out, 1, 25 * 1024 * 1024));
    QVERIFY(firstProgress > 25 * 1024 * 1024); // counted from the start point
    QVERIFY(sameFileContents(big_, out));
    QVERIFY(server_.log().contains("<- REST 26214400"));
}

void TransferTests::downloadStartZeroReplacesLongerFile() {
    const QString out = local_.filePath("longer.bin");
    QFile f(out);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(20000, 'z')) == 20000);
    f.close();
    CFtpConnection client;
    connect(client);
    QVERIFY(client.DownloadFile("small.bin", out, 1));
    QVERIFY(sameFileContents(root_.filePath("small.bin"), out));
}

void TransferTests::uploadInPieces_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<qint64>>("progress");
    QTest::newRow("10000") << 10000 << QList<qint64>{4096, 8192, 10000};
    QTest::newRow("8192") << 8192 << QList<qint64>{4096, 8192};
    QTest::newRow("empty") << 0 << QList<qint64>{};
}

void TransferTests::uploadInPieces() {
    QFETCH(int, size);
    QFETCH(QList<qint64>, progress);
    const QString source = local_.filePath("up.bin");
    QVERIFY(testsupport::writeRandomFile(source, size, 21));
    CFtpConnection client;
    connect(client, false);
    QList<qint64> seen;
    QObject::connect(&client, &CFtpConnection::UploadProgress, [&](qint64 n) { seen << n; });
    const QString name = QStringLiteral("up-%1.bin").arg(size);
    QVERIFY(client.UploadFile(source, name, 1));
    QVERIFY(testsupport::waitUntil(
        [&] {
            return QFileInfo(root_.filePath(name)).size() == size &&
                   server_.log().contains("-> 226");
        },
        60000));
    QVERIFY(sameFileContents(source, root_.filePath(name)));
    QCOMPARE(seen, progress);
}

void TransferTests::bigUpload() {
    const QString source = local_.filePath("big-up.bin");
    QVERIFY(testsupport::writeRandomFile(source, kBig, 31));
    CFtpConnection client;
    connect(client);
    QVERIFY(client.UploadFile(source, "big-up.bin", 1));
    QVERIFY(testsupport::waitUntil(
        [&] { return QFileInfo(root_.filePath("big-up.bin")).size() == kBig; }, 120000));
    QVERIFY(sameFileContents(source, root_.filePath("big-up.bin")));
}

void TransferTests::uploadWithStartPoint() {
    const QString source = local_.filePath("restart.bin");
    QVERIFY(testsupport::writeRandomFile(source, 10000, 41));
    {
        QFile part(root_.filePath("restart.bin"));
        QVERIFY(part.open(QIODevice::WriteOnly));
        part.write(readAll(source).left(4000));
    }
    CFtpConnection client;
    connect(client);
    QList<qint64> seen;
    QObject::connect(&client, &CFtpConnection::UploadProgress, [&](qint64 n) { seen << n; });
    QVERIFY(client.UploadFile(source, "restart.bin", 1, 4000));
    QCOMPARE(seen, (QList<qint64>{8096, 10000}));
    QVERIFY(testsupport::waitUntil(
        [&] { return QFileInfo(root_.filePath("restart.bin")).size() == 10000; }, 60000));
    QVERIFY(sameFileContents(source, root_.filePath("restart.bin")));
}

void TransferTests::listingMatchesFiles() {
    CFtpConnection client;
    connect(client);
    ftp::CFTPFiles files;
    QVERIFY(client.EnumFiles(files));
    bool sawBig = false, sawFolder = false;
    for (const ftp::CFTPFile& file : files) {
        const QFileInfo local(root_.filePath(file.Filename()));
        QVERIFY2(local.exists(), qPrintable(file.Filename()));
        QCOMPARE(file.IsDirectory(), local.isDir());
        if (!local.isDir())
            QCOMPARE(file.FileSize(), local.size());
        sawBig = sawBig || file.Filename() == "build.bin";
        sawFolder = sawFolder || file.Filename() == "folder";
    }
    QVERIFY(sawBig && sawFolder);
    QCOMPARE(files.Count(),
             QDir(root_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

void TransferTests::transferModeSentOnlyOnChange() {
    CFtpConnection client;
    connect(client);
    const int before = server_.log().count("<- TYPE");
    client.setTransferMode(0); // already ASCII: nothing sent
    QCOMPARE(server_.log().count("<- TYPE"), before);
    client.setTransferMode(1);
    QVERIFY(testsupport::waitUntil([&] { return server_.log().count("<- TYPE I") > 0; }));
    QCOMPARE(client.TransferMode(), 1);
}

void TransferTests::cancelThenReconnect() {
    CFtpConnection client;
    connect(client);
    const QString out = local_.filePath("cancelled.bin");
    bool cancelled = false;
    QObject::connect(&client, &CFtpConnection::DownloadProgress, [&](qint64 n) {
        if (!cancelled && n > 4 * 1024 * 1024) {
            cancelled = true;
            client.CancelTransfer();
        }
    });
    client.DownloadFile("build.bin", out, 1);
    QVERIFY(cancelled);
    QVERIFY(!client.Busy());
    // A fresh connect on the same object, then a complete download.
    CFtpConnection* same = &client;
    QObject::disconnect(same, &CFtpConnection::DownloadProgress, nullptr, nullptr);
    connect(client);
    QVERIFY(client.DownloadFile("build.bin", out, 1));
    QVERIFY(sameFileContents(big_, out));
}

void TransferTests::closeDuringDownloadRefused() {
    CFtpConnection client;
    connect(client);
    bool tried = false;
    bool closeResult = true;
    QObject::connect(&client, &CFtpConnection::DownloadProgress, [&](qint64) {
        if (!tried) {
            tried = true;
            closeResult = client.CloseConnection();
        }
    });
    QVERIFY(client.DownloadFile("build.bin", local_.filePath("busy.bin"), 1));
    QVERIFY(tried);
    QVERIFY(!closeResult);
    QCOMPARE(client.FtpGetLastError(), 59);
    QCOMPARE(client.GetFtpErrorDescription(),
             QString("Can't close control connection. Transfer in progress."));
    QVERIFY(client.CloseConnection());
}

QTEST_GUILESS_MAIN(TransferTests)
#include "transfer_tests.moc"
