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

// Copies all of `in` to `out`. Returns 0 or the errno of the failure.
int CopyAll(int in, int out) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w > 0)
                done += w;
            else if (w == 0 || errno != EINTR)
                return w == 0 ? EIO : errno;
        }
    }
}

// Puts a copy of `from` in a temporary file beside `to` and renames that over `to`, for a
// download on another file system than the executable: a rename cannot cross file systems,
// and copying straight onto the executable's name would leave half a program when the copy
// fails. The temporary file has a fixed name, so that a copy cut short by a crash is
// replaced by the next update instead of piling up. The download is removed once the copy
// has its place. Returns 0 or an errno.
int CopyOver(const QByteArray& from, const QByteArray& to, mode_t mode) {
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    const QByteArray temp = to + ".new";
    if (::unlink(temp.constData()) != 0 && errno != ENOENT) {
        const int error = errno;
        ::close(in);
        return error;
    }
    const int out =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = CopyAll(in, out);
    if (error == 0 && ::fchmod(out, mode) != 0)
        error = errno;
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    ::close(in);
    if (error == 0 && ::rename(temp.constData(), to.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        return error;
    }
    ::unlink(from.constData());
    return 0;
}

// Flushes the file's data to its disk, so that a rename that reaches the disk first cannot
// leave the executable's name on a file without its contents. Returns 0 or the errno.
int SyncFile(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Moves the download onto the executable's name in one rename (or, across file systems, a
// copy renamed into place), carrying the old executable's permission bits over. Returns 0
// or the errno of the failure.
int ReplaceExecutable(const QString& download, const QString& executable) {
    const QByteArray from = QFile::encodeName(download);
    const QByteArray to = QFile::encodeName(executable);
    struct stat source {};
    if (::stat(from.constData(), &source) != 0)
        return errno;
    struct stat old {};
    mode_t mode = 0;
    if (::stat(to.constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = (source.st_mode & 07777) | (0111 & ~mask);
    }
    if (::chmod(from.constData(), mode) != 0)
        return errno;
    if (const int error = SyncFile(from))
        return error;
    if (::rename(from.constData(), to.constData()) != 0)
        return errno == EXDEV ? CopyOver(from, to, mode) : errno;
    return 0;
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

void frmMain::Command1_Click() {
    const QString download = TxtPath->text();
    const QString executable = Text2->text();
    const int error = ReplaceExecutable(download, executable);
    if (error == 0)
        return;
    if (error == EACCES || error == EPERM || error == ETXTBSY || error == EBUSY) {
        Ui().MsgBox(this, QStringLiteral("Close Velder Application !"), MsgButtons::OK,
                    MsgIcon::Critical, QStringLiteral("Application Error"));
        return;
    }
    Ui().MsgBox(this,
                QStringLiteral("Cannot replace \"%1\" by \"%2\": %3")
                    .arg(executable, download, QString::fromLocal8Bit(std::strerror(error))),
                MsgButtons::OK, MsgIcon::Critical, QStringLiteral("Application Error"));
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
