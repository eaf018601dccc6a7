#include "ftp_errors.h"

#include <QHash>

namespace ftp {

FtpError::FtpError(int number, QString source, QString description)
    : std::runtime_error(description.toStdString()), number_(number), source_(std::move(source)),
      description_(std::move(description)) {
}

RuntimeError::RuntimeError(int number, const QString& description)
    : std::runtime_error(description.toStdString()), number_(number) {
}

ReplyErrorEffect ReplyErrorFor(int code) {
    switch (code) {
    case 110:
    case 120:
    case 125:
    case 150:
    case 200:
    case 202:
    case 211:
    case 212:
    case 213:
    case 214:
    case 215:
    case 220:
    case 221:
    case 225:
    case 226:
    case 227:
    case 230:
    case 250:
    case 257:
        return {true, std::nullopt, std::nullopt};
    case 331:
        return {true, ftpErrNeedPassword, std::nullopt};
    case 332:
        return {true, ftpErrNeedAccount, std::nullopt};
    case 350:
        return {true, ftpErrPendingFurther, std::nullopt};
    default:
        break;
    }
    static const QHash<int, QPair<int, const char*>> failures = {
        {421, {41, "Service not available, closing control connection."}},
        {425, {42, "Can't open data connection."}},
        {426, {43, "Connection closed; transfer aborted."}},
        {450, {44, "Requested file action not taken."}},
        {451, {45, "Requested action aborted: local error in processing."}},
        {452, {46, "Requested action not taken. Insufficient storage space in system."}},
        {500, {47, "Syntax error, command unrecognized."}},
        {501, {48, "Syntax error in parameters or arguments."}},
        {502, {49, "Command not implemented."}},
        {503, {50, "Bad sequence of commands."}},
        {504, {51, "Command not implemented for that parameter."}},
        {530, {52, "Not logged in."}},
        {532, {53, "Need account for storing files."}},
        {550,
         {54, "Requested action not taken. File unavailable (e.g., file not found, no "
              "access)."}},
        {551, {55, "Requested action aborted: page type unknown."}},
        {552,
         {56, "Requested file action aborted. Exceeded storage allocation (for current "
              "directory or dataset)."}},
        {553, {57, "Requested action not taken. File name not allowed."}},
    };
    const auto it = failures.constFind(code);
    if (it == failures.constEnd())
        return {};
    return {true, it->first, QString::fromLatin1(it->second)};
}

std::optional<int> FtpErrorForSocketError(int number) {
    static const QHash<int, int> table = {
        {10048, 0},  {10049, 1},
        {10037, 2},  {10056, 3},
        {40006, 4},  {10053, 5},
        {10061, 6},  {10054, 7},
        {394, 8},    {11001, 9},
        {11002, 10}, {10036, 11},
        {40014, 12}, {10014, 13},
        {40020, 14}, {380, 15},
        {10040, 16}, {10052, 17},
        {10050, 18}, {10051, 19},
        {10055, 20}, {11004, 21},
        {11003, 22}, {10057, 23},
        {10093, 24}, {10038, 25},
        {10004, 26}, {7, 27},
        {40021, 28}, {10043, 29},
        {383, 30},   {10058, 31},
        {40017, 32}, {10060, 33},
        {40018, 34}, {10035, 35},
        {40026, 36}, {40110, ftpErrTlsFailed},
    };
    const auto it = table.constFind(number);
    return it == table.constEnd() ? std::nullopt : std::optional<int>(*it);
}

QString TlsErrorText(int number, const QString& detail) {
    switch (number) {
    case ftpErrTlsRefused:
        return QStringLiteral("The server does not accept FTP over TLS (AUTH TLS): ") + detail;
    case ftpErrTlsProtection:
        return QStringLiteral("The server does not protect data connections (PBSZ 0, PROT P): ") +
               detail;
    default:
        return QStringLiteral("The TLS connection could not be set up:\r\n") + detail;
    }
}

QString TransferInProgressText() {
    return QStringLiteral("Can't close control connection. Transfer in progress.");
}

} // namespace ftp
