// The request bytes and the response-header parsing, without sockets.
#include "http_protocol.h"
#include "window_fixture.h"

#include <QTest>

using namespace http;
using apptest::expectedRequest;
using Result = HeaderCollector::Result;
Q_DECLARE_METATYPE(RequestInfo)

class HttpProtocolTests : public QObject {
    Q_OBJECT
private slots:
    void requestBytes_data() {
        QTest::addColumn<RequestInfo>("info");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("direct") << RequestInfo{"http://h.example/dir/file.exe", "h.example"}
                                << expectedRequest("/dir/file.exe", "h.example");
        QTest::newRow("resumed beyond 4 GiB")
            << RequestInfo{"http://h/f", "h", false, true, 5000000123}
            << expectedRequest("/f", "h", "5000000123");
        QTest::newRow("port") << RequestInfo{"http://127.0.0.1:8080/a/b.bin", "127.0.0.1:8080"}
                              << expectedRequest("/a/b.bin", "127.0.0.1:8080");
        QTest::newRow("proxy") << RequestInfo{"http://files.example:81/u/z.exe", "proxy", true}
                               << expectedRequest("http://files.example:81/u/z.exe",
                                                  "files.example:81");
        QTest::newRow("blank in path")
            << RequestInfo{"http://h/a b.exe", "h"} << expectedRequest("/a%20b.exe", "h");
    }
    void requestBytes() {
        QFETCH(RequestInfo, info);
        QFETCH(QByteArray, expected);
        QCOMPARE(BuildRequest(info), expected);
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

    // The header is complete only with the byte that ends the blank line, whatever the pieces;
    // what follows is body even when it looks like a header.
    void headerCollector_data() {
        QTest::addColumn<int>("piece");
        for (int piece : {1, 2, 3, 7, 1000})
            QTest::addRow("pieces of %d", piece) << piece;
    }
    void headerCollector() {
        QFETCH(int, piece);
        const QByteArray header = "HTTP/1.0 200 OK\r\nContent-Length: 3";
        const QByteArray rest = "Content-Type: x\r\n\r\nabc";
        const QByteArray response = header + "\r\n\r\n" + rest;
        HeaderCollector collector;
        QByteArray body;
        Result result = Result::NeedMore;
        qsizetype fed = 0;
        while (result == Result::NeedMore && fed < response.size()) {
            result = collector.Feed(response.mid(fed, piece), body);
            fed = std::min(fed + piece, response.size());
            QCOMPARE(result == Result::Complete, fed >= header.size() + 4);
        }
        QCOMPARE(collector.header(), header);
        QCOMPARE(body, response.mid(header.size() + 4, fed - header.size() - 4));
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
