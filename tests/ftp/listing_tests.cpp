// Directory listing parser, listing dates and the entry collection. Every parse runs with
// a fixed "today" (15 June 2024) so that dates printed with a time are deterministic.
#include "ftp_listing.h"

#include <QStringList>
#include <QtTest>

#include <stdexcept>

using namespace ftp;

namespace {

const QDate kToday(2024, 6, 15);

// kind|size|date|name|link target|permissions|owner|group
QString describe(const CFTPFile& f) {
    const QDateTime when = f.LastWriteTime();
    return QStringList{f.IsDirectory() ? QStringLiteral("dir") : QStringLiteral("file"),
                       QString::number(f.FileSize()),
                       when.isNull() ? QStringLiteral("-") : when.toString(Qt::ISODate),
                       f.Filename(),
                       f.FilePath(),
                       f.Permissions(),
                       f.Owner(),
                       f.Group()}
        .join(u'|');
}

QStringList names(const CFTPFiles& files) {
    QStringList out;
    for (const CFTPFile& f : files)
        out << f.Filename();
    return out;
}

} // namespace

class ListingTests : public QObject {
    Q_OBJECT
private slots:
    void singleLine_data();
    void singleLine();
    void lineEndsAndSkippedLines();
    void listingDate_data();
    void listingDate();
    void collectionByPosition();
};

void ListingTests::singleLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* tag, const QByteArray& line, const QString& expected) {
        QTest::newRow(tag) << line << expected;
    };
    const QString rw = QStringLiteral("|-rw-r--r--|u|g");
    row("unix, time of day", "-rw-r--r--   1 ftp      ftp         1234 Mar  5 12:30 readme.txt",
        "file|1234|2024-03-05T00:00:00Z|readme.txt||-rw-r--r--|ftp|ftp");
    row("unix, year", "-rw-r--r--   1 ftp      ftp         1234 Mar  5  2009 readme.txt",
        "file|1234|2009-03-05T00:00:00Z|readme.txt||-rw-r--r--|ftp|ftp");
    row("numeric owner, padded day, above 4 GiB",
        "-rw-r--r--    1 0        0       5368709121 Mar 05  2021 big.iso",
        "file|5368709121|2021-03-05T00:00:00Z|big.iso||-rw-r--r--|0|0");
    row("size beyond 64 bits", "-rw-r--r-- 1 u g 99999999999999999999 Mar 5 2009 huge",
        "file|0|2009-03-05T00:00:00Z|huge|" + rw);
    row("directory", "drwxr-xr-x    2 1000     1000         4096 Jan 31 09:15 pub",
        "dir|4096|2024-01-31T00:00:00Z|pub||drwxr-xr-x|1000|1000");
    row("runs of spaces in the name", "-rw-r--r-- 1 u g 10 Mar 5 2009 two  spaces   here.txt",
        "file|10|2009-03-05T00:00:00Z|two  spaces   here.txt|" + rw);
    row("utf-8 and an invalid byte", "-rw-r--r-- 1 u g 1 Mar 5 2009 caf\xc3\xa9 \xff.txt",
        QStringLiteral("file|1|2009-03-05T00:00:00Z|caf\u00e9 \ufffd.txt|") + rw);
    row("link to a folder", "lrwxrwxrwx 1 root root 7 Jan 1 2010 bin -> usr/bin",
        "dir|7|2010-01-01T00:00:00Z|bin -> usr/bin|usr/bin|lrwxrwxrwx|root|root");
    row("link to a file", "lrwxrwxrwx 1 root root 12 Jan 1 2010 libc.so -> lib/libc.so.6",
        "file|12|2010-01-01T00:00:00Z|libc.so -> lib/libc.so.6|lib/libc.so.6|lrwxrwxrwx|root|root");
    row("link to the parent", "lrwxrwxrwx 1 u g 2 Jan 1 2010 up -> ..",
        "dir|2|2010-01-01T00:00:00Z|up -> ..|..|lrwxrwxrwx|u|g");
    row("link with spaces", "lrwxrwxrwx 1 u g 15 Feb 2 2020 My  Docs -> ../My Documents",
        "dir|15|2020-02-02T00:00:00Z|My  Docs -> ../My Documents|../My Documents|lrwxrwxrwx|u|g");
    row("link without a target", "lrwxrwxrwx 1 u g 7 Jan 1 2010 dangling",
        "dir|7|2010-01-01T00:00:00Z|dangling||lrwxrwxrwx|u|g");
    row("dos folder", "03-05-09  10:22AM       <DIR>          Program Files",
        "dir|0|2009-03-05T10:22:00Z|Program Files||||");
    row("dos file, afternoon", "03-05-09  10:22PM  1234 a.txt",
        "file|1234|2009-03-05T22:22:00Z|a.txt||||");
    row("dos midnight, last century", "12-31-99  12:00AM                    5 old.txt",
        "file|5|1999-12-31T00:00:00Z|old.txt||||");
    row("dos four-digit year, noon, above 4 GiB", "01-01-2024  12:05PM  6000000000 big.bin",
        "file|6000000000|2024-01-01T12:05:00Z|big.bin||||");
    row("dos 24-hour time, spaces kept", "03-05-09  14:22   12 two  spaces.txt",
        "file|12|2009-03-05T14:22:00Z|two  spaces.txt||||");
    row("dos name of many words", "03-05-09  10:22AM   1 a b c d e f g.txt",
        "file|1|2009-03-05T10:22:00Z|a b c d e f g.txt||||");
    row("dos impossible date", "13-45-09  10:22AM  5 x", "file|5|-|x||||");
    row("a single space", " ", "dir|0|-|||||");
}

void ListingTests::singleLine() {
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    for (const QByteArray& end : {QByteArray(), QByteArray("\r\n"), QByteArray("\n")}) {
        const CFTPFiles files = ParseListing(line + end, kToday);
        QCOMPARE(files.Count(), 1);
        QCOMPARE(describe(files.Item(1)), expected);
    }
}

void ListingTests::lineEndsAndSkippedLines() {
    QCOMPARE(ParseListing(QByteArray(), kToday).Count(), 0);
    const QByteArray text = "total 12\r\n"
                            "\r\n"
                            "drwxr-xr-x 2 u g 4096 Mar 5 2009 .\r\n"
                            "drwxr-xr-x 2 u g 4096 Mar 5 2009 ..\r\n"
                            "-rw-r--r-- 1 u g 1 Mar 5 2009 first\r\n"
                            "TOTAL 0\n"
                            "-rw-r--r-- 1 u g 2 Mar 5 2009 second\n"
                            "\n"
                            "Total 3\r\n"
                            "03-05-09  10:22AM  <DIR>  .\r\n"
                            "03-05-09  10:22AM  3 third\n"
                            "-rw-r--r-- 1 u g 4 Mar 5 2009 last";
    const CFTPFiles files = ParseListing(text, kToday);
    QCOMPARE(names(files), QStringList({"first", "second", "third", "last"}));
    for (qsizetype i = 1; i <= files.Count(); ++i)
        QCOMPARE(files.Item(i).FileSize(), i);
}

void ListingTests::listingDate_data() {
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("yearOrTime");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("expected");
    auto row = [](const char* tag, const char* d, const char* m, const char* y, QDate today,
                  QDate expected) {
        QTest::newRow(tag) << QString(d) << QString(m) << QString(y) << today << expected;
    };
    row("time: this year", "5", "Mar", "12:30", kToday, QDate(2024, 3, 5));
    row("time on 1 January", "31", "Dec", "23:59", QDate(2025, 1, 1), QDate(2025, 12, 31));
    row("time on 31 December", "1", "Jan", "00:01", QDate(2024, 12, 31), QDate(2024, 1, 1));
    row("day 32 of December", "32", "Dec", "2023", kToday, QDate(2024, 1, 1));
    row("day 0 of January", "0", "Jan", "2024", kToday, QDate(2023, 12, 31));
    row("29 February, common year", "29", "Feb", "2023", kToday, QDate(2023, 3, 1));
    row("numeric month 13", "5", "13", "2023", kToday, QDate(2024, 1, 5));
    row("numeric month 0", "5", "0", "2023", kToday, QDate(2022, 12, 5));
    row("two-digit year, this century", "5", "Mar", "09", kToday, QDate(2009, 3, 5));
    row("two-digit year, last century", "5", "Mar", "75", kToday, QDate(1975, 3, 5));
    row("month in lower case", "5", "mar", "2023", kToday, QDate());
    row("year beyond 16 bits", "5", "Mar", "40000", kToday, QDate());
    row("day not a number", "x", "Mar", "2023", kToday, QDate());
    row("year 9999", "1", "Jan", "9999", kToday, QDate(9999, 1, 1));
    row("rolled past 9999", "32", "Dec", "9999", kToday, QDate());
}

void ListingTests::listingDate() {
    QFETCH(QString, day);
    QFETCH(QString, month);
    QFETCH(QString, yearOrTime);
    QFETCH(QDate, today);
    QFETCH(QDate, expected);
    QCOMPARE(ParseListingDate(day, month, yearOrTime, today), expected);
}

void ListingTests::collectionByPosition() {
    CFTPFiles files;
    for (const char* name : {"a", "b", "c"}) {
        CFTPFile f;
        f.setFilename(name);
        QCOMPARE(files.Add(f, QStringLiteral("ignored")).Filename(), QString(name));
    }
    QCOMPARE(files.Count(), 3);
    files.Item(3).setFileSize(9); // Item gives the stored entry, not a copy
    QCOMPARE(files.Item(3).FileSize(), 9);
    files.Remove(2);
    QCOMPARE(names(files), QStringList({"a", "c"}));
    QCOMPARE(files.Item(2).FileSize(), 9);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.Item(0));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.Item(3));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.Remove(0));
    QCOMPARE(files.Count(), 2);
}

QTEST_GUILESS_MAIN(ListingTests)
#include "listing_tests.moc"
