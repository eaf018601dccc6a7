// Translation of Qt's socket and host-lookup failures into the Windows-Sockets-style error
// numbers that the socket reports (10061 refused, 11001 host not found, ...).
#pragma once

#include <QAbstractSocket>
#include <QString>

namespace net::detail {

// The number for a failure of a socket or server, given Qt's error and its text (Qt reports
// several system errors as one NetworkError that only its text tells apart).
int errorNumber(QAbstractSocket::SocketError error, const QString& text);

} // namespace net::detail
