// Downloads one file with curl and with the updater window's own engine (offscreen
// platform, progress display running), in the same run, from a local nginx (HTTP) or a local
// pyftpdlib (FTP, the window's whole FTP routine), and prints the ratios of wall time and
// CPU time and each side's peak memory.
//
//   zorv_download_bench [--ftp] [SIZE_MIB ...]      (default: 64 1024)
//
// The engine runs in a child process of its own, so that its peak memory is its own; its
// time is taken from the click on "&Update" to the last byte on disk (HTTP) or to the end of
// the FTP routine, file closed. "proc s" is the child's whole run, start-up included. curl's
// time is its whole run.
#include "bench_support.h"
#include "download_state.h"
#include "frmmain.h"
#include "rkbuttons_h.h"
#include "servers.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;

// The engine side, run in the child: prints "wall cpu peakKiB".
int runEngine(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString url = QString::fromLocal8Bit(argv[2]);
    const QString out = QString::fromLocal8Bit(argv[3]);
    const qint64 size = QByteArray(argv[4]).toLongLong();
    app::frmMain window;
    window.tmrTimeLeft->stop(); // the benchmark stops at the last byte, before any replacement
    window.txtURL->setText(url);
    window.TxtPath->setText(out);
    const SelfReport measured;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (app::Download().TotalSize == size && app::Download().Received == size)
            QCoreApplication::quit();
    });
    poll.start(1);
    window.cmdDownload->click(); // an FTP download returns from here once it has ended
    if (!(app::Download().TotalSize == size && app::Download().Received == size))
        QApplication::exec();
    measured.report();
    return 0;
}

Sample curlSample(const QString& url, const QString& out) {
    QFile::remove(out);
    return measure({"curl", "-s", "-o", out, url});
}

Sample engineSample(const QString& self, const QString& url, const QString& out, qint64 size,
                    double& processWall) {
    QFile::remove(out);
    rusage usage{};
    const Sample s = parseReport(
        runChild({self, "--engine", url, out, QString::number(size)}, usage, processWall));
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && QByteArray(argv[1]) == "--engine")
        return runEngine(argc, argv);
    QCoreApplication application(argc, argv);
    const bool overFtp = argc > 1 && QByteArray(argv[1]) == "--ftp";
    QList<qint64> sizesMiB;
    for (int i = overFtp ? 2 : 1; i < argc; ++i)
        sizesMiB << QByteArray(argv[i]).toLongLong();
    if (sizesMiB.isEmpty())
        sizesMiB = {64, 1024};
    const int rounds = 5;

    QTemporaryDir work(QDir::currentPath() + "/bench-XXXXXX");
    testsupport::NginxServer nginx;
    testsupport::FtpServer ftpServer;
    const QString self = QCoreApplication::applicationFilePath();
    Comparison::printHeader("engine s", true);
    bool started = false;
    for (const qint64 mib : sizesMiB) {
        const QString name = QStringLiteral("build-%1.bin").arg(mib);
        if (!testsupport::writeRandomFile(work.filePath(name), mib * 1048576, quint32(mib))) {
            std::fprintf(stderr, "cannot write the test file\n");
            return 1;
        }
        if (!started &&
            !(started = overFtp ? ftpServer.start(work.path()) : nginx.start(work.path()))) {
            std::fprintf(stderr, "server: %s\n",
                         qPrintable(overFtp ? ftpServer.errorText() : nginx.errorText()));
            return 1;
        }
        // The window takes an FTP server's port after the file name; curl takes it after the host.
        const QString ftpBase = QStringLiteral("ftp://127.0.0.1");
        const QString ftpPort = QString::number(ftpServer.port());
        const QString url = overFtp ? ftpBase + "/" + name + ":" + ftpPort : nginx.url("/" + name);
        const QString curlUrl = overFtp ? ftpBase + ":" + ftpPort + "/" + name : url;
        const QString out = work.filePath("out.bin");
        Comparison comparison;
        for (int r = 0; r < rounds; ++r) {
            const Sample c = curlSample(curlUrl, out);
            double processWall = 0;
            const Sample e = engineSample(self, url, out, mib * 1048576, processWall);
            if (e.wall <= 0 || !testsupport::sameFileContents(work.filePath(name), out)) {
                std::fprintf(stderr, "the engine's download failed or differs\n");
                return 1;
            }
            comparison.add(c, e, processWall);
        }
        QFile::remove(out);
        QFile::remove(work.filePath(name));
        comparison.print(overFtp ? "ftp" : "http", mib);
    }
    std::printf("targets: wall x <= %s, cpu x <= 2.00, engine MiB < %s and flat with size "
                "(medians of %d rounds)\n",
                overFtp ? "1.15" : "1.10", overFtp ? "48" : "80", rounds);
    return 0;
}
