// The window's HTTP transfer against scripted servers, friendly and hostile: each row ends in
// its message, a completed update, the wait for "&Stop", or no request at all, and checks the
// exact request, the executable never replaced by a wrong file, bounded memory and no
// descriptor left open. Then 40 MiB from nginx: directly, proxied, redirected and resumed.
#include "display_format.h"
#include "progress_picture.h"
#include "window_fixture.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTcpSocket>
#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>

using namespace apptest;
using testsupport::NginxServer;
using testsupport::sameFileContents;
using testsupport::ScriptedConnection;
using testsupport::ScriptedServer;
using testsupport::TinyproxyServer;
using testsupport::waitUntil;

namespace {

constexpr qint64 kBig = 40 * 1024 * 1024;
const char* kLocations = R"(
    location = /moved/one { return 302 /moved/two; }
    location = /moved/two { return 301 http://127.0.0.1:$server_port/moved/three; }
    location = /moved/three { return 307 ../build.bin; }
)";
const QByteArray kOld = "the old product build\n";
const QByteArray kBody = pattern(100000, 7);
const QByteArray kSmall = pattern(5000);
const char* kNotFound =
    "The file requested was not found on the server!\r\n\r\nPossible Reasons:\r\n"
    "- File Does Not Exist On Server\r\n- URL Given Was Script And Data Returned Was Invalid\r\n"
    "- URL Entered Was Incorrect\r\n- Server Is Excessively Busy\r\n\r\n"
    "You may reattempt to download.  If its still failure then most likely invalid url.";

QByteArray header(qint64 length) {
    return okResponse({}).replace("Length: 0", "Length: " + QByteArray::number(length));
}

QByteArray partial206(const QByteArray& full, qint64 from, const QByteArray& range = {}) {
    return "HTTP/1.1 206 Partial Content\r\nContent-Range: " +
           (range.isEmpty()
                ? "bytes " + QByteArray::number(from) + '-' + QByteArray::number(full.size() - 1) +
                      '/' + QByteArray::number(full.size())
                : range) +
           "\r\nContent-Length: " + QByteArray::number(full.size() - from) + "\r\n\r\n" +
           full.mid(from);
}

// Runs once the request has arrived; sets `done` when the server has played its part.
using Script = std::function<void(ScriptedConnection&, bool& done)>;

Script reply(const QByteArray& response, int piece = 0) {
    return [=](ScriptedConnection& c, bool& done) {
        c.sendInPieces(response, piece);
        c.close();
        done = true;
    };
}

// Drops the connection with a reset (RST) instead of an orderly close.
void resetConnection(ScriptedConnection& c) {
    if (auto* socket = c.findChild<QTcpSocket*>()) {
        const linger hard{1, 0};
        setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    c.abort();
}

// Header lines for as long as the client reads them.
void sendHeaderLinesForever(ScriptedConnection* c) {
    static const QByteArray lines =
        QByteArray("X-Filler: " + QByteArray(52, 'f') + "\r\n").repeated(256);
    c->sendInPieces(lines, 16384, [c] { sendHeaderLinesForever(c); });
}

enum class Ending { Completes, Message, Stop, Cancelled };

struct Row {
    const char* name;
    Script script;
    Ending ending;
    QByteArray file = kBody;  // the server's file: the new executable when the row completes
    QString prompt = {};      // of Ending::Message; "@" stands for the save path
    QByteArray existing = {}; // at the save path before, and the dialog's answer
    QString answer = "cmdResume";
    QByteArray range = {};     // of the request
    QStringList settings = {}; // "Name=value"; "proxy": the server is the proxy too
    QString title = app::kAppTitle;
    app::MsgIcon icon = app::MsgIcon::Critical;
    QString save = "dl.bin";
    // Ending::Stop: what must hold before "&Stop" is pressed (besides `done`).
    std::function<bool(app::frmMain&)> running = [](app::frmMain&) { return true; };
    rlim_t fileLimit = 0; // the process's file-size limit during the row
};

QString serverError(const char* status) {
    return "Server returned the following error:\r\n" + QString(status);
}

// The first byte that a request asks for ("" when it has no Range line).
QByteArray rangeOf(const QByteArray& request) {
    const QByteArray field = "\r\nRange: bytes=";
    const qsizetype at = request.indexOf(field);
    if (at < 0)
        return {};
    const qsizetype from = at + field.size();
    return request.mid(from, request.indexOf('-', from) - from);
}

// A server that has `full`: a request with a Range line gets the rest from its first byte.
Script serve(const QByteArray& full) {
    return [=](ScriptedConnection& c, bool& done) {
        const QByteArray range = rangeOf(c.received());
        c.send(range.isEmpty() ? okResponse(full) : partial206(full, range.toLongLong()));
        c.close();
        done = true;
    };
}

// A partial file of 8000 resumed with the roll-back settings given; `seed` 1 makes it part of
// another version of the file, which is then fetched again from the start.
Row resumeRow(const char* name, int existing, QStringList settings, int base, int seed = 0) {
    const QByteArray full = pattern(8000);
    return {.name = name,
            .script = serve(full),
            .ending = Ending::Completes,
            .file = full,
            .existing = pattern(8000, seed).left(existing),
            .range = QByteArray::number(base),
            .settings = settings};
}

const QList<Row>& rows() {
    const auto completes = [](const char* name, const QByteArray& response, int piece = 0,
                              const QByteArray& file = kBody) {
        return Row{.name = name,
                   .script = reply(response, piece),
                   .ending = Ending::Completes,
                   .file = file};
    };
    const auto fails = [](const char* name, const QByteArray& response, const QString& prompt,
                          const QString& save = "dl.bin", rlim_t fileLimit = 0) {
        return Row{.name = name,
                   .script = reply(response, fileLimit ? 16384 : 0),
                   .ending = Ending::Message,
                   .prompt = prompt,
                   .save = save,
                   .fileLimit = fileLimit};
    };
    const auto resumeRefused = [](const char* name, const QByteArray& response) {
        return Row{.name = name,
                   .script = reply(response),
                   .ending = Ending::Message,
                   .prompt = "Server did not accept resuming.",
                   .existing = kBody.left(5000),
                   .range = "3976",
                   .title = "No Resuming Support"};
    };
    const auto exists = [](const char* name, Ending ending, const char* answer) {
        return Row{.name = name,
                   .script = reply(okResponse(kBody)),
                   .ending = ending,
                   .existing = QByteArray(6000, 'o'),
                   .answer = answer};
    };
    const QString cannotWrite = "Cannot write \"@\": ";
    static const QList<Row> list = {
        completes("whole", okResponse(kBody)),
        {.name = "via proxy",
         .script = reply(okResponse(kBody)),
         .ending = Ending::Completes,
         .settings = {"proxy"}},
        {.name = "ftp through the proxy",
         .script = reply(okResponse(kBody)),
         .ending = Ending::Completes,
         .settings = {"proxy", "Proxy FTP=True"}},
        completes("header byte by byte", okResponse(kSmall), 1, kSmall),
        completes("body beyond length", okResponse(kBody) + "trailing bytes, not the file"),
        exists("file exists, overwritten", Ending::Completes, "cmdOverwrite"),
        resumeRow("resume, defaults", 5000, {}, 3976),
        resumeRow("resume, amount not below size", 1000, {}, 1000),
        resumeRow("resume, amount equal to size", 1024, {}, 1024),
        resumeRow("resume, amount 0", 5000, {"Rollback Amount=0"}, 5000),
        resumeRow("resume, rollback off", 5000, {"Rollback=0"}, 5000),
        resumeRow("resume, negative amount", 5000, {"Rollback Amount=-5"}, 5000),
        resumeRow("resume, file changed on the server", 5000, {}, 3976, 1),
        {.name = "not found",
         .script = reply("HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"),
         .ending = Ending::Message,
         .prompt = kNotFound,
         .title = "File Not Found",
         .icon = app::MsgIcon::None},
        // Every request is sent back to itself: the window gives up after its redirect limit.
        fails("redirect loop", "HTTP/1.0 302 Found\r\nLocation: /dir/f.exe\r\n\r\n",
              serverError("HTTP/1.0 302 Found")),
        fails("unknown status", "HTTP/1.0 599 Odd\r\nContent-Length: 4\r\n\r\nbody",
              serverError("HTTP/1.0 599 Odd")),
        fails("closed before header end", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n",
              serverError("HTTP/1.0 200 OK")),
        fails("informational", "HTTP/1.0 199 Early\r\n\r\nbody", serverError("HTTP/1.0 199 Early")),
        fails("redirect without location", "HTTP/1.0 302 Found\r\nContent-Length: 0\r\n\r\n",
              serverError("HTTP/1.0 302 Found")),
        fails("redirect elsewhere than http(s)", "HTTP/1.0 301 Moved\r\nLocation: ftp://x/\r\n\r\n",
              serverError("HTTP/1.0 301 Moved")),
        fails("header over 64 KiB",
              "HTTP/1.0 200 OK\r\nX-Pad: " + QByteArray(70000, 'p') + "\r\n\r\nbody",
              serverError("HTTP/1.0 200 OK")),
        fails("not http", "SSH-2.0-server\r\n\r\n", serverError("SSH-2.0-server")),
        resumeRefused("200 to a resume", okResponse(kBody)),
        resumeRefused("206 from elsewhere", partial206(kBody, 0)),
        resumeRefused("206 range unreadable", partial206(kBody, 0, "bytes x-y/100000")),
        fails("save folder missing", okResponse(kSmall), cannotWrite + "No such file or directory",
              "no/such/folder/dl.bin"),
        // What was written stays when the file cannot grow.
        fails("file-size limit", okResponse(kBody), cannotWrite + "File too large", "dl.bin",
              65536),
        {.name = "endless header lines",
         .script =
             [](ScriptedConnection& c, bool&) {
                 c.send("HTTP/1.0 200 OK\r\n");
                 sendHeaderLinesForever(&c);
             },
         .ending = Ending::Message,
         .prompt = serverError("HTTP/1.0 200 OK")},
        {.name = "header never ends",
         .script =
             [](ScriptedConnection& c, bool& done) {
                 c.send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\nX-Slow: ");
                 c.sendInPieces(QByteArray(200, 's'), 1, [&done] { done = true; });
             },
         .ending = Ending::Stop},
        {.name = "accepts, never answers",
         .script = [](ScriptedConnection&, bool& done) { done = true; },
         .ending = Ending::Stop},
        {.name = "one byte a second",
         .script =
             [](ScriptedConnection& c, bool& done) {
                 c.send(header(kBody.size()) + kBody.left(1));
                 auto* tick = new QTimer(&c);
                 QObject::connect(tick, &QTimer::timeout, &c,
                                  [&c, sent = 1]() mutable { c.send(kBody.mid(sent++, 1)); });
                 tick->start(1000);
                 done = true;
             },
         .ending = Ending::Stop,
         .running =
             [](app::frmMain& w) {
                 const auto& d = app::Download();
                 return d.Received >= 3 && w.lblRecieve->text() == app::FormatSize(d.Received) &&
                        w.lblSize->text() == app::FormatSize(kBody.size());
             }},
        exists("file exists, cancelled", Ending::Cancelled, "cmdCancel"),
        exists("file exists, dialog closed", Ending::Cancelled, "close"),
    };
    return list;
}

} // namespace

class HttpWindowTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void transfers_data();
    void transfers();
    void otherScheme();
    void reconnects_data();
    void reconnects();
    void bigFile_data();
    void bigFile();

private:
    QTemporaryDir docRoot_;
    QString source_;
    NginxServer nginx_;
};

void HttpWindowTests::initTestCase() {
    source_ = docRoot_.filePath("build.bin");
    QVERIFY(testsupport::writeRandomFile(source_, kBig, 7));
    QVERIFY2(nginx_.start(docRoot_.path(), kLocations), qPrintable(nginx_.errorText()));
    // What Qt opens once per process is opened before any row counts descriptors.
    WindowFixture f;
    f.open("http://127.0.0.1/");
    ScriptedServer warmUp;
}

void HttpWindowTests::transfers_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < rows().size(); ++i)
        QTest::newRow(rows().at(i).name) << i;
}

void HttpWindowTests::transfers() {
    QFETCH(int, index);
    const Row& r = rows().at(index);
    const ResourceProbe probe;
    {
        WindowFixture f;
        const QString exe = f.path("product.exe");
        QVERIFY(writeFile(exe, kOld) && ::chmod(QFile::encodeName(exe).constData(), 0750) == 0);
        ScriptedServer server;
        QByteArray host = "127.0.0.1:" + QByteArray::number(server.port());
        for (const QString& s : r.settings) {
            if (s == "proxy") {
                f.useProxy(server.port());
                host = "files.example:81";
            } else {
                f.setSetting(s.section('=', 0, 0).toLatin1().constData(), s.section('=', 1));
            }
        }
        // "Proxy FTP" sends ftp:// addresses to the proxy, without the port after the file name.
        const bool ftp = r.settings.contains("Proxy FTP=True");
        if (ftp)
            host = "files.example";
        const QByteArray url =
            ftp ? "ftp://" + host + "/f.exe:21" : "http://" + host + "/dir/f.exe";
        const QString save = f.path(r.save);
        if (!r.existing.isNull()) {
            QVERIFY(writeFile(save, r.existing));
            f.ui.dialogAnswers = {r.answer};
        }
        bool done = false;
        server.setHandler([&](ScriptedConnection& c) {
            if (c.property("answered").toBool() || !c.received().contains("\r\n\r\n"))
                return;
            c.setProperty("answered", true);
            r.script(c, done);
        });
        rlimit oldLimit{};
        getrlimit(RLIMIT_FSIZE, &oldLimit);
        const auto oldHandler = std::signal(SIGXFSZ, r.fileLimit ? SIG_IGN : SIG_DFL);
        rlimit limit{r.fileLimit, oldLimit.rlim_max};
        QVERIFY(!r.fileLimit || setrlimit(RLIMIT_FSIZE, &limit) == 0);
        auto& w = f.open(QString::fromLatin1(url), r.save, true);
        // A refusal closes the connection before it asks, so nothing arrives while it is open.
        bool closedAtMessage = true;
        if (r.ending == Ending::Message)
            f.ui.onMessage = [&] { closedAtMessage &= w.sckDownload->State() == net::sckClosed; };
        w.cmdDownload->click();
        QCOMPARE(f.ui.dialogsShown, r.existing.isNull() ? 0 : 1);

        switch (r.ending) {
        case Ending::Cancelled:
            QCOMPARE(f.buttons(), QString("10000")); // Update on; Pause, Stop and Exit off
            QVERIFY(!server.waitForConnections(1, 300));
            break;
        case Ending::Message:
            // A client that buffered without bound would pass the ceiling long before this.
            QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty() || probe.overCeiling(); }));
            setrlimit(RLIMIT_FSIZE, &oldLimit);
            QVERIFY(!probe.overCeiling());
            QCOMPARE(f.ui.messages.first().prompt + '|' + f.ui.messages.first().title,
                     QString(r.prompt).replace("@", save) + '|' + r.title);
            QVERIFY(f.ui.messages.first().icon == r.icon && closedAtMessage);
            QCOMPARE(f.buttons(), QString("10010"));
            QVERIFY(!app::Download().IsResuming);
            // The client hangs up: nothing more is read from this server.
            QVERIFY(waitUntil([&] { return !server.connections().first()->isOpen(); }));
            if (!r.fileLimit)
                QCOMPARE(QFile::exists(save), !r.existing.isNull());
            break;
        case Ending::Stop: {
            QVERIFY(waitUntil([&] { return done && r.running(w); }));
            QVERIFY(f.ui.messages.isEmpty());
            QCOMPARE(f.buttons(), QString("01100"));
            f.ui.answers = {app::vbNo, app::vbYes};
            const int state = w.sckDownload->State();
            w.cmdStop->click(); // "No": nothing changes
            const RecordedMessage m = f.ui.messages.first();
            QCOMPARE(m.prompt + '|' + m.title, QString("Stop Update Software !|Stop Update"));
            QVERIFY(m.buttons == app::MsgButtons::YesNo && m.icon == app::MsgIcon::None);
            QCOMPARE(w.sckDownload->State(), state);
            QCOMPARE(f.buttons(), QString("01100"));
            w.cmdStop->click();
            QCOMPARE(w.lblStatus->text(), QString("Download Aborted"));
            QCOMPARE(w.sckDownload->State(), int(net::sckClosed));
            QCOMPARE(f.buttons(), QString("10010"));
            QCOMPARE(app::Download().Received, qint64(0));
            break;
        }
        case Ending::Completes:
            QVERIFY(waitUntil([&] { return f.buttons() == "10011"; }));
            QCOMPARE(w.lblStatus->text() + '|' + w.lblSpeed->text(),
                     QString("Download Completed|0"));
            QCOMPARE(app::Download().Received, qint64(0));
            QVERIFY(f.ui.messages.isEmpty());
            QVERIFY(!QFile::exists(save));
            QCOMPARE(modeOf(exe), mode_t(0750)); // the old executable's mode is kept
            break;
        }
        std::signal(SIGXFSZ, oldHandler);
        setrlimit(RLIMIT_FSIZE, &oldLimit);
        if (r.ending != Ending::Cancelled) {
            const QByteArray target = ftp                            ? url.chopped(3)
                                      : r.settings.contains("proxy") ? url
                                                                     : "/dir/f.exe";
            QCOMPARE(server.connections().at(0)->received(),
                     expectedRequest(target, host, r.range));
        }
        QCOMPARE(readAll(exe), r.ending == Ending::Completes ? r.file : kOld);
        // What stays at the save path is the old file untouched or a true prefix of the file.
        const QByteArray kept = readAll(save);
        if (r.ending != Ending::Completes)
            QVERIFY2(r.existing.isNull() ? r.file.startsWith(kept) : kept == r.existing,
                     qPrintable(QString::number(kept.size())));
        QVERIFY(!r.fileLimit || (kept.size() > 0 && kept.size() <= qint64(r.fileLimit)));
    }
    probe.verify();
}

// Another scheme fetches nothing.
void HttpWindowTests::otherScheme() {
    WindowFixture f;
    ScriptedServer server;
    f.open("gopher://127.0.0.1:" + QString::number(server.port()) + "/x").cmdDownload->click();
    QVERIFY(!server.waitForConnections(1, 300));
    QCOMPARE(f.buttons(), QString("01100"));
    QVERIFY(!QFile::exists(f.path("dl.bin")));
}

// 40 MiB arrive byte-identical: directly, through the proxy, after three redirects, and
// resumed from a partial file (its last KiB fetched again and compared).
void HttpWindowTests::bigFile_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("proxy");
    QTest::addColumn<qint64>("partial");
    QTest::newRow("direct") << "/build.bin" << false << qint64(0);
    QTest::newRow("through tinyproxy") << "/build.bin" << true << qint64(0);
    QTest::newRow("redirect chain") << "/moved/one" << false << qint64(0);
    QTest::newRow("resumed with roll-back") << "/build.bin" << false << qint64(25 << 20);
}
void HttpWindowTests::bigFile() {
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
        QVERIFY(writeFile(f.path("dl.bin"), in.read(partial)));
        f.ui.dialogAnswers = {"cmdResume"};
    }
    auto& w = f.open(nginx_.url(path));
    w.cmdDownload->click();
    QCOMPARE(app::Download().ResumeBase, partial > 0 ? partial - 1024 : 0);
    QVERIFY(f.waitForDownload(kBig));
    QCOMPARE(app::Download().ResumeBase, partial > 0 ? partial - 1024 : 0); // not started over
    QVERIFY(sameFileContents(source_, f.path("dl.bin")));
    QCOMPARE(app::Download().DownloadURL, nginx_.url("/build.bin"));
    QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->text(), QString("Download Completed"), 60000);
    if (proxy)
        QVERIFY(waitUntil([&] { return tinyproxy.log().contains("/build.bin"); }, 30000));
    QVERIFY(f.ui.messages.isEmpty());
}

// Each connection acts in turn: "half" sends the header and half the file, then closes ("half,
// reset": drops it with a reset; "half,gone": the server then refuses connections until the
// second wait); "206" the rest from the Range asked for ("206,short": 25000 bytes less); "200"
// the whole file (a refused range); "drop" closes before any answer. `user` presses "&Stop"
// or "&Pause" (then "&Resume") while the first reconnection waits. Checked at each
// connection: its Range line, the status label shown then, and the wait before it.
void HttpWindowTests::reconnects_data() {
    QTest::addColumn<QStringList>("acts");
    QTest::addColumn<bool>("existing"); // resumed from 5000 bytes of another version
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("ranges");
    QTest::addColumn<QStringList>("labels"); // the start of each; "" for the bar shown
    QTest::addColumn<QString>("ending");     // "completes", a message, or the status label
    const QString lost = "The connection was lost before the whole file arrived.";
    const auto tries = [](int count) {
        QStringList labels{""};
        for (int i = 1; i <= count; ++i)
            labels << QString("Connection lost: reconnecting (try %1 of 5)").arg(i);
        return labels;
    };
    const QStringList half = {"", "50000"};
    QTest::newRow("short once") << QStringList{"half", "206"} << false << "" << half << tries(1)
                                << "completes";
    QTest::newRow("reset half-way")
        << QStringList{"half,reset", "206"} << false << "" << half << tries(1) << "completes";
    QTest::newRow("short, then five drops")
        << QStringList{"half", "drop", "drop", "drop", "drop", "drop"} << false << ""
        << (QStringList{""} + QStringList(5, "50000")) << tries(5) << lost;
    QTest::newRow("server gone for a try")
        << QStringList{"half,gone", "206"} << false << "" << half
        << QStringList{"", "Connection lost: reconnecting (try 2 of 5)"} << "completes";
    QTest::newRow("progress, then short again")
        << QStringList{"half", "206,short", "drop", "206"} << false << ""
        << QStringList{"", "50000", "75000", "75000"} << (tries(1) << tries(2).mid(1))
        << "completes";
    QTest::newRow("range refused") << QStringList{"half", "200"} << false << "" << half << tries(1)
                                   << "Server did not accept resuming.";
    QTest::newRow("stop in the wait") << QStringList{"half"} << false << "stop" << QStringList{""}
                                      << tries(0) << "Download Aborted";
    QTest::newRow("pause in the wait") << QStringList{"half", "206"} << false << "pause" << half
                                       << QStringList{"", ""} << "completes";
    QTest::newRow("file changed on the server")
        << QStringList{"206", "200"} << true << "" << QStringList{"3976", ""}
        << QStringList{"", "The file on the server has changed"} << "completes";
}
void HttpWindowTests::reconnects() {
    QFETCH(QStringList, acts);
    QFETCH(bool, existing);
    QFETCH(QString, user);
    QFETCH(QStringList, ranges);
    QFETCH(QStringList, labels);
    QFETCH(QString, ending);
    WindowFixture f;
    QVERIFY(writeFile(f.path("product.exe"), kOld));
    if (existing) {
        QVERIFY(writeFile(f.path("dl.bin"), pattern(kBody.size(), 1).left(5000)));
        f.ui.dialogAnswers = {"cmdResume"};
    }
    ScriptedServer server;
    const QByteArray host = "127.0.0.1:" + QByteArray::number(server.port());
    auto& w = f.open("http://" + host + "/dir/f.exe", "dl.bin", true);
    QStringList shown;
    QList<qint64> arrivals;
    bool barShown = false;
    QElapsedTimer clock;
    clock.start();
    server.setHandler([&](ScriptedConnection& c) {
        if (c.property("answered").toBool() || !c.received().contains("\r\n\r\n"))
            return;
        c.setProperty("answered", true);
        shown << (w.lblStatus->isHidden() ? "" : w.lblStatus->text());
        arrivals << clock.elapsed();
        const QString act = acts.value(server.connections().indexOf(&c), "drop");
        // Runs `then` once the window holds `bytes` (bytes a reset may otherwise discard).
        const auto once = [&c](qint64 bytes, std::function<void()> then) {
            auto* poll = new QTimer(&c);
            QObject::connect(poll, &QTimer::timeout, [=] {
                if (app::Download().Received == bytes)
                    poll->stop(), then();
            });
            poll->start(10);
        };
        const qint64 from = rangeOf(c.received()).toLongLong();
        if (act.startsWith("half")) {
            c.send(header(kBody.size()) + kBody.left(50000));
            if (act == "half,gone")
                server.setListening(false);
            return act == "half,reset" ? once(50000, [&c] { resetConnection(c); }) : c.close();
        }
        if (act == "206,short") { // what shows while the rest arrives again
            c.send(partial206(kBody, from).chopped(25000));
            return once(75000, [&, &c = c] {
                barShown = w.lblStatus->isHidden() && !w.picDownloadProgress->isHidden();
                c.close();
            });
        }
        c.send(act == "206" ? partial206(kBody, from) : act == "200" ? okResponse(kBody) : "");
        c.close();
    });
    w.cmdDownload->click();
    if (acts.first() == "half,gone") { // the first try is refused
        QVERIFY(waitUntil([&] { return w.lblStatus->text().contains("in 2 s (try 2 of 5)"); }));
        server.setListening(true);
    }
    if (!user.isEmpty()) {
        QVERIFY(waitUntil([&] { return w.lblStatus->text().startsWith("Connection lost"); }));
        QCOMPARE(w.lblStatus->text(), QString("Connection lost: reconnecting in 1 s (try 1 of 5)"));
        f.ui.answers = {app::vbYes};
        if (user == "stop")
            w.cmdStop->click();
        else
            w.cmdPause->click();
        QVERIFY(!server.waitForConnections(2, 2500)); // the wait is over: no try follows
        if (user == "pause") {
            QCOMPARE(w.cmdPause->text() + '|' + w.lblStatus->text(), "&Resume|Download Paused");
            w.cmdPause->click();
        }
    }
    if (ending == "completes") {
        QVERIFY(waitUntil([&] { return f.buttons() == "10011"; }));
        QCOMPARE(readAll(f.path("product.exe")), kBody);
        QVERIFY(f.ui.messages.isEmpty());
    } else if (ending.startsWith("Download")) {
        QCOMPARE(w.lblStatus->text() + '|' + f.buttons(), ending + "|10010");
    } else {
        QVERIFY(waitUntil([&] { return !f.ui.messages.isEmpty(); }, 120000));
        const RecordedMessage m = f.ui.messages.first();
        QCOMPARE(m.prompt, ending);
        QVERIFY(m.icon == app::MsgIcon::Critical && m.buttons == app::MsgButtons::OK);
        QCOMPARE(f.buttons(), QString("10010"));
        QCOMPARE(readAll(f.path("dl.bin")), kBody.left(50000)); // kept for a later resume
    }
    QCOMPARE(server.connections().size(), acts.size());
    QCOMPARE(barShown, acts.contains("206,short"));
    for (int i = 0; i < acts.size(); ++i) {
        QCOMPARE(server.connections().at(i)->received(),
                 expectedRequest("/dir/f.exe", host, ranges.at(i).toLatin1()));
        QVERIFY2(shown.at(i).startsWith(labels.at(i)), qPrintable(shown.at(i)));
        // Try k waits 2^(k-1) s (a coarse timer may fire up to 5 % early).
        if (const int k = labels.at(i).section("try ", 1).section(' ', 0, 0).toInt(); k > 0)
            QVERIFY(arrivals.at(i) - arrivals.at(i - 1) >= 940 << (k - 1));
    }
}

QTEST_MAIN(HttpWindowTests)
#include "http_window_tests.moc"
