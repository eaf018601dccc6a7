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
    void windowTable();
    void systemColours();
    void errorsAndModules();
    void helpEngine();
};

// Sizes are asserted where the records are declared; these are the field offsets.
void PlatformMemoryTests::recordLayout_data() {
    QTest::addColumn<int>("actual");
    QTest::addColumn<int>("expected");
#define ROW(record, field, value)                                                                  \
    QTest::newRow(#record "." #field) << int(offsetof(record, field)) << (value)
    ROW(OPENFILENAME, nFilterIndex, 24);
    ROW(OPENFILENAME, lpstrFile, 28);
    ROW(OPENFILENAME, nMaxFileTitle, 40);
    ROW(OPENFILENAME, nFileOffset, 56);
    ROW(OPENFILENAME, nFileExtension, 58);
    ROW(OPENFILENAME, lpstrDefExt, 60);
    ROW(OPENFILENAME, lpTemplateName, 72);
    ROW(CHOOSECOLOR, rgbResult, 12);
    ROW(CHOOSECOLOR, lpCustColors, 16);
    ROW(CHOOSECOLOR, lpfnHook, 28);
    ROW(LOGFONT, lfWeight, 16);
    ROW(LOGFONT, lfItalic, 20);
    ROW(LOGFONT, lfFaceName, 28);
    ROW(CHOOSEFONT, iPointSize, 16);
    ROW(CHOOSEFONT, rgbColors, 24);
    ROW(CHOOSEFONT, lpfnHook, 32);
    ROW(CHOOSEFONT, nFontType, 48);
    ROW(CHOOSEFONT, nSizeMax, 56);
    ROW(PRINTDLG, Flags, 20);
    ROW(PRINTDLG, nFromPage, 24);
    ROW(PRINTDLG, nCopies, 32);
    ROW(PRINTDLG, hInstance, 34);
    ROW(PRINTDLG, lpfnPrintHook, 42);
    ROW(PRINTDLG, hSetupTemplate, 62);
    ROW(PAGESETUPDLG, ptPaperSize, 20);
    ROW(PAGESETUPDLG, rtMinMargin, 28);
    ROW(PAGESETUPDLG, rtMargin, 44);
    ROW(PAGESETUPDLG, lpfnPageSetupHook, 68);
    ROW(PAGESETUPDLG, hPageSetupTemplate, 80);
    ROW(DEVMODE, dmFields, 40);
    ROW(DEVMODE, dmOrientation, 44);
    ROW(DEVMODE, dmCopies, 54);
    ROW(DEVMODE, dmCollate, 68);
    ROW(DEVMODE, dmFormName, 70);
    ROW(DEVMODE, dmBitsPerPel, 104);
    ROW(NMHDR, code, 8);
    ROW(HELPWININFO, wMax, 20);
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
    QVERIFY(!ReadBytes(0, 1).size());
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
    QCOMPARE(QSize(r.right - r.left, r.bottom - r.top), QSize(50, 40));
    QCOMPARE(MoveWindow(ht, 40, 50, 320, 220, TRUE), TRUE);
    QCOMPARE(top.frameGeometry().topLeft(), QPoint(40, 50));
    QCOMPARE(SetWindowLongA(hc, DWL_MSGRESULT, 7), LONG(0));
    QCOMPARE(SetWindowLongA(hc, DWL_MSGRESULT, 1), LONG(7));
    QCOMPARE(GetWindowLongA(hc, DWL_MSGRESULT), LONG(1));
    QCOMPARE(SystemParametersInfoA(47, 0, &r, 0), FALSE);
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

void PlatformMemoryTests::errorsAndModules() {
    char buffer[256];
    const DWORD n = FormatMessageA(0x1200, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 256, nullptr);
    QCOMPARE(QByteArray(buffer, int(n)),
             QByteArray("The system cannot find the file specified.\r\n"));
    QCOMPARE(FormatMessageA(0x1200, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 5, nullptr),
             DWORD(4));
    QCOMPARE(QByteArray(buffer), QByteArray("The "));
    QCOMPARE(FormatMessageA(0x1200, nullptr, 0x7FFF0000, 0, buffer, 256, nullptr), DWORD(0));
    QCOMPARE(LoadLibraryA("/nonexistent/libnothing.so"), HMODULE(0));
    QCOMPARE(GetLastError(), ERROR_MOD_NOT_FOUND);
    const HMODULE libc = LoadLibraryA("libc.so.6");
    QVERIFY(libc != 0);
    QCOMPARE(FreeLibrary(libc), TRUE);
    QCOMPARE(FreeLibrary(libc), FALSE);
    QCOMPARE(GetLastError(), ERROR_INVALID_HANDLE);
}

void PlatformMemoryTests::helpEngine() {
    static QStringList opened;
    SetHelpOpener([](const QString& file) {
        opened.append(file);
        return true;
    });
    ClearHelpCalls();
    QTemporaryDir dir;
    const QByteArray file = QFile::encodeName(dir.filePath("app.hlp"));
    QFile f(QString::fromLocal8Bit(file));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(WinHelpA(0, "/nonexistent/help.hlp", HELP_CONTENTS, 0), FALSE);
    QCOMPARE(GetLastError(), ERROR_FILE_NOT_FOUND);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_CONTENTS, 0), TRUE);
    QCOMPARE(opened, QStringList{QString::fromLocal8Bit(file)});
    LockedBlock record(26, GHND);
    HELPWININFO info{26, 10, 20, 300, 400, 1, {0, 0}};
    WriteMemory(record.address(), &info, sizeof info);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_SETWINPOS, record.address()), TRUE);
    QCOMPARE(HelpCalls().back().window.dx, 300);
    QCOMPARE(HelpCalls().back().window.wMax, 1);
    info.wStructSize = 28;
    WriteMemory(record.address(), &info, sizeof info);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_SETWINPOS, record.address()), FALSE);
    QCOMPARE(GetLastError(), ERROR_INVALID_PARAMETER);
    QCOMPARE(WinHelpA(0, file.constData(), HELP_SETWINPOS, 0x10), FALSE);
    QCOMPARE(WinHelpA(0, nullptr, HELP_QUIT, 0), TRUE);
    QCOMPARE(HelpCalls().size(), 6);
    SetHelpOpener(nullptr);
}

QTEST_MAIN(PlatformMemoryTests)
#include "platform_memory_tests.moc"
