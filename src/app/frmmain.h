// The updater's main window: the progress panel, the button row, the address and path boxes
// below the visible part, and the HTTP download that the window runs itself over its socket.
#pragma once

#include "http_protocol.h"
#include "ui_seam.h"

#include <QByteArray>
#include <QLineEdit>
#include <QMainWindow>
#include <QString>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace net {
class SocketControl;
}
namespace ftp {
class CFtpConnection;
}
namespace controls {
class rkButtons_H;
}
namespace signing {
class RunningDigest;
}

namespace app {

class ProgressPicture;
class SmallFileFetch;
struct FetchResult;

// The address box: trims itself and takes dropped text whole.
class UrlBox : public QLineEdit {
    Q_OBJECT
public:
    explicit UrlBox(QWidget* parent = nullptr);
signals:
    void TextDropped(const QString& text);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Operations other code calls.
    void StartUpdate(const QString& strURL);
    void Reset();
    void CloseSocket();
    void StartDownload(const QString& savePath);

    // Fields of this window's transfer.
    QByteArray ChunkBuffer; // the data of the last socket read
    qint16 Percent = 0;     // last percentage shown
    double StartTime = 0;   // monotonic seconds when the transfer (re)started; 0 when idle
    QByteArray HeaderText;  // the response header of this transfer
    double Speed = 0;       // kilobytes (1000 bytes) per second, two decimals
    bool ProxyFtp = false;
    bool IsFtpDownload = false;
    bool Paused = false;
    bool FtpDone = false;
    ftp::CFtpConnection* CFtpConnection = nullptr; // the FTP client while the FTP routine runs

    // Controls.
    QLabel* Label7;
    QGroupBox* fraDownloadProgress;
    ProgressPicture* picDownloadProgress;
    QLabel* lblStatus;
    QLabel *Label2, *lblSize, *Label3, *lblRecieve, *Label4, *lblSpeed;
    QLabel *Label5, *lblRemaining, *Label6, *lblElapsed, *Label9, *LBLPR;
    controls::rkButtons_H *cmdDownload, *cmdRun, *cmdStop, *CmdExit;
    QPushButton *cmdPause, *Command1;
    QLabel *Label1, *Label8, *Label10, *Label11;
    UrlBox* txtURL;
    QLineEdit *TxtPath, *Text2, *Text1;
    net::SocketControl* sckDownload;
    QTimer* tmrUpdateProgress;
    QTimer* tmrTimeLeft;

    // Menus.
    QMenu *mnuFile, *mnuSettings, *mnuAbout;
    QAction *mnuNewInstanceFile, *showheader, *mnuExit;
    QAction *mnuSettingsProxy, *mnuftpoptions, *mnuDownloadOptions;
    QAction *mnuAboutDownloader, *mnuTessarinOnWeb;

    static double Now(); // monotonic seconds

    // The maker's public key (minisign's base64 line) that a build's signature must match
    // before it replaces the executable; the one built in unless set. Empty: no check.
    static QByteArray BuiltInMakerKey();
    void setMakerKey(const QByteArray& key) { makerKey_ = key; }

public slots:
    void cmdDownload_Click();
    void cmdRun_Click();
    void cmdStop_Click();
    void CmdExit_Click();
    void cmdPause_Click();
    void Command1_Click();

    void sckDownload_Connect();
    void sckDownload_DataArrival(qint64 bytesTotal);
    void sckDownload_Close();
    void sckDownload_Error(int number, const QString& description);

    void CFtpConnection_DownloadProgress(qint64 lBytes);
    void CFtpConnection_StateChanged(int State);
    void CFtpConnection_ReplyMessage(const QString& sMessage);
    void CFtpConnection_UploadProgress(qint64 lBytes);

    void tmrUpdateProgress_Timer();
    void tmrTimeLeft_Timer();

    void mnuSettings_Click();
    void mnuNewInstanceFile_Click();
    void mnuTessarinOnWeb_Click();
    void txtURL_Change();
    void txtURL_Drop(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void FormLoad();
    void ConnectDownloadSocket();
    void FtpTransfer();
    bool RunFtpSteps(ftp::CFtpConnection& client, quint64 run);
    void FtpDownloadStep(ftp::CFtpConnection& client, const QString& fileName, qint64& start,
                         int& answer);
    int AskRetry(const QString& prompt, MsgIcon icon);
    void PauseFtp();
    void ResumeFtp();
    void StopFtp();
    bool TakeResponseHeader();
    void FailResponse(const QString& statusLine);
    void RefuseResume();
    void ReportNotFound();
    int OpenOutputFile();
    void CloseOutputFile();
    bool WriteChunk();
    void MeasureSpeed();
    void ShowFinished(const QString& status);
    bool ShortOfLength() const;
    void ConnectionLost();
    void Reconnect();
    void StopReconnecting();
    void ForgetRecovery();
    bool OverlapMatches() const;
    void StartOver();
    FetchResult FetchSignature();
    QString CheckBuild(int fd, const QByteArray& signature, const QString& executable,
                       QByteArray& version) const;
    void RefuseUpdate(const QString& download, const QString& reason);
    void SetTopMost(bool onTop);
    bool FileExists(const QString& path) const;
    void ShellOpen(const QString& path);

    http::HeaderCollector header_;    // collects the current response's header
    int outputFile_ = -1;             // the download's file while a response writes to it
    bool headerTaken_ = false;        // the current response's header has been handled
    int redirects_ = 0;               // redirects followed in a row for this transfer
    quint64 ftpRuns_ = 0;             // FTP routines started; a newer one supersedes an older
    bool ftpTransferRunning_ = false; // the FTP client reported the data transfer started
    bool deleteWhenFtpEnds_ = false;  // closed while the FTP routine ran on this window
    bool outerHeightSet_ = false;
    int StartHeight() const; // the window's height at start-up, menu bar included
    QByteArray makerKey_ = BuiltInMakerKey();
    SmallFileFetch* signatureFetch_ = nullptr; // the signature's fetch while it runs
    // The HTTP download's digest, taken as it is written (only with a key built in).
    std::unique_ptr<signing::RunningDigest> digest_;

    // An HTTP transfer that the server ends short reconnects by itself (ConnectionLost).
    QTimer* reconnectTimer_;    // the wait before the next try
    bool reconnecting_ = false; // a try waits or runs, until its response is accepted
    int lostTries_ = 0;         // tries since the file last grew
    qint64 progressMark_ = -1;  // Received when the connection was last lost
    // A resume with roll-back fetches bytes the file already has: up to this offset they are
    // compared with the file before they are written (0: nothing to compare).
    qint64 verifyUntil_ = 0;

    // What the display shows now, so that an unchanged tick repaints nothing.
    qint64 shownReceived_ = -1;
    qint64 shownTotal_ = -1;
};

} // namespace app
