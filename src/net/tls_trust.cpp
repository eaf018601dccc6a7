#include "tls_trust.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QThreadPool>
#include <mutex>

namespace net {

std::optional<QList<QSslCertificate>> FileAuthorities(const QString& path) {
    QList<QSslCertificate> certificates = QSslCertificate::fromPath(path, QSsl::Pem);
    if (certificates.isEmpty())
        return std::nullopt;
    return certificates;
}

bool IsUnknownIssuer(QSslError::SslError error) {
    switch (error) {
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::SelfSignedCertificate:
    case QSslError::CertificateUntrusted:
        return true;
    default:
        return false;
    }
}

void PrepareTls() {
    // Loading the backend, OpenSSL and its default context takes about 8 ms; done here it
    // overlaps the building of the window instead of delaying the first connection.
    static std::once_flag once;
    std::call_once(once, [] {
        QThreadPool::globalInstance()->start([] {
            if (QSslSocket::supportsSsl())
                (void)QSslConfiguration::defaultConfiguration();
        });
    });
}

} // namespace net
