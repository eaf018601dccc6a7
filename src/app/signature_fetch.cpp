// The signature's fetch: HTTP over the program's socket with the window's request text, or
// the FTP client with the build's login.
#include "signature_fetch.h"

#include "cftpconnection.h"
#include "ftp_address.h"
#include "ftp_errors.h"
#include "http_protocol.h"
#include "socket_control.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace app {

namespace {

constexpr int kMaxRedirects = 5;
constexpr qint32 kBinary = 1;

bool StartsWithNoCase(const QString& text, const char* prefix) {
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

QString TooLarge(qsizetype maxBytes) {
    return QStringLiteral("The signature is larger than %1 KiB.").arg(maxBytes / 1024);
}

} // namespace

QString SignatureAddress(const QString& buildAddress) {
    const QString suffix = QStringLiteral(".minisig");
    const auto ftpAddress = FtpSchemeOf(buildAddress);
    if (!ftpAddress)
        return buildAddress + suffix;
    const qsizetype schemeSize = buildAddress.size() - ftpAddress->rest.size();
    const qsizetype lastSlash = buildAddress.lastIndexOf(QLatin1Char('/'));
    const qsizetype colon = buildAddress.lastIndexOf(QLatin1Char(':'));
    if (colon > lastSlash && lastSlash >= schemeSize)
        return QString(buildAddress).insert(colon, suffix);
    return buildAddress + suffix;
}

struct SmallFileFetch::State {
    QString address;
    FetchRoute route;
    qsizetype maxBytes;
    QEventLoop loop;
    bool finished = false;
    FetchResult result;

    // HTTP.
    net::SocketControl socket;
    QTimer silence;
    http::HeaderCollector header;
    bool headerTaken = false;
    qint64 length = -1; // Content-Length, when given
    int redirects = 0;

    // FTP.
    ftp::CFtpConnection* ftpClient = nullptr;
    bool ftpTooLarge = false;

    void Finish(const QString& error) {
        if (finished)
            return;
        finished = true;
        result.error = error;
        if (!error.isEmpty())
            result.body.clear();
        socket.Close();
        silence.stop();
        if (ftpClient)
            ftpClient->BreakeConnection();
        loop.quit();
    }
    QString Failed(const QString& why) const {
        return QStringLiteral("The signature could not be fetched from %1: %2").arg(address, why);
    }

    http::Hop Hop() const {
        return http::PlanHop(address, route.useProxy ? route.proxyHost : QString(),
                             route.proxyPort);
    }
    void StartHttp();
    void OnHttpData();
    void TakeHttpHeader(const QByteArray& chunk);
    void TakeBody(const QByteArray& chunk);
    void OnHttpClose();
    void RunFtp();
};

void SmallFileFetch::State::StartHttp() {
    header.Clear();
    headerTaken = false;
    length = -1;
    result.body.clear();
    socket.Close();
    const http::Hop hop = Hop();
    net::ConnectOptions options;
    options.tunnelTo = hop.tunnelTo;
    options.tls = hop.tls;
    options.peerName = hop.peerName;
    options.trustedCertificates = route.trustedCertificates;
    try {
        socket.Connect(hop.host, hop.port, options);
    } catch (const net::SocketError& e) {
        Finish(Failed(e.text()));
        return;
    }
    silence.start();
}

void SmallFileFetch::State::OnHttpData() {
    silence.start();
    QByteArray chunk;
    try {
        socket.GetData(chunk);
    } catch (const net::SocketError&) {
        return;
    }
    if (!headerTaken)
        TakeHttpHeader(chunk);
    else
        TakeBody(chunk);
}

void SmallFileFetch::State::TakeBody(const QByteArray& chunk) {
    result.body += chunk;
    if (result.body.size() > maxBytes)
        Finish(TooLarge(maxBytes));
    else if (length >= 0 && result.body.size() >= length)
        Finish({});
}

void SmallFileFetch::State::TakeHttpHeader(const QByteArray& chunk) {
    QByteArray body;
    const auto fed = header.Feed(chunk, body);
    if (fed == http::HeaderCollector::Result::NeedMore)
        return;
    const auto status = http::ParseStatusLine(header.header());
    if (fed == http::HeaderCollector::Result::TooLarge || !status) {
        Finish(Failed(QStringLiteral("the answer is not HTTP.")));
        return;
    }
    headerTaken = true;
    if (http::IsRedirect(status->code)) {
        const QString next =
            http::ResolveLocation(address, http::GetHeaderValue(header.header(), "Location:"));
        if (next.isEmpty() || ++redirects > kMaxRedirects) {
            Finish(Failed(QString::fromLatin1(status->line)));
            return;
        }
        address = next;
        StartHttp();
        return;
    }
    if (status->code < 200 || status->code > 299) {
        Finish(Failed(QString::fromLatin1(status->line)));
        return;
    }
    length = http::ParseContentLength(http::GetHeaderValue(header.header(), "Content-Length:"))
                 .value_or(-1);
    if (length > maxBytes) {
        Finish(TooLarge(maxBytes));
        return;
    }
    TakeBody(body);
}

void SmallFileFetch::State::OnHttpClose() {
    if (!headerTaken)
        Finish(Failed(QStringLiteral("the server closed the connection without an answer.")));
    else if (length >= 0 && result.body.size() < length)
        Finish(Failed(QStringLiteral("the connection ended before the whole file arrived.")));
    else
        Finish({});
}

// The FTP client's operations wait inside themselves; the file goes to a private folder and
// is read back once it has arrived whole.
void SmallFileFetch::State::RunFtp() {
    const FtpScheme scheme = FtpSchemeOf(address).value_or(FtpScheme{});
    const FtpAddress where = SplitFtpAddress(scheme.rest, ftp::CFtpConnection::kAnonymousPassword);
    QTemporaryDir scratch;
    const QString local = scratch.filePath(QStringLiteral("signature"));
    ftp::CFtpConnection client;
    ftpClient = &client;
    client.setTimeout(route.ftpTimeout);
    client.setPassiveMode(route.ftpPassive);
    client.setUserName(where.user);
    client.setPassword(where.password);
    client.setUseTls(scheme.tls);
    client.setTrustedCertificates(route.trustedCertificates);
    const auto limit = [&](qint64 bytes) {
        if (bytes > maxBytes && !ftpTooLarge) {
            ftpTooLarge = true;
            client.BreakeConnection();
        }
    };
    client.setTotalSizeSink(limit);
    QObject::connect(&client, &ftp::CFtpConnection::DownloadProgress, limit);
    bool ok = false;
    try {
        ok = scratch.isValid() && client.Connect(where.host, where.port) &&
             (where.directory.isEmpty() || client.SetCurrentDirectory(where.directory)) &&
             client.DownloadFile(where.fileName, local, kBinary);
    } catch (const ftp::FtpError& e) {
        ftpClient = nullptr;
        Finish(Failed(e.description().isEmpty() ? e.source() : e.description()));
        return;
    }
    const QString why = client.GetLastServerResponse().trimmed().isEmpty()
                            ? client.GetFtpErrorDescription()
                            : client.GetLastServerResponse().trimmed();
    if (ok && !finished)
        client.CloseConnection();
    ftpClient = nullptr;
    if (finished)
        return; // cancelled
    if (ftpTooLarge) {
        Finish(TooLarge(maxBytes));
        return;
    }
    if (!ok) {
        Finish(Failed(why));
        return;
    }
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly)) {
        Finish(Failed(file.errorString()));
        return;
    }
    result.body = file.read(maxBytes + 1);
    Finish(result.body.size() > maxBytes ? TooLarge(maxBytes) : QString());
}

SmallFileFetch::SmallFileFetch(const QString& address, const FetchRoute& route, qsizetype maxBytes)
    : state_(std::make_unique<State>()) {
    state_->address = address;
    state_->route = route;
    state_->maxBytes = maxBytes;
}

SmallFileFetch::~SmallFileFetch() = default;

FetchResult SmallFileFetch::Run() {
    State& s = *state_;
    const bool viaHttp =
        StartsWithNoCase(s.address, "http://") || StartsWithNoCase(s.address, "https://") ||
        (StartsWithNoCase(s.address, "ftp://") && s.route.useProxy && s.route.proxyFtp);
    if (viaHttp) {
        s.silence.setSingleShot(true);
        s.silence.setInterval(s.route.silenceMs);
        QObject::connect(&s.silence, &QTimer::timeout, [&s] {
            s.Finish(s.Failed(QStringLiteral("the server did not answer within %1 s.")
                                  .arg(s.route.silenceMs / 1000)));
        });
        QObject::connect(&s.socket, &net::SocketControl::ConnectEvent, [&s] {
            const http::Hop hop = s.Hop();
            http::RequestInfo request;
            request.downloadUrl = s.address;
            request.connectHost = hop.absoluteForm ? s.route.proxyHost : hop.requestHost;
            request.viaProxy = hop.absoluteForm;
            try {
                s.socket.SendData(http::BuildRequest(request));
            } catch (const net::SocketError&) {
                // The connection went away at once; its close or error ends the fetch.
            }
        });
        QObject::connect(&s.socket, &net::SocketControl::DataArrival, [&s] { s.OnHttpData(); });
        QObject::connect(&s.socket, &net::SocketControl::CloseEvent, [&s] { s.OnHttpClose(); });
        QObject::connect(&s.socket, &net::SocketControl::ErrorEvent,
                         [&s](int, const QString& text) { s.Finish(s.Failed(text)); });
        s.StartHttp();
        if (!s.finished)
            s.loop.exec();
    } else if (FtpSchemeOf(s.address)) {
        s.RunFtp();
    } else {
        s.Finish(
            s.Failed(QStringLiteral("the address is not http://, https://, ftp:// or ftps://.")));
    }
    return s.result;
}

void SmallFileFetch::Cancel() {
    state_->result.cancelled = true;
    state_->Finish(QStringLiteral("The fetch was cancelled."));
}

} // namespace app
