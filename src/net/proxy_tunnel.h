// The HTTP proxy tunnel (CONNECT) that carries a TLS connection to the origin server: the
// request and the reading of the proxy's answer. Pure functions over bytes.
#pragma once

#include <QByteArray>
#include <QString>

namespace net {

// "CONNECT host:port HTTP/1.0" with a Host line and the blank line.
QByteArray BuildConnectRequest(const QString& hostAndPort);

struct TunnelAnswer {
    enum class Result { NeedMore, Established, Refused, Malformed };
    static constexpr qsizetype kMaxBytes = 16 * 1024;

    Result result = Result::NeedMore;
    qsizetype headerBytes = 0; // through the blank line, once complete
    int code = 0;
    QByteArray statusLine;
};

// Reads the proxy's answer from everything received so far. A 2xx answer establishes the
// tunnel; any byte after its blank line is Malformed (the TLS client speaks first), and so is
// an answer that is not HTTP or runs past kMaxBytes without ending.
TunnelAnswer ReadTunnelAnswer(const QByteArray& received);

} // namespace net
