// Signed builds through the main window: builds and signatures made by Debian's minisign,
// served by nginx and pyftpdlib; each row is one update that must be installed or refused.
#include "signature_fetch.h"
#include "window_fixture.h"

#include <QLabel>
#include <sys/stat.h>

using namespace apptest;
using testsupport::runTool;
using testsupport::waitUntil;

namespace {

const QByteArray kOld = "old build";

} // namespace

class SignedUpdateTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void updates();
    void cancelledByClosing();
    void changedAfterArrival();
    void fetches();

private:
    bool sign(const QString& file, const QString& comment, const QString& key = "maker.key",
              const QStringList& more = {}) {
        return runTool(keys_.path(), "minisign",
                       QStringList{"-S", "-s", key, "-m", root_.filePath(file), "-t", comment} +
                           more);
    }
    QString url(const QString& scheme, const QString& file) const {
        return scheme == "ftp" ? "ftp://127.0.0.1/" + file + ":" + QString::number(ftp_.port())
                               : nginx_.url("/" + file);
    }

    QTemporaryDir keys_, root_;
    QByteArray key_;
    testsupport::NginxServer nginx_;
    testsupport::FtpServer ftp_;
};

// One build per case, each signed (or not) in its own way.
void SignedUpdateTests::initTestCase() {
    QVERIFY(runTool(keys_.path(), "minisign", {"-G", "-W", "-p", "maker.pub", "-s", "maker.key"}));
    QVERIFY(runTool(keys_.path(), "minisign", {"-G", "-W", "-p", "other.pub", "-s", "other.key"}));
    key_ = readAll(keys_.filePath("maker.pub")).trimmed().split('\n').last();
    for (const char* name : {"good", "byte", "comment", "other", "legacy", "none", "huge", "old"})
        QVERIFY(testsupport::writeRandomFile(root_.filePath(name), 300000 + qstrlen(name), 7));
    QVERIFY(sign("good", "version:2.10"));
    QVERIFY(sign("byte", "version:2.10"));
    QByteArray changed = readAll(root_.filePath("byte"));
    changed[150000] = char(changed[150000] ^ 1);
    QVERIFY(writeFile(root_.filePath("byte"), changed));
    QVERIFY(sign("comment", "version:2.10"));
    QByteArray sig = readAll(root_.filePath("comment.minisig"));
    QVERIFY(
        writeFile(root_.filePath("comment.minisig"), sig.replace("version:2.10", "version:3.0")));
    QVERIFY(sign("other", "version:2.10", "other.key"));
    QVERIFY(sign("legacy", "version:2.10", "maker.key", {"-l"}));
    QVERIFY(sign("old", "version:2.9"));
    QVERIFY(writeFile(root_.filePath("huge.minisig"), QByteArray(16 * 1024 + 1, '#')));
    QVERIFY2(nginx_.start(root_.path()), qPrintable(nginx_.errorText()));
    QVERIFY2(ftp_.start(root_.path()), qPrintable(ftp_.errorText()));
}

// Each row: the build, how it is fetched, the version accepted before it, and the reason for
// refusing it ("" when it must be installed).
void SignedUpdateTests::updates() {
    struct Row {
        const char* file;
        const char* scheme;
        const char* acceptedBefore;
        const char* refusal;
    };
    const QList<Row> rows = {
        {"good", "http", "", ""},
        {"good", "http", "2.9", ""}, // 2.10 is newer than 2.9
        {"good", "ftp", "2.10", ""},
        {"byte", "http", "", "The file does not match its signature."},
        {"comment", "http", "", "The signature's trusted comment does not match."},
        {"other", "http", "", "The signature was made with key "},
        {"legacy", "ftp", "", "The signature uses the legacy algorithm"},
        {"none", "http", "", "The signature could not be fetched from http://127.0.0.1:"},
        {"none", "ftp", "", "The signature could not be fetched from ftp://127.0.0.1/none"},
        {"huge", "http", "", "The signature is larger than 16 KiB."},
        {"huge", "ftp", "", "The signature is larger than 16 KiB."},
        {"old", "http", "2.10", "The build is version 2.9, older than version 2.10"},
    };
    for (const Row& r : rows) {
        const QString name =
            QString("%1 over %2 after '%3'").arg(r.file, r.scheme, r.acceptedBefore);
        WindowFixture f;
        auto& w = f.open(url(r.scheme, r.file), "dl.bin", true);
        w.setMakerKey(key_);
        QVERIFY(writeFile(f.path("product.exe"), kOld));
        if (*r.acceptedBefore)
            QVERIFY(writeFile(f.path("product.exe.version"), QByteArray(r.acceptedBefore) + "\n"));
        w.cmdDownload->click();
        QVERIFY2(
            waitUntil(
                [&] { return !f.ui.messages.isEmpty() || readAll(f.path("product.exe")) != kOld; },
                120000),
            qPrintable(name));
        const QString refusal = r.refusal;
        if (refusal.isEmpty()) {
            QVERIFY2(f.ui.messages.isEmpty(),
                     qPrintable(name + ": " + f.ui.messages.value(0).prompt));
            QVERIFY2(testsupport::sameFileContents(root_.filePath(r.file), f.path("product.exe")),
                     qPrintable(name));
            QCOMPARE(readAll(f.path("product.exe.version")), QByteArray("2.10\n"));
            QCOMPARE(w.lblStatus->text(), QString("Download Completed"));
            continue;
        }
        QCOMPARE(f.ui.messages.size(), 1);
        const RecordedMessage m = f.ui.messages[0];
        const QString lead = "The downloaded file is not signed by the maker of the product. The "
                             "product was not changed.\r\n";
        QVERIFY2(m.prompt.startsWith(lead + refusal), qPrintable(name + ": " + m.prompt));
        QCOMPARE(m.title, QString("Update Not Verified"));
        QCOMPARE(m.icon, app::MsgIcon::Critical);
        QCOMPARE(readAll(f.path("product.exe")), kOld);
        QVERIFY2(!QFile::exists(f.path("dl.bin")), qPrintable(name));
        QCOMPARE(readAll(f.path("product.exe.version")),
                 QByteArray(r.acceptedBefore) + (*r.acceptedBefore ? "\n" : ""));
        QVERIFY(waitUntil([&] { return w.cmdDownload->isEnabled(); }));
        QCOMPARE(w.lblStatus->text(), QString("Update Not Verified"));
    }
    QVERIFY(ftp_.log().contains("RETR good.minisig"));
    QCOMPARE(app::SignatureAddress("ftp://u:p@h/d/f.bin:2121"), "ftp://u:p@h/d/f.bin.minisig:2121");
    QCOMPARE(app::SignatureAddress("ftp://h/d:x/f.bin"), "ftp://h/d:x/f.bin.minisig");
    QCOMPARE(app::SignatureAddress("FTPS://h/f.bin:990"), "FTPS://h/f.bin.minisig:990");
    QCOMPARE(app::SignatureAddress("ftps://h:1/f.bin"), "ftps://h:1/f.bin.minisig");
}

// Closing the window while the signature is on its way leaves everything as it was: the
// download stays for another try and the executable is not touched.
void SignedUpdateTests::cancelledByClosing() {
    WindowFixture f;
    const QByteArray build = pattern(5000, 3);
    testsupport::ScriptedServer server;
    server.setHandler([&](testsupport::ScriptedConnection& c) {
        if (c.received().contains("\r\n\r\n") && !c.received().contains(".minisig"))
            c.send(okResponse(build));
    });
    auto& w = f.open("http://127.0.0.1:" + QString::number(server.port()) + "/b", "dl.bin", true);
    w.setMakerKey(key_);
    QVERIFY(writeFile(f.path("product.exe"), kOld));
    // The check waits inside the window's handler, so the user's close comes as an event.
    QString seen;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (w.lblStatus->text() != "Checking the maker's signature" || !seen.isEmpty())
            return;
        seen = f.buttons();
        w.close();
    });
    user.start(5);
    w.cmdDownload->click();
    QVERIFY(waitUntil([&] { return !seen.isEmpty(); }));
    QCOMPARE(seen, QString("00001")); // Pause and Stop wait while the check runs
    QVERIFY(waitUntil([&] { return w.lblStatus->text() != "Checking the maker's signature"; }));
    QCOMPARE(readAll(f.path("dl.bin")), build);
    QCOMPARE(readAll(f.path("product.exe")), kOld);
    QVERIFY(f.ui.messages.isEmpty());
}

// The download is checked as it stands when it is renamed: a byte changed after it arrived
// (here while its signature is on its way) is found, though its digest was taken as it came.
void SignedUpdateTests::changedAfterArrival() {
    QVERIFY(QFile::copy(root_.filePath("good"), root_.filePath("late")));
    QVERIFY(sign("late", "version:2.10"));
    const QByteArray build = readAll(root_.filePath("late"));
    const QByteArray signature = readAll(root_.filePath("late.minisig"));
    testsupport::ScriptedConnection* waiting = nullptr; // the signature's request
    testsupport::ScriptedServer server;
    server.setHandler([&](testsupport::ScriptedConnection& c) {
        if (!c.received().contains("\r\n\r\n") || c.property("seen").toBool())
            return;
        c.setProperty("seen", true);
        if (c.received().startsWith("GET /late.minisig "))
            waiting = &c;
        else
            c.send(okResponse(build));
    });
    WindowFixture f;
    auto& w =
        f.open("http://127.0.0.1:" + QString::number(server.port()) + "/late", "dl.bin", true);
    w.setMakerKey(key_);
    QVERIFY(writeFile(f.path("product.exe"), kOld));
    QTimer attacker; // runs inside the check's wait, as anything else on the machine could
    QObject::connect(&attacker, &QTimer::timeout, [&] {
        if (!waiting)
            return;
        struct stat before {
        }, after{};
        const QByteArray name = QFile::encodeName(f.path("dl.bin"));
        ::stat(name.constData(), &before);
        after = before;
        QFile file(f.path("dl.bin"));
        if (!file.open(QIODevice::ReadWrite))
            return;
        // The file's change time may tick coarsely: changed until it shows.
        for (char c = 'a'; after.st_ctim.tv_sec == before.st_ctim.tv_sec &&
                           after.st_ctim.tv_nsec == before.st_ctim.tv_nsec;
             ++c) {
            file.seek(1000);
            file.write(QByteArray(1, c));
            file.flush();
            ::stat(name.constData(), &after);
            QTest::qWait(1);
        }
        std::exchange(waiting, nullptr)->send(okResponse(signature));
    });
    attacker.start(5);
    w.cmdDownload->click();
    QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }));
    QVERIFY2(f.ui.messages[0].prompt.endsWith("\r\nThe file does not match its signature."),
             qPrintable(f.ui.messages[0].prompt));
    QCOMPARE(readAll(f.path("product.exe")), kOld);
    QVERIFY(!QFile::exists(f.path("dl.bin")));
}

// The signature's fetch against servers that misbehave: each row is the server's answer to
// the first request (and, for a redirect, to the second) and what the fetch makes of it.
void SignedUpdateTests::fetches() {
    const QByteArray small(100, 's');
    struct Row {
        const char* name;
        QByteArray answer;
        QString body; // expected body, or the error's end
        bool close;   // the server closes after its answer
    };
    const QList<Row> rows = {
        {"no length, closed", "HTTP/1.0 200 OK\r\n\r\n" + small, QString(small), true},
        {"no length, too much", "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(16 * 1024 + 1, 'b'),
         "The signature is larger than 16 KiB.", true},
        {"length, cut short", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + small.left(50),
         ": the connection ended before the whole file arrived.", true},
        {"length, left open", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + small,
         QString(small), false},
        {"redirected", "HTTP/1.0 302 Found\r\nLocation: /moved\r\n\r\n", QString(small), true},
        {"silent", "", ": the server did not answer within 1 s.", false},
    };
    for (const Row& r : rows) {
        testsupport::ScriptedServer server;
        server.setHandler([&](testsupport::ScriptedConnection& c) {
            if (!c.received().contains("\r\n\r\n") || c.property("seen").toBool())
                return;
            c.setProperty("seen", true);
            const bool moved = c.received().startsWith("GET /moved ");
            if (moved)
                c.send(okResponse(small));
            else if (!r.answer.isEmpty())
                c.send(r.answer);
            if (r.close || moved)
                c.close();
        });
        app::FetchRoute route;
        route.silenceMs = 1000;
        app::SmallFileFetch fetch("http://127.0.0.1:" + QString::number(server.port()) + "/s",
                                  route, app::kMaxSignatureBytes);
        const app::FetchResult got = fetch.Run();
        const QString outcome = got.error.isEmpty() ? QString(got.body) : got.error;
        QVERIFY2(outcome.endsWith(r.body), qPrintable(QString(r.name) + ": " + outcome));
    }
}

QTEST_MAIN(SignedUpdateTests)
#include "signed_update_tests.moc"
