// A self-contained FTP client. Every public operation is synchronous for its caller: it
// sends its commands on the control connection and waits, letting the thread's events run,
// until the expected reply arrives or the connection's time-out passes in silence.
#pragma once

#include "ctimeout.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <functional>

namespace net {
class SocketControl;
struct ConnectOptions;
} // namespace net

namespace ftp {

class CFTPFiles;

// The states that StateChanged reports.
enum FtpConnectionState : int {
    ftpResolvingHost = 0,
    ftpHostResolved = 1,
    ftpConnected = 2,
    ftpLoggingIn = 3,
    ftpLoggedIn = 4,
    ftpOpeningDataConnection = 5,
    ftpDataConnectionOpen = 6,
    ftpListingDirectory = 7,
    ftpListingDone = 8,
    ftpTransferStarted = 9,
    ftpTransferDone = 10,
};

class CFtpConnection : public QObject {
    Q_OBJECT
public:
    // The password of an anonymous login when none is set.
    static const QString kAnonymousPassword;
    // The most listing text kept from one LIST; more is dropped.
    static constexpr qsizetype kMaxListingBytes = 64 * 1024 * 1024;
    // The most control-connection text kept while no command takes it; more is dropped and
    // does not count as traffic, so that a flooding server still meets the time-out.
    static constexpr qsizetype kMaxReplyBuffer = 1024 * 1024;

    explicit CFtpConnection(QObject* parent = nullptr);
    ~CFtpConnection() override;

    // Sleeps 1 ms, then lets every pending event of the thread run.
    void DoEvents2();
    qint32 FtpGetLastError() const { return lastError_; }
    QString CurrentDirectory() const { return currentDirectory_; }
    QString GetLastServerResponse() const { return QString::fromUtf8(lastServerResponse_); }

    qint32 TransferMode() const { return transferMode_; }
    void setTransferMode(qint32 newValue);
    bool PassiveMode() const { return passiveMode_; }
    void setPassiveMode(bool newValue) { passiveMode_ = newValue; }

    // Lists the current directory into oFiles (unchanged on failure).
    bool EnumFiles(CFTPFiles& oFiles);
    bool SetCurrentDirectory(const QString& sNewDirectory);

    // With TLS on, the control connection is secured after the greeting (AUTH TLS), data
    // connections are protected after login (PBSZ 0, PROT P), and each data connection, passive
    // or active, is a TLS client that resumes the control connection's session. A server that
    // refuses any step ends the operation (errors 60-62); nothing falls back to clear text.
    bool UseTls() const { return useTls_; }
    void setUseTls(bool newValue) { useTls_ = newValue; }
    // A PEM file of certificate authorities trusted beside the system's ("" for none).
    QString TrustedCertificates() const { return trustedCertificates_; }
    void setTrustedCertificates(const QString& path) { trustedCertificates_ = path; }

    QString FtpServer() const { return server_; }
    void setFtpServer(const QString& newValue) { server_ = newValue; }
    QString FtpServerPort() const { return serverPort_; }
    void setFtpServerPort(const QString& newValue) { serverPort_ = newValue; }
    QString Password() const { return password_; }
    void setPassword(const QString& newValue) { password_ = newValue; }
    QString UserName() const { return userName_; }
    void setUserName(const QString& newValue) { userName_ = newValue; }

    bool Connect(const QString& sFTPServer = QString(), const QString& sFTPServerPort = QString());
    bool RenameFile(const QString& sOldFileName, const QString& sNewFileName);
    bool DeleteFile(const QString& sFileName);
    bool RemoveDirectory(const QString& sDirName);
    bool CreateDirectory(const QString& sDirName);
    // Downloads a remote file of the current directory; with a start point, the first byte
    // received lands at that offset of the local file.
    bool DownloadFile(const QString& sFileName, const QString& sLocalFileName, qint32 vTransferMode,
                      qint64 lStartPoint = 0);
    // Ends everything at once, without a protocol exchange: a running operation returns
    // false, and so does every later one until the next Connect.
    void BreakeConnection();
    // Uploads a local file in pieces; a start point (>= 0) sends REST and starts there.
    bool UploadFile(const QString& sLocalFileName, const QString& sRemoteFileName,
                    qint32 vTransferMode = 0, qint64 lStartPoint = kNoStartPoint);
    static constexpr qint64 kNoStartPoint = -1;

    qint16 Timeout() const { return timeout_; }
    void setTimeout(qint16 newValue);
    bool Busy() const { return busy_; }
    // True while the control connection is up (a 426 reply or BreakeConnection ends it).
    bool Connected() const;
    // Sends PWD: the new current directory, or "" when PWD fails.
    QString GetCurrentDirectory();
    // Sends ABOR and ends a running transfer; the caller must connect again afterwards.
    bool CancelTransfer();
    bool SetParentAsCurrentDirectory();
    QString GetFtpErrorDescription() const { return lastErrorText_; }
    // QUIT, then both connections closed; refused (error 59) while a transfer runs.
    bool CloseConnection();

    // Where a download reports the size that the listing gave for its file, before RETR.
    void setTotalSizeSink(std::function<void(qint64)> sink) { totalSizeSink_ = std::move(sink); }
    // The next port of the process-wide run 1100..32767 used for active data connections.
    static quint16 GetNextDataPort();

signals:
    void StateChanged(int State);
    void DownloadProgress(qint64 lBytes);
    void UploadProgress(qint64 lBytes);
    void ReplyMessage(const QString& sMessage);

private:
    enum class Completion { AtLeastFourBytes, LineEnd };

    // Command exchange: sends line + CR LF, shows `shown` (or the line), waits for the
    // completion condition and returns the whole reply buffer ("" after a time-out, with
    // the last error 58). The buffer is cleared unless keepBuffer.
    QByteArray Exchange(const QByteArray& line, Completion completion, bool keepBuffer = false,
                        const QByteArray& shown = QByteArray());
    // A command whose success is one reply code.
    bool SimpleCommand(const QByteArray& line, int successCode);
    // Waits, with the watcher running, until done() holds; false after a time-out (error 58).
    bool WaitUntil(const std::function<bool()>& done);
    // Runs a routine under the client's error handler: socket and run-time errors that have
    // an error number are kept and answered with `failure`; others are raised as FtpError
    // with the source "CFtpConnection." + routine.
    template <typename Result, typename Body>
    Result Guarded(const char* routine, Result failure, Body body);
    bool SetReplyError(int code);
    bool SetSocketError(int number, const QString& description);
    QByteArray CommandLine(const char* verb, const QString& argument) const;

    // Connects, reads the greeting and, with TLS on, secures the connection; true when the
    // greeting was 220 and, with TLS, the handshake succeeded.
    bool OpenControlConnection();
    bool ProcessAUTHCommand();
    bool ProtectDataConnections();
    // Waits until `socket`'s handshake has ended; false (error 61) unless it succeeded.
    bool WaitForTls(net::SocketControl* socket);
    bool TlsFailed(int number, const QString& detail);
    net::ConnectOptions DataTlsOptions() const;
    void SecureDataConnection();
    void DataCommandStarted();
    bool LogIn();
    qint16 ProcessUSERCommand();
    qint16 ProcessPASSCommand();
    bool ProcessPWDCommand();
    bool ProcessQUITCommand();
    bool ProcessCWDCommand(const QString& name);
    bool ProcessCDUPCommand();
    bool ProcessMKDCommand(const QString& name);
    bool ProcessRMDCommand(const QString& name);
    bool ProcessDELECommand(const QString& name);
    bool ProcessRNFRCommand(const QString& name);
    bool ProcessRNTOCommand(const QString& name);

    bool ProcessTYPECommand(qint32 mode);
    bool ProcessPORTCommand();
    bool ProcessPASVCommand();
    bool MakePassiveDataConnection(const QByteArray& reply);
    bool OpenDataConnection();
    bool ProcessLISTCommand();
    bool ProcessRESTCommand(qint64 start);
    bool ProcessRETRCommand(const QString& remoteName, qint64 start);
    bool ProcessSTORCommand(const QString& localPath, const QString& remoteName, qint64 start);
    // Waits for the final reply of RETR or STOR; onStart runs at a 125/150 line.
    QByteArray WaitForTransferReply(const std::function<void()>& onStart, bool allowAbandon);
    bool UploadData(qint64 start);
    bool ProcessABORCommand();
    static bool LocalFileExists(const QString& path);
    void OpenLocalFileForDownload(qint64 start);
    void WriteDownloadPiece(const QByteArray& piece);
    void PumpData();
    bool DataConnectionEnded();
    void SendUploadPiece(qint64 size);

    void wscControl_DataArrival(qint64 bytesTotal);
    void wscData_DataArrival(qint64 bytesTotal);
    void wscData_ConnectionRequest(qintptr requestID);
    void wscData_SendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void wscData_SendComplete();
    void TakeReplyPiece(const QByteArray& piece);
    // Ends a running download or upload: data connection, local file, buffers, flags.
    void AbandonTransfer(bool closeDataConnection);

    net::SocketControl* wscControl;
    net::SocketControl* wscData;
    CTimeout watcher_;

    QString userName_;
    QString password_;
    QString server_;
    QString serverPort_ = QStringLiteral("21");
    QString currentDirectory_;
    bool passiveMode_ = false;
    bool useTls_ = false;
    QString trustedCertificates_;
    QString controlTrust_;        // the file the control connection's certificate was checked with
    QString socketErrorText_;     // the control connection's last error (a handshake's reasons)
    QString dataTlsFailure_;      // why the current data connection's handshake failed
    bool dataTlsPending_ = false; // the data connection is still to be secured
    bool dataCommandStarted_ = false; // the server has answered the transfer's command with 1xx
    bool busy_ = false;
    bool broken_ = false;       // BreakeConnection ran since the last Connect
    int waitDepth_ = 0;         // waits nest: an upload's piece waits run inside the STOR wait
    bool waitTimedOut_ = false; // a nested wait timed out: the waits around it end too
    qint16 timeout_ = 0;
    qint32 transferMode_ = 0;
    qint32 lastError_ = 0;
    QString lastErrorText_;
    QByteArray replyBuffer_;
    QByteArray lastServerResponse_;

    // Transfer state.
    QByteArray dataBuffer_; // listing text received on the data connection
    QString localFilePath_;
    QFile localFile_;
    bool downloading_ = false;
    bool uploading_ = false;
    bool fileOpen_ = false;
    qint64 bytesReceived_ = 0;
    qint64 bytesSent_ = 0;
    QByteArray earlyData_; // download data that arrived before the local file was open
    QByteArray dataPiece_; // the last piece read from the data connection
    qint16 uploadPieceSize_ = 4096;
    qint32 fullPieces_ = 0;      // upload: number of full pieces
    qint32 pieceIndex_ = 0;      // upload: current full piece, 0 = none or the last one sent
    qint16 finalPieceSize_ = 0;  // upload: size of the final partial piece
    QByteArray readAhead_;       // upload: file bytes read ahead of the pieces
    qsizetype readAheadPos_ = 0; // upload: where the next piece starts in readAhead_
    QString localFileError_;     // why writing the download failed, when it did
    bool pumping_ = false;       // PumpData is running
    std::function<void(qint64)> totalSizeSink_;
};

} // namespace ftp
