// The updater's parts that need no window or socket: the settings read through the real
// registry layer, their conversions, the display texts, the HTTP request and header parsing.
#include "app_settings.h"
#include "cregister.h"
#include "display_format.h"
#include "http_protocol.h"
#include "runtime_dir.h"
#include "window_fixture.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace app;
using namespace http;
using apptest::expectedRequest;
using Result = HeaderCollector::Result;

namespace {

template <typename T> QString text(std::optional<T> value) {
    return value ? QString::number(*value) : QStringLiteral("-");
}

} // namespace

class AppUnitTests : public QObject {
    Q_OBJECT
private slots:
    void conversions() {
        // text|numeric value|whole number|truth value ("-": unreadable)
        const QStringList rows = QStringLiteral(R"(1.0|1|1|1
 01 |1|1|1
-2.5e1|-25|-25|1
.5|0.5|0|1
2.5|2.5|2|1
3.5|3.5|4|1
-32768|-32768|-32768|1
32768|32768|-|1
32767.5|32767.5|-|1
0|0|0|0
true|-|-|1
FALSE|-|-|0
|-|-|-
1,0|-|-|-
1 2|-|-|-
1e999|-|-|-
yes|-|-|-)")
                                     .split('\n');
        for (const QString& row : rows) {
            const QString in = row.section('|', 0, 0);
            QCOMPARE(QStringList({in, text(NumericValue(in)), text(WholeNumber16(in)),
                                  text(TruthValue(in))})
                         .join('|'),
                     row);
        }
    }

    // The values stored ("~": absent) and what the getters give, in the order of `names`.
    void storedValues() {
        const QStringList names = {"Clipboard", "Proxy Use",    "Proxy IP",        "Proxy Port",
                                   "Proxy FTP", "Rollback",     "Rollback Amount", "FTP Timeout",
                                   "FTP PASV",  "Download Drop"};
        const QStringList rows = {
            "~|~|~|~|~|~|~|~|~|~ > 1|0|||0|1|1024|30|1|0",
            "0|1.0|10.1.2.3|3128|True|0|-7|0|0|01 > 0|1|10.1.2.3|3128|1|0|-7|30|0|1",
            "on|2|~|~|maybe|x|40000|45||1  > 1|0|||0|1|1024|45|1|1"};
        for (const QString& row : rows) {
            QTemporaryDir root;
            qputenv("ZORV_REGISTRY_ROOT", root.path().toLocal8Bit());
            const QStringList values = row.section(" > ", 0, 0).split('|');
            for (int i = 0; i < names.size(); ++i)
                QVERIFY(values[i] == "~" || settings::CRegister().REGSaveSetting(
                                                settings::HKEY_LOCAL_MACHINE,
                                                AppSettings::Section(), names[i], values[i]));
            const auto n = [](auto value) { return QString::number(value); };
            const QStringList got = {
                n(AppSettings::Clipboard()),      n(AppSettings::ProxyUse()),
                AppSettings::ProxyIP(),           AppSettings::ProxyPort(),
                n(AppSettings::ProxyFtp()),       n(AppSettings::Rollback()),
                n(AppSettings::RollbackAmount()), n(AppSettings::FtpTimeout()),
                n(AppSettings::FtpPasv()),        n(AppSettings::DownloadDrop())};
            QCOMPARE(got.join('|'), row.section(" > ", 1));
        }
    }

    void displayTexts() {
        const auto sizes = [](std::initializer_list<qint64> values) {
            QStringList out;
            for (qint64 v : values)
                out << FormatSize(v);
            return out.join('|');
        };
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(sizes({0, 1023, 1024, 1536, 1048576, 5242880, 5000000000}),
                 "0 Bytes|1023 Bytes|1.00 KB|1.50 KB|1024.00 KB|5.00 MB|4,768.37 MB");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(sizes({1073741824}), "1.024,00 MB");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(QStringList({ConvertTime(59), ConvertTime(60), ConvertTime(90187),
                              ElapsedText(0, 60, 0), ElapsedText(30, 1, 2), FormatSpeed(1.5),
                              FormatSpeed(0.25), FormatSpeed(2.125)})
                     .join('|'),
                 "00:00:59|00:01:00|25:03:07|01:00:00|30:01:02|1.50|.25|2.125");
        QCOMPARE(QList<qint16>({PercentOf(512, 1000), PercentOf(999, 1000), PercentOf(1, 1000),
                                PercentOf(26214400, 41943040), PercentOf(10, 0)}),
                 QList<qint16>({51, 100, 0, 63, 0}));
    }

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
        QStringList split;
        for (const char* hostPort : {"h:8080", "h", "h:", "[::1]:81"})
            split << SplitHostPort(hostPort, "80").host + ' ' + SplitHostPort(hostPort, "80").port;
        QCOMPARE(split.join('|'), "h 8080|h 80|h 80|::1 81");
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
        // Names match whole, at a line's start, in any case; values are trimmed.
        QCOMPARE(GetHeaderValue(header, "Content-Length:") + '|' +
                     GetHeaderValue(header, "CONTENT-TYPE") + '|' +
                     GetHeaderValue(header, "Length:") + '|' + GetHeaderValue(header, "Empty:"),
                 "5000|text/plain||");
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
        QStringList next; // ftp is not fetchable; https never leads to http
        for (const char* location : {"/x/y", "http://other", "https://other/x", "ftp://other/x"})
            next << ResolveLocation("http://h/a/b", location);
        QCOMPARE(next.join('|'), "http://h/x/y|http://other/|https://other/x|");
        next.clear();
        for (const char* location : {"/x/y", "http://h/a/b", "HTTP://other", "https://o:8443"})
            next << ResolveLocation("https://h/a/b", location);
        QCOMPARE(next.join('|'), "https://h/x/y|||https://o:8443/");
        QVERIFY(IsRedirect(301) && IsRedirect(307) && IsRedirect(308));
        QVERIFY(!IsRedirect(304) && !IsRedirect(300));
    }

    // Where the request goes: address | proxy host:port ("" direct) | TCP host:port |
    // tunnel | tls | peer name | Host line | whole address in the request line.
    void hops() {
        const QStringList rows = QStringLiteral(R"(http://h/f||h:80||0|h|h|0
http://h:81/f||h:81||0|h|h:81|0
https://h/f||h:443||1|h|h|0
https://h:8443/f||h:8443||1|h|h:8443|0
https://[::1]:8443/f||::1:8443||1|::1|[::1]:8443|0
https://[::1]/f|p:3128|p:3128|[::1]:443|1|::1|[::1]|0
http://h/f|p:3128|p:3128||0|h|h|1
https://h/f|p:3128|p:3128|h:443|1|h|h|0
https://h:9/f|p:3128|p:3128|h:9|1|h|h:9|0)")
                                     .split('\n');
        for (const QString& row : rows) {
            const QString address = row.section('|', 0, 0);
            const QString proxy = row.section('|', 1, 1);
            const Hop hop = PlanHop(address, proxy.section(':', 0, 0), proxy.section(':', 1, 1));
            QCOMPARE(QStringList({address, proxy, hop.host + ':' + hop.port, hop.tunnelTo,
                                  QString::number(hop.tls), hop.peerName, hop.requestHost,
                                  QString::number(hop.absoluteForm)})
                         .join('|'),
                     row);
        }
        // The request through a tunnel is the direct one: the path only.
        RequestInfo info;
        info.downloadUrl = "https://h:8443/d/f.exe";
        info.connectHost = "h:8443";
        QVERIFY(BuildRequest(info).startsWith("GET /d/f.exe HTTP/1.0\r\n"));
    }

    // Without XDG_RUNTIME_DIR the program sets it to a private folder of its own before Qt
    // would warn; a set variable and a folder open to others are left alone.
    void runtimeFolder() {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        QTemporaryDir root;
        const QString mine = root.filePath(QStringLiteral("runtime-%1").arg(getuid()));
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(app::ProvideRuntimeDir(root.path()), mine);
        QCOMPARE(qgetenv("XDG_RUNTIME_DIR"), QFile::encodeName(mine));
        struct stat info {};
        QCOMPARE(stat(QFile::encodeName(mine).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QCOMPARE(app::ProvideRuntimeDir(root.path()), QString()); // already set
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(app::ProvideRuntimeDir(root.path()), mine); // the folder is reused
        qunsetenv("XDG_RUNTIME_DIR");
        QVERIFY(QFile::setPermissions(mine, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther));
        QCOMPARE(app::ProvideRuntimeDir(root.path()), QString());
        QVERIFY(!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"));
        if (!saved.isNull())
            qputenv("XDG_RUNTIME_DIR", saved);
    }
};

QTEST_GUILESS_MAIN(AppUnitTests)
#include "app_unit_tests.moc"
