// The FTP client against a real server (pyftpdlib): file management, listings, downloads and
// uploads (passive, active, resumed, cancelled), checked on the server's disk and in its log.
#include "cftpconnection.h"
#include "ftp_listing.h"
#include "servers.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using ftp::CFtpConnection;
using testsupport::sameFileContents;
using testsupport::waitUntil;

namespace {

constexpr qint64 kBig = 16 * 1024 * 1024 + 7;
constexpr qint64 kResumeAt = 10 * 1024 * 1024;

QList<qint64> counts(const QSignalSpy& spy) {
    QList<qint64> out;
    for (const QList<QVariant>& args : spy)
        out << args.at(0).toLongLong();
    return out;
}

} // namespace

class ServerTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fileManagementAndCancel();
    void transfers_data();
    void transfers();

private:
    bool connect(CFtpConnection& client, bool passive = true) {
        client.setTimeout(20);
        client.setPassiveMode(passive);
        return client.Connect("127.0.0.1", QString::number(pyftpd_.port()));
    }
    QString served(const QString& name) const { return root_.filePath(name); }
    QTemporaryDir root_;
    QTemporaryDir local_;
    testsupport::FtpServer pyftpd_;
};

void ServerTests::initTestCase() {
    QVERIFY(testsupport::writeRandomFile(served("build.bin"), kBig, 11));
    QVERIFY(QDir(root_.path()).mkpath("pub/sub"));
    QVERIFY2(pyftpd_.start(root_.path()), qPrintable(pyftpd_.errorText()));
}

// File management and the close; then a close refused during a download, which is cancelled,
// and a new download over the same client.
void ServerTests::fileManagementAndCancel() {
    CFtpConnection client;
    QVERIFY(connect(client));
    QVERIFY(client.SetCurrentDirectory("pub") && client.CreateDirectory("new dir"));
    QCOMPARE(client.CurrentDirectory(), QString("/")); // only PWD changes it
    QVERIFY(client.SetCurrentDirectory("sub") && client.SetParentAsCurrentDirectory());
    QCOMPARE(client.GetCurrentDirectory(), QString("/pub"));
    QVERIFY(client.RenameFile("new dir", "renamed") && QDir(served("pub/renamed")).exists());
    QVERIFY(client.RemoveDirectory("renamed") && !QDir(served("pub/renamed")).exists());
    QVERIFY(testsupport::writeRandomFile(served("pub/f.bin"), 10));
    QVERIFY(client.DeleteFile("f.bin") && !QFile::exists(served("pub/f.bin")));
    client.setTransferMode(0); // already ASCII: nothing sent
    client.setTransferMode(1);
    QVERIFY(client.CloseConnection());
    QVERIFY(waitUntil([&] { return pyftpd_.log().contains("<- QUIT"); }, 30000));
    QCOMPARE(pyftpd_.log().count("<- TYPE"), 1);
    QVERIFY(!client.SetCurrentDirectory("pub")); // closed: the send fails quietly
    QCOMPARE(client.FtpGetLastError(), 4);

    QVERIFY(connect(client));
    const QString out = local_.filePath("cancelled.bin");
    QString refusal;
    bool cancelled = false;
    const auto watch = QObject::connect(&client, &CFtpConnection::DownloadProgress, [&](qint64 n) {
        if (refusal.isEmpty()) {
            refusal = client.CloseConnection() ? "closed " : "refused ";
            refusal +=
                QString::number(client.FtpGetLastError()) + ' ' + client.GetFtpErrorDescription();
        }
        if (cancelled || n <= 4 * 1024 * 1024)
            return;
        cancelled = true;
        client.CancelTransfer();
    });
    client.DownloadFile("build.bin", out, 1);
    QCOMPARE(refusal, "refused 59 Can't close control connection. Transfer in progress.");
    QVERIFY(cancelled && !client.Busy() && QFileInfo(out).size() < kBig);
    QObject::disconnect(watch);
    QVERIFY(connect(client));
    QVERIFY(client.DownloadFile("build.bin", out, 1));
    QVERIFY(sameFileContents(served("build.bin"), out));
}

// The listing against the disk; a download from 0 over a longer local file or resumed, with its
// announced size and progress; an upload in pieces of 4096 bytes, from the start or resumed
// after the part the server has (-1: no REST).
void ServerTests::transfers_data() {
    QTest::addColumn<bool>("passive");
    QTest::addColumn<qint64>("downloadStart");
    QTest::addColumn<int>("uploadSize");
    QTest::addColumn<qint64>("uploadStart");
    QTest::addColumn<QList<qint64>>("uploadProgress");
    QTest::newRow("passive") << true << 0ll << 10000 << -1ll << QList<qint64>{4096, 8192, 10000};
    QTest::newRow("active resumed")
        << false << kResumeAt << 10000 << 4000ll << QList<qint64>{8096, 10000};
    QTest::newRow("passive resumed empty upload")
        << true << kResumeAt << 0 << -1ll << QList<qint64>{};
    QTest::newRow("active upload under a piece")
        << false << 0ll << 4095 << -1ll << QList<qint64>{4095};
}

void ServerTests::transfers() {
    QFETCH(bool, passive);
    QFETCH(qint64, downloadStart);
    QFETCH(int, uploadSize);
    QFETCH(qint64, uploadStart);
    QFETCH(QList<qint64>, uploadProgress);
    CFtpConnection client;
    QVERIFY(connect(client, passive));
    const qsizetype logStart = pyftpd_.log().size(); // this row's commands follow
    ftp::CFTPFiles files;
    QVERIFY(client.EnumFiles(files));
    QStringList listed, onDisk; // names with a size or "/"
    for (const ftp::CFTPFile& f : files)
        listed << f.Filename() + (f.IsDirectory() ? "/" : " " + QString::number(f.FileSize()));
    for (const QFileInfo& f :
         QDir(root_.path()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name))
        onDisk << f.fileName() + (f.isDir() ? "/" : " " + QString::number(f.size()));
    listed.sort();
    QCOMPARE(listed, onDisk);
    qint64 total = -1;
    client.setTotalSizeSink([&](qint64 size) { total = size; });
    const QString out = local_.filePath(QTest::currentDataTag());
    if (downloadStart == 0)
        QVERIFY(testsupport::writeRandomFile(out, kBig + 1000, 99));
    else
        QVERIFY(QFile::copy(served("build.bin"), out) && QFile::resize(out, downloadStart));
    QSignalSpy downloaded(&client, &CFtpConnection::DownloadProgress);
    QSignalSpy states(&client, &CFtpConnection::StateChanged);
    QVERIFY(client.DownloadFile("build.bin", out, 1, downloadStart));
    QCOMPARE(total, kBig);
    QVERIFY(counts(downloaded).first() > downloadStart); // counted from the start point
    QCOMPARE(counts(downloaded).last(), kBig);
    QVERIFY(sameFileContents(served("build.bin"), out));
    QCOMPARE(states.last().at(0).toInt(), int(ftp::ftpTransferDone));
    const QString log = pyftpd_.log().mid(logStart);
    QVERIFY(log.contains(passive ? "PASV" : "PORT 127,0,0,1,"));
    if (downloadStart > 0)
        QVERIFY(log.contains("REST 10485760"));

    const QString name = QString(QTest::currentDataTag()).replace(' ', '-') + ".up";
    QVERIFY(testsupport::writeRandomFile(out, uploadSize, 21));
    if (uploadStart > 0)
        QVERIFY(QFile::copy(out, served(name)) && QFile::resize(served(name), uploadStart));
    QSignalSpy uploaded(&client, &CFtpConnection::UploadProgress);
    QVERIFY(client.UploadFile(out, name, 1, uploadStart));
    QCOMPARE(counts(uploaded), uploadProgress);
    QVERIFY(waitUntil([&] { return QFileInfo(served(name)).size() == uploadSize; }, 60000));
    QVERIFY(sameFileContents(out, served(name)));
    QVERIFY(!client.Busy() && client.CloseConnection());
}

QTEST_GUILESS_MAIN(ServerTests)
#include "server_tests.moc"
