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
    void recordSizes_data();
    void recordSizes();
    void handleLifeCycle();
    void zeroInitAndFill();
    void badHandles();
    void accessorsStayInsideBlocks();
    void stringsAndMoves();
    void windowTable();
    void systemColours();
    void lastErrorText();
    void helpEngine();
};

void PlatformMemoryTests::recordSizes_data() {
    QTest::addColumn<int>("actual");
    QTest::addColumn<int>("expected");
#define ROW(expr, value) QTest::newRow(#expr) << int(expr) << (value)
    ROW(sizeof(OPENFILENAME), 76);
    ROW(offsetof(OPENFILENAME, nFilterIndex), 24);
    ROW(offsetof(OPENFILENAME, lpstrFile), 28);
    ROW(offsetof(OPENFILENAME, nMaxFileTitle), 40);
    ROW(offsetof(OPENFILENAME, nFileOffset), 56);
    ROW(offsetof(OPENFILENAME, nFileExtension), 58);
    ROW(offsetof(OPENFILENAME, lpstrDefExt), 60);
    ROW(offsetof(OPENFILENAME, lpTemplateName), 72);
    ROW(sizeof(CHOOSECOLOR), 36);
    ROW(offsetof(CHOOSECOLOR, rgbResult), 12);
    ROW(offsetof(CHOOSECOLOR, lpCustColors), 16);
    ROW(offsetof(CHOOSECOLOR, lpfnHook), 28);
    ROW(sizeof(LOGFONT), 60);
    ROW(offsetof(LOGFONT, lfWeight), 16);
    ROW(offsetof(LOGFONT, lfItalic), 20);
    ROW(offsetof(LOGFONT, lfFaceName), 28);
    ROW(sizeof(CHOOSEFONT), 60);
    ROW(offsetof(CHOOSEFONT, iPointSize), 16);
    ROW(offsetof(CHOOSEFONT, rgbColors), 24);
    ROW(offsetof(CHOOSEFONT, lpfnHook), 32);
    ROW(offsetof(CHOOSEFONT, nFontType), 48);
    ROW(offsetof(CHOOSEFONT, nSizeMin), 52);
    ROW(offsetof(CHOOSEFONT, nSizeMax), 56);
    ROW(sizeof(PRINTDLG), 66);
    ROW(offsetof(PRINTDLG, Flags), 20);
    ROW(offsetof(PRINTDLG, nFromPage), 24);
    ROW(offsetof(PRINTDLG, nCopies), 32);
    ROW(offsetof(PRINTDLG, hInstance), 34);
    ROW(offsetof(PRINTDLG, lpfnPrintHook), 42);
    ROW(offsetof(PRINTDLG, lpfnSetupHook), 46);
    ROW(offsetof(PRINTDLG, hSetupTemplate), 62);
    ROW(sizeof(PAGESETUPDLG), 84);
    ROW(offsetof(PAGESETUPDLG, ptPaperSize), 20);
    ROW(offsetof(PAGESETUPDLG, rtMinMargin), 28);
    ROW(offsetof(PAGESETUPDLG, rtMargin), 44);
    ROW(offsetof(PAGESETUPDLG, lpfnPageSetupHook), 68);
    ROW(offsetof(PAGESETUPDLG, hPageSetupTemplate), 80);
    ROW(sizeof(DEVMODE), 156);
    ROW(offsetof(DEVMODE, dmFields), 40);
    ROW(offsetof(DEVMODE, dmOrientation), 44);
    ROW(offsetof(DEVMODE, dmCopies), 54);
    ROW(offsetof(DEVMODE, dmPrintQuality), 58);
    ROW(offsetof(DEVMODE, dmCollate), 68);
    ROW(offsetof(DEVMODE, dmFormName), 70);
    ROW(offsetof(DEVMODE, dmLogPixels), 102);
    ROW(offsetof(DEVMODE, dmBitsPerPel), 104);
    ROW(sizeof(NMHDR), 12);
    ROW(offsetof(NMHDR, code), 8);
    ROW(sizeof(HELPWININFO), 26);
    ROW(offsetof(HELPWININFO, wMax), 20);
    ROW(offsetof(HELPWININFO, rgchMember), 24);
#undef ROW
}

void PlatformMemoryTests::recordSizes() {
    QFETCH(int, actual);
    QFETCH(int, expected);
    QCOMPARE(actual, expected);
}

void PlatformMemoryTests::handleLifeCycle() {
    const int live = LiveBlockCount();
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 100);
    QVERIFY(h != 0);
    QCOMPARE(GlobalSize(h), DWORD(100));
    QCOMPARE(LiveBlockCount(), live + 1);
    const Address a = GlobalLock(h);
    QVERIFY(a != 0);
    QCOMPARE(GlobalLock(h), a); // the same address on every lock
    QCOMPARE(GlobalFlags(h), UINT(2));
    QCOMPARE(GlobalHandle(a + 50), h);
    QCOMPARE(GlobalUnlock(h), TRUE); // still locked once
    QCOMPARE(GlobalUnlock(h), FALSE);
    QCOMPARE(GetLastError(), ERROR_SUCCESS);
    QCOMPARE(GlobalUnlock(h), FALSE); // not locked any more
    QCOMPARE(GetLastError(), ERROR_NOT_LOCKED);
    QCOMPARE(GlobalFree(h), HGLOBAL(0));
    QCOMPARE(LiveBlockCount(), live);
    // Freed: every operation answers as for a bad handle, and the address reads nothing.
    QCOMPARE(GlobalFree(h), h);
    QCOMPARE(GetLastError(), ERROR_INVALID_HANDLE);
    QCOMPARE(GlobalLock(h), Address(0));
    QCOMPARE(GlobalSize(h), DWORD(0));
    QCOMPARE(BytesAvailable(a), DWORD(0));
    QCOMPARE(GlobalHandle(a), HGLOBAL(0));
    // A new block never reuses the freed handle or address range.
    LockedBlock next(100);
    QVERIFY(next.handle() != h);
    QVERIFY(next.address() >= a + 100);
}

void PlatformMemoryTests::zeroInitAndFill() {
    LockedBlock zeroed(64, GMEM_ZEROINIT);
    LockedBlock raw(64, GMEM_MOVEABLE);
    QCOMPARE(ReadBytes(zeroed.address(), 64), QByteArray(64, '\0'));
    QCOMPARE(ReadBytes(raw.address(), 64), QByteArray(64, char(kUninitialisedFill)));
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
    const Address a = block.address();
    char buffer[32] = {};
    QVERIFY(WriteMemory(a, "0123456789abcdef", 16));
    QVERIFY(!WriteMemory(a + 8, "0123456789", 10)); // runs past the end
    QVERIFY(!WriteMemory(a + 16, "x", 1));
    QVERIFY(!ReadMemory(a, buffer, 17));
    QVERIFY(!ReadMemory(a - 1, buffer, 1));
    QVERIFY(!ReadMemory(0, buffer, 1));
    QVERIFY(ReadMemory(a + 10, buffer, 6));
    QCOMPARE(QByteArray(buffer, 6), QByteArray("abcdef"));
    QCOMPARE(ReadBytes(a, 16), QByteArray("0123456789abcdef"));
    QVERIFY(ReadBytes(a, 17).isEmpty());
    QCOMPARE(BytesAvailable(a + 4), DWORD(12));
    QVERIFY(!WriteCString(a, QByteArray(16, 'x'), 16)); // no room for the zero
    QVERIFY(WriteCString(a, "abc", 16));
    QVERIFY(!WriteUInt32(a + 13, 7));
    bool ok = true;
    QCOMPARE(ReadUInt32(a + 14, &ok), quint32(0));
    QVERIFY(!ok);
}

void PlatformMemoryTests::stringsAndMoves() {
    LockedBlock a(32);
    LockedBlock b(32);
    WriteCString(a.address(), "hello", 32);
    QCOMPARE(lstrlenA(a.address()), 5);
    QCOMPARE(lstrlenA(a.address() + 1), 4);
    QCOMPARE(lstrlenA(0), 0);
    LockedBlock unterminated(4);
    WriteBytes(unterminated.address(), "abcd");
    QCOMPARE(lstrlenA(unterminated.address()), 4); // ends with its block
    RtlMoveMemory(b.address(), a.address(), 6);
    QCOMPARE(ReadCString(b.address()), QByteArray("hello"));
    RtlMoveMemory(b.address(), a.address(), 33); // too long: nothing moves
    QCOMPARE(ReadCString(b.address()), QByteArray("hello"));
    const HELPWININFO info{26, 1, 2, 3, 4, 5, {0, 0}};
    RtlMoveMemory(b.address(), &info, sizeof info);
    HELPWININFO back{};
    RtlMoveMemory(&back, b.address(), sizeof back);
    QCOMPARE(back.dy, 4);
    QCOMPARE(back.wMax, 5);
}

void PlatformMemoryTests::windowTable() {
    QWidget top;
    top.setGeometry(100, 120, 300, 200);
    auto* child = new QWidget(&top);
    child->setGeometry(10, 20, 50, 40);
    const HWND ht = HandleFromWidget(&top);
    const HWND hc = HandleFromWidget(child);
    QVERIFY(ht != 0 && hc != 0 && ht != hc);
    QCOMPARE(HandleFromWidget(&top), ht);
    QCOMPARE(GetParent(hc), ht);
    QCOMPARE(GetParent(ht), HWND(0));
    RECT r{};
    QCOMPARE(GetWindowRect(hc, &r), TRUE);
    QCOMPARE(r.right - r.left, 50);
    QCOMPARE(r.bottom - r.top, 40);
    QCOMPARE(MoveWindow(ht, 40, 50, 320, 220, TRUE), TRUE);
    QCOMPARE(top.frameGeometry().topLeft(), QPoint(40, 50));
    QCOMPARE(SetWindowLongA(hc, DWL_MSGRESULT, 7), LONG(0));
    QCOMPARE(SetWindowLongA(hc, DWL_MSGRESULT, 1), LONG(7));
    QCOMPARE(GetWindowLongA(hc, DWL_MSGRESULT), LONG(1));
    RECT work{};
    QCOMPARE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0), TRUE);
    QVERIFY(work.right > work.left && work.bottom > work.top);
    QCOMPARE(SystemParametersInfoA(47, 0, &work, 0), FALSE);
    delete child;
    QCOMPARE(IsWindow(hc), FALSE);
    QCOMPARE(GetWindowRect(hc, &r), FALSE);
    QCOMPARE(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

void PlatformMemoryTests::systemColours() {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
    QApplication::setPalette(palette);
    QCOMPARE(GetSysColor(COLOR_BTNFACE), COLORREF(0x030201));
    QCOMPARE(GetSysColor(COLOR_HIGHLIGHT), COLORREF(0x1E140A));
    QCOMPARE(GetSysColor(COLOR_BACKGROUND), COLORREF(0xA56E3A)); // classic desktop colour
    QCOMPARE(GetSysColor(31), COLORREF(0));
    COLORREF c = 0;
    QCOMPARE(OleTranslateColor(0x80000000u + COLOR_BTNFACE, 0, &c), S_OK);
    QCOMPARE(c, COLORREF(0x030201));
    QCOMPARE(OleTranslateColor(0x00123456, 0, &c), S_OK);
    QCOMPARE(c, COLORREF(0x123456));
    QCOMPARE(OleTranslateColor(0x80000040u, 0, &c), E_INVALIDARG);
    QApplication::setPalette(QPalette());
}

void PlatformMemoryTests::lastErrorText() {
    char buffer[256];
    const DWORD n = FormatMessageA(0x1200, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 256, nullptr);
    QVERIFY(n > 0);
    QCOMPARE(QByteArray(buffer, int(n)),
             QByteArray("The system cannot find the file specified.\r\n"));
    QCOMPARE(FormatMessageA(0x1200, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 5, nullptr),
             DWORD(4));
    QCOMPARE(QByteArray(buffer), QByteArray("The "));
    QCOMPARE(FormatMessageA(0x1200, nullptr, 0x7FFF0000, 0, buffer, 256, nullptr), DWORD(0));
    QCOMPARE(LoadLibraryA("/nonexistent/libnothing.so"), HMODULE(0));
    QCOMPARE(GetLastError(), ERROR_MOD_NOT_FOUND);
    QCOMPARE(FreeLibrary(0x1234), FALSE);
    const HMODULE libc = LoadLibraryA("libc.so.6");
    QVERIFY(libc != 0);
    QCOMPARE(FreeLibrary(libc), TRUE);
    QCOMPARE(FreeLibrary(libc), FALSE);
    QCOMPARE(GetLastError(), ERROR_INVALID_HANDLE);
}

namespace {
QStringList openedHelp;
bool recordOpen(const QString& file) {
    openedHelp.append(file);
    return true;
}
} // namespace

void PlatformMemoryTests::helpEngine() {
    SetHelpOpener(&recordOpen);
    ClearHelpCalls();
    QTemporaryDir dir;
    const QByteArray file = QFile::encodeName(dir.filePath("app.hlp"));
    QFile f(QString::fromLocal8Bit(file));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    QCOMPARE(WinHelpA(0, "/nonexistent/help.hlp", HELP_CONTENTS, 0), FALSE);
    QCOMPARE(GetLastError(), ERROR_FILE_NOT_FOUND);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_CONTENTS, 0), TRUE);
    QCOMPARE(openedHelp, QStringList{QString::fromLocal8Bit(file)});

    LockedBlock record(26, GHND);
    const HELPWININFO info{26, 10, 20, 300, 400, 1, {0, 0}};
    WriteMemory(record.address(), &info, sizeof info);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_SETWINPOS, record.address()), TRUE);
    QCOMPARE(HelpCalls().back().window.dx, 300);
    QCOMPARE(HelpCalls().back().window.wMax, 1);
    const HELPWININFO wrongSize{28, 0, 0, 0, 0, 0, {0, 0}};
    WriteMemory(record.address(), &wrongSize, sizeof wrongSize);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_SETWINPOS, record.address()), FALSE);
    QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_SETWINPOS, 0x10), FALSE);
    QCOMPARE(WinHelpA(0, nullptr, HELP_QUIT, 0), TRUE);
    QCOMPARE(HelpCalls().size(), 6);
    SetHelpOpener(nullptr);
}

QTEST_MAIN(PlatformMemoryTests)
#include "platform_memory_tests.moc"
