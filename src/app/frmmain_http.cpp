// The main window's HTTP download: starting a transfer, the request, the response header,
// writing the file, and the clean-up that every ending path uses.
#include "app_settings.h"
#include "download_state.h"
#include "frmexist.h"
#include "frmmain.h"
#include "ftp_address.h"
#include "progress_picture.h"
#include "rkbuttons_h.h"
#include "running_digest.h"
#include "socket_control.h"
#include "ui_seam.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace app {

namespace {

constexpr int kMaxRedirects = 5;

const QString kNotFoundText = QStringLiteral(
    "The file requested was not found on the server!\r\n"
    "\r\n"
    "Possible Reasons:\r\n"
    "- File Does Not Exist On Server\r\n"
    "- URL Given Was Script And Data Returned Was Invalid\r\n"
    "- URL Entered Was Incorrect\r\n"
    "- Server Is Excessively Busy\r\n"
    "\r\n"
    "You may reattempt to download.  If its still failure then most likely invalid url.");

// Writes all of data at offset into the open file fd. Returns 0 or the errno of the failure;
// a file that has been removed meanwhile fails with ENOENT rather than take bytes nobody sees.
int WriteAt(int fd, const QByteArray& data, qint64 offset) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    if (st.st_nlink == 0)
        return ENOENT;
    const char* p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, static_cast<size_t>(left), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        p += n;
        left -= n;
        offset += n;
    }
    return 0;
}

// The first line of a response, for messages.
QString FirstLine(const QByteArray& bytes) {
    const qsizetype eol = bytes.indexOf("\r\n");
    return QString::fromLatin1((eol < 0 ? bytes : bytes.left(eol)).left(200));
}

bool StartsWithNoCase(const QString& text, const char* prefix) {
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

} // namespace

void frmMain::cmdDownload_Click() {
    DownloadFields& d = Download();
    d.UseProxy = AppSettings::ProxyUse();
    if (d.UseProxy) {
        d.ConnectHost = AppSettings::ProxyIP();
        d.ConnectPort = AppSettings::ProxyPort();
        ProxyFtp = AppSettings::ProxyFtp();
    } else {
        d.ConnectHost = txtURL->text();
        d.ConnectPort = QStringLiteral("80");
        ProxyFtp = false;
    }
    StartUpdate(txtURL->text());
    // The bar is shown before the download starts: an FTP download returns only when the
    // transfer has ended, and its final status must stay.
    lblStatus->hide();
    picDownloadProgress->show();
    StartDownload(TxtPath->text());
}

void frmMain::StartUpdate(const QString& strURL) {
    DownloadFields& d = Download();
    d.Received = 0;
    if (strURL.isEmpty())
        return;
    d.DownloadURL = strURL;
    if (const auto host = http::HostOfAddress(strURL); host && !d.UseProxy)
        d.ConnectHost = *host;
}

void frmMain::StartDownload(const QString& savePath) {
    DownloadFields& d = Download();
    cmdPause->setEnabled(true);
    cmdStop->setEnabled(true);
    cmdDownload->setEnabled(false);
    CmdExit->setEnabled(false);
    redirects_ = 0;
    ForgetRecovery();
    digest_->Reset();
    const bool rollback = AppSettings::Rollback();
    const qint16 rollbackAmount = AppSettings::RollbackAmount();

    if (FileExists(savePath)) {
        frmExist& dialog = ExistDialog();
        dialog.SavePath = savePath;
        dialog.PlaceOver(this);
        Ui().ShowModal(&dialog, this);
        switch (dialog.UserChoice) {
        case frmExist::kResume:
            d.IsResuming = true;
            d.ResumeBase = QFileInfo(savePath).size();
            verifyUntil_ = d.ResumeBase;
            if (rollback && rollbackAmount >= 1 && rollbackAmount < d.ResumeBase)
                d.ResumeBase -= rollbackAmount;
            break;
        case frmExist::kOverwrite:
            d.IsResuming = false;
            break;
        default: // cancelled: nothing is fetched
            cmdPause->setEnabled(false);
            cmdStop->setEnabled(false);
            cmdDownload->setEnabled(true);
            return;
        }
    }

    d.LocalFile = savePath;
    IsFtpDownload = false;
    const QString address = txtURL->text();
    if (const auto ftpAddress = FtpSchemeOf(address)) {
        // The HTTP proxy cannot carry FTP over TLS: ftps:// always goes to the FTP client.
        if (!ProxyFtp || ftpAddress->tls) {
            IsFtpDownload = true; // FTP addresses go to the FTP client
            FtpTransfer();
            return;
        }
    } else if (!StartsWithNoCase(address, "http://") && !StartsWithNoCase(address, "https://")) {
        return;
    }
    ConnectDownloadSocket();
}

void frmMain::ConnectDownloadSocket() {
    const DownloadFields& d = Download();
    // The address's own port, when it has one, is where a direct connection goes.
    const http::Hop hop =
        http::PlanHop(d.DownloadURL, d.UseProxy ? d.ConnectHost : QString(), d.ConnectPort);
    net::ConnectOptions options;
    options.tunnelTo = hop.tunnelTo;
    options.tls = hop.tls;
    options.peerName = hop.peerName;
    options.trustedCertificates = AppSettings::TrustedCertificates();
    header_.Clear();
    headerTaken_ = false;
    CloseOutputFile();
    try {
        if (sckDownload->State() != net::sckClosed)
            sckDownload->Close();
        sckDownload->setLocalPort(0);
        sckDownload->Connect(hop.host, hop.port, options);
    } catch (const net::SocketError&) {
        // A target that cannot be connected to leaves the transfer waiting for "&Stop".
    }
}

void frmMain::sckDownload_Connect() {
    DownloadFields& d = Download();
    // FTP addresses fetched through the proxy lose a ":port" that has no user part before it.
    if (d.DownloadURL.startsWith(QLatin1String("ftp://"))) {
        const QString rest = d.DownloadURL.mid(6);
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        if (!rest.contains(QLatin1Char('@')) && colon >= 0)
            d.DownloadURL = d.DownloadURL.left(6 + colon);
    }
    HeaderText.clear();
    header_.Clear();
    headerTaken_ = false;
    // Through a tunnel the request is the direct one.
    const http::Hop hop =
        http::PlanHop(d.DownloadURL, d.UseProxy ? d.ConnectHost : QString(), d.ConnectPort);
    http::RequestInfo request;
    request.downloadUrl = d.DownloadURL;
    request.connectHost = hop.absoluteForm ? d.ConnectHost : hop.requestHost;
    request.viaProxy = hop.absoluteForm;
    request.resuming = d.IsResuming;
    request.resumeBase = d.ResumeBase;
    try {
        sckDownload->SendData(http::BuildRequest(request));
    } catch (const net::SocketError&) {
        // The connection went away again; its Close or a "&Stop" ends the transfer.
    }
    StartTime = Now();
}

void frmMain::sckDownload_DataArrival(qint64) {
    try {
        sckDownload->GetData(ChunkBuffer);
    } catch (const net::SocketError&) {
        return;
    }
    if (!headerTaken_ && !TakeResponseHeader())
        return;
    // Bytes beyond the announced length are not part of the file.
    const DownloadFields& d = Download();
    if (d.TotalSize > 0)
        ChunkBuffer.truncate(qMax<qint64>(0, d.TotalSize - d.Received));
    if (ChunkBuffer.isEmpty())
        return;
    if (d.Received < verifyUntil_ && !OverlapMatches()) {
        StartOver();
        return;
    }
    if (!WriteChunk())
        return;
    if (d.TotalSize > 0 && d.Received >= d.TotalSize)
        CloseOutputFile(); // the file is whole
    MeasureSpeed();
}

// Collects the header; once complete, decides on the response. True when ChunkBuffer now
// holds file data to write; false while the header is incomplete or the response ended.
bool frmMain::TakeResponseHeader() {
    QByteArray body;
    const auto result = header_.Feed(ChunkBuffer, body);
    ChunkBuffer.clear();
    if (result == http::HeaderCollector::Result::NeedMore)
        return false;
    if (result == http::HeaderCollector::Result::TooLarge) {
        FailResponse(FirstLine(header_.header()));
        return false;
    }
    headerTaken_ = true;
    HeaderText += header_.header();
    DownloadFields& d = Download();
    const auto status = http::ParseStatusLine(HeaderText);
    if (!status) {
        FailResponse(FirstLine(HeaderText));
        return false;
    }
    const QString statusLine = QString::fromLatin1(status->line);
    if (http::IsRedirect(status->code)) {
        const QByteArray location = http::GetHeaderValue(HeaderText, "Location:");
        const QString next = http::ResolveLocation(d.DownloadURL, location);
        if (location.isEmpty() || next.isEmpty() || ++redirects_ > kMaxRedirects) {
            FailResponse(statusLine);
            return false;
        }
        d.DownloadURL = next;
        if (!d.UseProxy)
            d.ConnectHost = http::HostOfAddress(next).value_or(d.ConnectHost);
        CloseSocket();
        ConnectDownloadSocket();
        return false;
    }
    if (d.IsResuming) {
        // A range that starts elsewhere, or cannot be read, would put bytes at wrong offsets.
        const QByteArray range = http::GetHeaderValue(HeaderText, "Content-Range:");
        const auto rangeStart = http::ParseContentRangeStart(range);
        if (status->code != 206 || (!range.isEmpty() && rangeStart != d.ResumeBase)) {
            RefuseResume();
            return false;
        }
    }
    if (status->code == 404) {
        ReportNotFound();
        return false;
    }
    if (status->code < 200 || status->code > 299) {
        FailResponse(statusLine);
        return false;
    }
    const qint64 length =
        http::ParseContentLength(http::GetHeaderValue(HeaderText, "Content-Length:")).value_or(0);
    if (d.IsResuming) {
        d.TotalSize = d.ResumeBase + length;
        d.Received = d.ResumeBase;
    } else {
        d.TotalSize = length;
    }
    if (reconnecting_) { // the transfer runs again
        StopReconnecting();
        lblStatus->hide();
        picDownloadProgress->show();
    }
    ChunkBuffer = body;
    return true;
}

// Each refusal closes the connection before it asks, so that nothing more arrives while the
// message is open, and returns the window to idle after it.
void frmMain::FailResponse(const QString& statusLine) {
    CloseSocket();
    Ui().MsgBox(this, QStringLiteral("Server returned the following error:\r\n") + statusLine,
                MsgButtons::OK, MsgIcon::Critical, QLatin1String(kAppTitle));
    Reset();
}

void frmMain::RefuseResume() {
    CloseSocket();
    Ui().MsgBox(this, QStringLiteral("Server did not accept resuming."), MsgButtons::OK,
                MsgIcon::Critical, QStringLiteral("No Resuming Support"));
    Reset();
    CloseSocket();
}

void frmMain::ReportNotFound() {
    CloseSocket();
    Ui().MsgBox(this, kNotFoundText, MsgButtons::OK, MsgIcon::None,
                QStringLiteral("File Not Found"));
    Reset();
    CloseSocket();
}

// The file stays open from the first piece of a response to the end of its connection, so
// that a piece costs one write instead of an open, a write and a close. Every byte written
// is in the file at once, for a resume or any other reader.
int frmMain::OpenOutputFile() {
    if (outputFile_ >= 0)
        return 0;
    const QByteArray name = QFile::encodeName(Download().LocalFile);
    outputFile_ = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    return outputFile_ < 0 ? errno : 0;
}

void frmMain::CloseOutputFile() {
    if (outputFile_ >= 0)
        ::close(std::exchange(outputFile_, -1));
}

bool frmMain::WriteChunk() {
    DownloadFields& d = Download();
    int error = OpenOutputFile();
    if (error == 0)
        error = WriteAt(outputFile_, ChunkBuffer, d.Received);
    if (error == 0 && !makerKey_.isEmpty()) // the signature's check then need not read it all
        digest_->Add(outputFile_, d.Received, ChunkBuffer.constData(), ChunkBuffer.size());
    if (error != 0) {
        CloseSocket();
        Ui().MsgBox(this,
                    QStringLiteral("Cannot write \"%1\": %2")
                        .arg(d.LocalFile, QString::fromLocal8Bit(std::strerror(error))),
                    MsgButtons::OK, MsgIcon::Critical, QLatin1String(kAppTitle));
        Reset();
        return false;
    }
    d.Received += ChunkBuffer.size();
    return true;
}

void frmMain::MeasureSpeed() {
    const DownloadFields& d = Download();
    const double seconds = Now() - StartTime;
    if (StartTime <= 0 || seconds <= 0)
        return; // no time has passed: the speed keeps its last value
    const qint64 bytes = d.IsResuming ? d.Received - d.ResumeBase : d.Received;
    Speed = std::round(std::floor(bytes / seconds) / 1000.0 * 100.0) / 100.0;
}

void frmMain::sckDownload_Close() {
    if (reconnecting_ || (headerTaken_ && ShortOfLength())) {
        ConnectionLost();
        return;
    }
    if (!headerTaken_) {
        FailResponse(FirstLine(header_.header())); // closed before the header ended
        return;
    }
    SetTopMost(false);
    picDownloadProgress->hide();
    lblStatus->setText(QStringLiteral("Download Completed"));
    lblStatus->show();
    sckDownload->Close();
    CloseOutputFile();
}

bool frmMain::FileExists(const QString& path) const {
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void frmMain::CloseSocket() {
    while (sckDownload->State() > net::sckClosed) {
        sckDownload->Close();
        sckDownload->setLocalPort(0);
    }
    CloseOutputFile();
}

void frmMain::Reset() {
    CloseSocket();
    DownloadFields& d = Download();
    ChunkBuffer.clear();
    Percent = 0;
    StartTime = 0;
    d.Received = 0;
    d.TotalSize = 0;
    HeaderText.clear();
    header_.Clear();
    headerTaken_ = false;
    redirects_ = 0;
    d.IsResuming = false;
    ForgetRecovery();
    DrawProgress(picDownloadProgress, 0, false);
    cmdDownload->setEnabled(true);
    CmdExit->setEnabled(true);
    cmdPause->setEnabled(false);
    cmdStop->setEnabled(false);
}

void frmMain::SetTopMost(bool onTop) {
    // Only the top-most state changes; the window keeps its place and size.
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    const QRect place = geometry();
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    setGeometry(place);
    if (visible)
        show();
}

} // namespace app
