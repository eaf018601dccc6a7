#include "http_protocol.h"

#include <QUrl>

namespace http {

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kBlankLine = QByteArrayLiteral("\r\n\r\n");

bool IsHttps(const QString& address) {
    return address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// Request targets carry no blanks, control characters or raw 8-bit bytes: those are sent
// percent-encoded (UTF-8), everything else as typed.
QByteArray EncodeTarget(const QString& target) {
    QByteArray out;
    const QByteArray utf8 = target.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f)
            out += '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

} // namespace

std::optional<QString> HostOfAddress(const QString& address) {
    QString rest = address;
    const qsizetype scheme = rest.indexOf(QLatin1String("://"));
    if (scheme >= 0)
        rest = rest.mid(scheme + 3);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return std::nullopt;
    return rest.left(slash);
}

HostPort SplitHostPort(const QString& hostAndPort, const QString& defaultPort) {
    if (hostAndPort.startsWith(QLatin1Char('['))) {
        const qsizetype close = hostAndPort.indexOf(QLatin1Char(']'));
        if (close > 0) {
            const QString after = hostAndPort.mid(close + 1);
            const QString port = after.startsWith(QLatin1Char(':')) ? after.mid(1) : QString();
            return {hostAndPort.mid(1, close - 1), port.isEmpty() ? defaultPort : port};
        }
    }
    const qsizetype colon = hostAndPort.lastIndexOf(QLatin1Char(':'));
    if (colon < 0 || hostAndPort.indexOf(QLatin1Char(':')) != colon)
        return {hostAndPort, defaultPort};
    const QString port = hostAndPort.mid(colon + 1);
    return {hostAndPort.left(colon), port.isEmpty() ? defaultPort : port};
}

QByteArray BuildRequest(const RequestInfo& info) {
    QString target;
    QString host;
    if (info.viaProxy) {
        target = info.downloadUrl;
        host = HostOfAddress(info.downloadUrl).value_or(QString());
    } else {
        const qsizetype scheme = info.downloadUrl.indexOf(QLatin1String("://"));
        target = info.downloadUrl.mid((scheme < 0 ? 0 : scheme + 3) + info.connectHost.size());
        host = info.connectHost;
    }
    const QByteArray hostBytes = host.toUtf8();
    QByteArray request;
    request += "GET " + EncodeTarget(target) + " HTTP/1.0" + kCrLf;
    request += "Accept: *.*, */*" + kCrLf;
    if (info.resuming)
        request += "Range: bytes=" + QByteArray::number(info.resumeBase) + "-" + kCrLf;
    request += "User-Agent: Tessarin Software Downloader" + kCrLf;
    request += "Referer: " + hostBytes + kCrLf;
    request += "Host: " + hostBytes + kCrLf;
    request += kCrLf;
    return request;
}

HeaderCollector::Result HeaderCollector::Feed(const QByteArray& chunk, QByteArray& body) {
    // Search only where a blank line can newly end: from three bytes before the new data.
    const qsizetype from = qMax<qsizetype>(0, buffer_.size() - 3);
    buffer_ += chunk;
    const qsizetype end = buffer_.indexOf(kBlankLine, from);
    if (end < 0) {
        // Keep the limit on the header alone; a longer run without a blank line is refused.
        return buffer_.size() > kMaxHeaderBytes + 3 ? Result::TooLarge : Result::NeedMore;
    }
    if (end > kMaxHeaderBytes)
        return Result::TooLarge;
    body = buffer_.mid(end + kBlankLine.size());
    buffer_.truncate(end);
    complete_ = true;
    return Result::Complete;
}

void HeaderCollector::Clear() {
    buffer_.clear();
    complete_ = false;
}

std::optional<Status> ParseStatusLine(const QByteArray& header) {
    const qsizetype eol = header.indexOf(kCrLf);
    const QByteArray line = eol < 0 ? header : header.left(eol);
    if (!line.startsWith("HTTP/"))
        return std::nullopt;
    const qsizetype blank = line.indexOf(' ');
    if (blank < 0 || line.size() < blank + 4)
        return std::nullopt;
    const QByteArray digits = line.mid(blank + 1, 3);
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    if (line.size() > blank + 4 && line.at(blank + 4) != ' ')
        return std::nullopt;
    const int code = digits.toInt();
    if (code < 100)
        return std::nullopt;
    return Status{code, line};
}

QByteArray GetHeaderValue(const QByteArray& header, QByteArray name) {
    if (header.isEmpty())
        return {};
    if (name.endsWith(':'))
        name.chop(1);
    qsizetype lineStart = 0;
    while (lineStart < header.size()) {
        qsizetype lineEnd = header.indexOf(kCrLf, lineStart);
        if (lineEnd < 0)
            lineEnd = header.size();
        const QByteArrayView line(header.constData() + lineStart, lineEnd - lineStart);
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0) {
            return line.sliced(name.size() + 1).toByteArray().trimmed();
        }
        lineStart = lineEnd + kCrLf.size();
    }
    return {};
}

std::optional<qint64> ParseContentLength(const QByteArray& value) {
    if (value.isEmpty() || value.size() > 18)
        return std::nullopt;
    qint64 n = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::optional<qint64> ParseContentRangeStart(const QByteArray& value) {
    const QByteArray v = value.trimmed();
    if (!v.toLower().startsWith("bytes "))
        return std::nullopt;
    const qsizetype dash = v.indexOf('-', 6);
    if (dash < 0)
        return std::nullopt;
    return ParseContentLength(v.mid(6, dash - 6).trimmed());
}

QString ResolveLocation(const QString& currentUrl, const QByteArray& location) {
    const QUrl base(currentUrl);
    QUrl target = base.resolved(QUrl::fromEncoded(location.trimmed()));
    const QString scheme = target.scheme().toLower();
    const bool allowed = scheme == QLatin1String("https") ||
                         (scheme == QLatin1String("http") && !IsHttps(currentUrl));
    if (!target.isValid() || !allowed || target.host().isEmpty())
        return {};
    if (target.path().isEmpty())
        target.setPath(QStringLiteral("/")); // the updater's address rules need a path
    target.setFragment(QString());
    return target.toString(QUrl::FullyEncoded | QUrl::RemoveFragment);
}

Hop PlanHop(const QString& address, const QString& proxyHost, const QString& proxyPort) {
    Hop hop;
    const QString hostPart = HostOfAddress(address).value_or(QString());
    const bool tls = IsHttps(address);
    const HostPort origin =
        SplitHostPort(hostPart, tls ? QStringLiteral("443") : QStringLiteral("80"));
    hop.tls = tls;
    hop.peerName = origin.host;
    hop.requestHost = hostPart;
    if (proxyHost.isEmpty()) {
        hop.host = origin.host;
        hop.port = origin.port;
        return hop;
    }
    hop.host = proxyHost;
    hop.port = proxyPort;
    if (tls) { // a tunnel to the origin; the request inside it is the direct one
        const bool v6 = origin.host.contains(QLatin1Char(':'));
        hop.tunnelTo = (v6 ? "[" + origin.host + "]" : origin.host) + ":" + origin.port;
    } else {
        hop.absoluteForm = true;
    }
    return hop;
}

bool IsRedirect(int code) {
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

} // namespace http
