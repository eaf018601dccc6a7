// The dialog operations answered through the script seam: results, errors and hook messages.

#include "platform_test_helpers.h"

#include "objects.h"

#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;
using namespace platform_test;

namespace {

constexpr char kFilter[] = "Text\0*.txt\0All files\0*.*\0";
QByteArray twoPairFilter() {
    return QByteArray(kFilter, sizeof kFilter - 1);
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

using Events = QList<HookEvent>;

} // namespace

class PlatformDialogTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void openSingleFile();
    void openCancelled();
    void openMultiSelectLayout();
    void openBufferTooSmall();
    void openRefusesUnusableRecords_data();
    void openRefusesUnusableRecords();
    void openFileMustExistKeepsDialogOpen();
    void saveOverwritePrompt();
    void saveDefaultExtension();
    void fileTitle();
    void hookMessagesInOrder();
    void fileOkRefusalKeepsDialogOpen();
    void colourWithCustomColours();
    void colourCancelled();
    void fontChosen();
    void fontRecordErrors();
    void printPages();
    void printErrors();
    void pageSetupMargins();
    void printSetupAndDefaults();
    void filterIndexOutOfRangeStartsOnFirst();
    void scriptThatNeverClosesIsCutOff();

private:
    QTemporaryDir dir_;
    QString a_, b_, c_;
};

void PlatformDialogTests::initTestCase() {
    QVERIFY(dir_.isValid());
    a_ = dir_.filePath("alpha.txt");
    b_ = dir_.filePath("beta.txt");
    c_ = dir_.filePath("gamma.doc");
    for (const QString& f : {a_, b_, c_}) {
        QFile file(f);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
}

void PlatformDialogTests::init() {
    hookLog() = HookLog{};
}

void PlatformDialogTests::openSingleFile() {
    FileRecord rec(260, twoPairFilter());
    rec.setInitialDir(native(dir_.path()));
    rec.ofn.nFilterIndex = 1;
    ScopedScript script([&](DialogKind kind, QWidget* dialog) {
        auto* fd = qobject_cast<QFileDialog*>(dialog);
        if (kind != DialogKind::Open || !fd)
            return DialogAnswer::cancel();
        // The record reached the dialog: folder and both filters.
        if (QDir(fd->directory()) != QDir(dir_.path()) || fd->nameFilters().size() != 2)
            return DialogAnswer::cancel();
        return DialogAnswer::acceptFiles({c_}, 2);
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    QCOMPARE(CommDlgExtendedError(), DWORD(0));
    QCOMPARE(script.calls, 1);
    const QByteArray path = native(c_);
    QCOMPARE(rec.file().left(path.size() + 1), path + '\0');
    QCOMPARE(ReadCString(rec.ofn.lpstrFileTitle), QByteArray("gamma.doc"));
    QCOMPARE(rec.ofn.nFilterIndex, DWORD(2));
    QCOMPARE(int(rec.ofn.nFileOffset), int(path.lastIndexOf('/') + 1));
    QCOMPARE(int(rec.ofn.nFileExtension), int(path.lastIndexOf('.') + 1));
}

void PlatformDialogTests::openCancelled() {
    FileRecord rec(260, twoPairFilter());
    WriteCString(rec.ofn.lpstrFile, "start.txt", 260);
    ScopedScript script([](DialogKind, QWidget*) { return DialogAnswer::cancel(); });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
    QCOMPARE(CommDlgExtendedError(), DWORD(0));
    QCOMPARE(ReadCString(rec.ofn.lpstrFile), QByteArray("start.txt")); // untouched
}

void PlatformDialogTests::openMultiSelectLayout() {
    FileRecord rec(8192, twoPairFilter());
    rec.ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST;
    ScopedScript script([&](DialogKind, QWidget*) { return DialogAnswer::acceptFiles({a_, b_}); });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    const QByteArray expected =
        native(dir_.path()) + '\0' + "alpha.txt" + '\0' + "beta.txt" + '\0' + '\0';
    const QByteArray buffer = rec.file();
    QCOMPARE(buffer.size(), 8192);
    QCOMPARE(buffer.left(expected.size()), expected);
    QCOMPARE(int(rec.ofn.nFileOffset), int(native(dir_.path()).size() + 1));

    // One file in multi-select form: the full path, then two zeros.
    FileRecord one(8192, twoPairFilter());
    one.ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    ScopedScript single([&](DialogKind, QWidget*) { return DialogAnswer::acceptFiles({b_}); });
    QCOMPARE(GetOpenFileNameA(&one.ofn), TRUE);
    QCOMPARE(one.file().left(native(b_).size() + 2), native(b_) + '\0' + '\0');
}

void PlatformDialogTests::openBufferTooSmall() {
    FileRecord rec(12, twoPairFilter()); // far shorter than any of the paths
    ScopedScript script([&](DialogKind, QWidget*) { return DialogAnswer::acceptFiles({a_}); });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
    QCOMPARE(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    WORD needed = 0;
    QVERIFY(ReadMemory(rec.ofn.lpstrFile, &needed, sizeof needed));
    QCOMPARE(int(needed), int(native(a_).size() + 1));
}

void PlatformDialogTests::openRefusesUnusableRecords_data() {
    QTest::addColumn<int>("defect");
    QTest::addColumn<DWORD>("error");
    QTest::newRow("struct size 88") << 0 << CDERR_STRUCTSIZE;
    QTest::newRow("odd filter") << 1 << CDERR_INITIALIZATION;
    QTest::newRow("buffer size 0") << 2 << CDERR_INITIALIZATION;
    QTest::newRow("buffer size negative") << 3 << CDERR_INITIALIZATION;
    QTest::newRow("buffer larger than its block") << 4 << CDERR_INITIALIZATION;
    QTest::newRow("hook flag without hook") << 5 << CDERR_NOHOOK;
    QTest::newRow("unterminated filter") << 6 << CDERR_INITIALIZATION;
    QTest::newRow("template without module") << 7 << CDERR_NOHINSTANCE;
}

void PlatformDialogTests::openRefusesUnusableRecords() {
    QFETCH(int, defect);
    QFETCH(DWORD, error);
    const QByteArray odd("Text\0*.txt\0All files\0\0", 23);
    FileRecord rec(260, defect == 1 ? odd : twoPairFilter());
    LockedBlock unterminated(4);
    WriteBytes(unterminated.address(), "abcd");
    switch (defect) {
    case 0:
        rec.ofn.lStructSize = 88;
        break;
    case 2:
        rec.ofn.nMaxFile = 0;
        break;
    case 3:
        rec.ofn.nMaxFile = DWORD(-5);
        break;
    case 4:
        rec.ofn.nMaxFile = 261;
        break;
    case 5:
        rec.ofn.Flags = OFN_ENABLEHOOK;
        break;
    case 6:
        rec.ofn.lpstrFilter = unterminated.address();
        break;
    case 7:
        rec.ofn.Flags = OFN_ENABLETEMPLATE;
        break;
    }
    ScopedScript script([&](DialogKind, QWidget*) { return DialogAnswer::acceptFiles({a_}); });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
    QCOMPARE(CommDlgExtendedError(), error);
    QCOMPARE(script.calls, 0); // refused before any dialog
}

void PlatformDialogTests::openFileMustExistKeepsDialogOpen() {
    FileRecord rec(260, twoPairFilter());
    rec.ofn.Flags = OFN_FILEMUSTEXIST;
    ScopedScript script([&](DialogKind, QWidget*) {
        static int round = 0;
        return (round++ % 2 == 0) ? DialogAnswer::acceptFiles({dir_.filePath("missing.txt")})
                                  : DialogAnswer::acceptFiles({b_});
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    QCOMPARE(script.calls, 2);
    QCOMPARE(ReadCString(rec.ofn.lpstrFile), native(b_));
}

void PlatformDialogTests::saveOverwritePrompt() {
    FileRecord rec(260, twoPairFilter());
    rec.ofn.Flags = OFN_OVERWRITEPROMPT;
    int prompts = 0;
    ScopedScript script([&](DialogKind kind, QWidget*) {
        if (kind == DialogKind::OverwritePrompt)
            return ++prompts == 1 ? DialogAnswer::cancel() : DialogAnswer::accept();
        return DialogAnswer::acceptFiles({a_});
    });
    // Declining the prompt keeps the dialog open; the script is asked again and accepts.
    QCOMPARE(GetSaveFileNameA(&rec.ofn), TRUE);
    QCOMPARE(script.kinds, (QList<DialogKind>{DialogKind::Save, DialogKind::OverwritePrompt,
                                              DialogKind::Save, DialogKind::OverwritePrompt}));
    QCOMPARE(ReadCString(rec.ofn.lpstrFile), native(a_));
    // A new file is not prompted for.
    ScopedScript fresh([&](DialogKind kind, QWidget*) {
        return kind == DialogKind::OverwritePrompt
                   ? DialogAnswer::cancel()
                   : DialogAnswer::acceptFiles({dir_.filePath("fresh.txt")});
    });
    QCOMPARE(GetSaveFileNameA(&rec.ofn), TRUE);
    QCOMPARE(fresh.kinds, QList<DialogKind>{DialogKind::Save});
}

void PlatformDialogTests::saveDefaultExtension() {
    FileRecord rec(260, twoPairFilter());
    rec.setDefExt("txt");
    ScopedScript script([&](DialogKind, QWidget*) {
        return DialogAnswer::acceptFiles({dir_.filePath("new.doc")});
    });
    QCOMPARE(GetSaveFileNameA(&rec.ofn), TRUE);
    QVERIFY(rec.ofn.Flags & OFN_EXTENSIONDIFFERENT);
    ScopedScript same([&](DialogKind, QWidget*) {
        return DialogAnswer::acceptFiles({dir_.filePath("new.txt")});
    });
    QCOMPARE(GetSaveFileNameA(&rec.ofn), TRUE);
    QVERIFY(!(rec.ofn.Flags & OFN_EXTENSIONDIFFERENT));
}

void PlatformDialogTests::fileTitle() {
    LockedBlock name(64);
    LockedBlock title(64);
    WriteCString(name.address(), "/tmp/folder/report.txt", 64);
    QCOMPARE(GetFileTitleA(name.address(), title.address(), 64), short(0));
    QCOMPARE(ReadCString(title.address()), QByteArray("report.txt"));
    QCOMPARE(GetFileTitleA(name.address(), title.address(), 5), short(11)); // needed size
    WriteCString(name.address(), "/tmp/folder/", 64);
    QCOMPARE(GetFileTitleA(name.address(), title.address(), 64), short(-1));
}

void PlatformDialogTests::hookMessagesInOrder() {
    FileRecord rec(260, twoPairFilter());
    rec.setInitialDir(native(dir_.path()));
    rec.ofn.Flags = OFN_ENABLEHOOK | OFN_EXPLORER;
    rec.ofn.lpfnHook = RegisterHookProc(&recordingHook);
    rec.ofn.nFilterIndex = 1;
    HWND hookWindow = 0;
    HWND dialogWindow = 0;
    HWND hookParent = 0;
    ScopedScript script([&](DialogKind, QWidget* dialog) {
        dialogWindow = HandleFromWidget(dialog);
        hookWindow = hookLog().windows.isEmpty() ? 0 : hookLog().windows.front();
        hookParent = GetParent(hookWindow);
        return DialogAnswer::acceptFiles({a_}, 2);
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    const Events& ev = hookLog().events;
    QVERIFY(ev.size() >= 6);
    QCOMPARE(ev.front(), (HookEvent{WM_INITDIALOG, 0}));
    QCOMPARE(ev.back(), (HookEvent{WM_DESTROY, 0}));
    // Between them, in this order: the type change, a selection change, OK, CDN_FILEOK.
    const qsizetype type = ev.indexOf(HookEvent{WM_NOTIFY, CDN_TYPECHANGE});
    const qsizetype sel = ev.indexOf(HookEvent{WM_NOTIFY, CDN_SELCHANGE}, type);
    const qsizetype command = ev.indexOf(HookEvent{WM_COMMAND, IDOK});
    const qsizetype ok = ev.indexOf(HookEvent{WM_NOTIFY, CDN_FILEOK});
    QVERIFY(ev.contains(HookEvent{WM_NOTIFY, CDN_FOLDERCHANGE}));
    QVERIFY(command > 0 && command < type);
    QVERIFY(type > 0 && sel > type && ok > sel && ok < ev.size() - 1);
    // The explorer-style hook window is a child of the dialog.
    QVERIFY(hookWindow != 0 && hookWindow != dialogWindow);
    QCOMPARE(hookParent, dialogWindow);
}

void PlatformDialogTests::fileOkRefusalKeepsDialogOpen() {
    FileRecord rec(260, twoPairFilter());
    rec.ofn.Flags = OFN_ENABLEHOOK | OFN_EXPLORER;
    rec.ofn.lpfnHook = RegisterHookProc(&recordingHook);
    hookLog().refuseFileOk = 1;
    ScopedScript script([&](DialogKind, QWidget* dialog) {
        return dialog->isVisible() ? DialogAnswer::acceptFiles({b_}) : DialogAnswer::cancel();
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    QCOMPARE(script.calls, 2); // refused once, asked again, accepted
    QCOMPARE(hookLog().events.count(HookEvent{WM_NOTIFY, CDN_FILEOK}), 2);
    QCOMPARE(hookLog().events.count(HookEvent{WM_DESTROY, 0}), 1);
    QCOMPARE(ReadCString(rec.ofn.lpstrFile), native(b_));

    // Refused every time: the script gives up with cancel.
    hookLog() = HookLog{};
    hookLog().refuseFileOk = 1000;
    ScopedScript stubborn([&](DialogKind, QWidget* dialog) {
        static int rounds = 0;
        return ++rounds <= 3 && dialog ? DialogAnswer::acceptFiles({b_}) : DialogAnswer::cancel();
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
    QCOMPARE(CommDlgExtendedError(), DWORD(0));
    QCOMPARE(hookLog().events.count(HookEvent{WM_NOTIFY, CDN_FILEOK}), 3);
}

void PlatformDialogTests::colourWithCustomColours() {
    LockedBlock custom(64, GHND);
    COLORREF in[16];
    for (int i = 0; i < 16; ++i)
        in[i] = COLORREF(0x010101 * i);
    WriteMemory(custom.address(), in, sizeof in);
    CHOOSECOLOR cc{};
    cc.lStructSize = sizeof cc;
    cc.rgbResult = 0x00336699;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
    cc.lpCustColors = custom.address();
    cc.lpfnHook = RegisterHookProc(&recordingHook);
    QColor seen;
    QColor seenCustom5;
    ScopedScript script([&](DialogKind kind, QWidget* dialog) {
        auto* cd = qobject_cast<QColorDialog*>(dialog);
        if (kind != DialogKind::Color || !cd)
            return DialogAnswer::cancel();
        seen = cd->currentColor();
        seenCustom5 = QColorDialog::customColor(5);
        DialogAnswer a = DialogAnswer::acceptColor(QColor(0x12, 0x34, 0x56));
        a.customColors = {QColor(255, 0, 0), QColor(0, 255, 0)};
        return a;
    });
    QCOMPARE(ChooseColorA(&cc), TRUE);
    QCOMPARE(seen, QColor(0x99, 0x66, 0x33));
    QCOMPARE(seenCustom5, QColor(5, 5, 5));
    QCOMPARE(cc.rgbResult, COLORREF(0x563412));
    COLORREF out[16] = {};
    QVERIFY(ReadMemory(custom.address(), out, sizeof out));
    QCOMPARE(out[0], COLORREF(0x0000FF));
    QCOMPARE(out[1], COLORREF(0x00FF00));
    QCOMPARE(out[7], in[7]);
    QCOMPARE(hookLog().events, (Events{{WM_INITDIALOG, 0}, {WM_COMMAND, IDOK}, {WM_DESTROY, 0}}));
}

void PlatformDialogTests::colourCancelled() {
    LockedBlock custom(64, GHND);
    CHOOSECOLOR cc{};
    cc.lStructSize = sizeof cc;
    cc.rgbResult = 0x123456;
    cc.lpCustColors = custom.address();
    ScopedScript script([](DialogKind, QWidget*) { return DialogAnswer::cancel(); });
    QCOMPARE(ChooseColorA(&cc), FALSE);
    QCOMPARE(CommDlgExtendedError(), DWORD(0));
    QCOMPARE(cc.rgbResult, COLORREF(0x123456));
    cc.lpCustColors = 0;
    QCOMPARE(ChooseColorA(&cc), FALSE);
    QCOMPARE(CommDlgExtendedError(), CDERR_INITIALIZATION);
    cc.lStructSize = 35;
    QCOMPARE(ChooseColorA(&cc), FALSE);
    QCOMPARE(CommDlgExtendedError(), CDERR_STRUCTSIZE);
}

namespace {
struct FontRecord {
    LockedBlock logFont{sizeof(LOGFONT), GHND};
    CHOOSEFONT cf{};
    FontRecord() {
        cf.lStructSize = sizeof cf;
        cf.lpLogFont = logFont.address();
    }
    LOGFONT read() const {
        LOGFONT lf{};
        ReadMemory(logFont.address(), &lf, sizeof lf);
        return lf;
    }
};
} // namespace

void PlatformDialogTests::fontChosen() {
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
    ScopedScript script([&](DialogKind, QWidget* dialog) {
        static int round = 0;
        if (round == 0)
            seen = dialog->property("currentFont").value<QFont>();
        QFont font(QApplication::font().family());
        font.setPointSizeF(round++ == 0 ? 36 : 14); // 36 is above the limit: refused
        font.setBold(true);
        font.setUnderline(true);
        return DialogAnswer::acceptFont(font, QColor(0, 128, 0));
    });
    QCOMPARE(ChooseFontA(&rec.cf), TRUE);
    QCOMPARE(script.calls, 2);
    // The record's height of 16 pixels reached the dialog as its point size.
    QCOMPARE(qRound(seen.pointSizeF() * 20 / ScreenTwipsPerPixelY()), 16);
    const LOGFONT out = rec.read();
    QCOMPARE(rec.cf.iPointSize, 140);
    QCOMPARE(out.lfWeight, FW_BOLD);
    QCOMPARE(int(out.lfUnderline), 1);
    QVERIFY(out.lfHeight < 0);
    QCOMPARE(QByteArray(out.lfFaceName), QApplication::font().family().toLocal8Bit().left(31));
    QVERIFY(rec.cf.nFontType & BOLD_FONTTYPE);
    QCOMPARE(rec.cf.rgbColors, COLORREF(0x008000));
}

void PlatformDialogTests::fontRecordErrors() {
    ScopedScript script([](DialogKind, QWidget*) { return DialogAnswer::cancel(); });
    FontRecord rec;
    QCOMPARE(ChooseFontA(&rec.cf), FALSE);
    QCOMPARE(CommDlgExtendedError(), DWORD(0)); // a plain cancel
    rec.cf.Flags = CF_LIMITSIZE;
    rec.cf.nSizeMin = 20;
    rec.cf.nSizeMax = 10;
    QCOMPARE(ChooseFontA(&rec.cf), FALSE);
    QCOMPARE(CommDlgExtendedError(), CFERR_MAXLESSTHANMIN);
    rec.cf.nSizeMin = -1;
    QCOMPARE(ChooseFontA(&rec.cf), FALSE);
    QCOMPARE(CommDlgExtendedError(), CDERR_INITIALIZATION);
    rec.cf.Flags = 0;
    rec.cf.lpLogFont = 0;
    QCOMPARE(ChooseFontA(&rec.cf), FALSE);
    QCOMPARE(CommDlgExtendedError(), CDERR_INITIALIZATION);
    rec.cf.lStructSize = 64;
    QCOMPARE(ChooseFontA(&rec.cf), FALSE);
    QCOMPARE(CommDlgExtendedError(), CDERR_STRUCTSIZE);
    QCOMPARE(script.calls, 1);
}

namespace {
PRINTDLG printRecord(DWORD flags) {
    PRINTDLG pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = flags;
    pd.nMinPage = 1;
    pd.nMaxPage = 65535;
    return pd;
}
DEVMODE devMode(HGLOBAL h) {
    DEVMODE dm{};
    const Address a = GlobalLock(h);
    ReadMemory(a, &dm, sizeof dm);
    GlobalUnlock(h);
    return dm;
}
} // namespace

void PlatformDialogTests::printPages() {
    PRINTDLG pd = printRecord(PD_RETURNDC | PD_ENABLEPRINTHOOK);
    pd.lpfnPrintHook = RegisterHookProc(&recordingHook);
    ScopedScript script([](DialogKind kind, QWidget*) {
        DialogAnswer a = DialogAnswer::acceptPages(3, 7, 2);
        a.collate = true;
        return kind == DialogKind::Print ? a : DialogAnswer::cancel();
    });
    QCOMPARE(PrintDlgA(&pd), TRUE);
    QCOMPARE(int(pd.nFromPage), 3);
    QCOMPARE(int(pd.nToPage), 7);
    QCOMPARE(int(pd.nCopies), 2);
    QVERIFY(pd.Flags & PD_PAGENUMS);
    QVERIFY(pd.Flags & PD_COLLATE);
    QVERIFY(PrinterFromDC(pd.hDC) != nullptr);
    QCOMPARE(GlobalSize(pd.hDevMode), DWORD(sizeof(DEVMODE)));
    QCOMPARE(int(devMode(pd.hDevMode).dmCopies), 2);
    QCOMPARE(hookLog().events.front(), (HookEvent{WM_INITDIALOG, 0}));
    QCOMPARE(hookLog().events.back(), (HookEvent{WM_DESTROY, 0}));
    QCOMPARE(DeleteDC(pd.hDC), TRUE);
    QCOMPARE(PrinterFromDC(pd.hDC), nullptr);
    GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);

    // Copies in the device mode: the record says 1, the device mode says how many.
    PRINTDLG dm = printRecord(PD_USEDEVMODECOPIES);
    QCOMPARE(PrintDlgA(&dm), TRUE);
    QCOMPARE(int(dm.nCopies), 1);
    QCOMPARE(int(devMode(dm.hDevMode).dmCopies), 2);
    QCOMPARE(int(devMode(dm.hDevMode).dmCollate), int(DMCOLLATE_TRUE));
    QCOMPARE(dm.hDC, HDC(0));
    GlobalFree(dm.hDevMode);
    GlobalFree(dm.hDevNames);
}

void PlatformDialogTests::printErrors() {
    ScopedScript script([](DialogKind, QWidget*) { return DialogAnswer::cancel(); });
    PRINTDLG pd = printRecord(PD_PAGENUMS);
    pd.nFromPage = 9;
    pd.nToPage = 2;
    QCOMPARE(PrintDlgA(&pd), FALSE);
    QCOMPARE(CommDlgExtendedError(), PDERR_INITFAILURE);
    pd.nFromPage = 1;
    pd.nToPage = 2;
    pd.nMinPage = 5;
    pd.nMaxPage = 9;
    QCOMPARE(PrintDlgA(&pd), FALSE);
    QCOMPARE(CommDlgExtendedError(), PDERR_INITFAILURE);
    pd.lStructSize = 68;
    QCOMPARE(PrintDlgA(&pd), FALSE);
    QCOMPARE(CommDlgExtendedError(), CDERR_STRUCTSIZE);
    PRINTDLG ok = printRecord(0);
    QCOMPARE(PrintDlgA(&ok), FALSE); // cancelled
    QCOMPARE(CommDlgExtendedError(), DWORD(0));
    QCOMPARE(script.calls, 1);
    // A scripted answer with from > to fails as the record would.
    ScopedScript backwards([](DialogKind, QWidget*) { return DialogAnswer::acceptPages(8, 4); });
    QCOMPARE(PrintDlgA(&ok), FALSE);
    QCOMPARE(CommDlgExtendedError(), PDERR_INITFAILURE);
}

void PlatformDialogTests::pageSetupMargins() {
    PAGESETUPDLG psd{};
    psd.lStructSize = sizeof psd;
    psd.Flags = PSD_INHUNDREDTHSOFMILLIMETERS | PSD_MARGINS | PSD_MINMARGINS;
    psd.rtMargin = RECT{1000, 1000, 1000, 1000};
    psd.rtMinMargin = RECT{1500, 0, 0, 0};
    ScopedScript script([](DialogKind kind, QWidget*) {
        DialogAnswer a = DialogAnswer::accept();
        a.marginsMm = QMarginsF(12, 15, 18, 21);
        a.landscape = true;
        return kind == DialogKind::PageSetup ? a : DialogAnswer::cancel();
    });
    QCOMPARE(PageSetupDlgA(&psd), TRUE);
    QCOMPARE(psd.rtMargin.left, LONG(1500)); // raised to the minimum
    QCOMPARE(psd.rtMargin.top, LONG(1500));
    QCOMPARE(psd.rtMargin.right, LONG(1800));
    QCOMPARE(psd.rtMargin.bottom, LONG(2100));
    QVERIFY(psd.ptPaperSize.x > psd.ptPaperSize.y); // landscape
    QCOMPARE(int(devMode(psd.hDevMode).dmOrientation), int(DMORIENT_LANDSCAPE));
    GlobalFree(psd.hDevMode);
    GlobalFree(psd.hDevNames);
    psd.lStructSize = 80;
    QCOMPARE(PageSetupDlgA(&psd), FALSE);
    QCOMPARE(CommDlgExtendedError(), CDERR_STRUCTSIZE);
}

void PlatformDialogTests::printSetupAndDefaults() {
    // PD_RETURNDEFAULT fills the device blocks without showing anything.
    ScopedScript script([](DialogKind kind, QWidget*) {
        return kind == DialogKind::PrintSetup ? DialogAnswer::accept() : DialogAnswer::cancel();
    });
    PRINTDLG def = printRecord(PD_RETURNDEFAULT);
    QCOMPARE(PrintDlgA(&def), TRUE);
    QCOMPARE(script.calls, 0);
    QCOMPARE(int(devMode(def.hDevMode).dmSize), int(sizeof(DEVMODE)));
    QVERIFY(GlobalSize(def.hDevNames) > sizeof(DEVNAMES));
    GlobalFree(def.hDevNames);

    // Print setup runs its own dialog and calls the setup hook, not the print hook; the device
    // mode given in is updated in place.
    PRINTDLG setup = printRecord(PD_PRINTSETUP | PD_ENABLESETUPHOOK);
    setup.hDevMode = def.hDevMode;
    setup.lpfnSetupHook = RegisterHookProc(&recordingHook);
    QCOMPARE(PrintDlgA(&setup), TRUE);
    QCOMPARE(script.kinds, QList<DialogKind>{DialogKind::PrintSetup});
    QCOMPARE(setup.hDevMode, def.hDevMode);
    QCOMPARE(hookLog().events.front(), (HookEvent{WM_INITDIALOG, 0}));
    GlobalFree(setup.hDevMode);
    GlobalFree(setup.hDevNames);

    PRINTDLG noHook = printRecord(PD_ENABLEPRINTHOOK);
    QCOMPARE(PrintDlgA(&noHook), FALSE);
    QCOMPARE(CommDlgExtendedError(), CDERR_NOHOOK);
}

void PlatformDialogTests::filterIndexOutOfRangeStartsOnFirst() {
    FileRecord rec(260, twoPairFilter());
    rec.ofn.nFilterIndex = 9;
    QString shown;
    ScopedScript script([&](DialogKind, QWidget* dialog) {
        shown = qobject_cast<QFileDialog*>(dialog)->selectedNameFilter();
        return DialogAnswer::acceptFiles({a_});
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    QCOMPARE(shown, QString("Text (*.txt)"));
    QCOMPARE(rec.ofn.nFilterIndex, DWORD(1));
}

void PlatformDialogTests::scriptThatNeverClosesIsCutOff() {
    FileRecord rec(260, twoPairFilter());
    rec.ofn.Flags = OFN_FILEMUSTEXIST;
    ScopedScript script([&](DialogKind, QWidget*) {
        return DialogAnswer::acceptFiles({dir_.filePath("never-there.txt")});
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
    QCOMPARE(CommDlgExtendedError(), DWORD(0));
    QVERIFY(script.calls > 1);
}

QTEST_MAIN(PlatformDialogTests)
#include "platform_dialog_tests.moc"
