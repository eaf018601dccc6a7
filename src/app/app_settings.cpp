#include "app_settings.h"

#include "cregister.h"

#include <QRegularExpression>
#include <cmath>

namespace app {

std::optional<double> NumericValue(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint16> WholeNumber16(const QString& text) {
    const auto value = NumericValue(text);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value); // the default rounding mode: halves to even
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

std::optional<bool> TruthValue(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto value = NumericValue(text))
        return *value != 0.0;
    return std::nullopt;
}

QString AppSettings::Section() {
    return QStringLiteral("\\Software\\") + QLatin1String(kAppTitle) + QStringLiteral("\\Settings");
}

QString AppSettings::Read(const QString& name, const QString& defaultText) {
    const settings::CRegister reg;
    return reg.REGGetSetting(settings::HKEY_LOCAL_MACHINE, Section(), name, defaultText);
}

namespace {

double numberOr(const QString& name, const char* defaultText) {
    const QString def = QLatin1String(defaultText);
    return NumericValue(AppSettings::Read(name, def)).value_or(NumericValue(def).value_or(0));
}

qint16 wholeOr(const QString& name, qint16 defaultValue) {
    const QString text = AppSettings::Read(name, QString::number(defaultValue));
    return WholeNumber16(text).value_or(defaultValue);
}

} // namespace

bool AppSettings::Clipboard() {
    return numberOr(QStringLiteral("Clipboard"), "1") != 0;
}
bool AppSettings::ProxyUse() {
    return numberOr(QStringLiteral("Proxy Use"), "0") == 1;
}
QString AppSettings::ProxyIP() {
    return Read(QStringLiteral("Proxy IP"), QString());
}
QString AppSettings::ProxyPort() {
    return Read(QStringLiteral("Proxy Port"), QString());
}
bool AppSettings::ProxyFtp() {
    return TruthValue(Read(QStringLiteral("Proxy FTP"), QString())).value_or(false);
}
bool AppSettings::Rollback() {
    return numberOr(QStringLiteral("Rollback"), "1") != 0;
}
qint16 AppSettings::RollbackAmount() {
    return wholeOr(QStringLiteral("Rollback Amount"), 1024);
}
qint16 AppSettings::FtpTimeout() {
    const qint16 seconds = wholeOr(QStringLiteral("FTP Timeout"), 30);
    return seconds == 0 ? qint16(30) : seconds;
}
bool AppSettings::FtpPasv() {
    return numberOr(QStringLiteral("FTP PASV"), "1") != 0;
}
QString AppSettings::TrustedCertificates() {
    return Read(QStringLiteral("Trusted Certificates"), QString());
}
bool AppSettings::DownloadDrop() {
    return numberOr(QStringLiteral("Download Drop"), "0") == 1;
}

} // namespace app
