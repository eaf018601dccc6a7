// What the FTP client's source files share: the busy flag's scope and the error handler
// that every command routine runs under.
#pragma once

#include "cftpconnection.h"
#include "ftp_errors.h"
#include "socket_control.h"

namespace ftp {

// Busy for the lifetime of a public operation, whichever way it ends.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

// Run-time and socket error numbers are positive; raised ones carry the negative offset.
inline bool IsOffsetError(int number) {
    return number < 0;
}

template <typename Result, typename Body>
Result CFtpConnection::Guarded(const char* routine, Result failure, Body body) {
    int number = 0;
    QString description;
    try {
        return body();
    } catch (const FtpError&) {
        throw; // raised by an inner routine: passes on unchanged
    } catch (const net::SocketError& e) {
        number = e.number();
        description = e.text();
    } catch (const RuntimeError& e) {
        number = e.number();
        description = e.description();
    }
    if (SetSocketError(number, description))
        return failure;
    const int raised = IsOffsetError(number) ? number : kObjectErrorOffset + number;
    throw FtpError(raised, QStringLiteral("CFtpConnection.") + QLatin1String(routine), description);
}

} // namespace ftp
