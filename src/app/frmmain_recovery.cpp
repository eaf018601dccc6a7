// What the main window's HTTP transfer does when it cannot simply go on: a connection that
// ends before the announced length is taken up again by itself, and a resumed file whose
// rolled-back bytes no longer match the server's is fetched again from the start.
#include "app_settings.h"
#include "download_state.h"
#include "frmmain.h"
#include "progress_picture.h"
#include "running_digest.h"
#include "socket_control.h"
#include "ui_seam.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>

namespace app {

namespace {

constexpr int kMaxTries = 5; // reconnections in a row that bring no new byte

} // namespace

bool frmMain::ShortOfLength() const {
    const DownloadFields& d = Download();
    return d.TotalSize > 0 && d.Received < d.TotalSize;
}

// A connection of this transfer is gone before the file is whole. The next try waits 1, 2,
// 4, 8 and 16 s while the file does not grow; the file always stays for a later resume.
void frmMain::ConnectionLost() {
    CloseSocket();
    const DownloadFields& d = Download();
    if (d.Received > progressMark_) {
        progressMark_ = d.Received;
        lostTries_ = 0;
    }
    if (lostTries_ == kMaxTries) {
        Ui().MsgBox(this, QStringLiteral("The connection was lost before the whole file arrived."),
                    MsgButtons::OK, MsgIcon::Critical, QLatin1String(kAppTitle));
        Reset();
        return;
    }
    const int seconds = 1 << lostTries_++;
    reconnecting_ = true;
    ShowFinished(QStringLiteral("Connection lost: reconnecting in %1 s (try %2 of %3)")
                     .arg(seconds)
                     .arg(lostTries_)
                     .arg(kMaxTries));
    reconnectTimer_->start(seconds * 1000);
}

// Asks for the rest of the file, from its length on disk.
void frmMain::Reconnect() {
    DownloadFields& d = Download();
    d.ResumeBase = QFileInfo(d.LocalFile).size();
    d.IsResuming = true;
    lblStatus->setText(QStringLiteral("Connection lost: reconnecting (try %1 of %2)")
                           .arg(lostTries_)
                           .arg(kMaxTries));
    ConnectDownloadSocket();
}

void frmMain::StopReconnecting() {
    reconnectTimer_->stop();
    reconnecting_ = false;
}

// A new start (of a transfer, or after a pause): no try counted, nothing to compare.
void frmMain::ForgetRecovery() {
    StopReconnecting();
    lostTries_ = 0;
    progressMark_ = -1;
    verifyUntil_ = 0;
}

// The bytes of ChunkBuffer that the file already holds (below verifyUntil_) are the same there.
bool frmMain::OverlapMatches() const {
    const DownloadFields& d = Download();
    const qint64 count = qMin<qint64>(ChunkBuffer.size(), verifyUntil_ - d.Received);
    QFile file(d.LocalFile);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(d.Received))
        return false;
    return file.read(count) == QByteArrayView(ChunkBuffer).first(count);
}

// The server's file is not the one the partial file came from: a mix of the two must never
// be installed, so the partial file goes and the whole file is fetched.
void frmMain::StartOver() {
    CloseSocket();
    DownloadFields& d = Download();
    QFile::remove(d.LocalFile);
    d.IsResuming = false;
    d.ResumeBase = 0;
    d.Received = 0;
    d.TotalSize = 0;
    verifyUntil_ = 0;
    digest_->Reset();
    ShowFinished(QStringLiteral("The file on the server has changed: downloading it again"));
    ConnectDownloadSocket();
}

void frmMain::sckDownload_Error(int number, const QString& description) {
    // A server that cannot prove who it is gets nothing, on the first try or a reconnection.
    if (number == net::sckTlsFailed) {
        CloseSocket();
        Ui().MsgBox(this,
                    QStringLiteral("The server's certificate could not be verified:\r\n") +
                        description,
                    MsgButtons::OK, MsgIcon::Critical, QLatin1String(kAppTitle));
        Reset();
        return;
    }
    if (number == net::sckProxyTunnelFailed) {
        FailResponse(description);
        return;
    }
    // Before a response has begun, an unreachable server leaves the transfer to "&Stop".
    if (reconnecting_ || (headerTaken_ && ShortOfLength()))
        ConnectionLost();
}

} // namespace app
