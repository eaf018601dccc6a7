// Fetches a build's detached signature: a small file beside the build, over the build's own
// protocol, proxy and login. Synchronous for its caller; the thread's events run meanwhile.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace app {

// How the build was fetched, so that its signature comes the same way.
struct FetchRoute {
    bool useProxy = false; // HTTP addresses (and FTP ones, with proxyFtp) go to the proxy
    QString proxyHost;
    QString proxyPort;
    bool proxyFtp = false;
    QString trustedCertificates; // for https://, beside the system's
    qint16 ftpTimeout = 30;      // seconds of silence before an FTP step fails
    bool ftpPassive = false;
    int silenceMs = 30000; // an HTTP fetch fails after this long without a byte
};

struct FetchResult {
    QByteArray body;
    QString error;          // why nothing usable arrived; empty on success
    bool cancelled = false; // Cancel() ended the fetch
};

inline constexpr qsizetype kMaxSignatureBytes = 16 * 1024;

// The signature's address beside the build's: ".minisig" after the file name, which in an
// ftp:// address comes before a ":port" that follows it.
QString SignatureAddress(const QString& buildAddress);

// One fetch of the whole file at `address` (http://, https:// or ftp://), at most maxBytes. HTTP
// follows up to five redirects and takes only a 2xx answer.
class SmallFileFetch {
public:
    SmallFileFetch(const QString& address, const FetchRoute& route, qsizetype maxBytes);
    ~SmallFileFetch();
    SmallFileFetch(const SmallFileFetch&) = delete;
    SmallFileFetch& operator=(const SmallFileFetch&) = delete;

    // Runs until the file has arrived, failed or Cancel() was called (from an event handler).
    FetchResult Run();
    void Cancel();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace app
