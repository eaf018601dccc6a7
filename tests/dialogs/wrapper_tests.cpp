// The wrapper's text and flag helpers and cMemory's life cycles. In the
// tables "~" stands for a zero byte.
#include "cmemory.h"
#include "dialog_text.h"
#include "global_memory.h"

#include <QtTest>

using namespace dialogs;

namespace {

QByteArray Z(const char* text) {
    return QByteArray(text).replace('~', '\0');
}

// Runs the steps on m and returns what each answered, blank-separated: alloc (64 bytes),
// alloc26z (26 zeroed), allocHuge -> A1|A0; lock -> L1|L0; pointer -> P0, P+ (a new address)
// or P= (the last one seen); size -> S<n>; unlock U, free F, release R; adopt (take a fresh
// 8-byte block's handle) H.
QString Run(cMemory& m, const QStringList& steps) {
    QStringList out;
    std::uint32_t last = 0;
    for (const QString& step : steps) {
        if (step.startsWith("alloc")) {
            const std::uint32_t size = step == "alloc" ? 64 : step == "alloc26z" ? 26 : ~0u;
            out << (m.AllocateMemory(size, step.endsWith('z') ? platform::GHND : 0) ? "A1" : "A0");
        } else if (step == "lock") {
            const bool locked = m.LockMemory();
            out << (locked ? "L1" : "L0");
            last = locked ? m.Pointer() : last;
        } else if (step == "pointer") {
            const std::uint32_t p = m.Pointer();
            out << (p == 0 ? "P0" : p == last ? "P=" : "P+");
            last = p ? p : last;
        } else if (step == "size") {
            out << QString("S%1").arg(m.Size());
        } else if (step == "unlock" || step == "free" || step == "release") {
            step == "unlock" ? m.UnlockMemory()
                             : (step == "free" ? m.FreeMemory() : m.ReleaseDontFreeMemory());
            out << step.left(1).toUpper();
        } else if (step == "adopt") {
            m.setHandle(platform::GlobalAlloc(0, 8));
            out << "H";
        }
    }
    return out.join(' ');
}

} // namespace

class WrapperTests : public QObject {
    Q_OBJECT

private slots:
    void filters() {
        QCOMPARE(ConvertFilter("Text|*.txt|All|*.*"), Z("Text~*.txt~All~*.*~~"));
        QCOMPARE(ConvertFilter("Files: text|*.txt"), Z("Files~ text~*.txt~~"));
        QCOMPARE(ConvertFilter(""), Z("~~"));
        const QByteArray two = Z("Text~*.txt~All~*.*~~");
        // The n-th pair; the closing pair of zeros reads as one more, empty entry.
        const QList<QByteArray> pairs{{}, Z("Text~*.txt"), Z("All~*.*"), Z("~"), {}};
        for (int n = -1; n <= 4; ++n)
            QCOMPARE(FilterLookup(two, n), pairs.value(n));
        QCOMPARE(FilterLookup(QByteArray(), 1), QByteArray());
        QCOMPARE(FilterLookup("Text", 1), QByteArray());
        QCOMPARE(FilterLookup(Z("Text~*.txt"), 1), Z("Text~*.txt"));
        QCOMPARE(PadWithZeros("abc", 260), Z("abc~") + QByteArray(256, '\0'));
        QCOMPARE(PadWithZeros(QByteArray(300, 'x'), 260), QByteArray(260, 'x'));
        QCOMPARE(CutAtZero(Z("name.txt~rest")), QByteArray("name.txt"));
        QCOMPARE(CutAtZero("whole"), QByteArray("whole"));
    }

    void parseMultiFileName() {
        const QString fill(8192 - 21, QChar(0));
        const struct {
            QString filename, dir;
            QStringList files;
        } rows[] = {{QString(Z("/home/u~a.txt~b.txt~~")) + fill, "/home/u", {"a.txt", "b.txt"}},
                    {Z("/u/a.txt~~"), "", {"/u/a.txt"}}, // one name in multi-select form
                    {"C:\\d\\f.txt", "C:\\d", {"f.txt"}},
                    {"/tmp/f.txt", "/tmp", {"f.txt"}},
                    {"f.txt", "", {"f.txt"}},
                    {"\\f.txt", "", {"\\f.txt"}}};
        for (const auto& r : rows) {
            QString sDir;
            QStringList sFiles;
            int count = 0;
            SplitMultiFileName(r.filename, sDir, sFiles, count);
            QCOMPARE(sDir, r.dir);
            QCOMPARE(sFiles, r.files);
            QCOMPARE(count, r.files.size());
        }
    }

    // The caller's folder and count are added to, not reset.
    void parseMultiFileNameKeepsCallerState() {
        QString sDir = "/given";
        QStringList sFiles{"old"};
        int count = 1;
        SplitMultiFileName(QString(Z("/home/u~a.txt~~")), sDir, sFiles, count);
        QCOMPARE(sDir, QString("/given"));
        QCOMPARE(sFiles, (QStringList{"old", "/home/u", "a.txt"}));
        QCOMPARE(count, 3);
    }

    void recordFlags() {
        // Open: must exist, multi, read-only, hide, hook as bits 0-4 of the row's switches.
        const struct {
            int switches;
            quint32 flagsArg;
            int hInstance;
            quint32 expected;
        } open[] = {{0, 0xFFFFFFBF, 5, 0}, {1, 0, 0, 0x1000},  {2, 0, 0, 0x80200}, {12, 0, 0, 0x5},
                    {16, 0, 0, 0x80020},   {0, 0x40, 7, 0x40}, {0, 0x40, 0, 0}};
        for (const auto& r : open) {
            const auto bit = [&](int b) { return (r.switches & (1 << b)) != 0; };
            QCOMPARE(
                OpenRecordFlags(bit(0), bit(1), bit(2), bit(3), bit(4), r.flagsArg, r.hInstance),
                r.expected);
        }
        QCOMPARE(SaveRecordFlags(false, false, 0, 0), 0x4u);
        QCOMPARE(SaveRecordFlags(true, true, 0x40, 3), 0x80066u);
        QCOMPARE(ColorRecordFlags(false, false, false, false), 0x81u);
        QCOMPARE(ColorRecordFlags(true, true, true, true), 0x117u);
        // Font: flags, printer DC in, colour, max size; record flags and DC out.
        const struct {
            quint32 flags;
            int dcIn, color, maxSize;
            quint32 expected;
            int dcOut;
        } font[] = {{0, -1, 0, 0, 0x41, 0},
                    {0x2, -1, 0, 0, 0x42, 77},
                    {0, 9, 0, 0, 0x42, 9},
                    {0, -1, 0xFF, 72, 0x2141, 0},
                    {0x218, -1, 0, 0, 0x41, 0}};
        for (const auto& r : font) {
            std::int32_t dc = r.dcIn;
            QCOMPARE(FontRecordFlags(r.flags, dc, 77, r.color, 0, r.maxSize), r.expected);
            QCOMPARE(dc, r.dcOut);
        }
        // Print: flags, range; no pages, no selection, show file, no file, file, collate,
        // no warning as bits 0-6 of the switches.
        const struct {
            quint32 flags;
            int range, switches;
            quint32 expected;
        } print[] = {{0, 0, 4, 0x40100}, {0, 0, 0, 0x140100}, {0, 0, 127, 0xC01BC},
                     {0, 1, 4, 0x40102}, {0, 2, 4, 0x40101},  {0xF040, 0, 4, 0x40140}};
        for (const auto& r : print) {
            const auto bit = [&](int b) { return (r.switches & (1 << b)) != 0; };
            QCOMPARE(PrintRecordFlags(r.flags, r.range, bit(0), bit(1), bit(2), bit(3), bit(4),
                                      bit(5), bit(6)),
                     r.expected);
        }
    }

    void memoryLifeCycles_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<int>("locks");      // of the block held at the end; -1: none held
        QTest::addColumn<int>("leftBehind"); // live blocks once the object is gone
        QTest::newRow("no block") << "pointer size unlock free lock"
                                  << "P0 S0 U F L0" << -1 << 0;
        QTest::newRow("second lock refused") << "alloc lock lock pointer"
                                             << "A1 L1 L0 P=" << 1 << 0;
        QTest::newRow("pointer locks") << "alloc pointer lock pointer"
                                       << "A1 P+ L0 P=" << 1 << 0;
        QTest::newRow("lock again") << "alloc lock unlock lock"
                                    << "A1 L1 U L1" << 1 << 0;
        QTest::newRow("free while locked") << "alloc lock free pointer"
                                           << "A1 L1 F P0" << -1 << 0;
        QTest::newRow("alloc frees the first") << "alloc alloc size"
                                               << "A1 A1 S64" << 0 << 0;
        QTest::newRow("failed alloc") << "alloc allocHuge pointer size"
                                      << "A1 A0 P0 S0" << -1 << 0;
        QTest::newRow("help record") << "alloc26z size"
                                     << "A1 S26" << 0 << 0;
        QTest::newRow("adopted handle") << "alloc lock adopt size pointer"
                                        << "A1 L1 H S8 P+" << 1 << 0;
        QTest::newRow("released block") << "alloc lock release pointer"
                                        << "A1 L1 R P0" << -1 << 1;
    }
    void memoryLifeCycles() {
        QFETCH(QString, steps);
        QFETCH(QString, trace);
        QFETCH(int, locks);
        QFETCH(int, leftBehind);
        const int before = platform::LiveBlockCount();
        {
            cMemory m;
            QCOMPARE(Run(m, steps.split(' ')), trace);
            QCOMPARE(m.handle() == 0 ? -1 : int(platform::GlobalFlags(m.handle()) & 0xFF), locks);
        }
        QCOMPARE(platform::LiveBlockCount() - before, leftBehind);
    }

    // Whoever takes the handle before ReleaseDontFreeMemory owns an unlocked, intact block.
    void releaseHandsTheBlockOn() {
        std::uint32_t taken = 0;
        {
            cMemory m;
            QVERIFY(m.AllocateMemory(4, platform::GMEM_ZEROINIT));
            QCOMPARE(platform::ReadUInt32(m.Pointer()), 0u);
            QVERIFY(platform::WriteUInt32(m.Pointer(), 0xA1B2C3D4u));
            taken = m.handle();
            m.ReleaseDontFreeMemory();
        }
        QCOMPARE(platform::GlobalFlags(taken), 0u);
        QCOMPARE(platform::ReadUInt32(platform::GlobalLock(taken)), 0xA1B2C3D4u);
        QCOMPARE(platform::GlobalFree(taken), 0u);
    }
};

QTEST_GUILESS_MAIN(WrapperTests)
#include "wrapper_tests.moc"
