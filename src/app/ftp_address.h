// The parts of an ftp:// or ftps:// address as the main window reads it:
//   [user ":" password "@"] host "/" directory "/" file [":" port]
// Pure text handling: no sockets, no client.
#pragma once

#include <QString>
#include <optional>

namespace app {

struct FtpAddress {
    QString user;
    QString password;
    QString host;      // everything before the first "/" less the user part; a ":port" stays
    QString port;      // "21" unless the file name carries one
    QString directory; // "/dir/sub" ("" for a file directly below the root)
    QString fileName;
};

// An ftp:// or ftps:// address (the scheme's case aside): whether it asks for TLS, and what
// follows the scheme. nullopt for any other address.
struct FtpScheme {
    bool tls = false;
    QString rest;
};
std::optional<FtpScheme> FtpSchemeOf(const QString& address);

// Splits what follows "ftp://" or "ftps://". Without a user part the login is anonymous with
// `anonymousPassword`; a user part without ":" has an empty password.
FtpAddress SplitFtpAddress(const QString& rest, const QString& anonymousPassword);

} // namespace app
