// The request bytes and the response-header parsing, without sockets (the window tests
// check the ordinary requests; the fuzz target checks header collection in any pieces).
#include "http_protocol.h"
#include "window_fixture.h"

#include <QTest>

using namespace http;
using apptest::expectedRequest;
using Result = HeaderCollector::Result;

class HttpProtocolTests : public QObject {
    Q_OBJECT
private slots:
    void requestBytes() {
        QCOMPARE(BuildRequest({"http://h/f", "h", false, true, 5000000123}),
                 expectedRequest("/f", "h", "5000000123"));
        QCOMPARE(BuildRequest({"http://h/a b.exe", "h"}), expectedRequest("/a%20b.exe", "h"));
    }

    void addresses() {
        QCOMPARE(HostOfAddress("http://H/dir/file.exe").value(), QString("H"));
        QCOMPARE(HostOfAddress("http://h:8080/x").value(), QString("h:8080"));
        QCOMPARE(HostOfAddress("h.example/x").value(), QString("h.example"));
        QVERIFY(!HostOfAddress("http://h.example").has_value()); // no path: host not taken
        const auto split = [](const QString& hostPort) {
            const HostPort p = SplitHostPort(hostPort, "80");
            return p.host + ' ' + p.port;
        };
        QCOMPARE(split("h:8080"), QString("h 8080"));
        QCOMPARE(split("h"), QString("h 80"));
        QCOMPARE(split("h:"), QString("h 80"));
        QCOMPARE(split("[::1]:81"), QString("::1 81"));
    }

    void headerLimit() {
        HeaderCollector atLimit;
        QByteArray body;
        QByteArray big = "HTTP/1.0 200 OK\r\nX: ";
        big += QByteArray(HeaderCollector::kMaxHeaderBytes - big.size(), 'b');
        QCOMPARE(atLimit.Feed(big + "\r\n\r\nZ", body), Result::Complete);
        QCOMPARE(body, QByteArray("Z"));
        HeaderCollector over;
        QCOMPARE(over.Feed(big, body), Result::NeedMore);
        QCOMPARE(over.Feed("b\r\n\r\n", body), Result::TooLarge);
    }

    void headerFields() {
        const QByteArray header =
            "HTTP/1.0 200 OK\r\ncontent-length:5000\r\nX-Content-Length: 9\r\n"
            "Content-Type: text/plain  \r\nEmpty:";
        QCOMPARE(GetHeaderValue(header, "Content-Length:"), QByteArray("5000"));
        QCOMPARE(GetHeaderValue(header, "CONTENT-TYPE"), QByteArray("text/plain"));
        QCOMPARE(GetHeaderValue(header, "Length:"), QByteArray()); // whole names at line start
        QCOMPARE(GetHeaderValue(header, "Empty:"), QByteArray());
        QCOMPARE(ParseStatusLine("HTTP/1.1 206 Partial Content\r\nA: b")->code, 206);
        QCOMPARE(ParseStatusLine("HTTP/1.0 404 Not Found")->line,
                 QByteArray("HTTP/1.0 404 Not Found"));
        QCOMPARE(ParseStatusLine("HTTP/1.0 200")->code, 200);
        for (const char* bad : {"HTTP/1.0 20 OK", "HTTP/1.0 2000 OK", "HTTP/1.0 099 Low",
                                "ICY 200 OK", "HTTP/1.0 2x0 OK"})
            QVERIFY2(!ParseStatusLine(bad), bad);
        QCOMPARE(ParseContentLength("5000000000").value(), qint64(5000000000));
        for (const char* bad : {"-1", "12abc", "1e6", "", "9999999999999999999999"})
            QVERIFY2(!ParseContentLength(bad), bad);
        QCOMPARE(ParseContentRangeStart("bytes 26213376-41943039/41943040").value(),
                 qint64(26213376));
        QVERIFY(!ParseContentRangeStart("bytes */41943040"));
    }

    void redirects() {
        QCOMPARE(ResolveLocation("http://h:81/a/b.exe", "c.exe"), QString("http://h:81/a/c.exe"));
        QCOMPARE(ResolveLocation("http://h/a/b", "/x/y"), QString("http://h/x/y"));
        QCOMPARE(ResolveLocation("http://h/a/b", "http://other"), QString("http://other/"));
        QCOMPARE(ResolveLocation("http://h/a/b", "https://other/x"), QString()); // not fetchable
        QCOMPARE(ResolveLocation("http://h/a/b", "ftp://other/x"), QString());
        QVERIFY(IsRedirect(301) && IsRedirect(307) && IsRedirect(308));
        QVERIFY(!IsRedirect(304) && !IsRedirect(300));
    }
};

QTEST_GUILESS_MAIN(HttpProtocolTests)
#include "http_protocol_tests.moc"
