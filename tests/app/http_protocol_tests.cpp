// The request bytes and the response-header parsing, without sockets.
#include "http_protocol.h"

#include <QTest>

using namespace http;

class HttpProtocolTests : public QObject {
    Q_OBJECT
private slots:
    void requestBytes_data();
    void requestBytes();
    void addressHost();
    void hostAndPort();
    void headerCollectedByteByByte();
    void headerSplitAcrossTheBlankLine();
    void headerTooLarge();
    void headerValues();
    void statusLines();
    void contentLengthRange();
    void redirectTargets();
};

void HttpProtocolTests::requestBytes_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("connectHost");
    QTest::addColumn<bool>("proxy");
    QTest::addColumn<bool>("resuming");
    QTest::addColumn<qint64>("base");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray tail = "User-Agent: Tessarin Software Downloader\r\n";
    QTest::newRow("direct") << "http://h.example/dir/file.exe"
                            << "h.example" << false << false << qint64(0)
                            << QByteArray("GET /dir/file.exe HTTP/1.0\r\nAccept: *.*, */*\r\n" +
                                          tail + "Referer: h.example\r\nHost: h.example\r\n\r\n");
    QTest::newRow("resumed") << "http://h.example/f"
                             << "h.example" << false << true << qint64(12000000)
                             << QByteArray("GET /f HTTP/1.0\r\nAccept: *.*, */*\r\n"
                                           "Range: bytes=12000000-\r\n" +
                                           tail + "Referer: h.example\r\nHost: h.example\r\n\r\n");
    QTest::newRow("resumed beyond 4 GiB")
        << "http://h/f"
        << "h" << false << true << qint64(5000000123)
        << QByteArray("GET /f HTTP/1.0\r\nAccept: *.*, */*\r\nRange: bytes=5000000123-\r\n" + tail +
                      "Referer: h\r\nHost: h\r\n\r\n");
    QTest::newRow("port") << "http://127.0.0.1:8080/a/b.bin"
                          << "127.0.0.1:8080" << false << false << qint64(0)
                          << QByteArray("GET /a/b.bin HTTP/1.0\r\nAccept: *.*, */*\r\n" + tail +
                                        "Referer: 127.0.0.1:8080\r\nHost: 127.0.0.1:8080\r\n\r\n");
    QTest::newRow("proxy") << "http://files.example:81/u/z.exe"
                           << "proxy.local" << true << false << qint64(0)
                           << QByteArray(
                                  "GET http://files.example:81/u/z.exe HTTP/1.0\r\n"
                                  "Accept: *.*, */*\r\n" +
                                  tail +
                                  "Referer: files.example:81\r\nHost: files.example:81\r\n\r\n");
    QTest::newRow("blank in path") << "http://h/a b.exe"
                                   << "h" << false << false << qint64(0)
                                   << QByteArray("GET /a%20b.exe HTTP/1.0\r\nAccept: *.*, */*\r\n" +
                                                 tail + "Referer: h\r\nHost: h\r\n\r\n");
}

void HttpProtocolTests::requestBytes() {
    QFETCH(QString, url);
    QFETCH(QString, connectHost);
    QFETCH(bool, proxy);
    QFETCH(bool, resuming);
    QFETCH(qint64, base);
    QFETCH(QByteArray, expected);
    RequestInfo info{url, connectHost, proxy, resuming, base};
    QCOMPARE(BuildRequest(info), expected);
}

void HttpProtocolTests::addressHost() {
    QCOMPARE(HostOfAddress("http://H/dir/file.exe").value(), QString("H"));
    QCOMPARE(HostOfAddress("http://h:8080/x").value(), QString("h:8080"));
    QCOMPARE(HostOfAddress("h.example/x").value(), QString("h.example"));
    QVERIFY(!HostOfAddress("http://h.example").has_value()); // no path: host not taken
}

void HttpProtocolTests::hostAndPort() {
    QCOMPARE(SplitHostPort("h:8080", "80").port, QString("8080"));
    QCOMPARE(SplitHostPort("h:8080", "80").host, QString("h"));
    QCOMPARE(SplitHostPort("h", "80").port, QString("80"));
    QCOMPARE(SplitHostPort("[::1]:81", "80").host, QString("::1"));
    QCOMPARE(SplitHostPort("[::1]:81", "80").port, QString("81"));
    QCOMPARE(SplitHostPort("h:", "80").port, QString("80"));
}

void HttpProtocolTests::headerCollectedByteByByte() {
    const QByteArray response = "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc";
    HeaderCollector collector;
    QByteArray body;
    const qsizetype headerEnd = response.indexOf("\r\n\r\n") + 4;
    for (qsizetype i = 0; i < headerEnd - 1; ++i)
        QCOMPARE(collector.Feed(response.mid(i, 1), body), HeaderCollector::Result::NeedMore);
    QVERIFY(!collector.complete());
    QCOMPARE(collector.Feed(response.mid(headerEnd - 1, 1), body),
             HeaderCollector::Result::Complete);
    QCOMPARE(collector.header(), QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 3"));
    QVERIFY(body.isEmpty());
}

void HttpProtocolTests::headerSplitAcrossTheBlankLine() {
    HeaderCollector collector;
    QByteArray body;
    QCOMPARE(collector.Feed("HTTP/1.0 200 OK\r\nA: b\r\n\r", body),
             HeaderCollector::Result::NeedMore);
    QCOMPARE(collector.Feed("\nContent-Type: x\r\n\r\nrest", body),
             HeaderCollector::Result::Complete);
    QCOMPARE(collector.header(), QByteArray("HTTP/1.0 200 OK\r\nA: b"));
    // The body keeps what looks like header text.
    QCOMPARE(body, QByteArray("Content-Type: x\r\n\r\nrest"));
}

void HttpProtocolTests::headerTooLarge() {
    HeaderCollector collector;
    QByteArray body;
    const QByteArray line = "X-Filler: " + QByteArray(1000, 'a') + "\r\n";
    HeaderCollector::Result result = collector.Feed("HTTP/1.0 200 OK\r\n", body);
    for (int i = 0; i < 70 && result == HeaderCollector::Result::NeedMore; ++i)
        result = collector.Feed(line, body);
    QCOMPARE(result, HeaderCollector::Result::TooLarge);

    // Exactly at the limit is still a header.
    HeaderCollector limit;
    QByteArray big = "HTTP/1.0 200 OK\r\nX: ";
    big += QByteArray(HeaderCollector::kMaxHeaderBytes - big.size(), 'b');
    QCOMPARE(limit.Feed(big + "\r\n\r\nZ", body), HeaderCollector::Result::Complete);
    QCOMPARE(body, QByteArray("Z"));
}

void HttpProtocolTests::headerValues() {
    const QByteArray header = "HTTP/1.0 200 OK\r\ncontent-length:5000\r\nX-Content-Length: 9\r\n"
                              "Content-Type: text/plain  \r\nEmpty:";
    QCOMPARE(GetHeaderValue(header, "Content-Length:"), QByteArray("5000"));
    QCOMPARE(GetHeaderValue(header, "CONTENT-TYPE"), QByteArray("text/plain"));
    QCOMPARE(GetHeaderValue(header, "Length:"), QByteArray()); // names match whole, at line start
    QCOMPARE(GetHeaderValue(header, "Empty:"), QByteArray());
    QCOMPARE(GetHeaderValue(QByteArray(), "Content-Length:"), QByteArray());
}

void HttpProtocolTests::statusLines() {
    QCOMPARE(ParseStatusLine("HTTP/1.1 206 Partial Content\r\nA: b")->code, 206);
    QCOMPARE(ParseStatusLine("HTTP/1.0 404 Not Found")->line, QByteArray("HTTP/1.0 404 Not Found"));
    QCOMPARE(ParseStatusLine("HTTP/1.0 200")->code, 200);
    QVERIFY(!ParseStatusLine("HTTP/1.0 20 OK"));
    QVERIFY(!ParseStatusLine("HTTP/1.0 2000 OK"));
    QVERIFY(!ParseStatusLine("HTTP/1.0 099 Low"));
    QVERIFY(!ParseStatusLine("ICY 200 OK"));
    QVERIFY(!ParseStatusLine("HTTP/1.0 2x0 OK"));
}

void HttpProtocolTests::contentLengthRange() {
    QCOMPARE(ParseContentLength("41943040").value(), qint64(41943040));
    QCOMPARE(ParseContentLength("5000000000").value(), qint64(5000000000));
    QVERIFY(!ParseContentLength("-1"));
    QVERIFY(!ParseContentLength("12abc"));
    QVERIFY(!ParseContentLength("1e6"));
    QVERIFY(!ParseContentLength(""));
    QVERIFY(!ParseContentLength("9999999999999999999999"));
    QCOMPARE(ParseContentRangeStart("bytes 26213376-41943039/41943040").value(), qint64(26213376));
    QVERIFY(!ParseContentRangeStart("bytes */41943040"));
}

void HttpProtocolTests::redirectTargets() {
    QCOMPARE(ResolveLocation("http://h:81/a/b.exe", "c.exe"), QString("http://h:81/a/c.exe"));
    QCOMPARE(ResolveLocation("http://h/a/b", "/x/y"), QString("http://h/x/y"));
    QCOMPARE(ResolveLocation("http://h/a/b", "http://other/"), QString("http://other/"));
    QCOMPARE(ResolveLocation("http://h/a/b", "http://other"), QString("http://other/"));
    QCOMPARE(ResolveLocation("http://h/a/b", "https://other/x"), QString()); // not fetchable
    QCOMPARE(ResolveLocation("http://h/a/b", "ftp://other/x"), QString());
    QVERIFY(IsRedirect(307) && IsRedirect(308) && !IsRedirect(304) && !IsRedirect(300));
}

QTEST_GUILESS_MAIN(HttpProtocolTests)
#include "http_protocol_tests.moc"
