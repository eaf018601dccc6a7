#include "tls_trust.h"

#include <QSslConfiguration>

namespace net {

std::optional<QList<QSslCertificate>> TrustedAuthorities(const QString& extraFile) {
    if (extraFile.isEmpty())
        return QList<QSslCertificate>{};
    const QList<QSslCertificate> extra = QSslCertificate::fromPath(extraFile, QSsl::Pem);
    if (extra.isEmpty())
        return std::nullopt;
    // Naming any authority ends the loading of the system's on demand: they are named too.
    // They are read once per process.
    static const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
    return system + extra;
}

} // namespace net
