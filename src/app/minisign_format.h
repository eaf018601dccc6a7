// The maker's public key and a build's detached signature, in the format of Debian's
// minisign program, read into fixed-size fields; and the version a signature vouches for.
// Pure parsing over Qt Core: no files, no cryptography.
#pragma once

#include <QByteArray>
#include <optional>

namespace signing {

inline constexpr qsizetype kKeyIdBytes = 8;
inline constexpr qsizetype kPublicKeyBytes = 32;
inline constexpr qsizetype kSignatureBytes = 64;
inline constexpr qsizetype kMaxTrustedComment = 8192;

struct PublicKey {
    QByteArray algorithm; // 2 bytes: "Ed"
    QByteArray keyId;     // 8 bytes
    QByteArray key;       // 32 bytes of Ed25519 public key
};

struct Signature {
    QByteArray algorithm;       // 2 bytes: "ED" (over the BLAKE2b-512 digest) or "Ed" (legacy)
    QByteArray keyId;           // 8 bytes
    QByteArray signature;       // 64 bytes over the digest (or the file, legacy)
    QByteArray trustedComment;  // the text after "trusted comment: "
    QByteArray globalSignature; // 64 bytes over signature + trusted comment
};

// The base64 line of a public key (the second line of a key file, or that line alone).
std::optional<PublicKey> ParsePublicKey(const QByteArray& text);

// The four lines of a signature file (LF or CR LF line ends). On failure, nullopt and the
// number of the first line that is wrong (1 to 4) in *badLine.
std::optional<Signature> ParseSignature(const QByteArray& text, int* badLine = nullptr);

// The value of "version:" among the trusted comment's tab-separated fields, when it is
// dotted whole numbers ("2.10"); nullopt otherwise.
std::optional<QByteArray> TrustedVersion(const QByteArray& trustedComment);

// Compares dotted versions by their numbers: negative, 0 or positive ("2.10" > "2.9",
// "2.0" == "2").
int CompareVersions(const QByteArray& a, const QByteArray& b);

} // namespace signing
