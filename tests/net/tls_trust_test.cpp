// The authorities a TLS connection trusts: naming a file of them adds to the system's.
#include "servers.h"
#include "tls_trust.h"

#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>

class TlsTrustTests : public QObject {
    Q_OBJECT
private slots:
    void authorities() {
        QTemporaryDir dir;
        QVERIFY(testsupport::makeCertificate(dir.path(), "ca"));
        QVERIFY(testsupport::writeFile(dir.filePath("junk.pem"), "not a certificate\n"));
        const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
        QVERIFY(!system.isEmpty());

        QCOMPARE(net::TrustedAuthorities(QString()).value_or(system).size(), 0);
        QVERIFY(!net::TrustedAuthorities(dir.filePath("missing.pem")));
        QVERIFY(!net::TrustedAuthorities(dir.filePath("junk.pem")));
        const auto both = net::TrustedAuthorities(dir.filePath("ca.pem"));
        QVERIFY(both);
        QCOMPARE(both->size(), system.size() + 1);
        QCOMPARE(both->mid(0, system.size()), system);
        QCOMPARE(both->last(), QSslCertificate::fromPath(dir.filePath("ca.pem")).first());
    }
};

QTEST_GUILESS_MAIN(TlsTrustTests)
#include "tls_trust_test.moc"
