// The dialog operations answered through the script seam: results, errors and hook messages.

#include "dialog_test_support.h"

#include "objects.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace platform;
using namespace dialog_test;

namespace {

const QByteArray kFilter("Text\0*.txt\0All files\0*.*\0", 26);

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

using Events = QList<HookEvent>;

} // namespace

class PlatformDialogTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { hookLog() = HookLog{}; }
    void openSingleFile();
    void openMultiSelectLayout();
    void openBufferTooSmall();
    void unusableRecordsAndCancel();
    void fileMustExistKeepsDialogOpen();
    void saveOverwritePromptAndExtension();
    void fileTitle();
    void hookMessagesInOrder();
    void fileOkRefusalKeepsDialogOpen();
    void colourWithCustomColours();
    void fontChosen();
    void printPages();
    void pageSetupMargins();
    void printSetupAndDefaults();

private:
    QTemporaryDir dir_;
    QString a_, b_, c_;
};

void PlatformDialogTests::initTestCase() {
    a_ = dir_.filePath("alpha.txt");
    b_ = dir_.filePath("beta.txt");
    c_ = dir_.filePath("gamma.doc");
    for (const QString& f : {a_, b_, c_}) {
        QFile file(f);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void PlatformDialogTests::openSingleFile() {
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
}

void PlatformDialogTests::openMultiSelectLayout() {
    FileRecord rec(8192, kFilter);
    rec.ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST;
    ScopedScript script(answers({DialogAnswer::acceptFiles({a_, b_})}));
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    const QByteArray folder = native(dir_.path());
    const QByteArray expected = folder + '\0' + "alpha.txt" + '\0' + "beta.txt" + '\0' + '\0';
    QCOMPARE(rec.file().left(expected.size()), expected);
    QCOMPARE(int(rec.ofn.nFileOffset), int(folder.size() + 1));
    // One file in multi-select form: the full path, then two zeros.
    ScopedScript single(answers({DialogAnswer::acceptFiles({b_})}));
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    QCOMPARE(rec.file().left(native(b_).size() + 2), native(b_) + '\0' + '\0');
}

void PlatformDialogTests::openBufferTooSmall() {
    FileRecord rec(12, kFilter); // far shorter than the path
    ScopedScript script(answers({DialogAnswer::acceptFiles({a_})}));
    QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
    QCOMPARE(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    WORD needed = 0;
    QVERIFY(ReadMemory(rec.ofn.lpstrFile, &needed, sizeof needed));
    QCOMPARE(int(needed), int(native(a_).size() + 1));
}

void limitSizes(CHOOSEFONT& cf, int min, int max) {
    cf.Flags = CF_LIMITSIZE;
    cf.nSizeMin = min;
    cf.nSizeMax = max;
}

void pages(PRINTDLG& pd, DWORD flags, WORD from, WORD to, WORD min) {
    pd.Flags = flags;
    pd.nFromPage = from;
    pd.nToPage = to;
    pd.nMinPage = min;
}

// Records of every kind, valid as they stand; a row spoils one field.
struct Records {
    FileRecord file{260, kFilter};
    ColourRecord colour;
    FontRecord font;
    PRINTDLG print = printRecord(0);
    PAGESETUPDLG page = sized<PAGESETUPDLG>();
    BOOL call(char kind) {
        switch (kind) {
        case 'o':
            return GetOpenFileNameA(&file.ofn);
        case 'c':
            return ChooseColorA(&colour.cc);
        case 'f':
            return ChooseFontA(&font.cf);
        case 'p':
            return PrintDlgA(&print);
        }
        return PageSetupDlgA(&page);
    }
};

// An unusable record is refused with its extended error before any dialog is shown; a usable
// one that is cancelled gives FALSE with no error and leaves the record's results alone.
void PlatformDialogTests::unusableRecordsAndCancel() {
    ScopedScript script(answers({}));
    const struct {
        const char* name;
        char kind;
        std::function<void(Records&)> spoil;
        DWORD error;
    } rows[] = {
        {"open size 88", 'o', [](Records& r) { r.file.ofn.lStructSize = 88; }, CDERR_STRUCTSIZE},
        {"buffer 0", 'o', [](Records& r) { r.file.ofn.nMaxFile = 0; }, CDERR_INITIALIZATION},
        {"buffer -5", 'o', [](Records& r) { r.file.ofn.nMaxFile = DWORD(-5); },
         CDERR_INITIALIZATION},
        {"buffer past block", 'o', [](Records& r) { r.file.ofn.nMaxFile = 261; },
         CDERR_INITIALIZATION},
        {"hook flag, no hook", 'o', [](Records& r) { r.file.ofn.Flags = OFN_ENABLEHOOK; },
         CDERR_NOHOOK},
        {"template, no module", 'o', [](Records& r) { r.file.ofn.Flags = OFN_ENABLETEMPLATE; },
         CDERR_NOHINSTANCE},
        {"odd filter", 'o',
         [](Records& r) { r.file.ofn.lpstrFilter = r.file.text(QByteArray("T\0*.t\0A\0\0", 10)); },
         CDERR_INITIALIZATION},
        {"unterminated filter", 'o',
         [](Records& r) { r.file.ofn.lpstrFilter = r.file.text("abcd", 4); }, CDERR_INITIALIZATION},
        {"colour size 35", 'c', [](Records& r) { r.colour.cc.lStructSize = 35; }, CDERR_STRUCTSIZE},
        {"no custom colours", 'c', [](Records& r) { r.colour.cc.lpCustColors = 0; },
         CDERR_INITIALIZATION},
        {"font size 64", 'f', [](Records& r) { r.font.cf.lStructSize = 64; }, CDERR_STRUCTSIZE},
        {"no LOGFONT", 'f', [](Records& r) { r.font.cf.lpLogFont = 0; }, CDERR_INITIALIZATION},
        {"font max < min", 'f', [](Records& r) { limitSizes(r.font.cf, 20, 10); },
         CFERR_MAXLESSTHANMIN},
        {"font min -1", 'f', [](Records& r) { limitSizes(r.font.cf, -1, 10); },
         CDERR_INITIALIZATION},
        {"print size 68", 'p', [](Records& r) { r.print.lStructSize = 68; }, CDERR_STRUCTSIZE},
        {"print hook flag, no hook", 'p', [](Records& r) { r.print.Flags = PD_ENABLEPRINTHOOK; },
         CDERR_NOHOOK},
        {"from after to", 'p', [](Records& r) { pages(r.print, 0, 9, 2, 1); }, PDERR_INITFAILURE},
        {"pages below min", 'p', [](Records& r) { pages(r.print, PD_PAGENUMS, 1, 2, 5); },
         PDERR_INITFAILURE},
        {"page setup size 80", 's', [](Records& r) { r.page.lStructSize = 80; }, CDERR_STRUCTSIZE},
        {"negative margin", 's',
         [](Records& r) {
             r.page.Flags = PSD_MARGINS;
             r.page.rtMargin.left = -1;
         },
         CDERR_INITIALIZATION},
        {"open cancelled", 'o', [](Records&) {}, 0},
        {"colour cancelled", 'c', [](Records&) {}, 0},
        {"font cancelled", 'f', [](Records&) {}, 0},
        {"print cancelled", 'p', [](Records&) {}, 0},
        {"page setup cancelled", 's', [](Records&) {}, 0},
    };
    for (const auto& row : rows) {
        Records r;
        WriteCString(r.file.ofn.lpstrFile, "start.txt", 260);
        r.colour.cc.rgbResult = 0x123456;
        row.spoil(r);
        QVERIFY2(r.call(row.kind) == FALSE, row.name);
        QVERIFY2(CommDlgExtendedError() == row.error, row.name);
        QVERIFY2(ReadCString(r.file.ofn.lpstrFile) == "start.txt", row.name);
        QVERIFY2(r.colour.cc.rgbResult == 0x123456, row.name);
    }
    QCOMPARE(script.calls(), 5); // only the cancelled ones were shown
}

void PlatformDialogTests::fileMustExistKeepsDialogOpen() {
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

void PlatformDialogTests::saveOverwritePromptAndExtension() {
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

void PlatformDialogTests::fileTitle() {
    LockedBlock name(64);
    LockedBlock title(64);
    WriteCString(name.address(), "/tmp/folder/report.txt", 64);
    QCOMPARE(GetFileTitleA(name.address(), title.address(), 64), short(0));
    QCOMPARE(ReadCString(title.address()), QByteArray("report.txt"));
    QCOMPARE(GetFileTitleA(name.address(), title.address(), 10), short(11)); // needed size
    QCOMPARE(GetFileTitleA(name.address(), title.address(), 11), short(0));
    WriteCString(name.address(), "/tmp/folder/", 64);
    QCOMPARE(GetFileTitleA(name.address(), title.address(), 64), short(-1));
}

void PlatformDialogTests::hookMessagesInOrder() {
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
    QVERIFY(QList<HWND>(hookLog().windows.size(), hookLog().windows.front()) == hookLog().windows);
}

void PlatformDialogTests::fileOkRefusalKeepsDialogOpen() {
    FileRecord rec(260, kFilter);
    rec.ofn.Flags = OFN_ENABLEHOOK | OFN_EXPLORER;
    rec.ofn.lpfnHook = RegisterHookProc(&recordingHook);
    hookLog().refuseFileOk = 1;
    ScopedScript script([&](DialogKind, QWidget* dialog) {
        return dialog->isVisible() ? DialogAnswer::acceptFiles({b_}) : DialogAnswer::cancel();
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    QCOMPARE(script.calls(), 2); // refused once, asked again, accepted
    QCOMPARE(hookLog().events.count(HookEvent{WM_NOTIFY, CDN_FILEOK}), 2);
    QCOMPARE(hookLog().events.count(HookEvent{WM_DESTROY, 0}), 1);
    QCOMPARE(ReadCString(rec.ofn.lpstrFile), native(b_));
    // Refused every time: the script gives up with cancel.
    hookLog() = HookLog{{}, {}, 1000};
    const DialogAnswer b = DialogAnswer::acceptFiles({b_});
    ScopedScript stubborn(answers({b, b, b}));
    QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
    QCOMPARE(CommDlgExtendedError(), DWORD(0));
    QCOMPARE(hookLog().events.count(HookEvent{WM_NOTIFY, CDN_FILEOK}), 3);
}

void PlatformDialogTests::colourWithCustomColours() {
    ColourRecord rec;
    COLORREF in[16];
    for (int i = 0; i < 16; ++i)
        in[i] = COLORREF(0x010101 * i);
    WriteMemory(rec.custom.address(), in, sizeof in);
    rec.cc.rgbResult = 0x00336699;
    rec.cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
    rec.cc.lpfnHook = RegisterHookProc(&recordingHook);
    QColor seen, seenCustom5;
    ScopedScript script([&](DialogKind, QWidget* dialog) {
        seen = qobject_cast<QColorDialog*>(dialog)->currentColor();
        seenCustom5 = QColorDialog::customColor(5);
        DialogAnswer a = DialogAnswer::acceptColor(QColor(0x12, 0x34, 0x56));
        a.customColors = {QColor(255, 0, 0), QColor(0, 255, 0)};
        return a;
    });
    QCOMPARE(ChooseColorA(&rec.cc), TRUE);
    QCOMPARE(seen, QColor(0x99, 0x66, 0x33));
    QCOMPARE(seenCustom5, QColor(5, 5, 5));
    QCOMPARE(rec.cc.rgbResult, COLORREF(0x563412));
    COLORREF out[16] = {};
    QVERIFY(ReadMemory(rec.custom.address(), out, sizeof out));
    QCOMPARE(QList<COLORREF>(out, out + 3), (QList<COLORREF>{0x0000FF, 0x00FF00, in[2]}));
    QCOMPARE(out[15], in[15]);
    QCOMPARE(hookLog().events, (Events{{WM_INITDIALOG, 0}, {WM_COMMAND, IDOK}, {WM_DESTROY, 0}}));
}

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
    QCOMPARE(rec.cf.iPointSize, 140);
    QCOMPARE(out.lfWeight, FW_BOLD);
    QCOMPARE(int(out.lfUnderline), 1);
    QCOMPARE(out.lfHeight, LONG(-qRound(14 * 20.0 / ScreenTwipsPerPixelY())));
    QCOMPARE(QByteArray(out.lfFaceName), QApplication::font().family().toLocal8Bit().left(31));
    QVERIFY(rec.cf.nFontType & BOLD_FONTTYPE);
    QCOMPARE(rec.cf.rgbColors, COLORREF(0x008000));
}

void PlatformDialogTests::printPages() {
    PRINTDLG pd = printRecord(PD_RETURNDC | PD_ENABLEPRINTHOOK);
    pd.lpfnPrintHook = RegisterHookProc(&recordingHook);
    DialogAnswer answer = DialogAnswer::acceptPages(3, 7, 2);
    answer.collate = true;
    ScopedScript script(answers({answer, answer}));
    QCOMPARE(PrintDlgA(&pd), TRUE);
    QCOMPARE(QList<int>({pd.nFromPage, pd.nToPage, pd.nCopies}), QList<int>({3, 7, 2}));
    QCOMPARE(pd.Flags & (PD_PAGENUMS | PD_COLLATE), PD_PAGENUMS | PD_COLLATE);
    QVERIFY(PrinterFromDC(pd.hDC) != nullptr);
    QCOMPARE(GlobalSize(pd.hDevMode), DWORD(sizeof(DEVMODE)));
    QCOMPARE(int(devMode(pd.hDevMode).dmCopies), 2);
    QCOMPARE(hookLog().events.front(), (HookEvent{WM_INITDIALOG, 0}));
    QCOMPARE(hookLog().events.back(), (HookEvent{WM_DESTROY, 0}));
    QCOMPARE(DeleteDC(pd.hDC), TRUE);
    QCOMPARE(PrinterFromDC(pd.hDC), nullptr);
    freeDevice(pd.hDevMode, pd.hDevNames);
    // Copies in the device mode: the record says 1, the device mode says how many.
    PRINTDLG dm = printRecord(PD_USEDEVMODECOPIES);
    QCOMPARE(PrintDlgA(&dm), TRUE);
    QCOMPARE(int(dm.nCopies), 1);
    QCOMPARE(int(devMode(dm.hDevMode).dmCopies), 2);
    QCOMPARE(int(devMode(dm.hDevMode).dmCollate), int(DMCOLLATE_TRUE));
    QCOMPARE(dm.hDC, HDC(0));
    freeDevice(dm.hDevMode, dm.hDevNames);
    // A scripted answer with from > to fails as such a record would.
    ScopedScript backwards(answers({DialogAnswer::acceptPages(8, 4)}));
    QCOMPARE(PrintDlgA(&dm), FALSE);
    QCOMPARE(CommDlgExtendedError(), PDERR_INITFAILURE);
}

void PlatformDialogTests::pageSetupMargins() {
    PAGESETUPDLG psd = sized<PAGESETUPDLG>();
    psd.Flags = PSD_INHUNDREDTHSOFMILLIMETERS | PSD_MARGINS | PSD_MINMARGINS;
    psd.rtMargin = RECT{1000, 1000, 1000, 1000};
    psd.rtMinMargin = RECT{1500, 0, 0, 0};
    DialogAnswer answer = DialogAnswer::accept();
    answer.marginsMm = QMarginsF(12, 15, 18, 21);
    answer.landscape = true;
    ScopedScript script(answers({answer}));
    QCOMPARE(PageSetupDlgA(&psd), TRUE);
    QCOMPARE(script.kinds, QList<DialogKind>{DialogKind::PageSetup});
    const RECT& m = psd.rtMargin; // left raised to the minimum
    QCOMPARE(QList<LONG>({m.left, m.top, m.right, m.bottom}),
             QList<LONG>({1500, 1500, 1800, 2100}));
    QVERIFY(psd.ptPaperSize.x > psd.ptPaperSize.y); // landscape
    QCOMPARE(int(devMode(psd.hDevMode).dmOrientation), int(DMORIENT_LANDSCAPE));
    freeDevice(psd.hDevMode, psd.hDevNames);
}

void PlatformDialogTests::printSetupAndDefaults() {
    // PD_RETURNDEFAULT fills the device blocks without showing anything.
    ScopedScript script(answers({DialogAnswer::accept()}));
    PRINTDLG def = printRecord(PD_RETURNDEFAULT);
    QCOMPARE(PrintDlgA(&def), TRUE);
    QCOMPARE(script.calls(), 0);
    QCOMPARE(int(devMode(def.hDevMode).dmSize), int(sizeof(DEVMODE)));
    QVERIFY(GlobalSize(def.hDevNames) > sizeof(DEVNAMES));
    GlobalFree(def.hDevNames);
    // Print setup runs its own dialog and calls the setup hook; the device mode given in is
    // updated in place.
    PRINTDLG setup = printRecord(PD_PRINTSETUP | PD_ENABLESETUPHOOK);
    setup.hDevMode = def.hDevMode;
    setup.lpfnSetupHook = RegisterHookProc(&recordingHook);
    QCOMPARE(PrintDlgA(&setup), TRUE);
    QCOMPARE(script.kinds, QList<DialogKind>{DialogKind::PrintSetup});
    QCOMPARE(setup.hDevMode, def.hDevMode);
    QCOMPARE(hookLog().events.front(), (HookEvent{WM_INITDIALOG, 0}));
    freeDevice(setup.hDevMode, setup.hDevNames);
}

QTEST_MAIN(PlatformDialogTests)
#include "platform_dialog_tests.moc"
