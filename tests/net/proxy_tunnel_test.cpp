// The proxy tunnel's request and the reading of the proxy's answer, fed whole and in pieces.
#include "proxy_tunnel.h"

#include <QTest>

using net::ReadTunnelAnswer;
using net::TunnelAnswer;

class ProxyTunnelTests : public QObject {
    Q_OBJECT
private slots:
    void request() {
        QCOMPARE(net::BuildConnectRequest("h.example:443"),
                 QByteArray("CONNECT h.example:443 HTTP/1.0\r\nHost: h.example:443\r\n\r\n"));
    }

    void answers() {
        using R = TunnelAnswer::Result;
        struct Row {
            const char* name;
            QByteArray bytes;
            R result;
            int code;
        };
        const QByteArray long_(TunnelAnswer::kMaxBytes, 'x');
        const QList<Row> rows = {
            {"1.0 200", "HTTP/1.0 200 Connection established\r\n\r\n", R::Established, 200},
            {"1.1 200 with headers", "HTTP/1.1 200 OK\r\nProxy-agent: p\r\n\r\n", R::Established,
             200},
            {"407", "HTTP/1.0 407 Proxy Authentication Required\r\n\r\n", R::Refused, 407},
            {"403", "HTTP/1.0 403 Access violation\r\nContent-Length: 0\r\n\r\n", R::Refused, 403},
            {"502", "HTTP/1.1 502 Bad Gateway\r\n\r\nbody", R::Refused, 502},
            {"bytes after 200", "HTTP/1.0 200 OK\r\n\r\n\x16\x03", R::Malformed, 200},
            {"not HTTP", "SSH-2.0-OpenSSH\r\n", R::Malformed, 0},
            {"not HTTP, early", "X", R::Malformed, 0},
            {"no code", "HTTP/1.0 OK\r\n\r\n", R::Malformed, 0},
            {"too long", "HTTP/1.0 200 OK\r\nX: " + long_, R::Malformed, 0},
            {"incomplete", "HTTP/1.0 200 OK\r\n", R::NeedMore, 0},
        };
        for (const Row& r : rows) {
            const TunnelAnswer whole = ReadTunnelAnswer(r.bytes);
            QCOMPARE(QString("%1: %2 %3").arg(r.name).arg(int(whole.result)).arg(whole.code),
                     QString("%1: %2 %3").arg(r.name).arg(int(r.result)).arg(r.code));
            // Every prefix short of the blank line needs more, or is known to be malformed.
            const qsizetype blank = r.bytes.indexOf("\r\n\r\n");
            const qsizetype header = blank < 0 ? r.bytes.size() : blank + 4;
            for (qsizetype n = 0; n < header; n += 1 + n / 64) {
                const R early = ReadTunnelAnswer(r.bytes.left(n)).result;
                QVERIFY2(early == R::NeedMore ||
                             (early == R::Malformed && r.result == R::Malformed),
                         qPrintable(QString("%1 at %2").arg(r.name).arg(n)));
            }
        }
        const TunnelAnswer ok = ReadTunnelAnswer("HTTP/1.0 200 OK\r\nA: b\r\n\r\n");
        QCOMPARE(ok.headerBytes, qsizetype(25));
        QCOMPARE(ok.statusLine, QByteArray("HTTP/1.0 200 OK"));
    }
};

QTEST_GUILESS_MAIN(ProxyTunnelTests)
#include "proxy_tunnel_test.moc"
