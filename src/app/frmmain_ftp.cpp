// The main window's FTP download: the routine that runs the FTP client for an ftp:// address,
// the client's events, and the FTP side of pause, resume and stop.
//
// The routine is synchronous: it returns when the transfer has ended, and the client's waits
// let the window's events run meanwhile. Pause and stop reach it through `Paused`; a routine
// started while an older one is still unwinding supersedes it (`ftpRuns_`).
#include "app_settings.h"
#include "cftpconnection.h"
#include "download_state.h"
#include "frmmain.h"
#include "ftp_address.h"
#include "ftp_errors.h"
#include "progress_picture.h"
#include "rkbuttons_h.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <memory>

namespace app {

namespace {

constexpr qint32 kBinary = 1;

QString Title() {
    return QLatin1String(kAppTitle);
}

// For a step that failed on TLS (the server refused it, or the handshake or certificate
// failed): the client's text of it, on a line of its own; "" otherwise.
QString TlsFailureText(const ftp::CFtpConnection& client) {
    switch (client.FtpGetLastError()) {
    case ftp::ftpErrTlsRefused:
    case ftp::ftpErrTlsFailed:
    case ftp::ftpErrTlsProtection:
        return QStringLiteral("\r\n") + client.GetFtpErrorDescription();
    default:
        return QString();
    }
}

} // namespace

void frmMain::FtpTransfer() {
    const quint64 run = ++ftpRuns_;
    // A fresh run: flags left by an earlier transfer (done, or stopped) do not end this one.
    Paused = false;
    FtpDone = false;
    ftpTransferRunning_ = false;
    auto client = std::make_unique<ftp::CFtpConnection>();
    CFtpConnection = client.get();
    connect(client.get(), &ftp::CFtpConnection::DownloadProgress, this,
            &frmMain::CFtpConnection_DownloadProgress);
    connect(client.get(), &ftp::CFtpConnection::StateChanged, this,
            &frmMain::CFtpConnection_StateChanged);
    connect(client.get(), &ftp::CFtpConnection::ReplyMessage, this,
            &frmMain::CFtpConnection_ReplyMessage);
    connect(client.get(), &ftp::CFtpConnection::UploadProgress, this,
            &frmMain::CFtpConnection_UploadProgress);
    client->setTotalSizeSink([](qint64 size) { Download().TotalSize = size; });

    QString raised; // the text of an error that the client raised instead of failing
    bool done = false;
    try {
        done = RunFtpSteps(*client, run);
    } catch (const ftp::FtpError& e) {
        raised = e.description().isEmpty() ? e.source() : e.description();
    }
    if (CFtpConnection == client.get())
        CFtpConnection = nullptr;
    client.reset();

    if (!raised.isEmpty() && run == ftpRuns_) {
        Ui().MsgBox(this, raised, MsgButtons::OK, MsgIcon::Critical, Title());
        Reset();
    } else if (done) {
        ShowFinished(QStringLiteral("Download Completed"));
    }
    if (deleteWhenFtpEnds_ && run == ftpRuns_)
        deleteLater();
}

// Connect, change directory and download, each failed step asking whether to retry. True when
// the file has arrived whole.
bool frmMain::RunFtpSteps(ftp::CFtpConnection& client, quint64 run) {
    DownloadFields& d = Download();
    const FtpScheme scheme = FtpSchemeOf(d.DownloadURL).value_or(FtpScheme{});
    const FtpAddress address =
        SplitFtpAddress(scheme.rest, ftp::CFtpConnection::kAnonymousPassword);
    qint64 start = 0;
    if (FileExists(d.LocalFile)) {
        if (d.IsResuming)
            start = QFileInfo(d.LocalFile).size();
        else
            QFile::remove(d.LocalFile);
    }
    client.setTimeout(AppSettings::FtpTimeout());
    client.setPassiveMode(AppSettings::FtpPasv());
    client.setUserName(address.user);
    client.setPassword(address.password);
    client.setUseTls(scheme.tls);
    client.setTrustedCertificates(AppSettings::TrustedCertificates());

    int answer = 0;
    // A pause or stop, a Cancel, the end of the transfer or a newer routine ends every loop;
    // a step that fails after a pause or stop asks nothing.
    const auto goOn = [&] { return answer != vbCancel && !FtpDone && !Paused && run == ftpRuns_; };
    while (goOn()) {
        if (!client.Connect(address.host, address.port)) {
            if (goOn())
                answer = AskRetry(QStringLiteral("Error occured while conencting to server: \r\n") +
                                      address.host + TlsFailureText(client),
                                  MsgIcon::Critical);
            continue;
        }
        // A step that lost the control connection (a 426 closes it) is retried on a new one.
        while (goOn() && client.Connected()) {
            // A file directly below the root is fetched from the login folder.
            if (!address.directory.isEmpty() && !client.SetCurrentDirectory(address.directory)) {
                if (goOn())
                    answer = AskRetry(
                        QStringLiteral("Error occured while changing server directory to: \r\n") +
                            address.directory,
                        MsgIcon::Critical);
                continue;
            }
            StartTime = Now();
            FtpDone = false;
            while (goOn() && client.Connected())
                FtpDownloadStep(client, address.fileName, start, answer);
        }
    }
    return FtpDone && run == ftpRuns_;
}

// One try of the download; sets FtpDone when the file has arrived whole.
void frmMain::FtpDownloadStep(ftp::CFtpConnection& client, const QString& fileName, qint64& start,
                              int& answer) {
    DownloadFields& d = Download();
    const bool downloaded = client.DownloadFile(fileName, d.LocalFile, kBinary, start);
    if (Paused)
        return; // broken off by a pause or stop: the loops end
    FtpDone = false;
    if (downloaded) {
        if (d.TotalSize == 0 || d.Received == d.TotalSize) {
            FtpDone = true;
            return;
        }
        // The server ended the transfer at another size than it listed: the file is not
        // taken for complete, and a retry fetches it whole.
        answer = AskRetry(QStringLiteral("Server returned the following error:\r\n%1 bytes "
                                         "arrived, the server listed %2 bytes.\r\n")
                              .arg(d.Received)
                              .arg(d.TotalSize),
                          MsgIcon::None);
        start = 0;
        return;
    }
    const QString tlsFailure = TlsFailureText(client);
    const QString response = tlsFailure.isEmpty() ? client.GetLastServerResponse() : tlsFailure;
    if (!response.startsWith(QLatin1String("504"))) {
        // A retry goes on from what has arrived: a broken data connection leaves a partial file.
        start = FileExists(d.LocalFile) ? QFileInfo(d.LocalFile).size() : 0;
        answer = AskRetry(QStringLiteral("Server returned the following error:\r\n") + response +
                              QStringLiteral("\r\n"),
                          MsgIcon::None);
        return;
    }
    // The server refuses the restart offset: the file is fetched whole.
    Ui().MsgBox(this, QStringLiteral("Server did not accept resuming."), MsgButtons::OK,
                MsgIcon::Critical, QStringLiteral("No Resuming Support"));
    QFile::remove(d.LocalFile);
    start = 0;
}

int frmMain::AskRetry(const QString& prompt, MsgIcon icon) {
    return Ui().MsgBox(this, prompt, MsgButtons::RetryCancel, icon, Title());
}

void frmMain::CFtpConnection_DownloadProgress(qint64 lBytes) {
    if (sender() != CFtpConnection)
        return; // a superseded client
    Download().Received = lBytes;
    MeasureSpeed();
}

void frmMain::CFtpConnection_StateChanged(int State) {
    if (sender() != CFtpConnection)
        return;
    if (State == ftp::ftpTransferStarted)
        ftpTransferRunning_ = true;
    if (State == ftp::ftpTransferDone) {
        ftpTransferRunning_ = false;
        if (!Paused)
            FtpDone = true;
    }
}

void frmMain::CFtpConnection_ReplyMessage(const QString&) {
}

void frmMain::CFtpConnection_UploadProgress(qint64) {
}

// Pausing: the running transfer is aborted (ABOR); before the data transfer has begun there is
// nothing to abort, and the connection is dropped. Either way the routine ends, and a resume
// connects again.
void frmMain::PauseFtp() {
    ShowFinished(QStringLiteral("Download Paused"));
    ftp::CFtpConnection* client = CFtpConnection;
    if (!client)
        return;
    if (ftpTransferRunning_) {
        try {
            client->CancelTransfer();
        } catch (const ftp::FtpError&) {
            // The connection is gone already; dropping it below ends the routine all the same.
        }
    }
    client->BreakeConnection();
}

void frmMain::ResumeFtp() {
    DownloadFields& d = Download();
    picDownloadProgress->show();
    lblStatus->hide();
    d.ResumeBase = QFileInfo(d.LocalFile).size();
    d.IsResuming = true;
    FtpTransfer();
}

void frmMain::StopFtp() {
    Paused = true;
    if (!CFtpConnection)
        return;
    ShowFinished(QStringLiteral("Download Aborted"));
    CFtpConnection->BreakeConnection();
    Reset();
}

} // namespace app
