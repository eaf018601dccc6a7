#include "proxy_tunnel.h"

#include <QList>

namespace net {

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

} // namespace

QByteArray BuildConnectRequest(const QString& hostAndPort) {
    const QByteArray target = hostAndPort.toUtf8();
    return "CONNECT " + target + " HTTP/1.0" + kCrLf + "Host: " + target + kCrLf + kCrLf;
}

TunnelAnswer ReadTunnelAnswer(const QByteArray& received) {
    TunnelAnswer answer;
    const qsizetype lineEnd = received.indexOf(kCrLf);
    const QByteArray line = lineEnd < 0 ? received : received.left(lineEnd);
    // "HTTP/1.x NNN": checked as soon as those bytes are there, so junk fails at once.
    const QByteArray prefix = "HTTP/1.";
    const qsizetype checked = qMin(line.size(), prefix.size());
    if (line.left(checked) != prefix.left(checked)) {
        answer.result = TunnelAnswer::Result::Malformed;
        return answer;
    }
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0) {
        if (received.size() > TunnelAnswer::kMaxBytes)
            answer.result = TunnelAnswer::Result::Malformed;
        return answer;
    }
    answer.headerBytes = end + 4;
    answer.statusLine = line;
    const QList<QByteArray> parts = line.split(' ');
    bool ok = false;
    answer.code = parts.size() >= 2 && parts[1].size() == 3 ? parts[1].toInt(&ok) : 0;
    if (!ok || line.size() < 12 || line[8] != ' ' || answer.headerBytes > TunnelAnswer::kMaxBytes)
        answer.result = TunnelAnswer::Result::Malformed;
    else if (answer.code < 200 || answer.code > 299)
        answer.result = TunnelAnswer::Result::Refused;
    else if (received.size() > answer.headerBytes)
        answer.result = TunnelAnswer::Result::Malformed;
    else
        answer.result = TunnelAnswer::Result::Established;
    return answer;
}

} // namespace net
