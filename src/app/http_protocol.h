// HTTP/1.0 request building and response-header parsing for the updater's downloads.
// Pure functions and a small incremental parser: no sockets, no files, no widgets.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace http {

// Host part of an address as the updater keeps it: what follows "://" (or the whole text
// when there is none) up to the first "/", port included. nullopt when no "/" follows.
std::optional<QString> HostOfAddress(const QString& address);

// "host:8080" -> {"host", "8080"}; "host" -> {"host", defaultPort}. An IPv6 literal in
// brackets keeps its brackets off the host: "[::1]:81" -> {"::1", "81"}.
struct HostPort {
    QString host;
    QString port;
};
HostPort SplitHostPort(const QString& hostAndPort, const QString& defaultPort);

// What one request carries.
struct RequestInfo {
    QString downloadUrl; // the full address being fetched
    QString connectHost; // host[:port] of the address (direct) -- or of the proxy
    bool viaProxy = false;
    bool resuming = false;
    qint64 resumeBase = 0;
};

// The exact request bytes: GET line, Accept, optional Range, User-Agent, Referer, Host,
// blank line, each ending CR LF. Direct: the path is the address less "http://" and the
// host. Through a proxy: line 1 carries the whole address and Host/Referer its host.
QByteArray BuildRequest(const RequestInfo& info);

// Collects the response header: the bytes before the first CR LF CR LF, fed in whatever
// pieces the socket delivers. Nothing is decided before the header is complete.
class HeaderCollector {
public:
    static constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
    enum class Result { NeedMore, Complete, TooLarge };

    // Feeds one chunk. On Complete, header() holds the header text and `body` receives the
    // bytes after the blank line (possibly empty). After Complete or TooLarge, feeding is
    // an error of the caller.
    Result Feed(const QByteArray& chunk, QByteArray& body);
    const QByteArray& header() const { return buffer_; }
    bool complete() const { return complete_; }
    void Clear();

private:
    QByteArray buffer_;
    bool complete_ = false;
};

// The status line ("HTTP/1.1 206 Partial Content"): its code (100..999) and the line.
struct Status {
    int code = 0;
    QByteArray line;
};
std::optional<Status> ParseStatusLine(const QByteArray& header);

// The value of header field `name` (given with or without its colon), matched at the start
// of a header line without regard to case, blanks after the colon optional; empty when
// absent. Only header text is searched.
QByteArray GetHeaderValue(const QByteArray& header, QByteArray name);

// A Content-Length value: decimal digits only, within 0..2^62; nullopt otherwise.
std::optional<qint64> ParseContentLength(const QByteArray& value);

// The first byte of a "Content-Range: bytes FIRST-LAST/TOTAL" value; nullopt when unreadable.
std::optional<qint64> ParseContentRangeStart(const QByteArray& value);

// A redirect target resolved against the current address; empty when not a valid http:// or
// https:// address afterwards, or when it would leave https:// for http://.
QString ResolveLocation(const QString& currentUrl, const QByteArray& location);

bool IsRedirect(int code);

// Where a request for `address` goes. Direct: to the address's host and port (80, or 443 for
// https://). Through the proxy (proxyHost not empty): to the proxy, with the whole address in
// the request line for http://, and for https:// through a tunnel to the origin, the request
// then written as a direct one.
struct Hop {
    QString host, port;        // where the TCP connection goes
    QString tunnelTo;          // "host:port" to CONNECT to through the proxy; empty for none
    bool tls = false;          // https://: TLS with the origin
    QString peerName;          // the name the origin's certificate must carry
    QString requestHost;       // the address's host[:port], as the request names it
    bool absoluteForm = false; // the request line carries the whole address (plain proxy)
};
Hop PlanHop(const QString& address, const QString& proxyHost, const QString& proxyPort);

} // namespace http
