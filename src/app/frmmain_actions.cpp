// The main window's progress display, pause, resume and stop, and the update actions that
// follow a download.
#include "app_settings.h"
#include "display_format.h"
#include "download_state.h"
#include "frmmain.h"
#include "progress_picture.h"
#include "rkbuttons_h.h"
#include "socket_control.h"
#include "ui_seam.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

constexpr int kProgressInterval = 1;      // ms: the platform's smallest
constexpr int kIdleProgressInterval = 50; // ms: while nothing is received

const QString kMakerWebPage = QStringLiteral("http://www.tessarin-software.example/");

void SetText(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

} // namespace

void frmMain::tmrUpdateProgress_Timer() {
    const DownloadFields& d = Download();
    // Idle, the timer wakes rarely; once bytes arrive it runs at its full pace again.
    const int pace = d.Received > 0 ? kProgressInterval : kIdleProgressInterval;
    if (tmrUpdateProgress->interval() != pace)
        tmrUpdateProgress->setInterval(pace);
    if (d.Received <= 0)
        return;
    if (d.Received == shownReceived_ && d.TotalSize == shownTotal_)
        return; // nothing changed since the last tick: repaint nothing
    shownReceived_ = d.Received;
    shownTotal_ = d.TotalSize;
    SetText(lblRecieve, FormatSize(d.Received));
    if (d.TotalSize == 0) {
        SetText(lblSize, QStringLiteral("Unknown"));
        return;
    }
    SetText(lblSize, FormatSize(d.TotalSize));
    const qint16 percent = PercentOf(d.Received, d.TotalSize);
    if (percent != Percent || LBLPR->text().isEmpty()) {
        Percent = percent;
        DrawProgress(picDownloadProgress, Percent, false);
        SetText(LBLPR, QString::number(Percent) + QStringLiteral(" %"));
    }
}

void frmMain::tmrTimeLeft_Timer() {
    if (signatureFetch_)
        return; // the finished download's check runs: the tick must not finish it again
    DownloadFields& d = Download();
    if (!(d.TotalSize > 0 && d.Received > 0 && Speed > 0))
        return;
    // An FTP transfer is complete only once the client has ended it: its listed size may
    // differ from what arrives.
    if (d.TotalSize <= d.Received && (!IsFtpDownload || FtpDone)) {
        SetText(lblSpeed, QStringLiteral("0"));
        CloseSocket();
        SetText(lblElapsed, ElapsedText(d.ElapsedHours, d.ElapsedMinutes, d.ElapsedSeconds));
        cmdDownload->setEnabled(false);
        cmdRun->setEnabled(true);
        CmdExit->setEnabled(false);
        ShowFinished(QStringLiteral("Download Completed"));
        Command1_Click();
        Reset();
        return;
    }
    if (++d.ElapsedSeconds >= 60) {
        d.ElapsedSeconds = 0;
        ++d.ElapsedMinutes;
    } else if (d.ElapsedMinutes >= 60) {
        d.ElapsedMinutes = 0;
        ++d.ElapsedHours;
    }
    cmdRun->setEnabled(false);
    CmdExit->setEnabled(false);
    SetText(lblElapsed, ElapsedText(d.ElapsedHours, d.ElapsedMinutes, d.ElapsedSeconds));
    const double remaining = std::floor(qMax<qint64>(0, d.TotalSize - d.Received) / 1024.0 / Speed);
    SetText(lblRemaining, ConvertTime(remaining));
    SetText(lblSpeed, FormatSpeed(Speed) + QStringLiteral(" Kbps"));
}

void frmMain::ShowFinished(const QString& status) {
    picDownloadProgress->hide();
    lblStatus->setText(status);
    lblStatus->show();
}

void frmMain::cmdPause_Click() {
    DownloadFields& d = Download();
    cmdPause->setEnabled(true);
    cmdDownload->setEnabled(false);
    CmdExit->setEnabled(false);
    if (!(d.TotalSize > d.Received))
        return;
    cmdStop->setEnabled(false);
    if (cmdPause->text() == QLatin1String("&Pause")) {
        cmdPause->setText(QStringLiteral("&Resume"));
        Paused = true;
        tmrTimeLeft->stop();
        if (IsFtpDownload) {
            PauseFtp();
        } else if (sckDownload->State() != net::sckClosed || reconnecting_) {
            StopReconnecting();
            ChunkBuffer.clear();
            StartTime = 0;
            HeaderText.clear();
            CloseSocket();
            ShowFinished(QStringLiteral("Download Paused"));
        }
        return;
    }
    cmdStop->setEnabled(true);
    cmdPause->setText(QStringLiteral("&Pause"));
    Paused = false;
    tmrTimeLeft->start();
    if (IsFtpDownload) {
        ResumeFtp();
    } else if (sckDownload->State() == net::sckClosed) {
        picDownloadProgress->show();
        lblStatus->hide();
        d.ResumeBase = QFileInfo(d.LocalFile).size();
        d.IsResuming = true;
        ForgetRecovery();
        ConnectDownloadSocket();
    }
}

void frmMain::cmdStop_Click() {
    if (Ui().MsgBox(this, QStringLiteral("Stop Update Software !"), MsgButtons::YesNo,
                    MsgIcon::None, QStringLiteral("Stop Update")) != vbYes)
        return;
    if (IsFtpDownload) {
        StopFtp();
        return;
    }
    if (sckDownload->State() >= 1 || reconnecting_) {
        ShowFinished(QStringLiteral("Download Aborted"));
        CloseSocket();
        Reset();
    }
}

void frmMain::cmdRun_Click() {
    ShellOpen(Text2->text());
}

void frmMain::ShellOpen(const QString& path) {
    const QFileInfo info(path);
    if (info.isFile() && info.isExecutable()) {
        QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath());
        return;
    }
    const QUrl url = path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path);
    QDesktopServices::openUrl(url);
}

void frmMain::mnuNewInstanceFile_Click() {
    auto* window = new frmMain;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void frmMain::mnuTessarinOnWeb_Click() {
    ShellOpen(kMakerWebPage);
}

void frmMain::txtURL_Drop(const QString& text) {
    txtURL->setText(text);
    if (AppSettings::DownloadDrop())
        StartUpdate(text);
}

} // namespace app
