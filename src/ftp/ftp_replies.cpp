#include "ftp_replies.h"

#include "ftp_errors.h"

#include <QList>

namespace ftp {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool StartsWithThreeDigits(const QByteArray& text) {
    return text.size() >= 3 && IsDigit(text[0]) && IsDigit(text[1]) && IsDigit(text[2]);
}

int ThreeDigits(const QByteArray& text) {
    return (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
}

// A decimal number of 1 to 3 digits with optional blanks around it, within 0..max.
int ListNumber(const QByteArray& field, int max) {
    const QByteArray digits = field.trimmed();
    if (digits.isEmpty() || digits.size() > 3)
        throw RuntimeError(kErrInvalidCall, QStringLiteral("Invalid procedure call or argument"));
    int value = 0;
    for (const char c : digits) {
        if (!IsDigit(c))
            throw RuntimeError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
        value = value * 10 + (c - '0');
    }
    if (value > max)
        throw RuntimeError(kErrOverflow, QStringLiteral("Overflow"));
    return value;
}

} // namespace

qint16 GetReplyCode(const QByteArray& reply) {
    if (reply.size() <= 2)
        return 0;
    if (!StartsWithThreeDigits(reply))
        throw RuntimeError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
    return static_cast<qint16>(ThreeDigits(reply));
}

std::optional<int> PieceCode(const QByteArray& piece) {
    if (!StartsWithThreeDigits(piece))
        return std::nullopt;
    return ThreeDigits(piece);
}

std::optional<QByteArray> PwdPath(const QByteArray& reply) {
    const qsizetype open = reply.indexOf('"');
    if (open < 0)
        return std::nullopt;
    const qsizetype close = reply.indexOf('"', open + 1);
    if (close < 0)
        return std::nullopt;
    return reply.mid(open + 1, close - open - 1);
}

PassiveAddress ParsePasvReply(const QByteArray& reply) {
    const qsizetype open = reply.indexOf('(');
    const qsizetype close = reply.indexOf(')');
    if (open < 0 || close < open)
        throw RuntimeError(kErrInvalidCall, QStringLiteral("Invalid procedure call or argument"));
    const QList<QByteArray> fields = reply.mid(open + 1, close - open - 1).split(',');
    if (fields.size() != 6)
        throw RuntimeError(kErrInvalidCall, QStringLiteral("Invalid procedure call or argument"));
    QStringList octets;
    for (int i = 0; i < 4; ++i)
        octets << QString::number(ListNumber(fields[i], 255));
    const int port = ListNumber(fields[4], 255) * 256 + ListNumber(fields[5], 255);
    if (port == 0)
        throw RuntimeError(kErrInvalidCall, QStringLiteral("Invalid procedure call or argument"));
    return {octets.join(QLatin1Char('.')), static_cast<quint16>(port)};
}

QByteArray PortArgument(const QString& dottedAddress, quint16 port) {
    QByteArray argument = dottedAddress.toLatin1();
    argument.replace('.', ',');
    return argument + ',' + QByteArray::number(port / 256) + ',' + QByteArray::number(port % 256);
}

} // namespace ftp
