// Pure parsing of FTP control-connection text: reply codes, the PWD path, the PASV
// address, and the PORT argument. No sockets.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace ftp {

// The reply code of a reply: 0 for text of two characters or fewer; otherwise its first
// three characters as a number. Throws RuntimeError(13, "Type mismatch") when they are not
// three decimal digits.
qint16 GetReplyCode(const QByteArray& reply);

// The code of a received piece, or nullopt when it does not begin with three digits.
std::optional<int> PieceCode(const QByteArray& piece);

// The path of a 257 reply: the text between the first double quote and the next one;
// nullopt when either quote is missing.
std::optional<QByteArray> PwdPath(const QByteArray& reply);

// The data address of a 227 reply: six numbers h1,h2,h3,h4,p1,p2 between the first "(" and
// the first ")". Throws RuntimeError when the list is missing or malformed (5) or a number
// is out of range (6): such a reply never yields an address to connect to.
struct PassiveAddress {
    QString host;
    quint16 port = 0;
};
PassiveAddress ParsePasvReply(const QByteArray& reply);

// "h1,h2,h3,h4,p1,p2" for a dotted IPv4 address and a port.
QByteArray PortArgument(const QString& dottedAddress, quint16 port);

} // namespace ftp
