// The signature check's cryptography: OpenSSL EVP for BLAKE2b-512 and Ed25519, nothing of
// our own beyond the order of the checks.
#include "signature_check.h"

#include <QFile>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <unistd.h>

namespace signing {

namespace {

using PkeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

bool Ed25519Verify(const QByteArray& key, const QByteArray& signature, const QByteArray& message) {
    PkeyPtr pkey(EVP_PKEY_new_raw_public_key(
                     EVP_PKEY_ED25519, nullptr,
                     reinterpret_cast<const unsigned char*>(key.constData()), key.size()),
                 &EVP_PKEY_free);
    MdCtxPtr ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!pkey || !ctx ||
        EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
        return false;
    return EVP_DigestVerify(
               ctx.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
               signature.size(), reinterpret_cast<const unsigned char*>(message.constData()),
               message.size()) == 1;
}

CheckResult Fail(Verdict verdict, const QString& reason) {
    return {verdict, reason, {}};
}

} // namespace

CheckResult CheckSignature(const QByteArray& publicKey, const QByteArray& signatureText,
                           const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    CheckResult result = CheckSignature(publicKey, signatureText, fd);
    if (fd >= 0)
        ::close(fd);
    return result;
}

CheckResult CheckSignature(const QByteArray& publicKey, const QByteArray& signatureText, int fd,
                           const RunningDigest* taken) {
    const auto key = ParsePublicKey(publicKey);
    if (!key)
        return Fail(Verdict::MalformedKey, QStringLiteral("The built-in public key is not valid."));
    int line = 0;
    const auto sig = ParseSignature(signatureText, &line);
    if (!sig)
        return Fail(Verdict::MalformedSignature,
                    QStringLiteral("The signature file is malformed (line %1).").arg(line));
    if (sig->algorithm == "Ed")
        return Fail(Verdict::LegacyAlgorithm,
                    QStringLiteral("The signature uses the legacy algorithm, which is refused."));
    if (sig->algorithm != "ED")
        return Fail(Verdict::UnknownAlgorithm,
                    QStringLiteral("The signature's algorithm is not supported."));
    if (sig->keyId != key->keyId)
        return Fail(Verdict::KeyIdMismatch,
                    QStringLiteral("The signature was made with key %1, not with key %2.")
                        .arg(QString::fromLatin1(sig->keyId.toHex().toUpper()),
                             QString::fromLatin1(key->keyId.toHex().toUpper())));
    QByteArray digest = taken ? taken->DigestFor(fd) : QByteArray();
    if (digest.isEmpty())
        digest = RunningDigest::OfFile(fd);
    if (digest.isEmpty())
        return Fail(Verdict::FileUnreadable, QStringLiteral("The downloaded file cannot be read."));
    if (!Ed25519Verify(key->key, sig->signature, digest))
        return Fail(Verdict::FileSignature,
                    QStringLiteral("The file does not match its signature."));
    if (!Ed25519Verify(key->key, sig->globalSignature, sig->signature + sig->trustedComment))
        return Fail(Verdict::CommentSignature,
                    QStringLiteral("The signature's trusted comment does not match."));
    return {Verdict::Good, {}, sig->trustedComment};
}

} // namespace signing
