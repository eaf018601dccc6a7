// Faults on this machine's side of an update. After each the product's executable is the old
// build or the new one, whole and runnable, and "&Update" again (resuming) puts the new one.
#include "mounts.h"
#include "scripted_ftp.h"
#include "window_fixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <cstdio>
#include <optional>

using testsupport::NginxServer;
using testsupport::ScratchMount;
using testsupport::waitUntil;

namespace {

constexpr qint64 kBuildSize = 1 << 20;

// A product build: a script that prints its version, then bytes that are never run.
QByteArray productBuild(const char* version, qint64 size, quint32 seed) {
    QByteArray build = "#!/bin/sh\necho 'Quillon " + QByteArray(version) + "'\nexit 0\n";
    QRandomGenerator random(seed);
    while (build.size() < size)
        build += static_cast<char>(random.bounded(256));
    return build;
}

// The version the executable prints when it holds exactly `build`; otherwise what is wrong.
QString productIs(const QString& exe, const QByteArray& build) {
    const QByteArray now = readAll(exe);
    if (now != build)
        return QStringLiteral("%1 bytes, not the build's %2").arg(now.size()).arg(build.size());
    QProcess run;
    run.start(exe, {});
    if (!run.waitForFinished(60000))
        return QStringLiteral("does not run: ") + run.errorString();
    return QString::fromLatin1(run.readAllStandardOutput()).trimmed();
}

// One update from nginx into the scratch folder, with the old build installed.
struct Update {
    WindowFixture f;
    QTemporaryDir www;
    NginxServer nginx;
    const QByteArray oldBuild = productBuild("1.0", 5000, 1);
    const QByteArray newBuild = productBuild("2.0", kBuildSize, 2);
    QString exe = f.path(QStringLiteral("product.exe"));
    QString save;
    QString address; // the update's address when it is not nginx's

    bool start(const QString& nginxConfig = QString()) {
        return writeFile(www.filePath(QStringLiteral("new.exe")), newBuild) &&
               nginx.start(www.path(), nginxConfig) && writeFile(exe, oldBuild) &&
               QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString url() const {
        return address.isEmpty() ? nginx.url(QStringLiteral("/new.exe")) : address;
    }
    // A fresh window, as the updater opens after a start: the boxes filled, the timers on.
    app::frmMain& open(const QString& saveName) {
        save = f.path(saveName);
        app::frmMain& w = f.open(url(), saveName);
        w.Text2->setText(exe);
        w.tmrTimeLeft->start();
        return w;
    }
    // Restarts the updater and presses "&Update", answering the file-exists question with
    // `answer`; true once the update has completed.
    bool restart(const QString& answer) {
        app::frmMain& w = open(QDir(f.path(QString())).relativeFilePath(save));
        f.ui.dialogAnswers = {answer};
        w.cmdDownload->click();
        return waitUntil([&] { return w.cmdRun->isEnabled(); }, 180000);
    }
    bool failedWith(const char* reason) const {
        return !f.ui.messages.isEmpty() && f.ui.messages.last().prompt.contains(reason) &&
               f.ui.messages.last().icon == app::MsgIcon::Critical;
    }
};

// The child process: one press of "&Update" in a window of its own, the file-exists question
// answered "&Resume". Exits 0 once the update has completed without a message.
int runUpdaterChild(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments(); // self --child url save exe
    ScriptedUi ui;
    ui.dialogAnswers = {QStringLiteral("cmdResume")};
    app::frmMain w;
    w.txtURL->setText(args[2]);
    w.TxtPath->setText(args[3]);
    w.Text2->setText(args[4]);
    w.cmdDownload->click();
    if (app::Download().IsResuming)
        std::printf("resumed at %lld\n", static_cast<long long>(app::Download().ResumeBase));
    std::fflush(stdout);
    waitUntil([&] { return w.cmdRun->isEnabled() || !ui.messages.isEmpty(); }, 180000);
    for (const RecordedMessage& m : ui.messages)
        std::fprintf(stderr, "message: %s\n", qPrintable(m.prompt));
    return w.cmdRun->isEnabled() && ui.messages.isEmpty() ? 0 : 1;
}

} // namespace

class LocalFaultTests : public QObject {
    Q_OBJECT
private slots:
    void refused_data();
    void refused();
    void killed_data();
    void killed();
};

// The save folder's disk fills during the download (FTP in small pieces onto a disk one byte
// too small, so the end would sit in a write buffer of the client); the product's folder is
// read-only, or too full for the copy a download on another disk needs; the save folder is
// removed mid-transfer (nothing is written elsewhere, and there is nothing to resume).
void LocalFaultTests::refused_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<qint64>("disk");
    QTest::addColumn<QString>("reason");
    const QString full = "No space left on device";
    QTest::newRow("http, a quarter fits") << "http" << kBuildSize / 4 << full;
    QTest::newRow("ftp, all but the last byte fits") << "ftp" << qint64(65536) << full;
    QTest::newRow("read-only") << "read-only" << qint64(0) << "Read-only file system";
    QTest::newRow("disk full at replacement") << "full" << kBuildSize / 2 << full;
    QTest::newRow("save folder removed") << "removed" << qint64(0) << "No such file or directory";
}

void LocalFaultTests::refused() {
    QFETCH(QString, mode);
    QFETCH(qint64, disk);
    QFETCH(QString, reason);
    const bool atReplacement = mode == "read-only" || mode == "full";
    Update u;
    const QString folder = u.f.path(atReplacement ? "product" : "small");
    QVERIFY(QDir().mkdir(folder));
    if (atReplacement)
        u.exe = folder + QStringLiteral("/product.exe");
    ScratchMount mount;
    if (mode != "removed" &&
        !(mode == "read-only" ? mount.bindSelf(folder) : mount.tmpfs(folder, disk)))
        QSKIP(qPrintable(mount.errorText()));
    QVERIFY2(u.start(mode == "removed" ? "limit_rate 262144;" : ""),
             qPrintable(u.nginx.errorText()));
    const QByteArray build = mode == "ftp" ? productBuild("2.0", disk + 1, 3) : u.newBuild;
    // A scripted server answers one control connection; it sends the file in paced pieces
    // (real servers send what the socket takes).
    std::optional<ScriptedFtpFile> server;
    const auto serve = [&] {
        if (mode == "ftp") {
            server.emplace(build, build.size(), "new.exe").piece = 1000;
            u.address = server->url();
        }
    };
    serve();
    app::frmMain& w = u.open(mode == "full" ? "dl.bin" : QFileInfo(folder).fileName() + "/dl.bin");
    if (atReplacement) { // the replacement waits until the folder refuses it
        w.tmrTimeLeft->stop();
        w.cmdDownload->click();
        QVERIFY(u.f.waitForDownload(kBuildSize));
        QVERIFY(mode != "read-only" || mount.readOnly(true));
        w.tmrTimeLeft->start();
    } else {
        w.cmdDownload->click();
    }
    if (mode == "removed") {
        QVERIFY(waitUntil([] { return app::Download().Received > 0; }));
        QVERIFY(QDir(folder).removeRecursively());
    }
    QVERIFY(waitUntil([&] { return !u.f.ui.messages.isEmpty() || w.cmdRun->isEnabled(); }));
    QVERIFY2(u.failedWith(qPrintable(reason)), qPrintable(u.f.ui.messages.value(0).prompt));
    QCOMPARE(u.f.ui.messages.last().title,
             atReplacement ? QString("Application Error") : QString(app::kAppTitle));
    QCOMPARE(productIs(u.exe, u.oldBuild), QString("Quillon 1.0"));
    if (atReplacement) {
        QCOMPARE(readAll(u.save), u.newBuild);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(),
                 mode == "read-only" ? 2 : 1);
    } else {
        QCOMPARE(u.f.buttons(), QString("10010")); // back to idle
        const qint64 partial = QFileInfo(u.save).size();
        QVERIFY(mode == "removed" ? !QFile::exists(u.save) : partial > 0 && partial < build.size());
    }

    if (mode == "removed")
        QVERIFY(QDir().mkdir(folder));
    else
        QVERIFY(mode == "read-only" ? mount.readOnly(false) : mount.resize(kBuildSize * 4));
    serve();
    QVERIFY(u.restart(QStringLiteral("cmdResume")));
    QCOMPARE(u.f.ui.dialogsShown, mode == "removed" ? 0 : 1);
    QVERIFY2(u.f.ui.messages.size() == 1, qPrintable(u.f.ui.messages.last().prompt));
    QCOMPARE(productIs(u.exe, build), QString("Quillon 2.0"));
    QVERIFY(!QFile::exists(u.save));
}

// The updater runs as a child process under strace, which kills it with SIGKILL when it
// enters the nth of the given system calls: a write of the download, or the rename that puts
// the download in place. A second run, resuming, must finish the update.
void LocalFaultTests::killed_data() {
    QTest::addColumn<QString>("calls");
    QTest::addColumn<int>("nth");
    QTest::newRow("during the download") << "pwrite64" << 4;
    QTest::newRow("at the replacement") << "rename,renameat,renameat2" << 1;
    // The executable's folder on a disk of its own; the one flush is the copy's, taken just
    // before it is renamed into place.
    QTest::newRow("copying to another disk") << "fsync" << 1;
}

void LocalFaultTests::killed() {
    QFETCH(QString, calls);
    QFETCH(int, nth);
    const bool otherDisk = calls == "fsync";
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        QSKIP("strace is not installed (scripts/setup.sh installs it)");
    Update u;
    const QString folder = u.f.path(QStringLiteral("product"));
    ScratchMount mount;
    if (otherDisk) {
        QVERIFY(QDir().mkdir(folder));
        if (!mount.tmpfs(folder, kBuildSize * 4))
            QSKIP(qPrintable(mount.errorText()));
        u.exe = folder + QStringLiteral("/product.exe");
    }
    QVERIFY2(u.start(QStringLiteral("limit_rate 1048576;")), qPrintable(u.nginx.errorText()));
    u.save = u.f.path(QStringLiteral("dl.bin"));
    const QStringList child = {QApplication::applicationFilePath(), QStringLiteral("--child"),
                               u.url(), u.save, u.exe};
    QProcess traced;
    traced.start(strace,
                 QStringList{"-f", "-qq", "-o", "/dev/null", "-e", "trace=" + calls, "-e",
                             QStringLiteral("inject=%1:signal=KILL:when=%2").arg(calls).arg(nth)} +
                     child);
    QVERIFY(traced.waitForFinished(180000));
    QVERIFY2(traced.exitStatus() == QProcess::CrashExit, traced.readAllStandardError().constData());
    QCOMPARE(productIs(u.exe, u.oldBuild), QString("Quillon 1.0"));
    const qint64 partial = QFileInfo(u.save).size();
    if (calls != "pwrite64") // the download was whole
        QCOMPARE(readAll(u.save), u.newBuild);
    else
        QVERIFY2(partial > 0 && partial < kBuildSize, qPrintable(QString::number(partial)));

    QProcess restarted;
    restarted.start(child.first(), child.mid(1));
    QVERIFY(restarted.waitForFinished(180000));
    QVERIFY2(restarted.exitStatus() == QProcess::NormalExit && restarted.exitCode() == 0,
             restarted.readAllStandardError().constData());
    QVERIFY(restarted.readAllStandardOutput().startsWith("resumed at "));
    QCOMPARE(productIs(u.exe, u.newBuild), QString("Quillon 2.0"));
    QVERIFY(!QFile::exists(u.save));
    if (otherDisk) // the copy cut short has not stayed beside the product
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"product.exe"});
}

int main(int argc, char** argv) {
    if (argc == 5 && qstrcmp(argv[1], "--child") == 0)
        return runUpdaterChild(argc, argv);
    testsupport::privateMounts(); // without it, the destructors still unmount
    QApplication application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true);
    LocalFaultTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "local_fault_tests.moc"
