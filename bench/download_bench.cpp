// Downloads one file from a local nginx with curl and with the updater window's own HTTP
// engine (offscreen platform), in the same run, and prints the ratios of wall time and
// CPU time and each side's peak memory.
//
//   zorv_download_bench [SIZE_MIB ...]      (default: 64 1024)
//
// The engine runs in a child process of its own, so that its peak memory is its own; its
// time is taken from the click on "&Update" to the last byte on disk. curl's is its whole run.
#include "bench_support.h"
#include "download_state.h"
#include "frmmain.h"
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
    window.cmdDownload->click();
    QApplication::exec();
    measured.report();
    return 0;
}

Sample curlSample(const QString& url, const QString& out) {
    QFile::remove(out);
    return measure({"curl", "-s", "-o", out, url});
}

Sample engineSample(const QString& self, const QString& url, const QString& out, qint64 size) {
    QFile::remove(out);
    rusage usage{};
    double wall = 0;
    return parseReport(runChild({self, "--engine", url, out, QString::number(size)}, usage, wall));
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && QByteArray(argv[1]) == "--engine")
        return runEngine(argc, argv);
    QCoreApplication application(argc, argv);
    QList<qint64> sizesMiB;
    for (int i = 1; i < argc; ++i)
        sizesMiB << QByteArray(argv[i]).toLongLong();
    if (sizesMiB.isEmpty())
        sizesMiB = {64, 1024};
    const int rounds = 3;

    QTemporaryDir work(QDir::currentPath() + "/bench-XXXXXX");
    testsupport::NginxServer nginx;
    const QString self = QCoreApplication::applicationFilePath();
    Comparison::printHeader("engine s");
    bool started = false;
    for (const qint64 mib : sizesMiB) {
        const QString name = QStringLiteral("build-%1.bin").arg(mib);
        if (!testsupport::writeRandomFile(work.filePath(name), mib * 1048576, quint32(mib))) {
            std::fprintf(stderr, "cannot write the test file\n");
            return 1;
        }
        if (!started && !(started = nginx.start(work.path()))) {
            std::fprintf(stderr, "nginx: %s\n", qPrintable(nginx.errorText()));
            return 1;
        }
        const QString url = nginx.url("/" + name);
        const QString out = work.filePath("out.bin");
        Comparison comparison;
        for (int r = 0; r < rounds; ++r) {
            const Sample c = curlSample(url, out);
            const Sample e = engineSample(self, url, out, mib * 1048576);
            if (e.wall <= 0 || !testsupport::sameFileContents(work.filePath(name), out)) {
                std::fprintf(stderr, "the engine's download failed or differs\n");
                return 1;
            }
            comparison.add(c, e);
        }
        QFile::remove(out);
        QFile::remove(work.filePath(name));
        comparison.print("download", mib);
    }
    std::printf("targets: wall x <= 1.10, cpu x <= 2.00, engine MiB < 80 (medians of %d rounds)\n",
                rounds);
    return 0;
}
