// Text and flag helpers of the dialog wrapper. In the tables "~" stands for a zero byte.
#include "dialog_error.h"
#include "dialog_text.h"
#include "stdfont.h"

#include <QtTest>

using namespace dialogs;

namespace {

QByteArray Z(const char* text) {
    QByteArray b(text);
    b.replace('~', '\0');
    return b;
}

QString ZS(const char* text) {
    return QString::fromLatin1(Z(text));
}

} // namespace

class WrapperTextTests : public QObject {
    Q_OBJECT

private slots:
    void convertFilter_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("two pairs") << "Text|*.txt|All|*.*" << Z("Text~*.txt~All~*.*~~");
        QTest::newRow("colon in description") << "Files: text|*.txt" << Z("Files~ text~*.txt~~");
        QTest::newRow("empty") << "" << Z("~~");
    }
    void convertFilter() {
        QFETCH(QString, filter);
        QFETCH(QByteArray, expected);
        QCOMPARE(ConvertFilter(filter), expected);
    }

    void filterLookup_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray two = Z("Text~*.txt~All~*.*~~");
        QTest::newRow("first") << two << 1 << Z("Text~*.txt");
        QTest::newRow("second") << two << 2 << Z("All~*.*");
        // The closing pair of zeros reads as one more, empty entry.
        QTest::newRow("closing zeros") << two << 3 << Z("~");
        QTest::newRow("past the end") << two << 4 << QByteArray();
        QTest::newRow("zero") << two << 0 << QByteArray();
        QTest::newRow("negative") << two << -1 << QByteArray();
        QTest::newRow("empty text") << QByteArray() << 1 << QByteArray();
        QTest::newRow("no zero") << QByteArray("Text") << 1 << QByteArray();
        QTest::newRow("pattern to the end") << Z("Text~*.txt") << 1 << Z("Text~*.txt");
    }
    void filterLookup() {
        QFETCH(QByteArray, text);
        QFETCH(int, n);
        QFETCH(QByteArray, expected);
        QCOMPARE(FilterLookup(text, n), expected);
    }

    void buffers() {
        const QByteArray padded = PadWithZeros("abc", 260);
        QCOMPARE(padded.size(), 260);
        QCOMPARE(padded.left(4), Z("abc~"));
        QCOMPARE(padded.count('\0'), 257);
        QCOMPARE(PadWithZeros(QByteArray(300, 'x'), 260).size(), 260);
        QCOMPARE(CutAtZero(Z("name.txt~rest")), QByteArray("name.txt"));
        QCOMPARE(CutAtZero("whole"), QByteArray("whole"));
    }

    void parseMultiFileName_data() {
        QTest::addColumn<QString>("filename");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QStringList>("files");
        const QString fill(8192 - 21, QChar(0));
        QTest::newRow("directory and two names")
            << ZS("/home/u~a.txt~b.txt~~") + fill << "/home/u" << QStringList{"a.txt", "b.txt"};
        QTest::newRow("one name in multi form")
            << ZS("/home/u/a.txt~~") << "" << QStringList{"/home/u/a.txt"};
        QTest::newRow("full path, backslash") << "C:\\dir\\sub\\f.txt"
                                              << "C:\\dir\\sub" << QStringList{"f.txt"};
        QTest::newRow("full path, slash") << "/tmp/f.txt"
                                          << "/tmp" << QStringList{"f.txt"};
        QTest::newRow("bare name") << "f.txt"
                                   << "" << QStringList{"f.txt"};
        QTest::newRow("separator first") << "\\f.txt"
                                         << "" << QStringList{"\\f.txt"};
    }
    void parseMultiFileName() {
        QFETCH(QString, filename);
        QFETCH(QString, dir);
        QFETCH(QStringList, files);
        QString sDir;
        QStringList sFiles;
        int count = 0;
        SplitMultiFileName(filename, sDir, sFiles, count);
        QCOMPARE(sDir, dir);
        QCOMPARE(sFiles, files);
        QCOMPARE(count, files.size());
    }

    // The caller's folder and count are added to, not reset.
    void parseMultiFileNameKeepsCallerState() {
        QString sDir = "/given";
        QStringList sFiles{"old"};
        int count = 1;
        SplitMultiFileName(ZS("/home/u~a.txt~~"), sDir, sFiles, count);
        QCOMPARE(sDir, QString("/given"));
        QCOMPARE(sFiles, (QStringList{"old", "/home/u", "a.txt"}));
        QCOMPARE(count, 3);
    }

    void openFlags_data() {
        QTest::addColumn<int>("switches"); // bits: must exist, multi, read-only, hide, hook
        QTest::addColumn<quint32>("flagsArg");
        QTest::addColumn<int>("hInstance");
        QTest::addColumn<quint32>("expected");
        QTest::newRow("none") << 0 << 0xFFFFFFBFu << 5 << 0u;
        QTest::newRow("must exist") << 1 << 0u << 0 << 0x1000u;
        QTest::newRow("multi") << 2 << 0u << 0 << 0x80200u;
        QTest::newRow("read-only, hide") << 12 << 0u << 0 << 0x5u;
        QTest::newRow("hook") << 16 << 0u << 0 << 0x80020u;
        QTest::newRow("template with module") << 0 << 0x40u << 7 << 0x40u;
        QTest::newRow("template without module") << 0 << 0x40u << 0 << 0u;
    }
    void openFlags() {
        QFETCH(int, switches);
        QFETCH(quint32, flagsArg);
        QFETCH(int, hInstance);
        QFETCH(quint32, expected);
        QCOMPARE(OpenRecordFlags(switches & 1, switches & 2, switches & 4, switches & 8,
                                 switches & 16, flagsArg, hInstance),
                 expected);
    }

    void saveAndColorFlags() {
        QCOMPARE(SaveRecordFlags(false, false, 0, 0), 0x4u);
        QCOMPARE(SaveRecordFlags(true, true, 0x40, 3), 0x80066u);
        QCOMPARE(ColorRecordFlags(false, false, false, false), 0x81u);
        QCOMPARE(ColorRecordFlags(true, true, true, true), 0x117u);
    }

    void fontFlags_data() {
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<int>("dcIn");
        QTest::addColumn<int>("color");
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<quint32>("expected");
        QTest::addColumn<int>("dcOut");
        QTest::newRow("screen") << 0u << -1 << 0 << 0 << 0x41u << 0;
        QTest::newRow("printer fonts use printer dc") << 0x2u << -1 << 0 << 0 << 0x42u << 77;
        QTest::newRow("given dc") << 0u << 9 << 0 << 0 << 0x42u << 9;
        QTest::newRow("colour and limit") << 0u << -1 << 0xFF << 72 << 0x2141u << 0;
        QTest::newRow("hook and template bits cleared") << 0x218u << -1 << 0 << 0 << 0x41u << 0;
    }
    void fontFlags() {
        QFETCH(quint32, flags);
        QFETCH(int, dcIn);
        QFETCH(int, color);
        QFETCH(int, maxSize);
        QFETCH(quint32, expected);
        QFETCH(int, dcOut);
        std::int32_t dc = dcIn;
        QCOMPARE(FontRecordFlags(flags, dc, 77, color, 0, maxSize), expected);
        QCOMPARE(dc, dcOut);
    }

    void printFlags_data() {
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("switches"); // no pages, no sel, show file, no file, file,
                                           // collate, no warning
        QTest::addColumn<quint32>("expected");
        QTest::newRow("plain") << 0u << 0 << 4 << 0x40100u;
        QTest::newRow("hidden print to file") << 0u << 0 << 0 << 0x140100u;
        QTest::newRow("all switches") << 0u << 0 << 127 << 0xC01BCu;
        QTest::newRow("page range") << 0u << 1 << 4 << 0x40102u;
        QTest::newRow("selection range") << 0u << 2 << 4 << 0x40101u;
        QTest::newRow("hook bits cleared, others kept") << 0xF040u << 0 << 4 << 0x40140u;
    }
    void printFlags() {
        QFETCH(quint32, flags);
        QFETCH(int, range);
        QFETCH(int, switches);
        QFETCH(quint32, expected);
        const auto bit = [&](int b) { return (switches & (1 << b)) != 0; };
        QCOMPARE(
            PrintRecordFlags(flags, range, bit(0), bit(1), bit(2), bit(3), bit(4), bit(5), bit(6)),
            expected);
    }

    void errorCarriesItsParts() {
        QCoreApplication::setApplicationName("probe");
        const DialogError e(20001, WrapperErrorSource(), "User selected cancel.");
        QCOMPARE(e.Number(), 20001);
        QCOMPARE(e.Source(), QString("probe.cCommonDialog"));
        QCOMPARE(e.Description(), QString("User selected cancel."));
        QVERIFY(QByteArray(e.what()).contains("20001"));
    }

    void fontPropertiesById() {
        StdFont f;
        QVERIFY(f.SetProperty(StdFont::IdName, "Mono"));
        QVERIFY(f.SetProperty(StdFont::IdSize, 12.5));
        QVERIFY(f.SetProperty(StdFont::IdBold, true));
        QCOMPARE(f.Property(0).toString(), QString("Mono"));
        QCOMPARE(f.Property(2).toDouble(), 12.5);
        QCOMPARE(f.Property(7).toInt(), 700);
        QVERIFY(f.SetProperty(StdFont::IdWeight, 400));
        QCOMPARE(f.Property(3).toBool(), false);
        QVERIFY(!f.SetProperty(1, 3));
        QVERIFY(!f.Property(1).isValid());
    }
};

QTEST_GUILESS_MAIN(WrapperTextTests)
#include "wrapper_text_tests.moc"
