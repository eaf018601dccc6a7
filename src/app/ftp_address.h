// The parts of an ftp:// address as the main window reads it:
//   [user ":" password "@"] host "/" directory "/" file [":" port]
// Pure text handling: no sockets, no client.
#pragma once

#include <QString>

namespace app {

struct FtpAddress {
    QString user;
    QString password;
    QString host;      // everything before the first "/" less the user part; a ":port" stays
    QString port;      // "21" unless the file name carries one
    QString directory; // "/dir/sub" ("" for a file directly below the root)
    QString fileName;
};

// Splits what follows "ftp://". Without a user part the login is anonymous with
// `anonymousPassword`; a user part without ":" has an empty password.
FtpAddress SplitFtpAddress(const QString& rest, const QString& anonymousPassword);

} // namespace app
