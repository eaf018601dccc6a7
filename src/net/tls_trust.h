// The certificate authorities that a TLS connection trusts.
#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <optional>

namespace net {

// The system's authorities plus those in the PEM file `extraFile`. Empty for no file: the
// system's are then loaded as connections need them. nullopt when the file holds no
// readable certificate.
std::optional<QList<QSslCertificate>> TrustedAuthorities(const QString& extraFile);

} // namespace net
