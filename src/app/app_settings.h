// The program's settings: text values under HKEY_LOCAL_MACHINE\Software\Quillon Updater\Settings,
// each read with its default through a fresh CRegister. A value that its conversion cannot
// read counts as its default.
#pragma once

#include <QString>
#include <optional>

namespace app {

inline constexpr const char* kAppTitle = "Quillon Updater";

// Conversions of setting texts. Blanks around the text are allowed; anything else that is
// not part of the number makes the text unreadable (nullopt).
std::optional<double> NumericValue(const QString& text);
// The numeric value rounded to the nearest whole number (halves to even), within -32768..32767.
std::optional<qint16> WholeNumber16(const QString& text);
// "True"/"False" in any case, or a numeric value (non-zero is true).
std::optional<bool> TruthValue(const QString& text);

class AppSettings {
public:
    static QString Section(); // "\Software\Quillon Updater\Settings"
    static QString Read(const QString& name, const QString& defaultText);

    static bool Clipboard();        // "Clipboard", non-zero
    static bool ProxyUse();         // "Proxy Use", equal to 1
    static QString ProxyIP();       // "Proxy IP"
    static QString ProxyPort();     // "Proxy Port"
    static bool ProxyFtp();         // "Proxy FTP", truth value, default false
    static bool Rollback();         // "Rollback", non-zero
    static qint16 RollbackAmount(); // "Rollback Amount", default 1024
    static qint16 FtpTimeout();     // "FTP Timeout", default 30, 0 taken as 30
    static bool FtpPasv();          // "FTP PASV", non-zero
    static bool DownloadDrop();     // "Download Drop", equal to 1
    // "Trusted Certificates": a PEM file of certificates trusted for https:// beside the
    // system's; default none.
    static QString TrustedCertificates();
};

} // namespace app
