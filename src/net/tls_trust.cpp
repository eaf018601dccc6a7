#include "tls_trust.h"

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

} // namespace net
