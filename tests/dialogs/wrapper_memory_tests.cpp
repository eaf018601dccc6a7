// cMemory over the platform's global memory: life cycles as step tables.
#include "cmemory.h"

#include "global_memory.h"

#include <QtTest>

using namespace dialogs;

namespace {

// Runs the steps on m and returns what each answered, blank-separated:
// alloc/alloc26z/allocHuge -> A1|A0, lock -> L1|L0, pointer -> P0 | P+ (a new address) |
// P= (the address seen last), size -> S<n>, unlock -> U, free -> F, release -> R,
// adopt (take a fresh block's handle) -> H.
QString Run(cMemory& m, const QStringList& steps) {
    QStringList out;
    std::uint32_t lastAddress = 0;
    auto pointerText = [&](std::uint32_t p) {
        const QString t = p == 0 ? "P0" : (p == lastAddress ? "P=" : "P+");
        if (p != 0)
            lastAddress = p;
        return t;
    };
    for (const QString& step : steps) {
        if (step == "alloc") {
            out << (m.AllocateMemory(64) ? "A1" : "A0");
        } else if (step == "alloc26z") {
            out << (m.AllocateMemory(26, platform::GMEM_ZEROINIT) ? "A1" : "A0");
        } else if (step == "allocHuge") {
            out << (m.AllocateMemory(platform::kMaxBlockSize + 1) ? "A1" : "A0");
        } else if (step == "lock") {
            const bool ok = m.LockMemory();
            out << (ok ? "L1" : "L0");
            if (ok)
                lastAddress = m.Pointer();
        } else if (step == "pointer") {
            out << pointerText(m.Pointer());
        } else if (step == "size") {
            out << QString("S%1").arg(m.Size());
        } else if (step == "unlock") {
            m.UnlockMemory();
            out << "U";
        } else if (step == "free") {
            m.FreeMemory();
            out << "F";
        } else if (step == "release") {
            m.ReleaseDontFreeMemory();
            out << "R";
        } else if (step == "adopt") {
            m.setHandle(platform::GlobalAlloc(0, 8));
            out << "H";
        } else {
            out << "?" + step;
        }
    }
    return out.join(' ');
}

} // namespace

class WrapperMemoryTests : public QObject {
    Q_OBJECT

private slots:
    void lifeCycles_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<bool>("owns");      // a handle is held at the end
        QTest::addColumn<int>("lockCount");  // of that block at the end
        QTest::addColumn<int>("leftBehind"); // live blocks once the object is gone
        QTest::newRow("no block") << "pointer size unlock free lock"
                                  << "P0 S0 U F L0" << false << 0 << 0;
        QTest::newRow("second lock refused, address kept") << "alloc lock lock pointer"
                                                           << "A1 L1 L0 P=" << true << 1 << 0;
        QTest::newRow("pointer locks") << "alloc pointer lock pointer"
                                       << "A1 P+ L0 P=" << true << 1 << 0;
        QTest::newRow("unlock then lock again") << "alloc lock unlock lock"
                                                << "A1 L1 U L1" << true << 1 << 0;
        QTest::newRow("free while locked") << "alloc lock free pointer"
                                           << "A1 L1 F P0" << false << 0 << 0;
        QTest::newRow("allocating again frees the first") << "alloc alloc size"
                                                          << "A1 A1 S64" << true << 0 << 0;
        QTest::newRow("failed allocation leaves no block") << "alloc allocHuge pointer size"
                                                           << "A1 A0 P0 S0" << false << 0 << 0;
        QTest::newRow("help record size") << "alloc26z size"
                                          << "A1 S26" << true << 0 << 0;
        QTest::newRow("adopted handle replaces the block") << "alloc lock adopt size pointer"
                                                           << "A1 L1 H S8 P+" << true << 1 << 0;
        QTest::newRow("released block outlives the object") << "alloc lock release pointer"
                                                            << "A1 L1 R P0" << false << 0 << 1;
    }
    void lifeCycles() {
        QFETCH(QString, steps);
        QFETCH(QString, trace);
        QFETCH(bool, owns);
        QFETCH(int, lockCount);
        QFETCH(int, leftBehind);
        const int before = platform::LiveBlockCount();
        {
            cMemory m;
            QCOMPARE(Run(m, steps.split(' ')), trace);
            QCOMPARE(m.handle() != 0, owns);
            if (owns)
                QCOMPARE(int(platform::GlobalFlags(m.handle()) & 0xFF), lockCount);
        }
        QCOMPARE(platform::LiveBlockCount() - before, leftBehind);
    }

    // Whoever takes the handle before ReleaseDontFreeMemory owns an unlocked, intact block.
    void releaseHandsTheBlockOn() {
        const int before = platform::LiveBlockCount();
        std::uint32_t taken = 0;
        {
            cMemory m;
            QVERIFY(m.AllocateMemory(4, platform::GMEM_ZEROINIT));
            QVERIFY(platform::WriteUInt32(m.Pointer(), 0xA1B2C3D4u));
            taken = m.handle();
            m.ReleaseDontFreeMemory();
            QCOMPARE(m.handle(), 0u);
        }
        QCOMPARE(platform::GlobalFlags(taken) & 0xFF, 0u);
        const std::uint32_t address = platform::GlobalLock(taken);
        QCOMPARE(platform::ReadUInt32(address), 0xA1B2C3D4u);
        platform::GlobalUnlock(taken);
        QCOMPARE(platform::GlobalFree(taken), 0u);
        QCOMPARE(platform::LiveBlockCount(), before);
    }

    void writingTheHandleFreesTheOldBlock() {
        cMemory m;
        QVERIFY(m.AllocateMemory(16));
        const std::uint32_t old = m.handle();
        m.setHandle(0);
        QCOMPARE(platform::GlobalSize(old), 0u);
        QCOMPARE(m.handle(), 0u);
    }

    void zeroInitialisedHelpRecord() {
        cMemory m;
        QVERIFY(m.AllocateMemory(26, platform::GMEM_ZEROINIT));
        QCOMPARE(platform::ReadBytes(m.Pointer(), 26), QByteArray(26, '\0'));
    }
};

QTEST_GUILESS_MAIN(WrapperMemoryTests)
#include "wrapper_memory_tests.moc"
