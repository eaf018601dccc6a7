// Faults on this machine's side of an update: a full disk, the save folder removed, the
// product's folder read-only or full, and the updater killed during the download and at the
// replacement. After each the product's executable is the old build or the new one, whole
// and runnable, and pressing "&Update" again (resuming) ends with the new build in place.
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
    void diskFull_data();
    void diskFull();
    void saveFolderRemovedMidTransfer();
    void replacementRefused_data();
    void replacementRefused();
    void killed_data();
    void killed();
};

// The save folder's disk fills during the download. FTP comes in small pieces onto a disk
// one byte too small, so the end of the file would sit in a write buffer of the client.
void LocalFaultTests::diskFull_data() {
    QTest::addColumn<bool>("ftp");
    QTest::addColumn<qint64>("disk");
    QTest::newRow("http, a quarter fits") << false << kBuildSize / 4;
    QTest::newRow("ftp, all but the last byte fits") << true << qint64(65536);
}

void LocalFaultTests::diskFull() {
    QFETCH(bool, ftp);
    QFETCH(qint64, disk);
    Update u;
    QVERIFY2(u.start(), qPrintable(u.nginx.errorText()));
    const QByteArray build = ftp ? productBuild("2.0", disk + 1, 3) : u.newBuild;
    // A scripted server answers one control connection; it sends the file in paced pieces
    // (real servers send what the socket takes).
    std::optional<ScriptedFtpFile> server;
    const auto serve = [&] {
        server.emplace(build, build.size(), "new.exe").piece = 1000;
        u.address = server->url();
    };
    if (ftp)
        serve();
    QVERIFY(QDir(u.f.path(QString())).mkdir(QStringLiteral("small")));
    ScratchMount mount;
    if (!mount.tmpfs(u.f.path(QStringLiteral("small")), disk))
        QSKIP(qPrintable(mount.errorText()));
    app::frmMain& w = u.open(QStringLiteral("small/dl.bin"));
    w.cmdDownload->click();
    QVERIFY(waitUntil([&] { return !u.f.ui.messages.isEmpty() || w.cmdRun->isEnabled(); }));
    QVERIFY2(u.failedWith("No space left on device"), qPrintable(u.f.ui.messages.value(0).prompt));
    QCOMPARE(u.f.ui.messages.last().title, QString(app::kAppTitle));
    QCOMPARE(u.f.buttons(), QString("10010")); // back to idle
    QCOMPARE(productIs(u.exe, u.oldBuild), QString("Quillon 1.0"));
    const qint64 partial = QFileInfo(u.save).size();
    QVERIFY(partial > 0 && partial < build.size());

    QVERIFY(mount.resize(disk * 16)); // space freed; the save folder is on a disk of its own
    if (ftp)
        serve();
    QVERIFY(u.restart(QStringLiteral("cmdResume")));
    QCOMPARE(u.f.ui.dialogsShown, 1);
    QVERIFY2(u.f.ui.messages.size() == 1, qPrintable(u.f.ui.messages.last().prompt));
    QCOMPARE(productIs(u.exe, build), QString("Quillon 2.0"));
    QVERIFY(!QFile::exists(u.save));
}

void LocalFaultTests::saveFolderRemovedMidTransfer() {
    Update u;
    QVERIFY2(u.start(QStringLiteral("limit_rate 262144;")), qPrintable(u.nginx.errorText()));
    QVERIFY(QDir(u.f.path(QString())).mkdir(QStringLiteral("saves")));
    app::frmMain& w = u.open(QStringLiteral("saves/dl.bin"));
    w.cmdDownload->click();
    QVERIFY(waitUntil([] { return app::Download().Received > 0; }));
    QVERIFY(QDir(u.f.path(QStringLiteral("saves"))).removeRecursively());
    QVERIFY(waitUntil([&] { return !u.f.ui.messages.isEmpty(); }));
    QVERIFY2(u.failedWith("No such file or directory"), qPrintable(u.f.ui.messages.last().prompt));
    QCOMPARE(u.f.buttons(), QString("10010"));
    QVERIFY(!QFile::exists(u.save)); // nothing was written anywhere else
    QCOMPARE(productIs(u.exe, u.oldBuild), QString("Quillon 1.0"));

    // With the folder back there is nothing to resume: the download starts afresh.
    QVERIFY(QDir(u.f.path(QString())).mkdir(QStringLiteral("saves")));
    QVERIFY(u.restart(QStringLiteral("cmdResume")));
    QCOMPARE(u.f.ui.dialogsShown, 0);
    QCOMPARE(productIs(u.exe, u.newBuild), QString("Quillon 2.0"));
}

// The product's folder refuses the new build when the replacement runs: it is read-only,
// or its disk is too full for the copy that a download on another disk needs.
void LocalFaultTests::replacementRefused_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("saveName");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only") << true << "product/dl.bin"
                               << "Read-only file system";
    QTest::newRow("disk full") << false << "dl.bin"
                               << "No space left on device";
}

void LocalFaultTests::replacementRefused() {
    QFETCH(bool, readOnly);
    QFETCH(QString, saveName);
    QFETCH(QString, reason);
    Update u;
    const QString folder = u.f.path(QStringLiteral("product"));
    QVERIFY(QDir().mkdir(folder));
    u.exe = folder + QStringLiteral("/product.exe");
    ScratchMount mount;
    if (!(readOnly ? mount.bindSelf(folder) : mount.tmpfs(folder, kBuildSize / 2)))
        QSKIP(qPrintable(mount.errorText()));
    QVERIFY2(u.start(), qPrintable(u.nginx.errorText()));
    app::frmMain& w = u.open(saveName);
    w.tmrTimeLeft->stop(); // the replacement waits until the folder refuses it
    w.cmdDownload->click();
    QVERIFY(u.f.waitForDownload(kBuildSize));
    QVERIFY(!readOnly || mount.readOnly(true));
    w.tmrTimeLeft->start();
    QVERIFY(waitUntil([&] { return !u.f.ui.messages.isEmpty(); }));
    QVERIFY2(u.failedWith(qPrintable(reason)), qPrintable(u.f.ui.messages.last().prompt));
    QCOMPARE(u.f.ui.messages.last().title, QString("Application Error"));
    QCOMPARE(productIs(u.exe, u.oldBuild), QString("Quillon 1.0"));
    QCOMPARE(readAll(u.save), u.newBuild);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), readOnly ? 2 : 1);

    QVERIFY(readOnly ? mount.readOnly(false) : mount.resize(kBuildSize * 4));
    QVERIFY(u.restart(QStringLiteral("cmdResume")));
    QCOMPARE(u.f.ui.dialogsShown, 1);
    QCOMPARE(productIs(u.exe, u.newBuild), QString("Quillon 2.0"));
    QVERIFY(!QFile::exists(u.save));
}

// The updater runs as a child process under strace, which kills it with SIGKILL when it
// enters the nth of the given system calls: a write of the download, or the rename that puts
// the download in place. A second run, resuming, must finish the update.
void LocalFaultTests::killed_data() {
    QTest::addColumn<QString>("calls");
    QTest::addColumn<int>("nth");
    QTest::addColumn<bool>("downloadWhole");
    QTest::addColumn<bool>("otherDisk"); // the executable's folder is on a disk of its own
    QTest::newRow("during the download") << "pwrite64" << 4 << false << false;
    QTest::newRow("at the replacement") << "rename,renameat,renameat2" << 1 << true << false;
    // The second flush is the copy's, taken just before it is renamed into place.
    QTest::newRow("copying to another disk") << "fsync" << 2 << true << true;
}

void LocalFaultTests::killed() {
    QFETCH(QString, calls);
    QFETCH(int, nth);
    QFETCH(bool, downloadWhole);
    QFETCH(bool, otherDisk);
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
    if (downloadWhole)
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
