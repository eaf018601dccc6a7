#include "ftp_address.h"

namespace app {

std::optional<FtpScheme> FtpSchemeOf(const QString& address) {
    for (const bool tls : {false, true}) {
        const QLatin1String scheme(tls ? "ftps://" : "ftp://");
        if (address.startsWith(scheme, Qt::CaseInsensitive))
            return FtpScheme{tls, address.mid(scheme.size())};
    }
    return std::nullopt;
}

FtpAddress SplitFtpAddress(const QString& rest, const QString& anonymousPassword) {
    FtpAddress a;
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QString hostPart = slash < 0 ? rest : rest.left(slash);
    QString path = slash < 0 ? QString() : rest.mid(slash);

    // The user part ends at the last "@" of the host part, so that a password may hold one.
    const qsizetype at = hostPart.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userPart = hostPart.left(at);
        const qsizetype colon = userPart.indexOf(QLatin1Char(':'));
        a.user = colon < 0 ? userPart : userPart.left(colon);
        a.password = colon < 0 ? QString() : userPart.mid(colon + 1);
        hostPart = hostPart.mid(at + 1);
    } else {
        a.user = QStringLiteral("anonymous");
        a.password = anonymousPassword;
    }
    a.host = hostPart;

    // A port follows the file name: a ":" in a folder name is part of the path.
    const qsizetype lastSlash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype colon = path.lastIndexOf(QLatin1Char(':'));
    a.port = QStringLiteral("21");
    if (colon > lastSlash && lastSlash >= 0) {
        a.port = path.mid(colon + 1);
        path.truncate(colon);
    }
    if (lastSlash >= 0) {
        a.directory = path.left(lastSlash);
        a.fileName = path.mid(lastSlash + 1);
    }
    return a;
}

} // namespace app
