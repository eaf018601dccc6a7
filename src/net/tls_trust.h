// The certificate authorities that a TLS connection trusts beside the system's.
#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <optional>

namespace net {

// The authorities in the PEM file `path`; nullopt when it holds no readable certificate.
std::optional<QList<QSslCertificate>> FileAuthorities(const QString& path);

// A verification error that only says the chain ends at no authority the check knew of,
// which the system's authorities may still know.
bool IsUnknownIssuer(QSslError::SslError error);

// Loads the TLS library on a worker thread, once per process, so that the first handshake
// does not wait for it. Safe to call from the GUI thread at any time.
void PrepareTls();

} // namespace net
