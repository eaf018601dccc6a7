// The dialog platform: the dialog operations answered through the script seam (results, errors,
// hook messages), record layouts, the global memory handle table and the window-system calls.

#include "dialog_test_support.h"

#include "objects.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <cstddef>
#include <functional>

using namespace platform;
using namespace dialog_test;

namespace {

const QByteArray kFilter("Text\0*.txt\0All files\0*.*\0", 26);

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

using Events = QList<HookEvent>;

// Field offsets of the 32-bit records (their sizes are asserted where they are declared).
#define ZORV_AT(record, field, offset) static_assert(offsetof(record, field) == offset)
ZORV_AT(OPENFILENAME, nFilterIndex, 24);
ZORV_AT(OPENFILENAME, nFileOffset, 56);
ZORV_AT(OPENFILENAME, lpstrDefExt, 60);
ZORV_AT(OPENFILENAME, lpTemplateName, 72);
ZORV_AT(CHOOSECOLOR, lpfnHook, 28);
ZORV_AT(LOGFONT, lfFaceName, 28);
ZORV_AT(CHOOSEFONT, lpfnHook, 32);
ZORV_AT(CHOOSEFONT, nSizeMax, 56);
ZORV_AT(PRINTDLG, hInstance, 34);
ZORV_AT(PRINTDLG, lpfnPrintHook, 42);
ZORV_AT(PRINTDLG, hSetupTemplate, 62);
ZORV_AT(PAGESETUPDLG, rtMargin, 44);
ZORV_AT(PAGESETUPDLG, lpfnPageSetupHook, 68);
ZORV_AT(PAGESETUPDLG, hPageSetupTemplate, 80);
ZORV_AT(DEVMODE, dmCopies, 54);
ZORV_AT(DEVMODE, dmFormName, 70);
ZORV_AT(DEVMODE, dmBitsPerPel, 104);
ZORV_AT(NMHDR, code, 8);
ZORV_AT(HELPWININFO, rgchMember, 24);
#undef ZORV_AT

void limit(CHOOSEFONT& cf, int min, int max) {
    cf.Flags = CF_LIMITSIZE;
    cf.nSizeMin = min;
    cf.nSizeMax = max;
}

// Records of every kind, usable as they stand; a row spoils one field.
struct Records {
    FileRecord file{260, kFilter};
    OPENFILENAME& o = file.ofn;
    ColourRecord colour;
    CHOOSECOLOR& c = colour.cc;
    FontRecord font;
    CHOOSEFONT& f = font.cf;
    PRINTDLG p = printRecord(0);
    PAGESETUPDLG s = sized<PAGESETUPDLG>();
    BOOL call(char kind) {
        if (kind == 'o')
            return GetOpenFileNameA(&o);
        if (kind == 'c')
            return ChooseColorA(&c);
        if (kind == 'f')
            return ChooseFontA(&f);
        return kind == 'p' ? PrintDlgA(&p) : PageSetupDlgA(&s);
    }
};

} // namespace

class PlatformTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        a_ = dir_.filePath("alpha.txt");
        b_ = dir_.filePath("beta.txt");
        c_ = dir_.filePath("gamma.doc");
        for (const QString& f : {a_, b_, c_}) {
            QFile file(f);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    void openSingleFile() {
        FileRecord rec(260, kFilter);
        rec.ofn.lpstrInitialDir = rec.text(native(dir_.path()));
        rec.ofn.nFilterIndex = 1;
        ScopedScript script([&](DialogKind kind, QWidget* dialog) {
            auto* fd = qobject_cast<QFileDialog*>(dialog);
            // The record reached the dialog: folder and both filters.
            if (kind != DialogKind::Open || QDir(fd->directory()) != QDir(dir_.path()) ||
                fd->nameFilters().size() != 2)
                return DialogAnswer::cancel();
            return DialogAnswer::acceptFiles({c_}, 2);
        });
        QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
        QCOMPARE(CommDlgExtendedError(), DWORD(0));
        const QByteArray path = native(c_);
        QCOMPARE(rec.file().left(path.size() + 1), path + '\0');
        QCOMPARE(ReadCString(rec.ofn.lpstrFileTitle), QByteArray("gamma.doc"));
        QCOMPARE(rec.ofn.nFilterIndex, DWORD(2));
        QCOMPARE(int(rec.ofn.nFileOffset), int(path.lastIndexOf('/') + 1));
        QCOMPARE(int(rec.ofn.nFileExtension), int(path.lastIndexOf('.') + 1));

        // An index outside the filters starts the dialog on the first one.
        rec.ofn.nFilterIndex = 9;
        QString shown;
        ScopedScript outside([&](DialogKind, QWidget* dialog) {
            shown = qobject_cast<QFileDialog*>(dialog)->selectedNameFilter();
            return DialogAnswer::acceptFiles({a_});
        });
        QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
        QCOMPARE(shown, QString("Text (*.txt)"));
        QCOMPARE(rec.ofn.nFilterIndex, DWORD(1));
        // A buffer too small for the path: its first two bytes tell the size needed.
        FileRecord small(12, kFilter);
        QCOMPARE(GetOpenFileNameA(&small.ofn), FALSE);
        QCOMPARE(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
        QCOMPARE(ReadBytes(small.ofn.lpstrFile, 2),
                 QByteArray(1, char(native(a_).size() + 1)) + '\0');
    }

    void openMultiSelectLayout() {
        FileRecord rec(8192, kFilter);
        rec.ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST;
        WriteBytes(rec.ofn.lpstrFile, QByteArray(8192, 'x')); // no zero left by chance
        // One file in multi-select form: the full path, then two zeros.
        ScopedScript script(
            answers({DialogAnswer::acceptFiles({b_}), DialogAnswer::acceptFiles({a_, b_})}));
        QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
        QCOMPARE(rec.file().left(native(b_).size() + 2), native(b_) + '\0' + '\0');
        QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
        const QByteArray folder = native(dir_.path());
        const QByteArray expected = folder + '\0' + "alpha.txt" + '\0' + "beta.txt" + '\0' + '\0';
        QCOMPARE(rec.file().left(expected.size()), expected);
        QCOMPARE(int(rec.ofn.nFileOffset), int(folder.size() + 1));
    }

    // An unusable record is refused with its extended error before any dialog is shown; a usable
    // one that is cancelled gives FALSE with no error and leaves the record's results alone.
    void unusableRecordsAndCancel() {
        ScopedScript script(answers({}));
        using R = Records&;
        const struct {
            const char* name;
            char kind;
            std::function<void(R)> spoil;
            DWORD error;
        } rows[] = {
            {"open size 88", 'o', [](R r) { r.o.lStructSize = 88; }, CDERR_STRUCTSIZE},
            {"buffer 0", 'o', [](R r) { r.o.nMaxFile = 0; }, CDERR_INITIALIZATION},
            {"buffer past block", 'o', [](R r) { r.o.nMaxFile = 261; }, CDERR_INITIALIZATION},
            {"title past block", 'o', [](R r) { r.o.nMaxFileTitle = 261; }, CDERR_INITIALIZATION},
            {"hook flag, no hook", 'o', [](R r) { r.o.Flags = OFN_ENABLEHOOK; }, CDERR_NOHOOK},
            {"no module", 'o', [](R r) { r.o.Flags = OFN_ENABLETEMPLATE; }, CDERR_NOHINSTANCE},
            {"odd filter", 'o',
             [](R r) { r.o.lpstrFilter = r.file.text(QByteArray("T\0*\0A\0", 7)); },
             CDERR_INITIALIZATION},
            {"unended filter", 'o', [](R r) { r.o.lpstrFilter = r.file.text("abcd", 4); },
             CDERR_INITIALIZATION},
            {"colour size 35", 'c', [](R r) { r.c.lStructSize = 35; }, CDERR_STRUCTSIZE},
            {"no custom colours", 'c', [](R r) { r.c.lpCustColors = 0; }, CDERR_INITIALIZATION},
            {"colour hook flag", 'c', [](R r) { r.c.Flags = CC_ENABLEHOOK; }, CDERR_NOHOOK},
            {"font size 64", 'f', [](R r) { r.f.lStructSize = 64; }, CDERR_STRUCTSIZE},
            {"no LOGFONT", 'f', [](R r) { r.f.lpLogFont = 0; }, CDERR_INITIALIZATION},
            {"max < min", 'f', [](R r) { limit(r.f, 20, 10); }, CFERR_MAXLESSTHANMIN},
            {"min -1", 'f', [](R r) { limit(r.f, -1, 10); }, CDERR_INITIALIZATION},
            {"print size 68", 'p', [](R r) { r.p.lStructSize = 68; }, CDERR_STRUCTSIZE},
            {"print hook flag", 'p', [](R r) { r.p.Flags = PD_ENABLEPRINTHOOK; }, CDERR_NOHOOK},
            {"setup hook flag", 'p', [](R r) { r.p.Flags = PD_PRINTSETUP | PD_ENABLESETUPHOOK; },
             CDERR_NOHOOK},
            {"from after to", 'p', [](R r) { r.p.nFromPage = 2; }, PDERR_INITFAILURE},
            {"pages below min", 'p', [](R r) { r.p.Flags = PD_PAGENUMS; }, PDERR_INITFAILURE},
            {"setup size 80", 's', [](R r) { r.s.lStructSize = 80; }, CDERR_STRUCTSIZE},
            {"negative margin", 's', [](R r) { r.s.Flags = PSD_MARGINS, r.s.rtMargin.top = -1; },
             CDERR_INITIALIZATION},
            {"open cancelled", 'o', [](R) {}, 0},
            {"colour cancelled", 'c', [](R) {}, 0},
            {"font cancelled", 'f', [](R) {}, 0},
            {"print cancelled", 'p', [](R) {}, 0},
            {"page setup cancelled", 's', [](R) {}, 0},
        };
        for (const auto& row : rows) {
            Records r;
            WriteCString(r.o.lpstrFile, "start.txt", 260);
            r.c.rgbResult = 0x123456;
            row.spoil(r);
            QVERIFY2(r.call(row.kind) == FALSE, row.name);
            QVERIFY2(CommDlgExtendedError() == row.error, row.name);
            QVERIFY2(ReadCString(r.o.lpstrFile) == "start.txt" && r.c.rgbResult == 0x123456,
                     row.name);
        }
        QCOMPARE(script.calls(), 5); // only the cancelled ones were shown
    }

    void fileMustExistKeepsDialogOpen() {
        FileRecord rec(260, kFilter);
        rec.ofn.Flags = OFN_FILEMUSTEXIST;
        const DialogAnswer missing = DialogAnswer::acceptFiles({dir_.filePath("missing.txt")});
        ScopedScript script(answers({missing, DialogAnswer::acceptFiles({b_})}));
        QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
        QCOMPARE(script.calls(), 2);
        QCOMPARE(ReadCString(rec.ofn.lpstrFile), native(b_));
        // A script that never names an existing file is cut off as a cancel.
        ScopedScript never([&](DialogKind, QWidget*) { return missing; });
        QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
        QCOMPARE(CommDlgExtendedError(), DWORD(0));
        QVERIFY(never.calls() > 1);
    }

    void saveOverwritePromptAndExtension() {
        FileRecord rec(260, kFilter);
        rec.ofn.Flags = OFN_OVERWRITEPROMPT;
        rec.ofn.lpstrDefExt = rec.text("txt");
        // Declining the prompt keeps the dialog open; the script is asked again and accepts.
        ScopedScript script(answers({DialogAnswer::acceptFiles({c_}), DialogAnswer::cancel(),
                                     DialogAnswer::acceptFiles({c_}), DialogAnswer::accept()}));
        QCOMPARE(GetSaveFileNameA(&rec.ofn), TRUE);
        QCOMPARE(script.kinds, (QList<DialogKind>{DialogKind::Save, DialogKind::OverwritePrompt,
                                                  DialogKind::Save, DialogKind::OverwritePrompt}));
        QCOMPARE(ReadCString(rec.ofn.lpstrFile), native(c_));
        QVERIFY(rec.ofn.Flags & OFN_EXTENSIONDIFFERENT);
        // A new file is not prompted for; its extension is the default one.
        ScopedScript fresh(answers({DialogAnswer::acceptFiles({dir_.filePath("fresh.txt")})}));
        QCOMPARE(GetSaveFileNameA(&rec.ofn), TRUE);
        QCOMPARE(fresh.kinds, QList<DialogKind>{DialogKind::Save});
        QVERIFY(!(rec.ofn.Flags & OFN_EXTENSIONDIFFERENT));
    }

    void hookMessagesInOrder() {
        FileRecord rec(260, kFilter);
        rec.ofn.lpstrInitialDir = rec.text(native(dir_.path()));
        rec.ofn.Flags = OFN_ENABLEHOOK | OFN_EXPLORER;
        rec.ofn.lpfnHook = RegisterHookProc(&recordingHook);
        rec.ofn.nFilterIndex = 1;
        HWND dialogWindow = 0;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            dialogWindow = HandleFromWidget(dialog);
            return DialogAnswer::acceptFiles({a_}, 2);
        });
        QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
        const Events& ev = hookLog().events;
        QCOMPARE(ev.front(), (HookEvent{WM_INITDIALOG, 0}));
        QCOMPARE(ev.back(), (HookEvent{WM_DESTROY, 0}));
        // In this order: OK, the type change, a selection change, CDN_FILEOK.
        const qsizetype command = ev.indexOf(HookEvent{WM_COMMAND, IDOK});
        const qsizetype type = ev.indexOf(HookEvent{WM_NOTIFY, CDN_TYPECHANGE});
        const qsizetype sel = ev.indexOf(HookEvent{WM_NOTIFY, CDN_SELCHANGE}, type);
        const qsizetype ok = ev.indexOf(HookEvent{WM_NOTIFY, CDN_FILEOK});
        QVERIFY(ev.contains(HookEvent{WM_NOTIFY, CDN_FOLDERCHANGE}));
        QVERIFY(command > 0 && type > command && sel > type && ok > sel && ok < ev.size() - 1);
        // The explorer-style hook window is a child of the dialog.
        QVERIFY(hookLog().windows.front() != dialogWindow);
        QVERIFY(QList<HWND>(hookLog().windows.size(), hookLog().windows.front()) ==
                hookLog().windows);
    }

    // The record's colour and custom colours reach the dialog; the answer's come back.
    void colourWithCustomColours() {
        ColourRecord rec;
        WriteUInt32(rec.custom.address() + 20, 0x050505);
        rec.cc.rgbResult = 0x00336699;
        rec.cc.Flags = CC_RGBINIT | CC_ENABLEHOOK;
        rec.cc.lpfnHook = RegisterHookProc(&recordingHook);
        QList<QColor> seen;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            seen = {qobject_cast<QColorDialog*>(dialog)->currentColor(),
                    QColorDialog::customColor(5)};
            DialogAnswer a = DialogAnswer::acceptColor(QColor(0x12, 0x34, 0x56));
            a.customColors = {QColor(255, 0, 0)};
            return a;
        });
        QCOMPARE(ChooseColorA(&rec.cc), TRUE);
        QCOMPARE(seen, (QList<QColor>{QColor(0x99, 0x66, 0x33), QColor(5, 5, 5)}));
        QCOMPARE(rec.cc.rgbResult, COLORREF(0x563412));
        QCOMPARE(ReadBytes(rec.custom.address(), 24),
                 QByteArray("\xFF\0\0\0", 4) + QByteArray(16, 0) + QByteArray("\5\5\5\0", 4));
        QCOMPARE(hookLog().events,
                 (Events{{WM_INITDIALOG, 0}, {WM_COMMAND, IDOK}, {WM_DESTROY, 0}}));
    }

    void fontChosen() {
        FontRecord rec;
        LOGFONT lf{};
        lf.lfHeight = -16;
        lf.lfWeight = FW_NORMAL;
        lf.lfItalic = 1;
        WriteMemory(rec.logFont.address(), &lf, sizeof lf);
        rec.cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_LIMITSIZE;
        rec.cf.nSizeMin = 8;
        rec.cf.nSizeMax = 20;
        rec.cf.rgbColors = 0x0000FF;
        QFont seen;
        int round = 0;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            if (round == 0)
                seen = dialog->property("currentFont").value<QFont>();
            QFont font(QApplication::font().family());
            font.setPointSizeF(round++ == 0 ? 21 : 14); // 21 is above the limit: refused
            font.setBold(true);
            font.setUnderline(true);
            return DialogAnswer::acceptFont(font, QColor(0, 128, 0));
        });
        QCOMPARE(ChooseFontA(&rec.cf), TRUE);
        QCOMPARE(script.calls(), 2);
        // The record's height of 16 pixels reached the dialog as its point size, in italics.
        QCOMPARE(qRound(seen.pointSizeF() * 20 / ScreenTwipsPerPixelY()), 16);
        QVERIFY(seen.italic());
        LOGFONT out{};
        ReadMemory(rec.logFont.address(), &out, sizeof out);
        QCOMPARE(QList<int>({rec.cf.iPointSize, out.lfWeight, out.lfUnderline, rec.cf.nFontType}),
                 QList<int>({140, FW_BOLD, 1, SCREEN_FONTTYPE | BOLD_FONTTYPE}));
        QCOMPARE(out.lfHeight, LONG(-qRound(14 * 20.0 / ScreenTwipsPerPixelY())));
        QCOMPARE(QByteArray(out.lfFaceName), QApplication::font().family().toLocal8Bit().left(31));
        QCOMPARE(rec.cf.rgbColors, COLORREF(0x008000));
    }

    void printPages() {
        PRINTDLG pd = printRecord(PD_RETURNDC | PD_ENABLEPRINTHOOK);
        pd.lpfnPrintHook = RegisterHookProc(&recordingHook);
        DialogAnswer answer = DialogAnswer::acceptPages(3, 7, 2);
        answer.collate = true;
        ScopedScript script(answers({answer, answer}));
        QCOMPARE(PrintDlgA(&pd), TRUE);
        QCOMPARE(QList<int>({pd.nFromPage, pd.nToPage, pd.nCopies}), QList<int>({3, 7, 2}));
        QCOMPARE(pd.Flags & (PD_PAGENUMS | PD_COLLATE), PD_PAGENUMS | PD_COLLATE);
        QVERIFY(PrinterFromDC(pd.hDC) != nullptr);
        QCOMPARE(int(devMode(pd.hDevMode).dmCopies), 2);
        QCOMPARE(hookLog().events.size(), 3); // init, OK, destroy
        QCOMPARE(DeleteDC(pd.hDC), TRUE);
        freeDevice(pd.hDevMode, pd.hDevNames);
        // Copies in the device mode: the record says 1, the device mode says how many.
        PRINTDLG dm = printRecord(PD_USEDEVMODECOPIES);
        QCOMPARE(PrintDlgA(&dm), TRUE);
        const DEVMODE mode = devMode(dm.hDevMode);
        QCOMPARE(QList<int>({dm.nCopies, mode.dmCopies, mode.dmCollate}),
                 QList<int>({1, 2, DMCOLLATE_TRUE}));
        QCOMPARE(dm.hDC, HDC(0));
        freeDevice(dm.hDevMode, dm.hDevNames);
        // A scripted answer with from > to fails as such a record would.
        ScopedScript backwards(answers({DialogAnswer::acceptPages(8, 4)}));
        QCOMPARE(PrintDlgA(&dm), FALSE);
        QCOMPARE(CommDlgExtendedError(), PDERR_INITFAILURE);
    }

    // One address for every lock, an unlock for each lock; a freed handle is bad and its address
    // reads nothing; neither is reused. Bad handles answer as failures; nothing crashes.
    void handleLifeCycle() {
        const int live = LiveBlockCount();
        const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 100);
        const Address a = GlobalLock(h);
        QCOMPARE(ReadBytes(a, 100), QByteArray(100, char(kUninitialisedFill)));
        QCOMPARE(QList<qint64>({GlobalSize(h), LiveBlockCount() - live, GlobalLock(h) == a,
                                GlobalFlags(h), GlobalHandle(a + 50) == h, GlobalUnlock(h),
                                GlobalUnlock(h), GetLastError(), GlobalUnlock(h), GetLastError(),
                                GlobalFree(h), LiveBlockCount() - live, GlobalFree(h) == h,
                                GetLastError(), BytesAvailable(a), GlobalHandle(a)}),
                 QList<qint64>({100, 1, true, 2, true, TRUE, FALSE, ERROR_SUCCESS, FALSE,
                                ERROR_NOT_LOCKED, 0, 0, true, ERROR_INVALID_HANDLE, 0, 0}));
        LockedBlock next(100, GMEM_ZEROINIT);
        QVERIFY(next.handle() != h && next.address() >= a + 100);
        QCOMPARE(ReadBytes(next.address(), 100), QByteArray(100, '\0'));
        for (HGLOBAL bad : {HGLOBAL(0), HGLOBAL(1), HGLOBAL(0xFFFFFFFF), HGLOBAL(0x00040006)})
            QCOMPARE(QList<qint64>({GlobalLock(bad), GlobalUnlock(bad), GlobalSize(bad),
                                    GlobalFree(bad) == bad, GlobalFlags(bad)}),
                     QList<qint64>({0, FALSE, 0, true, 0x8000}));
        QCOMPARE(QList<qint64>({GlobalAlloc(GHND, kMaxBlockSize + 1), GetLastError()}),
                 QList<qint64>({0, ERROR_NOT_ENOUGH_MEMORY}));
        const HGLOBAL empty = GlobalAlloc(GHND, 0);
        QVERIFY(empty != 0);
        QCOMPARE(GlobalLock(empty), Address(0)); // nothing to address
        QCOMPARE(GlobalFree(empty), HGLOBAL(0));
    }

    void accessorsStayInsideBlocks() {
        LockedBlock block(16);
        LockedBlock other(16);
        const Address a = block.address();
        QVERIFY(WriteBytes(a, "0123456789abcdef"));
        // Offset from the block's start, length, and whether the range is wholly inside it.
        const std::tuple<int, DWORD, bool> ranges[] = {
            {0, 16, true},  {10, 6, true},  {8, 10, false}, {16, 1, false},
            {0, 17, false}, {-1, 1, false}, {13, 4, false}, {12, 4, true}};
        for (const auto& [offset, length, inside] : ranges) {
            char buffer[32] = {};
            QCOMPARE(QList<int>({offset, ReadMemory(a + offset, buffer, length),
                                 int(ReadBytes(a + offset, length).size()),
                                 WriteMemory(a + offset, buffer, length)}),
                     QList<int>({offset, inside, inside ? int(length) : 0, inside}));
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
    // System colours: the palette's roles, a fixed table for the rest.
    void windowsAndColours() {
        QWidget top;
        auto* child = new QWidget(&top);
        const HWND hc = HandleFromWidget(child);
        QCOMPARE(QList<qint64>({GetParent(hc), GetParent(HandleFromWidget(&top)),
                                SetWindowLongA(hc, DWL_MSGRESULT, 7),
                                SetWindowLongA(hc, DWL_MSGRESULT, 1)}),
                 QList<qint64>({HandleFromWidget(&top), 0, 0, 7}));
        delete child;
        RECT r{};
        QCOMPARE(QList<qint64>({IsWindow(hc), GetWindowRect(hc, &r), GetLastError()}),
                 QList<qint64>({FALSE, FALSE, ERROR_INVALID_WINDOW_HANDLE}));
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
        QApplication::setPalette(palette);
        COLORREF c = 0;
        QCOMPARE(
            QList<qint64>({OleTranslateColor(0x80000000u + COLOR_HIGHLIGHT, 0, &c), c,
                           GetSysColor(COLOR_BACKGROUND), OleTranslateColor(0x80000040u, 0, &c)}),
            QList<qint64>({S_OK, 0x1E140A, 0xA56E3A, E_INVALIDARG}));
        QApplication::setPalette(QPalette());
    }

    // Message texts cut to the buffer, none for an unknown number; the help refusals (the full
    // text, opening and positioning are seen through the wrapper).
    void errorTextsAndHelp() {
        char buffer[256];
        QCOMPARE(FormatMessageA(0x1200, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 5, nullptr),
                 DWORD(4));
        QCOMPARE(QByteArray(buffer), QByteArray("The "));
        QCOMPARE(FormatMessageA(0x1200, nullptr, 0x7FFF0000, 0, buffer, 256, nullptr), DWORD(0));
        QTemporaryDir dir;
        QFile f(dir.filePath("app.hlp"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray file = QFile::encodeName(f.fileName());
        LockedBlock record(28, GHND);
        const HELPWININFO info{28, 10, 20, 300, 400, 1, {0, 0}}; // a wrong size
        WriteMemory(record.address(), &info, sizeof info);
        QCOMPARE(QList<qint64>({WinHelpA(0, file.constData(), HELP_SETWINPOS, record.address()),
                                GetLastError(), WinHelpA(0, file.constData(), HELP_SETWINPOS, 0x10),
                                WinHelpA(0, nullptr, HELP_QUIT, 0)}),
                 QList<qint64>({FALSE, ERROR_INVALID_PARAMETER, FALSE, TRUE}));
    }

    void init() { hookLog() = HookLog{}; }

private:
    QTemporaryDir dir_;
    QString a_, b_, c_;
};

QTEST_MAIN(PlatformTests)
#include "platform_tests.moc"
