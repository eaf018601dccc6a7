// The authorities a trusted-certificates file names, and which verification errors may be
// cured by the system's authorities.
#include "servers.h"
#include "tls_trust.h"

#include <QTemporaryDir>
#include <QTest>

class TlsTrustTests : public QObject {
    Q_OBJECT
private slots:
    void fileAuthorities() {
        QTemporaryDir dir;
        QVERIFY(testsupport::makeCertificate(dir.path(), "ca"));
        QVERIFY(testsupport::writeFile(dir.filePath("junk.pem"), "not a certificate\n"));
        QVERIFY(!net::FileAuthorities(dir.filePath("missing.pem")));
        QVERIFY(!net::FileAuthorities(dir.filePath("junk.pem")));
        const auto named = net::FileAuthorities(dir.filePath("ca.pem"));
        QVERIFY(named && named->size() == 1);
        QVERIFY(named->first()
                    .subjectInfo(QSslCertificate::CommonName)
                    .first()
                    .startsWith("Zorv Test Authority"));
    }

    void unknownIssuers() {
        using E = QSslError;
        for (E::SslError e : {E::UnableToGetLocalIssuerCertificate, E::UnableToGetIssuerCertificate,
                              E::SelfSignedCertificate, E::SelfSignedCertificateInChain,
                              E::UnableToVerifyFirstCertificate, E::CertificateUntrusted})
            QVERIFY2(net::IsUnknownIssuer(e), qPrintable(QString::number(int(e))));
        for (E::SslError e : {E::CertificateExpired, E::HostNameMismatch, E::CertificateRevoked,
                              E::CertificateNotYetValid, E::CertificateSignatureFailed,
                              E::InvalidPurpose, E::CertificateRejected})
            QVERIFY2(!net::IsUnknownIssuer(e), qPrintable(QString::number(int(e))));
    }
};

QTEST_GUILESS_MAIN(TlsTrustTests)
#include "tls_trust_test.moc"
