// Reading minisign keys and signatures: strict base64 of exact lengths, known prefixes.
#include "minisign_format.h"

#include <QList>

namespace signing {

namespace {

const QByteArray kUntrusted = "untrusted comment: ";
const QByteArray kTrusted = "trusted comment: ";

// Strict base64 of exactly `size` bytes; empty on any other text.
QByteArray DecodeExact(const QByteArray& text, qsizetype size) {
    const auto decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size || decoded.decoded.toBase64() != text)
        return {};
    return decoded.decoded;
}

QList<QByteArray> Lines(QByteArray text) {
    text.replace("\r\n", "\n");
    if (text.endsWith('\n'))
        text.chop(1);
    return text.split('\n');
}

bool IsWholeNumber(const QByteArray& part) {
    if (part.isEmpty() || part.size() > 9)
        return false;
    for (char c : part)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

std::optional<PublicKey> ParsePublicKey(const QByteArray& text) {
    const QList<QByteArray> lines = Lines(text.trimmed());
    if (lines.size() > 2 || (lines.size() == 2 && !lines.first().startsWith(kUntrusted)))
        return std::nullopt;
    const QByteArray raw = DecodeExact(lines.last(), 2 + kKeyIdBytes + kPublicKeyBytes);
    if (raw.isEmpty() || !raw.startsWith("Ed"))
        return std::nullopt;
    return PublicKey{raw.left(2), raw.mid(2, kKeyIdBytes), raw.mid(2 + kKeyIdBytes)};
}

std::optional<Signature> ParseSignature(const QByteArray& text, int* badLine) {
    const auto fail = [badLine](int line) {
        if (badLine)
            *badLine = line;
        return std::nullopt;
    };
    const QList<QByteArray> lines = Lines(text);
    if (lines.isEmpty() || !lines[0].startsWith(kUntrusted))
        return fail(1);
    if (lines.size() < 2)
        return fail(2);
    const QByteArray raw = DecodeExact(lines[1], 2 + kKeyIdBytes + kSignatureBytes);
    if (raw.isEmpty())
        return fail(2);
    if (lines.size() < 3 || !lines[2].startsWith(kTrusted) ||
        lines[2].size() - kTrusted.size() > kMaxTrustedComment)
        return fail(3);
    if (lines.size() != 4)
        return fail(4);
    const QByteArray global = DecodeExact(lines[3], kSignatureBytes);
    if (global.isEmpty())
        return fail(4);
    return Signature{raw.left(2), raw.mid(2, kKeyIdBytes), raw.mid(2 + kKeyIdBytes),
                     lines[2].mid(kTrusted.size()), global};
}

std::optional<QByteArray> TrustedVersion(const QByteArray& trustedComment) {
    for (const QByteArray& field : trustedComment.split('\t')) {
        if (!field.startsWith("version:"))
            continue;
        const QByteArray version = field.mid(8);
        for (const QByteArray& part : version.split('.'))
            if (!IsWholeNumber(part))
                return std::nullopt;
        return version;
    }
    return std::nullopt;
}

int CompareVersions(const QByteArray& a, const QByteArray& b) {
    const QList<QByteArray> x = a.split('.');
    const QList<QByteArray> y = b.split('.');
    for (qsizetype i = 0; i < qMax(x.size(), y.size()); ++i) {
        const qint64 p = x.value(i, "0").toLongLong();
        const qint64 q = y.value(i, "0").toLongLong();
        if (p != q)
            return p < q ? -1 : 1;
    }
    return 0;
}

} // namespace signing
