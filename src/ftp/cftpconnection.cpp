// The FTP client's control connection: the command exchange and reply engine, connecting
// and logging in, the current directory, closing, and the file-management commands.
#include "cftpconnection.h"

#include "connection_support.h"
#include "ftp_listing.h"

#include "ftp_errors.h"
#include "ftp_replies.h"
#include "socket_control.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTimer>

namespace ftp {

const QString CFtpConnection::kAnonymousPassword = QStringLiteral("zorvupdater@localhost");

namespace {

constexpr int kReadRetries = 5;

} // namespace

CFtpConnection::CFtpConnection(QObject* parent)
    : QObject(parent), wscControl(new net::SocketControl(this)),
      wscData(new net::SocketControl(this)) {
    wscControl->setObjectName(QStringLiteral("wscControl"));
    wscData->setObjectName(QStringLiteral("wscData"));
    connect(wscControl, &net::SocketControl::DataArrival, this,
            &CFtpConnection::wscControl_DataArrival);
    connect(wscData, &net::SocketControl::DataArrival, this, &CFtpConnection::wscData_DataArrival);
    connect(wscData, &net::SocketControl::ConnectionRequest, this,
            &CFtpConnection::wscData_ConnectionRequest);
    connect(wscData, &net::SocketControl::SendProgress, this,
            &CFtpConnection::wscData_SendProgress);
    connect(wscData, &net::SocketControl::SendComplete, this,
            &CFtpConnection::wscData_SendComplete);
    connect(wscControl, &net::SocketControl::ErrorEvent, this,
            [this](int, const QString& description) { socketErrorText_ = description; });
    connect(wscData, &net::SocketControl::ErrorEvent, this,
            [this](int number, const QString& description) {
                if (number == net::sckTlsFailed)
                    dataTlsFailure_ = description;
            });
}

CFtpConnection::~CFtpConnection() {
    BreakeConnection();
    wscControl->Close();
    wscData->Close();
    watcher_.StopTimer();
}

void CFtpConnection::DoEvents2() {
    // Waits at most 1 ms for events, then runs every pending one: a wait loop neither spins
    // nor lags behind the data it is waiting for.
    static QTimer* wake = [] {
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(1);
        return timer;
    }();
    wake->start();
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void CFtpConnection::setTimeout(qint16 newValue) {
    timeout_ = newValue;
    watcher_.setTimeoutValue(newValue);
}

bool CFtpConnection::SetReplyError(int code) {
    const ReplyErrorEffect effect = ReplyErrorFor(code);
    if (effect.number)
        lastError_ = *effect.number;
    if (effect.text)
        lastErrorText_ = *effect.text;
    return effect.known;
}

bool CFtpConnection::SetSocketError(int number, const QString& description) {
    lastErrorText_ = description;
    const auto mapped = FtpErrorForSocketError(number);
    if (mapped)
        lastError_ = *mapped;
    return mapped.has_value();
}

QByteArray CFtpConnection::CommandLine(const char* verb, const QString& argument) const {
    return QByteArray(verb) + ' ' + argument.toUtf8();
}

bool CFtpConnection::WaitUntil(const std::function<bool()>& done) {
    // Only the outermost wait starts and stops the watcher, so that a wait nested inside an
    // event handler cannot stop the clock of the wait around it. The watcher stops however
    // the wait ends, an error raised inside it included.
    const bool outermost = waitDepth_++ == 0;
    if (outermost) {
        waitTimedOut_ = false;
        watcher_.StartTimer();
    }
    const auto stop = qScopeGuard([this, outermost] {
        --waitDepth_;
        if (outermost)
            watcher_.StopTimer();
    });
    for (;;) {
        // What is pending runs first; the wait sleeps only while the condition does not hold,
        // until the next event wakes it. Everything a condition reads changes in an event
        // handler (data, a reply, a close, the watcher's tick, a click), so no timer is needed
        // to look again, and a condition that already holds costs no sleep.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (broken_)
            return false; // BreakeConnection ran underneath: nothing more will come
        if (waitTimedOut_ || watcher_.Timeout()) {
            waitTimedOut_ = true;
            lastError_ = ftpErrTimeout;
            return false;
        }
        if (done())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

QByteArray CFtpConnection::Exchange(const QByteArray& line, Completion completion, bool keepBuffer,
                                    const QByteArray& shown) {
    const QByteArray wire = line + "\r\n";
    wscControl->SendData(wire);
    emit ReplyMessage(QString::fromUtf8(shown.isEmpty() ? wire : shown));
    const bool answered = WaitUntil([&] {
        return completion == Completion::AtLeastFourBytes ? replyBuffer_.size() >= 4
                                                          : replyBuffer_.contains("\r\n");
    });
    if (!answered)
        return {};
    QByteArray reply = replyBuffer_;
    if (!keepBuffer)
        replyBuffer_.clear();
    return reply;
}

bool CFtpConnection::SimpleCommand(const QByteArray& line, int successCode) {
    const int code = GetReplyCode(Exchange(line, Completion::LineEnd));
    if (code == successCode)
        return true;
    SetReplyError(code);
    return false;
}

// ---- reply reception ------------------------------------------------------------------

void CFtpConnection::wscControl_DataArrival(qint64) {
    QByteArray piece;
    for (int attempt = 0;; ++attempt) {
        try {
            wscControl->GetData(piece);
            break;
        } catch (const net::SocketError& e) {
            if (e.number() == net::sckBadState && attempt < kReadRetries) {
                DoEvents2();
                continue;
            }
            if (e.number() != net::sckBadState) {
                // The arrival is lost; the failure is kept and shown like any other reply text.
                SetSocketError(e.number(), e.text());
                emit ReplyMessage(e.text() + QStringLiteral("\r\n"));
            }
            return;
        }
    }
    TakeReplyPiece(piece);
}

void CFtpConnection::TakeReplyPiece(const QByteArray& piece) {
    if (piece.isEmpty() || replyBuffer_.size() >= kMaxReplyBuffer)
        return; // a full buffer takes nothing more, and silence keeps counting
    replyBuffer_ += piece.left(kMaxReplyBuffer - replyBuffer_.size());
    lastServerResponse_ = piece.left(kMaxReplyBuffer);
    watcher_.Reset();
    if (PieceCode(piece) == 426) {
        if (downloading_ || uploading_)
            AbandonTransfer(true);
        wscControl->Close();
        busy_ = false;
    }
    const QByteArray shown = piece.size() >= 2 ? piece.left(piece.size() - 2) : piece;
    emit ReplyMessage(QString::fromUtf8(shown) + QStringLiteral("\r\n"));
}

void CFtpConnection::AbandonTransfer(bool closeDataConnection) {
    if (closeDataConnection)
        wscData->Close();
    localFile_.close();
    dataBuffer_.clear();
    bytesReceived_ = 0;
    bytesSent_ = 0;
    downloading_ = false;
    uploading_ = false;
    fileOpen_ = false;
}

// ---- connecting and logging in --------------------------------------------------------

bool CFtpConnection::Connected() const {
    return wscControl->State() == net::sckConnected;
}

bool CFtpConnection::Connect(const QString& sFTPServer, const QString& sFTPServerPort) {
    replyBuffer_.clear();
    broken_ = false;
    BusyScope busy(busy_);
    if (!sFTPServer.isEmpty())
        server_ = sFTPServer;
    if (!sFTPServerPort.isEmpty())
        serverPort_ = sFTPServerPort;
    if (server_.isEmpty())
        return false;
    controlTrust_ = trustedCertificates_;
    const bool result = Guarded("Connect", false, [&] {
        bool opened = OpenControlConnection();
        if (!opened && useTls_ && wscControl->IssuerUnknownToFile()) {
            // The file knows no issuer of the server's certificate: the system's may.
            controlTrust_.clear();
            opened = OpenControlConnection();
        }
        return opened && LogIn() && (!useTls_ || ProtectDataConnections());
    });
    watcher_.StopTimer();
    if (result)
        emit StateChanged(ftpLoggedIn);
    return result;
}

bool CFtpConnection::OpenControlConnection() {
    replyBuffer_.clear();
    wscControl->Close();
    wscControl->setLocalPort(0);
    wscControl->Connect(server_, serverPort_);
    const bool connected = WaitUntil([&] {
        switch (wscControl->State()) {
        case net::sckConnected:
            return true;
        case net::sckResolvingHost:
            emit StateChanged(ftpResolvingHost);
            break;
        case net::sckHostResolved:
            emit StateChanged(ftpHostResolved);
            break;
        default:
            break;
        }
        return false;
    });
    if (!connected)
        return false;
    emit StateChanged(ftpConnected);
    QByteArray greeting;
    if (WaitUntil([&] { return replyBuffer_.size() > 2; })) {
        greeting = replyBuffer_;
        replyBuffer_.clear();
    }
    switch (GetReplyCode(greeting)) {
    case 220:
        return !useTls_ || ProcessAUTHCommand();
    case 120:
        lastError_ = ftpErrGreeting120;
        return false;
    case 421:
        lastError_ = ftpErrServiceNotAvailable;
        return false;
    default:
        return false;
    }
}

// ---- TLS ------------------------------------------------------------------------------

bool CFtpConnection::TlsFailed(int number, const QString& detail) {
    lastError_ = number;
    lastErrorText_ = TlsErrorText(number, detail);
    return false;
}

bool CFtpConnection::ProcessAUTHCommand() {
    return Guarded("ProcessAUTHCommand", false, [&] {
        const QByteArray reply = Exchange("AUTH TLS", Completion::LineEnd);
        if (GetReplyCode(reply) != 234)
            return TlsFailed(ftpErrTlsRefused, QString::fromUtf8(reply.trimmed()));
        net::ConnectOptions options;
        options.tls = true;
        options.peerName = server_;
        options.trustedCertificates = controlTrust_;
        wscControl->StartTls(options);
        return WaitForTls(wscControl);
    });
}

bool CFtpConnection::WaitForTls(net::SocketControl* socket) {
    socketErrorText_.clear();
    const bool ended = WaitUntil([&] {
        const int state = socket->State();
        return state == net::sckConnected || state == net::sckError || state == net::sckClosed ||
               state == net::sckClosing;
    });
    if (!ended)
        return false; // the time-out's error stands
    if (socket->State() == net::sckConnected)
        return true;
    return TlsFailed(ftpErrTlsFailed, socketErrorText_.isEmpty()
                                          ? QStringLiteral("The server closed the connection.")
                                          : socketErrorText_);
}

bool CFtpConnection::ProtectDataConnections() {
    return Guarded("ProtectDataConnections", false, [&] {
        for (const char* line : {"PBSZ 0", "PROT P"}) {
            const QByteArray reply = Exchange(line, Completion::LineEnd);
            if (GetReplyCode(reply) != 200)
                return TlsFailed(ftpErrTlsProtection, QString::fromUtf8(reply.trimmed()));
        }
        return true;
    });
}

net::ConnectOptions CFtpConnection::DataTlsOptions() const {
    net::ConnectOptions options;
    options.tls = true;
    options.peerName = server_;
    options.trustedCertificates = controlTrust_;
    options.session = wscControl->TlsSession();
    return options;
}

bool CFtpConnection::LogIn() {
    const qint16 user = ProcessUSERCommand();
    const bool loggedIn = user == 230 || (user == 331 && ProcessPASSCommand() == 230);
    if (loggedIn)
        ProcessPWDCommand();
    return loggedIn;
}

qint16 CFtpConnection::ProcessUSERCommand() {
    return Guarded("ProcessUSERCommand", qint16(0), [&]() -> qint16 {
        emit StateChanged(ftpLoggingIn);
        if (userName_.isEmpty())
            userName_ = QStringLiteral("anonymous");
        if (password_.isEmpty()) {
            if (userName_ != QLatin1String("anonymous"))
                return 0;
            password_ = kAnonymousPassword;
        }
        const qint16 code =
            GetReplyCode(Exchange(CommandLine("USER", userName_), Completion::AtLeastFourBytes));
        if (code == 230 || code == 331)
            return code;
        SetReplyError(code);
        return 0;
    });
}

qint16 CFtpConnection::ProcessPASSCommand() {
    return Guarded("ProcessPASSCommand", qint16(0), [&]() -> qint16 {
        const QByteArray reply =
            Exchange(CommandLine("PASS", password_), Completion::AtLeastFourBytes, true,
                     QByteArrayLiteral("PASS **********\r\n"));
        const qint16 code = GetReplyCode(reply);
        if (code != 230) {
            SetReplyError(code);
            return code;
        }
        // A multi-line 230 ends with the line "230 "; wait for it like for any reply.
        if (!WaitUntil([&] { return replyBuffer_.contains("230 "); }))
            return 0;
        replyBuffer_.clear();
        return 230;
    });
}

bool CFtpConnection::ProcessPWDCommand() {
    return Guarded("ProcessPWDCommand", false, [&] {
        const QByteArray reply = Exchange("PWD", Completion::LineEnd);
        const int code = GetReplyCode(reply);
        if (code != 257) {
            SetReplyError(code);
            return false;
        }
        const auto path = PwdPath(reply);
        if (!path)
            return false;
        currentDirectory_ = QString::fromUtf8(*path);
        return true;
    });
}

QString CFtpConnection::GetCurrentDirectory() {
    BusyScope busy(busy_);
    return ProcessPWDCommand() ? currentDirectory_ : QString();
}

// ---- closing --------------------------------------------------------------------------

bool CFtpConnection::ProcessQUITCommand() {
    return Guarded("ProcessQUITCommand", false, [&] { return SimpleCommand("QUIT", 221); });
}

bool CFtpConnection::CloseConnection() {
    BusyScope busy(busy_);
    if (downloading_ || uploading_) {
        lastError_ = ftpErrTransferInProgress;
        lastErrorText_ = TransferInProgressText();
        return false;
    }
    const bool result = ProcessQUITCommand();
    wscData->Close();
    wscControl->Close();
    return result;
}

void CFtpConnection::BreakeConnection() {
    // The data connection when one is open, else the control connection. A wait running
    // underneath ends at once, and so does every later one until the next Connect.
    broken_ = true;
    if (wscData->State() != net::sckClosed)
        wscData->Close();
    else
        wscControl->Close();
    if (downloading_ || uploading_)
        AbandonTransfer(false);
    fileOpen_ = false;
    busy_ = false;
    watcher_.StopTimer();
}

// ---- file management ------------------------------------------------------------------

bool CFtpConnection::ProcessCWDCommand(const QString& name) {
    return Guarded("ProcessCWDCommand", false,
                   [&] { return SimpleCommand(CommandLine("CWD", name), 250); });
}

bool CFtpConnection::ProcessCDUPCommand() {
    return Guarded("ProcessCDUPCommand", false, [&] { return SimpleCommand("CDUP", 250); });
}

bool CFtpConnection::ProcessMKDCommand(const QString& name) {
    return Guarded("ProcessMKDCommand", false,
                   [&] { return SimpleCommand(CommandLine("MKD", name), 257); });
}

bool CFtpConnection::ProcessRMDCommand(const QString& name) {
    return Guarded("ProcessRMDCommand", false,
                   [&] { return SimpleCommand(CommandLine("RMD", name), 250); });
}

bool CFtpConnection::ProcessDELECommand(const QString& name) {
    return Guarded("ProcessDELECommand", false,
                   [&] { return SimpleCommand(CommandLine("DELE", name), 250); });
}

bool CFtpConnection::ProcessRNFRCommand(const QString& name) {
    return Guarded("ProcessRNFRCommand", false,
                   [&] { return SimpleCommand(CommandLine("RNFR", name), 350); });
}

bool CFtpConnection::ProcessRNTOCommand(const QString& name) {
    return Guarded("ProcessRNTOCommand", false,
                   [&] { return SimpleCommand(CommandLine("RNTO", name), 250); });
}

bool CFtpConnection::SetCurrentDirectory(const QString& sNewDirectory) {
    BusyScope busy(busy_);
    return ProcessCWDCommand(sNewDirectory);
}

bool CFtpConnection::SetParentAsCurrentDirectory() {
    BusyScope busy(busy_);
    return ProcessCDUPCommand();
}

bool CFtpConnection::CreateDirectory(const QString& sDirName) {
    BusyScope busy(busy_);
    return ProcessMKDCommand(sDirName);
}

bool CFtpConnection::RemoveDirectory(const QString& sDirName) {
    BusyScope busy(busy_);
    return ProcessRMDCommand(sDirName);
}

bool CFtpConnection::DeleteFile(const QString& sFileName) {
    BusyScope busy(busy_);
    return ProcessDELECommand(sFileName);
}

bool CFtpConnection::RenameFile(const QString& sOldFileName, const QString& sNewFileName) {
    BusyScope busy(busy_);
    return ProcessRNFRCommand(sOldFileName) && ProcessRNTOCommand(sNewFileName);
}

} // namespace ftp
