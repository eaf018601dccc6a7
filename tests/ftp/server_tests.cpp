// The FTP client's control connection against a real FTP server: logins, the current
// directory and the file-management commands, checked on the server's disk and in its log.
#include "cftpconnection.h"
#include "servers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using ftp::CFtpConnection;

class ServerTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void anonymousLogin();
    void userLoginAndWrongPassword();
    void directories();
    void deleteAndRename();
    void quit();

private:
    bool connect(CFtpConnection& client, const QString& user = {}, const QString& pass = {}) {
        client.setTimeout(10);
        client.setUserName(user);
        client.setPassword(pass);
        return client.Connect("127.0.0.1", QString::number(server_.port()));
    }
    QTemporaryDir root_;
    testsupport::FtpServer server_;
};

void ServerTests::initTestCase() {
    QVERIFY(QDir(root_.path()).mkpath("pub/sub"));
    QFile f(root_.filePath("pub/readme.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("hello") == 5);
    f.close();
    QVERIFY2(server_.start(root_.path()), qPrintable(server_.errorText()));
}

void ServerTests::anonymousLogin() {
    CFtpConnection client;
    QVERIFY(connect(client));
    QCOMPARE(client.CurrentDirectory(), QString("/"));
    QCOMPARE(client.UserName(), QString("anonymous"));
    QVERIFY(client.GetLastServerResponse().startsWith("257"));
    QVERIFY(client.CloseConnection());
}

void ServerTests::userLoginAndWrongPassword() {
    CFtpConnection client;
    QVERIFY(connect(client, "tester", "secret"));
    QCOMPARE(client.CurrentDirectory(), QString("/"));
    client.CloseConnection();

    CFtpConnection wrong;
    QVERIFY(!connect(wrong, "tester", "wrong"));
    QCOMPARE(wrong.FtpGetLastError(), 52); // 530
    QCOMPARE(wrong.GetFtpErrorDescription(), QString("Not logged in."));
}

void ServerTests::directories() {
    CFtpConnection client;
    QVERIFY(connect(client, "tester", "secret"));
    QVERIFY(client.SetCurrentDirectory("pub"));
    QCOMPARE(client.CurrentDirectory(), QString("/")); // only PWD changes it
    QCOMPARE(client.GetCurrentDirectory(), QString("/pub"));
    QVERIFY(client.CreateDirectory("new dir"));
    QVERIFY(QDir(root_.filePath("pub/new dir")).exists());
    QVERIFY(!client.CreateDirectory("new dir")); // exists already: 550
    QCOMPARE(client.FtpGetLastError(), 54);
    QVERIFY(client.SetCurrentDirectory("sub"));
    QVERIFY(client.SetParentAsCurrentDirectory());
    QCOMPARE(client.GetCurrentDirectory(), QString("/pub"));
    QVERIFY(client.RemoveDirectory("new dir"));
    QVERIFY(!QDir(root_.filePath("pub/new dir")).exists());
    QVERIFY(!client.SetCurrentDirectory("missing"));
    QCOMPARE(client.FtpGetLastError(), 54);
    QVERIFY(!client.Busy());
    client.CloseConnection();
}

void ServerTests::deleteAndRename() {
    CFtpConnection client;
    QVERIFY(connect(client, "tester", "secret"));
    QFile f(root_.filePath("pub/old.bin"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("data") == 4);
    f.close();
    QVERIFY(client.SetCurrentDirectory("pub"));
    QVERIFY(client.RenameFile("old.bin", "renamed.bin"));
    QVERIFY(QFile::exists(root_.filePath("pub/renamed.bin")));
    QVERIFY(!client.RenameFile("missing.bin", "other.bin"));
    QCOMPARE(client.FtpGetLastError(), 54);
    QVERIFY(!server_.log().contains("other.bin")); // no RNTO after a refused RNFR
    QVERIFY(client.DeleteFile("renamed.bin"));
    QVERIFY(!QFile::exists(root_.filePath("pub/renamed.bin")));
    QVERIFY(!client.DeleteFile("renamed.bin"));
    QCOMPARE(client.FtpGetLastError(), 54);
    client.CloseConnection();
}

void ServerTests::quit() {
    CFtpConnection client;
    QVERIFY(connect(client));
    QVERIFY(client.CloseConnection());
    QVERIFY(testsupport::waitUntil([&] { return server_.log().contains("QUIT"); }, 30000));
    QVERIFY(!client.SetCurrentDirectory("pub")); // closed: the send fails quietly
    QCOMPARE(client.FtpGetLastError(), 4);
}

QTEST_GUILESS_MAIN(ServerTests)
#include "server_tests.moc"
