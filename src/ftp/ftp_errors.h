// Errors of the FTP client: the numbered run-time errors that its routines raise to the
// caller, the client's own error numbers and texts, and the replies it knows.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <stdexcept>

namespace ftp {

// Raised errors carry this base plus the number of the error that caused them.
inline constexpr int kObjectErrorOffset = -2147220504;

// An error raised to the caller of a CFtpConnection operation.
class FtpError : public std::runtime_error {
public:
    FtpError(int number, QString source, QString description);
    int number() const { return number_; }
    const QString& source() const { return source_; }
    const QString& description() const { return description_; }

private:
    int number_;
    QString source_;
    QString description_;
};

// A run-time failure inside a routine (a reply that is not a number, a file that cannot be
// opened, ...), with a run-time error number; the routine's handler maps or raises it.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const QString& description);
    int number() const { return number_; }
    QString description() const { return QString::fromUtf8(what()); }

private:
    int number_;
};

// Run-time error numbers used by the client.
inline constexpr int kErrInvalidCall = 5;
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrFileAccess = 75;
inline constexpr int kErrPermissionDenied = 70;

// The client's error numbers.
enum FtpErrorNumber : int {
    ftpErrGreeting120 = 37,
    ftpErrNeedPassword = 38,
    ftpErrNeedAccount = 39,
    ftpErrPendingFurther = 40,
    ftpErrServiceNotAvailable = 41,
    ftpErrTransferAborted = 43,
    ftpErrFileUnavailable = 54,
    ftpErrTimeout = 58,
    ftpErrTransferInProgress = 59,
    ftpErrTlsRefused = 60,    // the server refused AUTH TLS
    ftpErrTlsFailed = 61,     // a TLS handshake failed or the certificate is not trusted
    ftpErrTlsProtection = 62, // the server refused PBSZ 0 or PROT P
};

// The text of a TLS error (60, 61 or 62); `detail` is the server's reply or the reasons.
QString TlsErrorText(int number, const QString& detail);

// What a reply code does to the last error: nothing (a known success or preliminary
// code), or set a number (and, from 421 on, a text).
struct ReplyErrorEffect {
    bool known = false;
    std::optional<int> number;
    std::optional<QString> text;
};
ReplyErrorEffect ReplyErrorFor(int code);

// The client's error number for a socket or run-time error number; nullopt when unmapped.
std::optional<int> FtpErrorForSocketError(int number);

// The text of error 59.
QString TransferInProgressText();

} // namespace ftp
