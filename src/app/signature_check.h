// Checks a downloaded build against the maker's minisign signature with OpenSSL's EVP
// interface: key id, Ed25519 over the file's BLAKE2b-512 digest, then the global signature
// over the signature and its trusted comment. The legacy "Ed" form is refused.
#pragma once

#include "minisign_format.h"
#include "running_digest.h"

#include <QByteArray>
#include <QString>

namespace signing {

enum class Verdict {
    Good,
    MalformedKey,
    MalformedSignature,
    LegacyAlgorithm,
    UnknownAlgorithm,
    KeyIdMismatch,
    FileUnreadable,
    FileSignature,
    CommentSignature,
};

struct CheckResult {
    Verdict verdict = Verdict::Good;
    QString reason;            // one sentence for the user; empty when good
    QByteArray trustedComment; // only once every signature has verified
};

// The file at `path` as it is now, against the signature file's text and the base64 public key.
CheckResult CheckSignature(const QByteArray& publicKey, const QByteArray& signatureText,
                           const QString& path);
// The same over an open file, read from its first byte whatever its offset, unless `taken`
// holds the digest of that very file as it stands.
CheckResult CheckSignature(const QByteArray& publicKey, const QByteArray& signatureText, int fd,
                           const RunningDigest* taken = nullptr);

} // namespace signing
