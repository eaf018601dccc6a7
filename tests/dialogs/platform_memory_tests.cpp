// Record layouts, the global memory handle table and the small window-system operations.

#include "comdlg.h"
#include "global_memory.h"
#include "objects.h"
#include "window.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <cstddef>

using namespace platform;

class PlatformMemoryTests : public QObject {
    Q_OBJECT
private slots:
    void recordLayout_data();
    void recordLayout();
    void handleLifeCycle();
    void badHandles();
    void accessorsStayInsideBlocks();
    void windowsAndColours();
    void errorTextsAndHelp();
};

// Sizes are asserted where the records are declared; these are the field offsets.
void PlatformMemoryTests::recordLayout_data() {
    QTest::addColumn<int>("actual");
    QTest::addColumn<int>("expected");
#define ROW(record, field, value)                                                                  \
    QTest::newRow(#record "." #field) << int(offsetof(record, field)) << (value)
    ROW(OPENFILENAME, nFilterIndex, 24);
    ROW(OPENFILENAME, nFileOffset, 56);
    ROW(OPENFILENAME, lpstrDefExt, 60);
    ROW(OPENFILENAME, lpTemplateName, 72);
    ROW(CHOOSECOLOR, lpfnHook, 28);
    ROW(LOGFONT, lfFaceName, 28);
    ROW(CHOOSEFONT, lpfnHook, 32);
    ROW(CHOOSEFONT, nSizeMax, 56);
    ROW(PRINTDLG, hInstance, 34);
    ROW(PRINTDLG, lpfnPrintHook, 42);
    ROW(PRINTDLG, hSetupTemplate, 62);
    ROW(PAGESETUPDLG, rtMargin, 44);
    ROW(PAGESETUPDLG, lpfnPageSetupHook, 68);
    ROW(PAGESETUPDLG, hPageSetupTemplate, 80);
    ROW(DEVMODE, dmCopies, 54);
    ROW(DEVMODE, dmFormName, 70);
    ROW(DEVMODE, dmBitsPerPel, 104);
    ROW(NMHDR, code, 8);
    ROW(HELPWININFO, rgchMember, 24);
#undef ROW
}

void PlatformMemoryTests::recordLayout() {
    QFETCH(int, actual);
    QFETCH(int, expected);
    QCOMPARE(actual, expected);
}

void PlatformMemoryTests::handleLifeCycle() {
    const int live = LiveBlockCount();
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 100);
    QCOMPARE(GlobalSize(h), DWORD(100));
    QCOMPARE(LiveBlockCount(), live + 1);
    const Address a = GlobalLock(h);
    QCOMPARE(ReadBytes(a, 100), QByteArray(100, char(kUninitialisedFill)));
    QCOMPARE(GlobalLock(h), a); // the same address on every lock
    QCOMPARE(GlobalFlags(h), UINT(2));
    QCOMPARE(GlobalHandle(a + 50), h);
    QCOMPARE(GlobalUnlock(h), TRUE); // still locked once
    QCOMPARE(GlobalUnlock(h), FALSE);
    QCOMPARE(GetLastError(), ERROR_SUCCESS);
    QCOMPARE(GlobalUnlock(h), FALSE);
    QCOMPARE(GetLastError(), ERROR_NOT_LOCKED);
    QCOMPARE(GlobalFree(h), HGLOBAL(0));
    QCOMPARE(LiveBlockCount(), live);
    // Freed: the handle is bad and the address reads nothing; neither is reused.
    QCOMPARE(GlobalFree(h), h);
    QCOMPARE(GetLastError(), ERROR_INVALID_HANDLE);
    QCOMPARE(BytesAvailable(a), DWORD(0));
    QCOMPARE(GlobalHandle(a), HGLOBAL(0));
    LockedBlock next(100, GMEM_ZEROINIT);
    QVERIFY(next.handle() != h && next.address() >= a + 100);
    QCOMPARE(ReadBytes(next.address(), 100), QByteArray(100, '\0'));
}

void PlatformMemoryTests::badHandles() {
    for (HGLOBAL bad : {HGLOBAL(0), HGLOBAL(1), HGLOBAL(0xFFFFFFFF), HGLOBAL(0x00040006)}) {
        QCOMPARE(GlobalLock(bad), Address(0));
        QCOMPARE(GlobalUnlock(bad), FALSE);
        QCOMPARE(GlobalSize(bad), DWORD(0));
        QCOMPARE(GlobalFree(bad), bad);
        QCOMPARE(GlobalFlags(bad), UINT(0x8000));
    }
    QCOMPARE(GlobalAlloc(GHND, kMaxBlockSize + 1), HGLOBAL(0));
    QCOMPARE(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    const HGLOBAL empty = GlobalAlloc(GHND, 0);
    QVERIFY(empty != 0);
    QCOMPARE(GlobalLock(empty), Address(0)); // nothing to address
    QCOMPARE(GlobalFree(empty), HGLOBAL(0));
}

void PlatformMemoryTests::accessorsStayInsideBlocks() {
    LockedBlock block(16);
    LockedBlock other(16);
    const Address a = block.address();
    QVERIFY(WriteBytes(a, "0123456789abcdef"));
    // Offset from the block's start, length, and whether the range is wholly inside it.
    const struct {
        int offset;
        DWORD length;
        bool inside;
    } ranges[] = {{0, 16, true},  {10, 6, true},  {8, 10, false}, {16, 1, false},
                  {0, 17, false}, {-1, 1, false}, {13, 4, false}, {12, 4, true}};
    for (const auto& r : ranges) {
        char buffer[32] = {};
        const QByteArray at = QByteArray::number(r.offset) + "+" + QByteArray::number(r.length);
        QVERIFY2(ReadMemory(a + r.offset, buffer, r.length) == r.inside, at);
        QVERIFY2(ReadBytes(a + r.offset, r.length).size() == (r.inside ? int(r.length) : 0), at);
        QVERIFY2(WriteMemory(a + r.offset, buffer, r.length) == r.inside, at);
    }
    QCOMPARE(BytesAvailable(a + 4), DWORD(12));
    QVERIFY(!WriteCString(a, QByteArray(16, 'x'), 16)); // no room for the zero
    QVERIFY(WriteCString(a, "hello", 16));
    QCOMPARE(lstrlenA(a + 1), 4);
    QCOMPARE(lstrlenA(0), 0);
    QVERIFY(WriteBytes(other.address(), QByteArray(16, 'u')));
    QCOMPARE(lstrlenA(other.address()), 16); // unterminated text ends with its block
    RtlMoveMemory(other.address(), a, 17);   // too long: nothing moves
    QCOMPARE(ReadCString(other.address()), QByteArray(16, 'u'));
    RtlMoveMemory(other.address(), a, 6);
    QCOMPARE(ReadCString(other.address()), QByteArray("hello"));
}

// Handles of widgets: parent and message result here; geometry through the wrapper's centring.
void PlatformMemoryTests::windowsAndColours() {
    QWidget top;
    auto* child = new QWidget(&top);
    const HWND hc = HandleFromWidget(child);
    QCOMPARE(GetParent(hc), HandleFromWidget(&top));
    QCOMPARE(GetParent(HandleFromWidget(&top)), HWND(0));
    QCOMPARE(SetWindowLongA(hc, DWL_MSGRESULT, 7), LONG(0));
    QCOMPARE(SetWindowLongA(hc, DWL_MSGRESULT, 1), LONG(7));
    delete child;
    RECT r{};
    QCOMPARE(QList<int>({IsWindow(hc), GetWindowRect(hc, &r)}), QList<int>({FALSE, FALSE}));
    QCOMPARE(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    // System colours: the palette's roles, a fixed table for the rest.
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
    QApplication::setPalette(palette);
    COLORREF c = 0;
    QCOMPARE(OleTranslateColor(0x80000000u + COLOR_HIGHLIGHT, 0, &c), S_OK);
    QCOMPARE(QList<COLORREF>({c, GetSysColor(COLOR_BACKGROUND)}),
             QList<COLORREF>({0x1E140A, 0xA56E3A}));
    QCOMPARE(OleTranslateColor(0x80000040u, 0, &c), E_INVALIDARG);
    QApplication::setPalette(QPalette());
}

void PlatformMemoryTests::errorTextsAndHelp() {
    char buffer[256];
    const DWORD n = FormatMessageA(0x1200, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 256, nullptr);
    QCOMPARE(QByteArray(buffer, int(n)),
             QByteArray("The system cannot find the file specified.\r\n"));
    QCOMPARE(FormatMessageA(0x1200, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 5, nullptr),
             DWORD(4));
    QCOMPARE(QByteArray(buffer), QByteArray("The "));
    QCOMPARE(FormatMessageA(0x1200, nullptr, 0x7FFF0000, 0, buffer, 256, nullptr), DWORD(0));
    // Help: opening and positioning are seen through the wrapper; here the refusals.
    QTemporaryDir dir;
    QFile f(dir.filePath("app.hlp"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QByteArray file = QFile::encodeName(f.fileName());
    QCOMPARE(WinHelpA(0, "/nonexistent/help.hlp", HELP_CONTENTS, 0), FALSE);
    QCOMPARE(GetLastError(), ERROR_FILE_NOT_FOUND);
    LockedBlock record(28, GHND);
    const HELPWININFO info{28, 10, 20, 300, 400, 1, {0, 0}}; // a wrong size
    WriteMemory(record.address(), &info, sizeof info);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_SETWINPOS, record.address()), FALSE);
    QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_SETWINPOS, 0x10), FALSE);
    QCOMPARE(WinHelpA(0, nullptr, HELP_QUIT, 0), TRUE);
}

QTEST_MAIN(PlatformMemoryTests)
#include "platform_memory_tests.moc"
