// The signed-build check that comes between a finished download and the executable's
// replacement: the signature is fetched the way the build was, checked against the maker's
// key built into the program, and the build's version against the last one accepted.
#include "app_settings.h"
#include "download_state.h"
#include "frmmain.h"
#include "minisign_format.h"
#include "replace_executable.h"
#include "rkbuttons_h.h"
#include "signature_check.h"
#include "signature_fetch.h"
#include "ui_seam.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace app {

namespace {

const QString kNotVerifiedText = QStringLiteral(
    "The downloaded file is not signed by the maker of the product. The product was not "
    "changed.\r\n");

// Where the last accepted version is kept: beside the executable, which the updater writes.
QString VersionFile(const QString& executable) {
    return executable + QStringLiteral(".version");
}

// The last version accepted for the product; empty when none (or unreadable).
QByteArray AcceptedVersion(const QString& executable) {
    QFile file(VersionFile(executable));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return signing::TrustedVersion("version:" + file.read(64).trimmed()).value_or(QByteArray());
}

bool StoreAcceptedVersion(const QString& executable, const QByteArray& version) {
    QSaveFile file(VersionFile(executable));
    return file.open(QIODevice::WriteOnly) && file.write(version + '\n') > 0 && file.commit();
}

FetchRoute RouteOfDownload() {
    FetchRoute route;
    route.useProxy = Download().UseProxy;
    route.proxyHost = AppSettings::ProxyIP();
    route.proxyPort = AppSettings::ProxyPort();
    route.proxyFtp = AppSettings::ProxyFtp();
    route.trustedCertificates = AppSettings::TrustedCertificates();
    route.ftpTimeout = AppSettings::FtpTimeout();
    route.ftpPassive = AppSettings::FtpPasv();
    return route;
}

} // namespace

QByteArray frmMain::BuiltInMakerKey() {
    return QByteArrayLiteral(ZORV_PUBLIC_KEY).trimmed();
}

void frmMain::Command1_Click() {
    if (signatureFetch_)
        return; // a check is running already
    const QString download = TxtPath->text();
    const QString executable = Text2->text();
    ReplaceCheck check;
    QByteArray signature;
    QByteArray version; // the build's version, once its signature has verified
    if (!makerKey_.isEmpty()) {
        const FetchResult fetched = FetchSignature();
        if (fetched.cancelled)
            return; // the window closed: the download stays for another try
        if (!fetched.error.isEmpty()) {
            RefuseUpdate(download, fetched.error);
            return;
        }
        signature = fetched.body;
        check = [&](int fd) { return CheckBuild(fd, signature, executable, version); };
    }
    const ReplaceOutcome outcome = ReplaceExecutable(download, executable, check);
    if (!outcome.refusal.isEmpty()) {
        RefuseUpdate(download, outcome.refusal);
        return;
    }
    if (outcome.error == 0) {
        if (!version.isEmpty())
            StoreAcceptedVersion(executable, version);
        return;
    }
    const int error = outcome.error;
    if (error == EACCES || error == EPERM || error == ETXTBSY || error == EBUSY) {
        Ui().MsgBox(this, QStringLiteral("Close Velder Application !"), MsgButtons::OK,
                    MsgIcon::Critical, QStringLiteral("Application Error"));
        return;
    }
    Ui().MsgBox(this,
                QStringLiteral("Cannot replace \"%1\" by \"%2\": %3")
                    .arg(executable, download, QString::fromLocal8Bit(std::strerror(error))),
                MsgButtons::OK, MsgIcon::Critical, QStringLiteral("Application Error"));
}

// Fetches the signature beside the build while the window shows that it checks; the buttons that
// could start or end a transfer wait meanwhile.
FetchResult frmMain::FetchSignature() {
    const DownloadFields& d = Download();
    const QString address =
        SignatureAddress(d.DownloadURL.isEmpty() ? txtURL->text() : d.DownloadURL);
    const QString shown = lblStatus->text();
    lblStatus->setText(QStringLiteral("Checking the maker's signature"));
    const bool pause = cmdPause->isEnabled(), stop = cmdStop->isEnabled();
    cmdPause->setEnabled(false);
    cmdStop->setEnabled(false);
    SmallFileFetch fetch(address, RouteOfDownload(), kMaxSignatureBytes);
    signatureFetch_ = &fetch;
    const FetchResult result = fetch.Run();
    signatureFetch_ = nullptr;
    lblStatus->setText(shown);
    cmdPause->setEnabled(pause);
    cmdStop->setEnabled(stop);
    return result;
}

// The check of the file about to replace the executable; "" when it may, else the reason.
QString frmMain::CheckBuild(int fd, const QByteArray& signature, const QString& executable,
                            QByteArray& version) const {
    const signing::CheckResult checked =
        signing::CheckSignature(makerKey_, signature, fd, digest_.get());
    if (checked.verdict != signing::Verdict::Good)
        return checked.reason;
    const auto offered = signing::TrustedVersion(checked.trustedComment);
    if (!offered)
        return {};
    const QByteArray accepted = AcceptedVersion(executable);
    if (!accepted.isEmpty() && signing::CompareVersions(*offered, accepted) < 0)
        return QStringLiteral("The build is version %1, older than version %2, which was "
                              "installed before.")
            .arg(QString::fromLatin1(*offered), QString::fromLatin1(accepted));
    version = *offered;
    return {};
}

// Nothing of a refused build stays: the download is deleted before the user is told.
void frmMain::RefuseUpdate(const QString& download, const QString& reason) {
    QFile::remove(download);
    lblStatus->setText(QStringLiteral("Update Not Verified"));
    Ui().MsgBox(this, kNotVerifiedText + reason, MsgButtons::OK, MsgIcon::Critical,
                QStringLiteral("Update Not Verified"));
}

} // namespace app
