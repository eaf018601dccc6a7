// The measured side of the transfer benchmark, each run in a process of its own: the updater
// window downloading one address, and the FTP client uploading one file. Each prints one
// line, "in-process-wall in-process-cpu since-fork", and exits 0 only when the transfer ended
// as a success.
#include "transfer_sides.h"

#include "bench_support.h"
#include "cftpconnection.h"
#include "download_state.h"
#include "frmmain.h"
#include "rkbuttons_h.h"
#include "socket_control.h"
#include "ui_seam.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace bench {

namespace {

constexpr int kGiveUpMs = 600000; // a transfer that hangs ends the child rather than the run

// Wall and CPU time from construction to report(), and the time since the fork.
class InProcess {
public:
    InProcess() : start_(monotonicNs()) { getrusage(RUSAGE_SELF, &before_); }
    // checkSeconds: the part spent after the download, checking and installing it;
    // flushSeconds: the flush to disk before it.
    void report(double checkSeconds = 0, double flushSeconds = 0) const {
        const double wall = (monotonicNs() - start_) / 1e9;
        const double sinceFork = secondsSinceFork();
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        std::printf("%.6f %.6f %.6f %.6f %.6f\n", wall, cpuSeconds(after) - cpuSeconds(before_),
                    sinceFork, checkSeconds, flushSeconds);
        std::fflush(stdout);
    }

private:
    qint64 start_;
    rusage before_{};
};

// A message box would wait for a user: its text goes to stderr and the run fails.
class PrintedMessages : public app::UiSeam {
public:
    int MsgBox(QWidget*, const QString& prompt, app::MsgButtons, app::MsgIcon,
               const QString& title) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(prompt));
        shown = true;
        return app::vbOK;
    }
    void ShowModal(QDialog*, QWidget*) override {}
    bool shown = false;
};

} // namespace

// The updater as a user starts it (the window shown, here on the offscreen platform), given
// the address and the file, and "&Update" pressed. Done when the status says the download has
// completed: for HTTP after the server's close with the last byte written and the file
// closed, for FTP when the window's FTP routine has returned.
int runWindowSide(int argc, char** argv) {
    // With ZORV_BENCH_PHASES set, the start-up's phases go to stderr, in ms since the fork.
    const bool phases = qEnvironmentVariableIsSet("ZORV_BENCH_PHASES");
    const auto phase = [phases](const char* name) {
        if (phases)
            std::fprintf(stderr, "%s %.1f\n", name, secondsSinceFork() * 1000);
    };
    phase("main");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorvupdater"));
    phase("application");
    app::frmMain window;
    phase("window");
    window.show();
    // The one-second timer would replace the product's files once the download is complete;
    // the run ends before that.
    window.tmrTimeLeft->stop();
    // With ZORV_BENCH_MAKER_KEY set, the build's signature is checked before it is put in
    // place: the download goes beside FILE and the check's rename makes it FILE.
    const QByteArray key = qgetenv("ZORV_BENCH_MAKER_KEY");
    const QString file = QString::fromLocal8Bit(argv[3]);
    PrintedMessages messages;
    app::SetUi(&messages);
    window.setMakerKey(key);
    window.txtURL->setText(QString::fromLocal8Bit(argv[2]));
    window.TxtPath->setText(key.isEmpty() ? file : file + QStringLiteral(".download"));
    window.Text2->setText(file);
    QCoreApplication::processEvents(); // the window is up before the button is pressed
    phase("shown");
    const auto completed = [&] {
        return window.lblStatus->text() == QLatin1String("Download Completed");
    };
    QObject::connect(window.sckDownload, &net::SocketControl::CloseEvent, &application, [&] {
        if (completed())
            QCoreApplication::quit();
    });
    QObject::connect(window.sckDownload, &net::SocketControl::ConnectEvent, &application,
                     [&] { phase("connected"); });
    QTimer::singleShot(kGiveUpMs, &application, [] { QCoreApplication::exit(2); });
    const InProcess measured;
    window.cmdDownload->click(); // an FTP download returns from here once it has ended
    if (!completed() && QApplication::exec() != 0)
        return 2;
    if (!completed())
        return 1;
    double checkSeconds = 0, flushSeconds = 0;
    if (!key.isEmpty()) {
        // Installing flushes the build to disk before the rename, which curl's run never
        // does: that flush is made here first and reported apart, so that the check's time
        // is the signature's (fetch, digest, verification) and the rename's.
        const qint64 flushStart = monotonicNs();
        QFile download(window.TxtPath->text());
        if (!download.open(QIODevice::ReadOnly) || ::fsync(download.handle()) != 0)
            return 1;
        download.close();
        flushSeconds = (monotonicNs() - flushStart) / 1e9;
        const qint64 checkStart = monotonicNs();
        window.Command1_Click();
        checkSeconds = (monotonicNs() - checkStart) / 1e9;
    }
    if (messages.shown)
        return 1;
    measured.report(checkSeconds, flushSeconds);
    return 0;
}

// The FTP client logged in, then one upload until the server's reply to it.
int runUploadSide(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QString port = QString::fromLocal8Bit(argv[2]);
    const QString remote = QString::fromLocal8Bit(argv[3]);
    const QString local = QString::fromLocal8Bit(argv[4]);
    ftp::CFtpConnection client;
    client.setTimeout(30);
    client.setPassiveMode(true);
    // A fifth argument names the authorities that an FTP over TLS server is checked with.
    if (argc >= 6) {
        client.setUseTls(true);
        client.setTrustedCertificates(QString::fromLocal8Bit(argv[5]));
    }
    if (!client.Connect(QStringLiteral("127.0.0.1"), port))
        return 1;
    const InProcess measured;
    if (!client.UploadFile(local, remote, 1))
        return 1;
    measured.report(); // logging out is not part of the transfer
    client.CloseConnection();
    return 0;
}

} // namespace bench
