// Soak: many whole updates in a row through one main window (offscreen), each ending with
// the completion that replaces the product's executable, from a local nginx or, with --ftp,
// a local pyftpdlib. Prints the process's resident memory and open descriptors after the
// first update and after the last; fails when either has grown.
//
//   zorv_soak_bench [--ftp] [COUNT [SIZE_KIB]]      (default: 200 updates of 1024 KiB)
#include "download_state.h"
#include "frmmain.h"
#include "rkbuttons_h.h"
#include "servers.h"
#include "ui_seam.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// A successful update asks nothing; anything asked is printed and counts as a failure.
class QuietUi : public app::UiSeam {
public:
    int MsgBox(QWidget*, const QString& prompt, app::MsgButtons, app::MsgIcon,
               const QString& title) override {
        std::fprintf(stderr, "message \"%s\": %s\n", qPrintable(title), qPrintable(prompt));
        asked = true;
        return app::vbCancel;
    }
    void ShowModal(QDialog*, QWidget*) override { asked = true; }
    bool asked = false;
};

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot).size());
}

// One whole update: download, completion, replacement. False when it did not end in time.
bool update(app::frmMain& window, const QString& product, const QByteArray& expected) {
    QFile::remove(window.TxtPath->text());
    QFile::remove(product);
    window.cmdDownload->click(); // an FTP update returns from here once its transfer has ended
    const bool done = testsupport::waitUntil([&] { return window.cmdRun->isEnabled(); }, 60000);
    window.cmdRun->setEnabled(false);
    QFile file(product);
    return done && file.open(QIODevice::ReadOnly) && file.readAll() == expected;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool overFtp = argc > 1 && QByteArray(argv[1]) == "--ftp";
    const int first = overFtp ? 2 : 1;
    const int count = argc > first ? QByteArray(argv[first]).toInt() : 200;
    const qint64 sizeKiB = argc > first + 1 ? QByteArray(argv[first + 1]).toLongLong() : 1024;

    QTemporaryDir work(QDir::currentPath() + "/soak-XXXXXX");
    QTemporaryDir registry(QDir::currentPath() + "/soak-registry-XXXXXX");
    qputenv("ZORV_REGISTRY_ROOT", QFile::encodeName(registry.path()));
    const QString source = work.filePath("build.bin");
    if (!testsupport::writeRandomFile(source, sizeKiB * 1024, 7)) {
        std::fprintf(stderr, "cannot write the test file\n");
        return 1;
    }
    QFile sourceFile(source);
    sourceFile.open(QIODevice::ReadOnly);
    const QByteArray expected = sourceFile.readAll();

    testsupport::NginxServer nginx;
    testsupport::FtpServer ftpServer;
    const bool started = overFtp ? ftpServer.start(work.path()) : nginx.start(work.path());
    if (!started) {
        std::fprintf(stderr, "server: %s\n",
                     qPrintable(overFtp ? ftpServer.errorText() : nginx.errorText()));
        return 1;
    }
    const QString url = overFtp
                            ? QStringLiteral("ftp://127.0.0.1/build.bin:%1").arg(ftpServer.port())
                            : nginx.url(QStringLiteral("/build.bin"));

    QuietUi ui;
    app::SetUi(&ui);
    app::frmMain window;
    window.txtURL->setText(url);
    window.TxtPath->setText(work.filePath("download.bin"));
    const QString product = work.filePath("product.exe");
    window.Text2->setText(product);

    long rssStart = 0;
    int fdsStart = 0;
    for (int i = 1; i <= count; ++i) {
        if (!update(window, product, expected) || ui.asked) {
            std::fprintf(stderr, "update %d failed\n", i);
            return 1;
        }
        if (i == 1) {
            rssStart = residentKiB();
            fdsStart = openDescriptors();
        }
    }
    const long rssEnd = residentKiB();
    const int fdsEnd = openDescriptors();
    std::printf("%d %s updates of %lld KiB: resident %ld KiB after the first, %ld KiB after the "
                "last; open descriptors %d and %d\n",
                count, overFtp ? "FTP" : "HTTP", static_cast<long long>(sizeKiB), rssStart, rssEnd,
                fdsStart, fdsEnd);
    // Flat: descriptors equal, memory within 10 % (allocator and font caches settle).
    const bool flat = fdsEnd == fdsStart && rssEnd <= rssStart + rssStart / 10;
    std::printf("%s\n", flat ? "flat" : "GROWING");
    app::SetUi(nullptr);
    return flat ? 0 : 1;
}
