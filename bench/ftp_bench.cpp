// A passive FTP download and an upload against a local FTP server, with curl and with the
// FTP client, in the same run: prints the ratios of wall and CPU time and the peak memory.
//
//   zorv_ftp_bench [DOWNLOAD_MIB [UPLOAD_MIB]]      (default: 1024 256)
//
// The client runs in a child process of its own; its time is taken around the one call
// (DownloadFile or UploadFile) after logging in. curl's is its whole run.
#include "bench_support.h"
#include "cftpconnection.h"
#include "servers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using namespace bench;

// The client side, in the child: "--client down|up PORT REMOTE LOCAL" prints its report.
int runClient(char** argv) {
    const QByteArray direction = argv[2];
    const QString port = QString::fromLocal8Bit(argv[3]);
    const QString remote = QString::fromLocal8Bit(argv[4]);
    const QString local = QString::fromLocal8Bit(argv[5]);
    ftp::CFtpConnection client;
    client.setTimeout(30);
    client.setPassiveMode(true);
    if (!client.Connect(QStringLiteral("127.0.0.1"), port))
        return 1;
    const SelfReport measured;
    const bool ok = direction == "down" ? client.DownloadFile(remote, local, 1)
                                        : client.UploadFile(local, remote, 1);
    if (ok)
        measured.report(); // the time up to here: logging out is not part of the transfer
    client.CloseConnection();
    if (!ok)
        return 1;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 6 && QByteArray(argv[1]) == "--client") {
        QCoreApplication application(argc, argv);
        return runClient(argv);
    }
    QCoreApplication application(argc, argv);
    const qint64 downMiB = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const qint64 upMiB = argc > 2 ? QByteArray(argv[2]).toLongLong() : 256;
    const int rounds = 5;
    QTemporaryDir root(QDir::currentPath() + "/ftpbench-root-XXXXXX");
    QTemporaryDir local(QDir::currentPath() + "/ftpbench-local-XXXXXX");
    if (!testsupport::writeRandomFile(root.filePath("down.bin"), downMiB * 1048576, 5) ||
        !testsupport::writeRandomFile(local.filePath("up.bin"), upMiB * 1048576, 6)) {
        std::fprintf(stderr, "cannot write the test files\n");
        return 1;
    }
    testsupport::FtpServer server;
    if (!server.start(root.path())) {
        std::fprintf(stderr, "ftp server: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    const QString port = QString::number(server.port());
    const QString base = QStringLiteral("ftp://127.0.0.1:%1/").arg(port);
    const QString self = QCoreApplication::applicationFilePath();
    const QString out = local.filePath("out.bin");

    Comparison down, up;
    for (int r = 0; r < rounds; ++r) {
        QFile::remove(out);
        const Sample c = measure({"curl", "-s", "-o", out, base + "down.bin"});
        QFile::remove(out);
        rusage usage{};
        double wall = 0;
        const Sample e =
            parseReport(runChild({self, "--client", "down", port, "down.bin", out}, usage, wall));
        if (e.wall <= 0 || !testsupport::sameFileContents(root.filePath("down.bin"), out)) {
            std::fprintf(stderr, "the client's download failed or differs\n");
            return 1;
        }
        down.add(c, e);

        // Uploads alternate which side goes first, so that neither always meets the server
        // still busy with the other's file.
        const auto curlUp = [&] {
            return measure({"curl", "-s", "-T", local.filePath("up.bin"), base + "c-up.bin"});
        };
        const auto clientUp = [&] {
            return parseReport(runChild(
                {self, "--client", "up", port, "e-up.bin", local.filePath("up.bin")}, usage, wall));
        };
        Sample cu, eu;
        if (r % 2 == 0) {
            cu = curlUp();
            eu = clientUp();
        } else {
            eu = clientUp();
            cu = curlUp();
        }
        testsupport::waitUntil(
            [&] { return QFileInfo(root.filePath("e-up.bin")).size() == upMiB * 1048576; }, 60000);
        if (eu.wall <= 0 ||
            !testsupport::sameFileContents(local.filePath("up.bin"), root.filePath("e-up.bin"))) {
            std::fprintf(stderr, "the client's upload failed or differs\n");
            return 1;
        }
        up.add(cu, eu);
        QFile::remove(root.filePath("c-up.bin"));
        QFile::remove(root.filePath("e-up.bin"));
    }
    Comparison::printHeader("client s");
    down.print("download", downMiB);
    up.print("upload", upMiB);
    std::printf("targets: download wall x <= 1.15, upload wall x <= 2.00, client MiB < 80 and "
                "flat with size (medians of %d rounds)\n",
                rounds);
    return 0;
}
