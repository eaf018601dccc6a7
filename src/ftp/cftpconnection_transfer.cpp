// The FTP client's data connections, listings and file transfers: TYPE, PORT and PASV,
// LIST, REST, RETR, STOR with its piece pump, and ABOR.
#include "cftpconnection.h"

#include "connection_support.h"
#include "ftp_errors.h"
#include "ftp_listing.h"
#include "ftp_replies.h"
#include "socket_control.h"

#include <QFileInfo>

namespace ftp {

namespace {

constexpr quint16 kFirstDataPort = 1100;
constexpr quint16 kLastDataPort = 32767;
constexpr int kListenAttempts = 20;

bool Ended(int state) {
    return state == net::sckClosed || state == net::sckClosing;
}

QByteArray DropFirstLine(const QByteArray& text) {
    const qsizetype eol = text.indexOf("\r\n");
    return eol < 0 ? QByteArray() : text.mid(eol + 2);
}

} // namespace

quint16 CFtpConnection::GetNextDataPort() {
    static qint32 counter = 0;
    if (counter == 0 || counter + 1 > kLastDataPort)
        counter = kFirstDataPort;
    else
        ++counter;
    return static_cast<quint16>(counter);
}

// ---- transfer type and data connections -----------------------------------------------

void CFtpConnection::setTransferMode(qint32 newValue) {
    if (newValue == transferMode_)
        return;
    BusyScope busy(busy_);
    if (ProcessTYPECommand(newValue))
        transferMode_ = newValue;
}

bool CFtpConnection::ProcessTYPECommand(qint32 mode) {
    return Guarded("ProcessTYPECommand", false,
                   [&] { return SimpleCommand(mode == 0 ? "TYPE A" : "TYPE I", 200); });
}

bool CFtpConnection::OpenDataConnection() {
    dataTlsPending_ = false;
    dataCommandStarted_ = false;
    return passiveMode_ ? ProcessPASVCommand() : ProcessPORTCommand();
}

bool CFtpConnection::ProcessPORTCommand() {
    return Guarded("ProcessPORTCommand", false, [&] {
        emit StateChanged(ftpOpeningDataConnection);
        quint16 port = 0;
        // The data port listens only where the PORT command says it does: on the local end of
        // the control connection. A port that cannot be listened on is passed over for the
        // next one, a few times.
        const QString localAddress = wscControl->LocalIP();
        for (int attempt = 1;; ++attempt) {
            port = GetNextDataPort();
            if (wscData->State() != net::sckClosed)
                wscData->Close();
            wscData->setLocalPort(port);
            wscData->setListenAddress(localAddress);
            try {
                wscData->Listen();
                break;
            } catch (const net::SocketError& e) {
                if (e.number() != net::sckAddressInUse || attempt == kListenAttempts)
                    throw;
            }
        }
        if (!SimpleCommand("PORT " + PortArgument(localAddress, port), 200))
            return false;
        emit StateChanged(ftpDataConnectionOpen);
        return true;
    });
}

bool CFtpConnection::ProcessPASVCommand() {
    return Guarded("ProcessPASVCommand", false, [&] {
        emit StateChanged(ftpOpeningDataConnection);
        const QByteArray reply = Exchange("PASV", Completion::LineEnd);
        const int code = GetReplyCode(reply);
        if (code == 227)
            return MakePassiveDataConnection(reply);
        SetReplyError(code);
        return false;
    });
}

bool CFtpConnection::MakePassiveDataConnection(const QByteArray& reply) {
    return Guarded("MakePassiveDataConnection", false, [&] {
        // Only the port of the reply is taken: the data connection goes to the host the
        // control connection reached, so that a reply cannot send the client elsewhere.
        const quint16 port = ParsePasvReply(reply).port;
        const QString host = wscControl->RemoteHostIP();
        wscData->Close();
        wscData->setLocalPort(0);
        wscData->Connect(host, port);
        if (!WaitUntil([&] { return wscData->State() == net::sckConnected; }))
            return false;
        dataTlsPending_ = useTls_;
        emit StateChanged(ftpDataConnectionOpen);
        emit ReplyMessage(QStringLiteral("Connecting to: %1:%2\r\n").arg(host).arg(port));
        return true;
    });
}

// The data connection's handshake starts once the server has answered the transfer's command
// with its preliminary reply and the connection is up, whichever comes last: servers take the
// handshake only then.
void CFtpConnection::SecureDataConnection() {
    if (!dataTlsPending_ || !dataCommandStarted_ || wscData->State() != net::sckConnected)
        return;
    dataTlsPending_ = false;
    dataTlsFailure_.clear();
    wscData->StartTls(DataTlsOptions());
}

void CFtpConnection::DataCommandStarted() {
    dataCommandStarted_ = true;
    SecureDataConnection();
}

void CFtpConnection::wscData_ConnectionRequest(qintptr requestID) {
    try {
        if (wscData->State() != net::sckClosed)
            wscData->Close();
        wscData->Accept(requestID);
        if (useTls_) {
            dataTlsPending_ = true;
            SecureDataConnection();
        }
    } catch (const net::SocketError& e) {
        SetSocketError(e.number(), e.text());
    }
}

void CFtpConnection::wscData_DataArrival(qint64 bytesTotal) {
    if (bytesTotal == 0)
        return;
    PumpData();
}

// Takes what waits on the data connection: listing text into the data buffer, download data
// into the file. Before the file is open one piece is held in the early-data buffer and the
// rest stays in the connection, so that a fast server cannot fill memory; the waits of
// the transfer call this again on every pass.
void CFtpConnection::PumpData() {
    if (pumping_)
        return;
    pumping_ = true;
    bool received = false;
    try {
        QByteArray& piece = dataPiece_; // read into again on every pass: no fresh memory
        while (wscData->BytesReceived() > 0) {
            if (downloading_ && !fileOpen_ && !earlyData_.isEmpty())
                break;
            wscData->GetData(piece);
            received = true;
            if (!downloading_) {
                if (dataBuffer_.size() < kMaxListingBytes)
                    dataBuffer_ += piece.left(kMaxListingBytes - dataBuffer_.size());
            } else if (fileOpen_) {
                WriteDownloadPiece(piece);
            } else {
                earlyData_ = piece;
            }
        }
    } catch (const net::SocketError&) {
        // The connection went away underneath; its state ends the wait.
    }
    pumping_ = false;
    if (received)
        watcher_.Reset(); // data counts as traffic; a quiet pass does not
}

// A data connection counts as ended once the server has closed it and nothing waits on it.
bool CFtpConnection::DataConnectionEnded() {
    PumpData();
    const int state = wscData->State();
    if (useTls_ && state == net::sckError && wscData->BytesReceived() == 0)
        return true; // a handshake that failed: nothing more will come
    return state == net::sckClosed || (state == net::sckClosing && (wscData->BytesReceived() == 0 ||
                                                                    (downloading_ && !fileOpen_)));
}

// ---- listings -------------------------------------------------------------------------

bool CFtpConnection::ProcessLISTCommand() {
    return Guarded("ProcessLISTCommand", false, [&] {
        wscControl->SendData("LIST\r\n");
        emit ReplyMessage(QStringLiteral("LIST"));
        QByteArray reply;
        WaitUntil([&] {
            if (!replyBuffer_.contains("\r\n"))
                return false;
            const int code = GetReplyCode(replyBuffer_);
            if (code == 150 || code == 125) {
                replyBuffer_ = DropFirstLine(replyBuffer_);
                DataCommandStarted();
                return false;
            }
            reply = replyBuffer_;
            replyBuffer_.clear();
            return true;
        });
        const int code = GetReplyCode(reply);
        if (code == 226 || code == 250)
            return true;
        SetReplyError(code);
        return false;
    });
}

bool CFtpConnection::EnumFiles(CFTPFiles& oFiles) {
    BusyScope busy(busy_);
    if (!OpenDataConnection())
        return false;
    emit StateChanged(ftpListingDirectory);
    if (!ProcessLISTCommand())
        return false;
    const bool ended = WaitUntil([&] { return DataConnectionEnded(); });
    if (!dataTlsFailure_.isEmpty())
        return TlsFailed(ftpErrTlsFailed, dataTlsFailure_);
    if (!ended && !lastServerResponse_.startsWith("226"))
        return false;
    oFiles = ParseListing(dataBuffer_);
    dataBuffer_.clear();
    if (ended)
        emit StateChanged(ftpListingDone);
    return true;
}

// ---- downloads ------------------------------------------------------------------------

bool CFtpConnection::ProcessRESTCommand(qint64 start) {
    return Guarded("ProcessRESTCommand", false,
                   [&] { return SimpleCommand("REST " + QByteArray::number(start), 350); });
}

bool CFtpConnection::LocalFileExists(const QString& path) {
    return QFileInfo(path).isFile();
}

QByteArray CFtpConnection::WaitForTransferReply(const std::function<void()>& onStart,
                                                bool allowAbandon) {
    QByteArray reply;
    WaitUntil([&] {
        PumpData();
        if (allowAbandon && !downloading_) {
            reply = replyBuffer_; // broken off underneath: judged by what is there
            return true;
        }
        if (!replyBuffer_.contains("\r\n"))
            return false;
        const int code = GetReplyCode(replyBuffer_);
        if (code != 125 && code != 150) {
            reply = replyBuffer_;
            replyBuffer_.clear();
            return true;
        }
        onStart();
        return false;
    });
    return reply;
}

void CFtpConnection::OpenLocalFileForDownload(qint64 start) {
    if (start == 0 && LocalFileExists(localFilePath_))
        QFile::remove(localFilePath_);
    localFile_.setFileName(localFilePath_);
    // From the start, nothing of an older file may stay behind, even where it could not be
    // removed. Unbuffered, so that every piece meets the disk in its own write and a full
    // disk is reported there, not lost in the unchecked flush of the closing file.
    const QIODevice::OpenMode mode =
        start == 0 ? QIODevice::ReadWrite | QIODevice::Unbuffered | QIODevice::Truncate
                   : QIODevice::ReadWrite | QIODevice::Unbuffered;
    if (!localFile_.open(mode))
        throw RuntimeError(kErrFileAccess, QStringLiteral("Path/File access error: %1: %2")
                                               .arg(localFilePath_, localFile_.errorString()));
    if (start > 0 && !localFile_.seek(start))
        throw RuntimeError(kErrFileAccess, localFile_.errorString());
    fileOpen_ = true;
    localFileError_.clear();
    if (!earlyData_.isEmpty()) {
        WriteDownloadPiece(earlyData_);
        earlyData_.clear();
    }
}

void CFtpConnection::WriteDownloadPiece(const QByteArray& piece) {
    if (!localFileError_.isEmpty())
        return;
    // A short write (the disk filled half-way) is followed by one for the rest, which fails
    // with the reason.
    qint64 written = 0;
    while (written < piece.size()) {
        const qint64 n = localFile_.write(piece.constData() + written, piece.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    if (written != piece.size()) {
        // The transfer cannot go on; the download reports why when its wait ends.
        localFileError_ = QStringLiteral("Path/File access error: %1: %2")
                              .arg(localFilePath_, localFile_.errorString());
        wscData->Close();
        return;
    }
    bytesReceived_ += piece.size();
    emit DownloadProgress(bytesReceived_);
}

bool CFtpConnection::ProcessRETRCommand(const QString& remoteName, qint64 start) {
    return Guarded("ProcessRETRCommand", false, [&] {
        dataBuffer_.clear();
        const QByteArray line = CommandLine("RETR", remoteName) + "\r\n";
        wscControl->SendData(line);
        emit ReplyMessage(QString::fromUtf8(line));
        const QByteArray reply = WaitForTransferReply(
            [&] {
                DataCommandStarted();
                OpenLocalFileForDownload(start);
                replyBuffer_ = DropFirstLine(replyBuffer_);
                emit StateChanged(ftpTransferStarted);
            },
            true);
        const int code = GetReplyCode(reply);
        if (code == 226 || code == 250)
            return true;
        SetReplyError(code);
        return false;
    });
}

bool CFtpConnection::DownloadFile(const QString& sFileName, const QString& sLocalFileName,
                                  qint32 vTransferMode, qint64 lStartPoint) {
    CFTPFiles listing;
    bool listed = false;
    try {
        listed = EnumFiles(listing);
    } catch (const FtpError&) {
        // A listing that fails does not stop the download.
    }
    if (listed && totalSizeSink_) {
        for (const CFTPFile& file : listing) {
            if (file.Filename().compare(sFileName, Qt::CaseInsensitive) == 0) {
                totalSizeSink_(file.FileSize());
                break;
            }
        }
    }
    earlyData_.clear();
    BusyScope busy(busy_);
    if (!ProcessTYPECommand(vTransferMode))
        return false;
    transferMode_ = vTransferMode;
    if (!OpenDataConnection())
        return false;
    // Counted from the start point, or from 0: an earlier download that failed before its
    // data may have left a count behind.
    bytesReceived_ = qMax<qint64>(0, lStartPoint);
    if (lStartPoint > 0 && !ProcessRESTCommand(lStartPoint))
        return false;
    downloading_ = true;
    localFilePath_ = sLocalFileName;
    if (!ProcessRETRCommand(sFileName, lStartPoint)) {
        downloading_ = false;
        localFile_.close();
        fileOpen_ = false;
        return dataTlsFailure_.isEmpty() ? false : TlsFailed(ftpErrTlsFailed, dataTlsFailure_);
    }
    if (!WaitUntil([&] { return DataConnectionEnded(); }))
        return false; // the file stays open until a cancel or break
    if (!dataTlsFailure_.isEmpty()) {
        AbandonTransfer(true);
        return TlsFailed(ftpErrTlsFailed, dataTlsFailure_);
    }
    emit StateChanged(ftpTransferDone);
    localFile_.close();
    fileOpen_ = false;
    downloading_ = false;
    bytesReceived_ = 0;
    if (!localFileError_.isEmpty())
        throw FtpError(kObjectErrorOffset + kErrFileAccess,
                       QStringLiteral("CFtpConnection.DownloadFile"), localFileError_);
    if (lastServerResponse_.startsWith("426")) {
        SetReplyError(426);
        return false;
    }
    return true;
}

// ---- uploads --------------------------------------------------------------------------

bool CFtpConnection::ProcessSTORCommand(const QString& localPath, const QString& remoteName,
                                        qint64 start) {
    return Guarded("ProcessSTORCommand", false, [&] {
        dataBuffer_.clear();
        const QByteArray line = CommandLine("STOR", remoteName) + "\r\n";
        wscControl->SendData(line);
        emit ReplyMessage(QString::fromUtf8(line));
        bool pumpFailed = false;
        const QByteArray reply = WaitForTransferReply(
            [&] {
                replyBuffer_.clear();
                DataCommandStarted();
                emit StateChanged(ftpTransferStarted);
                localFilePath_ = localPath;
                pumpFailed = !UploadData(start);
            },
            false);
        if (pumpFailed)
            return false;
        const int code = GetReplyCode(reply);
        if (code == 226 || code == 250)
            return true;
        SetReplyError(code);
        return false;
    });
}

// The file is read in blocks of many pieces (one read per block rather than per piece) and
// each piece goes to the socket straight from the block: SendData copies what it keeps.
void CFtpConnection::SendUploadPiece(qint64 size) {
    constexpr qsizetype kReadAhead = 64 * 1024;
    if (readAhead_.size() - readAheadPos_ < size) {
        readAhead_.remove(0, readAheadPos_); // the unsent rest moves to the front
        readAheadPos_ = 0;
        const qsizetype kept = readAhead_.size();
        readAhead_.resize(qMax(kReadAhead, qsizetype(size)));
        const qint64 got = localFile_.read(readAhead_.data() + kept, readAhead_.size() - kept);
        readAhead_.resize(kept + qMax<qint64>(0, got));
    }
    if (readAhead_.size() - readAheadPos_ < size)
        throw RuntimeError(kErrFileAccess, QStringLiteral("Path/File access error: %1: %2")
                                               .arg(localFilePath_, localFile_.errorString()));
    wscData->SendData(QByteArray::fromRawData(readAhead_.constData() + readAheadPos_, size));
    readAheadPos_ += size;
}

bool CFtpConnection::UploadData(qint64 start) {
    return Guarded("UploadData", false, [&] {
        // Over TLS an active connection is up only after its handshake, which may fail.
        const auto connected = [&] {
            return wscData->State() == net::sckConnected ||
                   (useTls_ && wscData->State() == net::sckError);
        };
        if (!fileOpen_) {
            fileOpen_ = true;
            localFile_.setFileName(localFilePath_);
            readAhead_.resize(0);
            readAheadPos_ = 0;
            if (!localFile_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                throw RuntimeError(
                    LocalFileExists(localFilePath_) ? kErrFileAccess : kErrFileNotFound,
                    QStringLiteral("%1: %2").arg(localFilePath_, localFile_.errorString()));
            qint64 rest = localFile_.size();
            if (start >= 1) {
                localFile_.seek(start);
                bytesSent_ = start;
                rest -= start;
            }
            rest = qMax<qint64>(0, rest);
            fullPieces_ = static_cast<qint32>(rest / uploadPieceSize_);
            finalPieceSize_ = static_cast<qint16>(rest % uploadPieceSize_);
            pieceIndex_ = fullPieces_ >= 1 ? 1 : 0;
            // The first piece waits for the data connection like every other wait.
            if (!WaitUntil(connected))
                return false;
            if (wscData->State() != net::sckConnected)
                return TlsFailed(ftpErrTlsFailed, dataTlsFailure_);
            // The pieces are small: the system joins them into full segments, so that
            // neither side pays for a segment per piece.
            wscData->setCoalescing(true);
            SendUploadPiece(fullPieces_ >= 1 ? uploadPieceSize_ : finalPieceSize_);
            return true;
        }
        if (pieceIndex_ >= 1 && pieceIndex_ <= fullPieces_ - 1) {
            ++pieceIndex_;
            SendUploadPiece(uploadPieceSize_);
        } else if (pieceIndex_ != 0 && pieceIndex_ == fullPieces_) {
            pieceIndex_ = 0;
            if (!WaitUntil(connected))
                return false;
            SendUploadPiece(finalPieceSize_);
        } else if (pieceIndex_ == 0) {
            wscData->setCoalescing(false); // what is held back goes out now
            wscData->Close(); // the end of the data tells the server that the file is complete
            localFile_.close();
            emit StateChanged(ftpTransferDone);
            bytesSent_ = 0;
            fullPieces_ = 0;
            finalPieceSize_ = 0;
            fileOpen_ = false;
            uploading_ = false;
        }
        return true;
    });
}

void CFtpConnection::wscData_SendProgress(qint64 bytesSent, qint64) {
    if (!uploading_)
        return;
    bytesSent_ += bytesSent;
    emit UploadProgress(bytesSent_);
}

void CFtpConnection::wscData_SendComplete() {
    if (uploading_) {
        try {
            UploadData(0);
        } catch (const FtpError& e) {
            // Raised inside an event: kept for the caller, and the upload ends here.
            lastErrorText_ = e.description();
            wscData->Close();
        }
    }
    watcher_.Reset();
}

bool CFtpConnection::UploadFile(const QString& sLocalFileName, const QString& sRemoteFileName,
                                qint32 vTransferMode, qint64 lStartPoint) {
    BusyScope busy(busy_);
    if (vTransferMode != transferMode_) {
        if (!ProcessTYPECommand(vTransferMode))
            return false;
        transferMode_ = vTransferMode;
    }
    if (!OpenDataConnection())
        return false;
    if (lStartPoint != kNoStartPoint && !ProcessRESTCommand(lStartPoint))
        return false;
    localFilePath_ = sLocalFileName;
    uploading_ = true;
    if (!ProcessSTORCommand(sLocalFileName, sRemoteFileName, qMax<qint64>(0, lStartPoint)))
        return false;
    if (!WaitUntil([&] { return Ended(wscData->State()); }))
        return false;
    emit StateChanged(ftpTransferDone);
    return true;
}

// ---- cancel ---------------------------------------------------------------------------

bool CFtpConnection::ProcessABORCommand() {
    return Guarded("ProcessABORCommand", false, [&] {
        const QByteArray reply = Exchange("ABOR", Completion::LineEnd);
        // A RETR or STOR wait still running underneath ends as a completed transfer.
        replyBuffer_ = QByteArrayLiteral("226\r\n");
        const int code = GetReplyCode(reply);
        if (code == 426)
            return true;
        SetReplyError(code);
        return false;
    });
}

bool CFtpConnection::CancelTransfer() {
    BusyScope busy(busy_);
    const bool result = ProcessABORCommand();
    if (downloading_ || uploading_)
        AbandonTransfer(false);
    fileOpen_ = false;
    watcher_.StopTimer();
    return result;
}

} // namespace ftp
