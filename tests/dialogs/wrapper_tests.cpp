// The common-dialog service through the platform's dialog script: the platform's dialog
// operations, memory blocks and window calls, and the wrapper objects (results, flags, cancels,
// errors, hook events) with their text, flag and memory helpers.
#include "ccommondialog.h"
#include "cmemory.h"
#include "dialog_error.h"
#include "dialog_text.h"
#include "gcommondialog.h"
#include "objects.h"

#include "dialog_test_support.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <cstddef>
#include <functional>

using namespace dialogs;
using namespace dialog_test;

namespace {

// The wrapper's hook reads a notification's code as the third 32-bit field of its header.
static_assert(offsetof(NMHDR, code) == 8);

const QByteArray kFilter("Text\0*.txt\0All files\0*.*\0", 26);

const auto native = [](const QString& path) { return QFile::encodeName(path); };
// In the helper tables "~" stands for a zero byte.
const auto ZB = [](const char* text) { return QByteArray(text).replace('~', '\0'); };
const auto Z = [](const char* text) { return QString::fromLatin1(ZB(text)); };

PRINTDLG printRecord(DWORD flags) {
    PRINTDLG pd = sized<PRINTDLG>();
    pd.Flags = flags;
    pd.nMinPage = 1;
    pd.nMaxPage = 65535;
    return pd;
}

// Records of every kind, usable as they stand; a row spoils one field.
struct Records {
    FileRecord file{260, kFilter};
    OPENFILENAME& o = file.ofn;
    LockedBlock custom{64, GHND};
    CHOOSECOLOR c = sized<CHOOSECOLOR>();
    FontRecord font;
    CHOOSEFONT& f = font.cf;
    PRINTDLG p = printRecord(0);
    PAGESETUPDLG s = sized<PAGESETUPDLG>();
    Records() { c.lpCustColors = custom.address(); }
    BOOL call(char kind) {
        return kind == 'o'   ? GetOpenFileNameA(&o)
               : kind == 'c' ? ChooseColorA(&c)
               : kind == 'f' ? ChooseFontA(&f)
               : kind == 'p' ? PrintDlgA(&p)
                             : PageSetupDlgA(&s);
    }
};

// Runs show and returns the DialogError it raised as "number source: description" ("": none).
QString ErrorOf(const std::function<void()>& show) {
    try {
        show();
    } catch (const DialogError& e) {
        return QString("%1 %2: %3").arg(e.Number()).arg(e.Source(), e.Description());
    }
    return {};
}

// Records the wrapper's events by name; ConfirmOK is refused while refusals last.
class EventLog : public QObject {
public:
    explicit EventLog(cCommonDialog& d) {
        const auto add = [this](const char* name) { return [this, name] { events << name; }; };
        connect(&d, &cCommonDialog::InitDialog, this, add("InitDialog"));
        connect(&d, &cCommonDialog::FileChange, this, add("FileChange"));
        connect(&d, &cCommonDialog::FolderChange, this, add("FolderChange"));
        connect(&d, &cCommonDialog::TypeChange, this, add("TypeChange"));
        connect(&d, &cCommonDialog::DialogClose, this, add("DialogClose"));
        connect(&d, &cCommonDialog::WMCommand, this,
                [this](int, int& w, int&) { events << QString("WMCommand %1").arg(w); });
        connect(&d, &cCommonDialog::ConfirmOK, this, [this](bool& bCancel) {
            events << "ConfirmOK";
            bCancel = refusals-- > 0;
        });
    }
    QStringList events;
    int refusals = 0;
};

} // namespace

class WrapperTests : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString a, b, longName;

    QString MakeFile(const QString& name) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        return QFileInfo(f).absoluteFilePath();
    }

private slots:
    void init() { hookLog.clear(); }

    void initTestCase() {
        QCoreApplication::setApplicationName("wrappertest");
        a = MakeFile("a.txt");
        b = MakeFile("b.log");
        longName = MakeFile(QString(250, 'n') + ".txt"); // the path passes 260 bytes
    }

    // The record reaches the dialog (folder, filters; an index outside them starts it on the
    // first) and the answer comes back as path, title, filter index and offsets.
    void openSingleFile() {
        FileRecord rec(260, kFilter);
        rec.ofn.lpstrInitialDir = rec.text(native(dir.path()));
        rec.ofn.nFilterIndex = 9;
        QStringList seen;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            auto* fd = qobject_cast<QFileDialog*>(dialog);
            seen << fd->directory().absolutePath() << fd->nameFilters().join(';')
                 << fd->selectedNameFilter();
            return DialogAnswer::acceptFiles({b}, 2);
        });
        QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
        QCOMPARE(seen, (QStringList{QDir(dir.path()).absolutePath(), "Text (*.txt);All files (*.*)",
                                    "Text (*.txt)"}));
        const QByteArray path = native(b);
        QCOMPARE((QList<QByteArray>{ReadCString(rec.ofn.lpstrFile),
                                    ReadCString(rec.ofn.lpstrFileTitle)}),
                 (QList<QByteArray>{path, "b.log"}));
        QCOMPARE(QList<qint64>({rec.ofn.nFilterIndex, rec.ofn.nFileOffset, rec.ofn.nFileExtension}),
                 QList<qint64>({2, path.lastIndexOf('/') + 1, path.lastIndexOf('.') + 1}));
        // A buffer too small for the path: its first two bytes tell the size needed.
        FileRecord small(12, kFilter);
        QVERIFY(GetOpenFileNameA(&small.ofn) == FALSE &&
                CommDlgExtendedError() == FNERR_BUFFERTOOSMALL);
        QCOMPARE(ReadBytes(small.ofn.lpstrFile, 2), QByteArray(1, char(path.size() + 1)) + '\0');
    }

    // An unusable record is refused with its extended error before any dialog is shown; a usable
    // one that is cancelled gives FALSE with no error and leaves the record's results alone.
    void unusableRecordsAndCancel() {
        ScopedScript script(answers({}));
        using R = Records&;
        const std::tuple<const char*, char, std::function<void(R)>, DWORD> rows[] = {
            {"open size 88", 'o', [](R r) { r.o.lStructSize = 88; }, CDERR_STRUCTSIZE},
            {"buffer 0", 'o', [](R r) { r.o.nMaxFile = 0; }, CDERR_INITIALIZATION},
            {"buffer past block", 'o', [](R r) { r.o.nMaxFile = 261; }, CDERR_INITIALIZATION},
            {"title past block", 'o', [](R r) { r.o.nMaxFileTitle = 261; }, CDERR_INITIALIZATION},
            {"hook flag, no hook", 'o', [](R r) { r.o.Flags = OFN_ENABLEHOOK; }, CDERR_NOHOOK},
            {"no module", 'o', [](R r) { r.o.Flags = OFN_ENABLETEMPLATE; }, CDERR_NOHINSTANCE},
            {"unterminated filter", 'o',
             [](R r) { r.o.lpstrFilter = r.file.text(QByteArray("T\0*", 3), 3); },
             CDERR_INITIALIZATION},
            {"unended filter", 'o', [](R r) { r.o.lpstrFilter = r.file.text("abcd", 4); },
             CDERR_INITIALIZATION},
            {"colour size 35", 'c', [](R r) { r.c.lStructSize = 35; }, CDERR_STRUCTSIZE},
            {"no custom colours", 'c', [](R r) { r.c.lpCustColors = 0; }, CDERR_INITIALIZATION},
            {"colour hook flag", 'c', [](R r) { r.c.Flags = CC_ENABLEHOOK; }, CDERR_NOHOOK},
            {"font size 64", 'f', [](R r) { r.f.lStructSize = 64; }, CDERR_STRUCTSIZE},
            {"no LOGFONT", 'f', [](R r) { r.f.lpLogFont = 0; }, CDERR_INITIALIZATION},
            {"max < min", 'f', [](R r) { r.f.Flags = CF_LIMITSIZE, r.f.nSizeMin = 20; },
             CFERR_MAXLESSTHANMIN},
            {"min -1", 'f', [](R r) { r.f.Flags = CF_LIMITSIZE, r.f.nSizeMin = -1; },
             CDERR_INITIALIZATION},
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
        };
        for (const auto& [name, kind, spoil, error] : rows) {
            Records r;
            WriteCString(r.o.lpstrFile, "start.txt", 260);
            r.c.rgbResult = 0x123456;
            spoil(r);
            QVERIFY2(r.call(kind) == FALSE && CommDlgExtendedError() == error, name);
            QVERIFY2(ReadCString(r.o.lpstrFile) == "start.txt" && r.c.rgbResult == 0x123456, name);
        }
        QCOMPARE(script.calls(), 2); // only the cancelled ones were shown
    }

    // A name that does not exist keeps the open dialog open.
    void fileChecks() {
        FileRecord rec(260, kFilter);
        rec.ofn.Flags = OFN_FILEMUSTEXIST;
        const DialogAnswer missing = DialogAnswer::acceptFiles({dir.filePath("missing.txt")});
        ScopedScript script(answers({missing, DialogAnswer::acceptFiles({a})}));
        QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
        QCOMPARE(script.calls(), 2);
        QCOMPARE(ReadCString(rec.ofn.lpstrFile), native(a));
        // One file in multi-select form is its path and two zeros, on a buffer with no zero left
        // by chance (a missing second zero once went unnoticed).
        FileRecord multi(8192, kFilter);
        multi.ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER;
        WriteBytes(multi.ofn.lpstrFile, QByteArray(8192, 'x'));
        ScopedScript one(answers({DialogAnswer::acceptFiles({b})}));
        QCOMPARE(GetOpenFileNameA(&multi.ofn), TRUE);
        QCOMPARE(ReadBytes(multi.ofn.lpstrFile, native(b).size() + 2), native(b) + '\0' + '\0');
        // Saving: declining the overwrite prompt keeps the dialog open; it is asked again.
        FileRecord save(260, kFilter);
        save.ofn.Flags = OFN_OVERWRITEPROMPT;
        save.ofn.lpstrDefExt = save.text("txt");
        ScopedScript prompt(answers({DialogAnswer::acceptFiles({b}), DialogAnswer::cancel(),
                                     DialogAnswer::acceptFiles({b}), DialogAnswer::accept()}));
        QCOMPARE(GetSaveFileNameA(&save.ofn), TRUE);
        QCOMPARE(prompt.kinds, (QList<DialogKind>{DialogKind::Save, DialogKind::OverwritePrompt,
                                                  DialogKind::Save, DialogKind::OverwritePrompt}));
        QCOMPARE(ReadCString(save.ofn.lpstrFile), native(b));
        QVERIFY(save.ofn.Flags & OFN_EXTENSIONDIFFERENT);
        // A new file is not prompted for; its extension is the default one.
        ScopedScript fresh(answers({DialogAnswer::acceptFiles({dir.filePath("fresh.txt")})}));
        QCOMPARE(GetSaveFileNameA(&save.ofn), TRUE);
        QCOMPARE(fresh.kinds, QList<DialogKind>{DialogKind::Save});
        QVERIFY(!(save.ofn.Flags & OFN_EXTENSIONDIFFERENT));
    }

    void fontChosen() {
        FontRecord rec;
        LOGFONT lf{};
        lf.lfHeight = -16, lf.lfWeight = FW_NORMAL, lf.lfItalic = 1;
        WriteMemory(rec.logFont.address(), &lf, sizeof lf);
        rec.cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_LIMITSIZE;
        rec.cf.nSizeMin = 8, rec.cf.nSizeMax = 20, rec.cf.rgbColors = 0x0000FF;
        QFont seen;
        int round = 0;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            seen = round == 0 ? dialog->property("currentFont").value<QFont>() : seen;
            // 21 points is above the limit: refused.
            QFont font(QApplication::font().family(), round++ == 0 ? 21 : 14, QFont::Bold);
            font.setUnderline(true);
            return DialogAnswer::acceptFont(font, QColor(0, 128, 0));
        });
        QCOMPARE(ChooseFontA(&rec.cf), TRUE);
        // The record's height of 16 pixels reached the dialog as its point size, in italics.
        QCOMPARE(
            QList<qint64>({script.calls(), qRound(seen.pointSizeF() * 20 / ScreenTwipsPerPixelY()),
                           seen.italic()}),
            QList<qint64>({2, 16, 1}));
        LOGFONT out{};
        ReadMemory(rec.logFont.address(), &out, sizeof out);
        QCOMPARE(QList<qint64>({rec.cf.iPointSize, out.lfWeight, out.lfUnderline, rec.cf.nFontType,
                                out.lfHeight, rec.cf.rgbColors}),
                 QList<qint64>({140, FW_BOLD, 1, SCREEN_FONTTYPE | BOLD_FONTTYPE,
                                -qRound(14 * 20.0 / ScreenTwipsPerPixelY()), 0x008000}));
        QCOMPARE(QByteArray(out.lfFaceName), QApplication::font().family().toLocal8Bit().left(31));
    }

    void printPages() {
        PRINTDLG pd = printRecord(PD_RETURNDC | PD_ENABLEPRINTHOOK);
        pd.lpfnPrintHook = RegisterHookProc(&recordingHook);
        DialogAnswer answer = DialogAnswer::acceptPages(3, 7, 2);
        answer.collate = true;
        ScopedScript script(answers({answer}));
        QCOMPARE(PrintDlgA(&pd), TRUE);
        DEVMODE mode{};
        ReadMemory(GlobalLock(pd.hDevMode), &mode, sizeof mode);
        // The page range, copies (also in the device mode), a printer DC and the hook's three
        // messages; the DC and the device blocks are the caller's to free.
        QCOMPARE(QList<qint64>({pd.nFromPage, pd.nToPage, pd.nCopies,
                                pd.Flags & (PD_PAGENUMS | PD_COLLATE), PrinterFromDC(pd.hDC) != 0,
                                hookLog.size(), mode.dmCopies, mode.dmCollate, DeleteDC(pd.hDC),
                                GlobalUnlock(pd.hDevMode), GlobalFree(pd.hDevMode),
                                GlobalFree(pd.hDevNames)}),
                 QList<qint64>({3, 7, 2, PD_PAGENUMS | PD_COLLATE, 1, 3, 2, DMCOLLATE_TRUE, TRUE,
                                FALSE, 0, 0}));
    }

    // One address for every lock, an unlock for each; a freed handle is bad, its address reads
    // nothing and neither is reused. Bad handles answer as failures.
    void globalMemory() {
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
        // An empty block has a handle but nothing to address.
        QCOMPARE(QList<qint64>({empty != 0, GlobalLock(empty), GlobalFree(empty)}),
                 QList<qint64>({1, 0, 0}));
        // Reads, writes and moves stay inside one block.
        LockedBlock block(16), other(16);
        const Address at = block.address();
        QVERIFY(WriteBytes(at, "0123456789abcdef"));
        // Offset from the block's start, length, and whether the range is wholly inside it.
        const std::tuple<int, DWORD, bool> ranges[] = {
            {0, 16, true},  {10, 6, true},  {8, 10, false}, {16, 1, false},
            {0, 17, false}, {-1, 1, false}, {13, 4, false}, {12, 4, true}};
        for (const auto& [offset, length, inside] : ranges) {
            char buffer[32] = {};
            QCOMPARE(QList<int>({offset, ReadMemory(at + offset, buffer, length),
                                 int(ReadBytes(at + offset, length).size()),
                                 WriteMemory(at + offset, buffer, length)}),
                     QList<int>({offset, inside, inside ? int(length) : 0, inside}));
        }
        QVERIFY(!WriteCString(at, QByteArray(16, 'x'), 16)); // no room for the zero
        QVERIFY(WriteCString(at, "hello", 16) && WriteBytes(other.address(), QByteArray(16, 'u')));
        // Unterminated text ends with its block; a move too long moves nothing.
        RtlMoveMemory(other.address(), at, 17);
        QCOMPARE(QList<qint64>({BytesAvailable(at + 4), lstrlenA(at + 1), lstrlenA(0),
                                lstrlenA(other.address())}),
                 QList<qint64>({12, 4, 0, 16}));
        RtlMoveMemory(other.address(), at, 6);
        QCOMPARE(ReadCString(other.address()), QByteArray("hello"));
    }

    // Widget handles (parent, message result, none once gone), palette colours, message texts
    // cut to the buffer or none; an unknown colour index and a wrong-size help position refused.
    void windowCalls() {
        QWidget top;
        auto* child = new QWidget(&top);
        const HWND hc = HandleFromWidget(child);
        QCOMPARE(QList<qint64>({GetParent(hc), SetWindowLongA(hc, DWL_MSGRESULT, 7),
                                SetWindowLongA(hc, DWL_MSGRESULT, 1)}),
                 QList<qint64>({HandleFromWidget(&top), 0, 7}));
        delete child;
        RECT r{};
        COLORREF c = 0;
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
        QApplication::setPalette(palette);
        QCOMPARE(
            QList<qint64>({IsWindow(hc), GetWindowRect(hc, &r), GetLastError(),
                           OleTranslateColor(0x80000040u, 0, &c), GetSysColor(COLOR_HIGHLIGHT)}),
            QList<qint64>({FALSE, FALSE, ERROR_INVALID_WINDOW_HANDLE, E_INVALIDARG, 0x1E140A}));
        QApplication::setPalette(QPalette());
        char buffer[256];
        QCOMPARE(FormatMessageA(0x1200, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 5, nullptr),
                 DWORD(4));
        QCOMPARE(QByteArray(buffer), QByteArray("The "));
        LockedBlock record(28, GHND);
        const HELPWININFO info{28, 10, 20, 300, 400, 1, {0, 0}};
        WriteMemory(record.address(), &info, sizeof info);
        QCOMPARE(
            QList<qint64>({FormatMessageA(0x1200, nullptr, 0x7FFF0000, 0, buffer, 256, nullptr),
                           WinHelpA(0, native(a).constData(), HELP_SETWINPOS, record.address()),
                           GetLastError()}),
            QList<qint64>({0, FALSE, ERROR_INVALID_PARAMETER}));
    }

    // Flags, filter index and the chosen files in; name, title, index, filter, flags out.
    void fileDialogs() {
        const QString fresh = dir.filePath("new.log");
        // Save, flags, filter index, files (none: cancel), chosen filter, outcome.
        const std::tuple<bool, int, int, QStringList, int, QStringList> rows[] = {
            {false, 0x1005, 1, {b}, 2, {b, "b.log", "2", Z("Logs~*.log"), "4100"}},
            {false, 0, 0, {a}, 0, {a, "a.txt", "1", Z("Texts~*.txt"), "0"}},
            {false, 0x40, 1, {a}, 0, {a, "a.txt", "1", Z("Texts~*.txt"), "0"}}, // no module
            {false, 0x1000, 2, {}, 0, {"", "", "-1", "", "0"}},
            {false, 0, 1, {longName}, 0, {"", "", "-1", "", "0"}}, // past 260 bytes
            {true, 0x2, 2, {fresh}, 0, {fresh, "new.log", "2", Z("Logs~*.log"), "6"}},
            {true, 0x2, 2, {}, 0, {"", "", "0", "", "0"}},
        };
        for (const auto& [save, flagsIn, indexIn, files, chosenFilter, out] : rows) {
            ScopedScript script(
                answers({files.isEmpty() ? DialogAnswer::cancel()
                                         : DialogAnswer::acceptFiles(files, chosenFilter)}));
            cCommonDialog d;
            d.setFilter("Texts|*.txt|Logs|*.log");
            d.setFilterIndex(indexIn);
            d.setflags(flagsIn);
            d.setFilename("old");
            d.setFileTitle("old");
            QCOMPARE(ErrorOf([&] { save ? d.ShowSave() : d.ShowOpen(); }), QString());
            QCOMPARE(script.kinds, QList{save ? DialogKind::Save : DialogKind::Open});
            QCOMPARE((QStringList{d.Filename(), d.FileTitle(), QString::number(d.FilterIndex()),
                                  d.Filter(), QString::number(d.flags())}),
                     out);
        }
    }

    // A ":" in a description splits it like "|": the dialog still opens, with the pairs that
    // the split gives ("Text" and " files", "*.txt" and "All"; the lone "*" left out).
    void colonInFilter() {
        QStringList seen;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            seen = static_cast<QFileDialog*>(dialog)->nameFilters();
            return DialogAnswer::acceptFiles({a}, 2);
        });
        cCommonDialog d;
        d.setFilter("Text: files|*.txt|All|*");
        d.setCancelError(true);
        QCOMPARE(ErrorOf([&] { d.ShowOpen(); }), QString());
        QCOMPARE(seen, QStringList({"Text (files)", "*.txt (All)"}));
        QCOMPARE(QStringList({d.Filename(), d.Filter()}), QStringList({a, Z("*.txt~All")}));
    }

    // Several files, one with a path past 260 bytes: the 8192-byte buffer holds the folder and
    // the names.
    void multiSelect() {
        ScopedScript script(answers({DialogAnswer::acceptFiles({a, longName})}));
        cCommonDialog d;
        d.setflags(0x200);
        d.ShowOpen();
        QCOMPARE(QList<qsizetype>({d.Filename().size(), d.flags()}),
                 QList<qsizetype>({8192, 0x80200}));
        QString sDir;
        QStringList sFiles;
        int count = 0;
        d.ParseMultiFileName(sDir, sFiles, count);
        QCOMPARE(QStringList(sDir) + sFiles, QStringList({QDir(dir.path()).absolutePath(), "a.txt",
                                                          QFileInfo(longName).fileName()}));
    }

    void cancelError() {
        for (bool raise : {false, true}) {
            ScopedScript script(answers({}));
            cCommonDialog d;
            d.setCancelError(raise);
            d.setColor(0x123456);
            d.setFontName("Mono");
            for (const auto& show : std::initializer_list<std::function<void()>>{
                     [&] { d.ShowOpen(); }, [&] { d.ShowSave(); }, [&] { d.ShowColor(); },
                     [&] { d.ShowFont(); }}) {
                QCOMPARE(ErrorOf(show),
                         raise ? "20001 wrappertest.cCommonDialog: User selected cancel." : "");
            }
            QCOMPARE(script.calls(), 4);
            QCOMPARE(d.Color(), 0x123456);
            QCOMPARE(d.FontName(), QString("Mono"));
        }
    }

    // A hooked open dialog's events, a refused ConfirmOK keeping it open; then messages sent to a
    // hook entry point: the events raised, the value returned, the message result (-1: kept).
    void hookEvents() {
        const DialogAnswer pickA = DialogAnswer::acceptFiles({a});
        ScopedScript script(answers({pickA, DialogAnswer::acceptFiles({b})}));
        cCommonDialog d;
        EventLog log(d);
        log.refusals = 1;
        d.setHookDialog(true);
        d.ShowOpen();
        QCOMPARE(script.calls(), 2); // refused once: the dialog stayed open and was asked again
        // The hook's messages in the order the dialog sent them: a selection, then FILEOK. The
        // Explorer-style hook sits in a child window: the parent's OK is no command of its own.
        QCOMPARE(log.events,
                 (QStringList{"InitDialog", "FolderChange", "FolderChange", "FileChange",
                              "ConfirmOK", "FileChange", "ConfirmOK", "DialogClose"}));
        QCOMPARE(d.Filename(), b);
        // Refused until the dialog is cancelled: the cancel error, and the dialog closed.
        ScopedScript again(answers({pickA}));
        log.refusals = 5;
        d.setCancelError(true);
        QVERIFY(ErrorOf([&] { d.ShowOpen(); }).startsWith("20001 "));
        QCOMPARE(log.events.last(), QString("DialogClose"));
        const std::tuple<unsigned, int, const char*> rows[] = {{0x111, 0, "WMCommand 7 0 -1"},
                                                               {0x4E, -607, "TypeChange 0 -1"},
                                                               {0x4E, -601, " 0 -1"},
                                                               {0x200, 0, " 0 -1"}};
        for (const auto& [msg, code, expected] : rows) {
            cCommonDialog colour;
            EventLog colourLog(colour);
            colour.setHookDialog(true);
            QString outcome;
            ScopedScript send([&](DialogKind, QWidget* dialog) {
                const HWND h = HandleFromWidget(dialog);
                SetWindowLongA(h, DWL_MSGRESULT, -1);
                const NMHDR header{h, 0, UINT(code)};
                LockedBlock block(sizeof(header));
                WriteMemory(block.address(), &header, sizeof(header));
                colourLog.events.clear();
                const unsigned result = mDialogHook::ColorHook(h, msg, 7, LPARAM(block.address()));
                outcome = colourLog.events.join(',') +
                          QString(" %1 %2").arg(result).arg(GetWindowLongA(h, DWL_MSGRESULT));
                return DialogAnswer::cancel();
            });
            colour.ShowColor();
            QCOMPARE(outcome, QString(expected));
            // With nothing registered the entry points answer 0 and raise nothing.
            QVERIFY(mDialogHook::Registered() == nullptr);
            QCOMPARE(mDialogHook::FontHook(1, msg, 7, 0), 0u);
        }
    }

    void colours() {
        cCommonDialog d;
        d.setCustomColor(16, 0x112233);
        d.setCustomColor(3, 0x112233);
        // At first the system colours; -1 for an index outside the 16.
        QCOMPARE(QList<qint64>({d.CustomColor(15), d.CustomColor(-1), d.CustomColor(16)}),
                 QList<qint64>({GetSysColor(15), -1, -1}));
        DialogAnswer answer = DialogAnswer::acceptColor(QColor(0x10, 0x20, 0x30));
        answer.customColors = {QColor(1, 2, 3)};
        QColor shown, custom;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            shown = dialog->property("currentColor").value<QColor>();
            custom = QColorDialog::customColor(3);
            return answer;
        });
        d.setColor(std::int32_t(0x80000005)); // a system colour, translated first
        d.ShowColor();
        const COLORREF sys = GetSysColor(5);
        QCOMPARE(shown, QColor(sys & 0xFF, sys >> 8 & 0xFF, sys >> 16 & 0xFF));
        QCOMPARE(custom, QColor(0x33, 0x22, 0x11));
        QCOMPARE(QList<int>({d.Color(), d.CustomColor(0), d.CustomColor(3)}),
                 QList<int>({0x302010, 0x030201, 0x112233}));
    }

    void fontAndPrinter() {
        const QFont chosen("DejaVu Sans", 14, QFont::Bold, true);
        const DialogAnswer font = DialogAnswer::acceptFont(chosen, QColor(0xFF, 0, 0));
        ScopedScript script(answers({font, DialogAnswer::acceptPages(2, 5, 3)}));
        cCommonDialog d;
        const auto object = std::make_shared<StdFont>();
        d.setFont(object);
        d.setFontColor(0x0000FF);
        d.ShowFont();
        QCOMPARE(d.Font().get(), object.get()); // the caller's object itself was updated
        // Screen fonts, initialised, effects.
        QCOMPARE(QList<qint64>({qRound(object->Size), d.FontBold(), d.FontItalic(), d.FontColor(),
                                d.flags() & 0x141}),
                 QList<qint64>({14, 1, 1, 0x0000FF, 0x141}));
        dialogs::PrinterObject printer;
        d.setObject(&printer);
        d.setflags(0x2);
        d.setFromPage(1);
        d.setToPage(9);
        d.ShowPrinter();
        QCOMPARE(QList<int>({d.FromPage(), d.ToPage(), d.Copies(), printer.Copies}),
                 QList<int>({2, 5, 3, 3}));
        // A cancelled print dialog raises nothing, even with CancelError, and keeps Copies.
        d.setCancelError(true);
        QCOMPARE(ErrorOf([&] { d.ShowPrinter(); }), QString());
        QCOMPARE(d.Copies(), 3);
    }

    // Units (0 mm, 1 inch), minimum left margin, accepted; margins left, right, top, bottom
    // and orientation after the dialog.
    void pageSetup() {
        const double in = 25.4;
        const std::tuple<int, double, bool, QList<double>, int> rows[] = {
            {0, 0, true, {10, 30, 20, 40}, 2},
            {1, 0, true, {10 / in, 30 / in, 20 / in, 40 / in}, 2},
            {0, 15, true, {15, 30, 20, 40}, 2},
            {0, 0, false, {5, 6, 7, 8}, 1}}; // cancel keeps the caller's values
        for (const auto& [unitsIn, minLeft, accept, margins, orientation] : rows) {
            DialogAnswer answer = DialogAnswer::accept();
            answer.marginsMm = QMarginsF(10, 20, 30, 40);
            answer.landscape = true;
            ScopedScript script(answers({accept ? answer : DialogAnswer::cancel()}));
            const int blocks = LiveBlockCount();
            GCommonDialog g;
            double m[4] = {5, 6, 7, 8};
            std::int32_t paper = 9, orient = 1, quality = 0, units = unitsIn, flags = 0;
            dialogs::PrinterObject printer;
            QCOMPARE(g.VBPageSetupDlg2(-1, false, false, false, false, m[0], m[1], m[2], m[3],
                                       minLeft, 0, 0, 0, paper, orient, quality, units, &printer,
                                       flags, false, nullptr),
                     accept);
            for (int i = 0; i < 4; ++i)
                QVERIFY2(std::abs(m[i] - margins[i]) < 0.011, qPrintable(QString::number(m[i])));
            QCOMPARE(QList<int>({orient, printer.Orientation, units}),
                     QList<int>({orientation, orientation, unitsIn}));
            QCOMPARE(LiveBlockCount(), blocks);
        }
    }

    void help() {
        ClearHelpCalls();
        SetHelpOpener([](const QString&) { return true; });
        const int blocks = LiveBlockCount();
        cCommonDialog d;
        d.setHelpFile(dir.filePath("missing.hlp"));
        d.setHelpCommand(0x201);
        QCOMPARE(ErrorOf([&] { d.ShowHelp(); }), "13705 wrappertest.cCommonDialog: Invalid WinHelp "
                                                 "Command Passed to ShowHelp function.");
        QCOMPARE(HelpCalls().size(), 0);
        d.setHelpCommand(0x1);
        QCOMPARE(ErrorOf([&] { d.ShowHelp(); }),
                 "2 wrappertest.cCommonDialog: The system cannot find the file specified.\r\n");
        d.setHelpFile(MakeFile("shown.hlp"));
        d.setHelpCommand(0x3);
        QCOMPARE(ErrorOf([&] { d.ShowHelp(); }), QString());
        int x = 10, y = 20, dx = 300, dy = 400, type = 1;
        d.SetHelpPosition(x, y, dx, dy, type);
        SetHelpOpener(nullptr);
        const auto calls = HelpCalls();
        QCOMPARE(calls.size(), 3); // the missing file was asked for too
        QCOMPARE(calls[1].file, d.HelpFile());
        const HELPWININFO w = calls[2].window;
        QCOMPARE(
            QList<int>({int(calls[1].command), int(calls[1].data), int(calls[2].command),
                        w.wStructSize, w.x, w.y, w.dx, w.dy, w.wMax, LiveBlockCount() - blocks}),
            QList<int>({0x3, 0, 0x203, 26, 10, 20, 300, 400, 1, 0}));
    }

    // Centred over the window named by the object's hWnd, else over the desktop work area.
    void centreAndSize() {
        QWidget target;
        target.setGeometry(100, 100, 400, 300);
        QWidget dialog;
        dialog.setGeometry(0, 0, 100, 50);
        const auto h = std::int32_t(HandleFromWidget(&dialog));
        QObject withWindow;
        withWindow.setProperty("hWnd", HandleFromWidget(&target));
        RECT area;
        GetWindowRect(HandleFromWidget(&target), &area);
        cCommonDialog d;
        for (const QObject* over : {&withWindow, new QObject(&withWindow)}) {
            d.CentreDialog(h, over);
            int l, t, w, hgt;
            d.GetDialogSize(h, l, t, w, hgt);
            QCOMPARE(QRect(l, t, w, hgt),
                     QRect(area.left + (area.right - area.left - w) / 2,
                           area.top + (area.bottom - area.top - hgt) / 2,
                           dialog.frameGeometry().width(), dialog.frameGeometry().height()));
            QVERIFY(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
        }
    }

    // Modules for templates: loaded, freed once; an unknown one gives no module.
    void modules() {
        cCommonDialog d;
        d.cdLoadLibrary("libm.so.6");
        const std::int32_t loaded = d.hInstance();
        d.cdFreeLibrary();
        d.cdLoadLibrary("no-such-module-here.so");
        QVERIFY(loaded > 0 && FreeLibrary(HMODULE(loaded)) == 0 && d.hInstance() == 0);
    }

    // A colon separates too. The n-th pair; the closing zeros read as one more, empty entry.
    void filters() {
        const QByteArray two = ConvertFilter("Text|*.txt|All: *.*");
        const QList<QByteArray> pairs{{}, ZB("Text~*.txt"), ZB("All~ *.*"), ZB("~"), {}};
        for (int n = -1; n <= 4; ++n)
            QCOMPARE(FilterLookup(two, n), pairs.value(n));
        QCOMPARE(QList<QByteArray>({ConvertFilter(""), FilterLookup("Text", 1),
                                    FilterLookup(ZB("Text~*.txt"), 1)}),
                 QList<QByteArray>({ZB("~~"), {}, ZB("Text~*.txt")}));
        // A file's title is what follows its last separator; a folder or nothing has none.
        GCommonDialog g;
        QCOMPARE(QStringList({g.VBGetFileTitle("/tmp/a/name.txt"), g.VBGetFileTitle("C:\\d\\f.txt"),
                              g.VBGetFileTitle("dir/"), g.VBGetFileTitle("")}),
                 QStringList({"name.txt", "f.txt", "", ""}));
    }

    void parseMultiFileName() {
        const QString fill(8192 - 21, QChar(0));
        const std::tuple<QString, QString, QStringList> rows[] = {
            {Z("/home/u~a.txt~b.txt~~") + fill, "/home/u", {"old", "a.txt", "b.txt"}},
            {Z("/u/a.txt~~"), "", {"old", "/u/a.txt"}}, // one name in multi-select form
            {"C:\\d\\f.txt", "C:\\d", {"f.txt"}},
            {"/tmp/f.txt", "/tmp", {"f.txt"}},
            {"f.txt", "", {"f.txt"}},
            {"\\f.txt", "", {"\\f.txt"}}};
        // Names in multi-select form are added to the caller's list and count; one path replaces
        // them.
        for (const auto& [filename, dir, files] : rows) {
            QString sDir;
            QStringList sFiles{"old"};
            int count = 1;
            SplitMultiFileName(filename, sDir, sFiles, count);
            QCOMPARE(QStringList({sDir, QString::number(count)}) + sFiles,
                     QStringList({dir, QString::number(files.size())}) + files);
        }
    }

    // Record flags from the wrapper's switches (all on, all off): a template only with a module,
    // the printer's DC for printer fonts, never a caller's own hook or template bit.
    void recordFlags() {
        std::int32_t dc[] = {-1, -1, 9, -1};
        QCOMPARE(
            QList<quint32>(
                {OpenRecordFlags(true, true, true, true, true, 0x40, 7),
                 OpenRecordFlags(false, false, false, false, false, 0x40, 0),
                 ColorRecordFlags(false, false, false, false),
                 ColorRecordFlags(true, true, true, true), FontRecordFlags(0x2, dc[0], 77, 0, 0, 0),
                 FontRecordFlags(0, dc[1], 77, 0xFF, 0, 72), FontRecordFlags(0, dc[2], 77, 0, 0, 0),
                 FontRecordFlags(0x218, dc[3], 77, 0, 0, 0),
                 PrintRecordFlags(0xF040, 1, 1, 1, 1, 1, 1, 1, 1),
                 PrintRecordFlags(0, 2, 0, 0, 0, 0, 0, 0, 0)}),
            QList<quint32>({0x81265, 0, 0x81, 0x117, 0x42, 0x2141, 0x42, 0x41, 0xC01FE, 0x140101}));
        QCOMPARE(QList<int>(std::begin(dc), std::end(dc)), QList<int>({77, 0, 9, 0}));
    }

    // One lock at a time (Pointer locks), a new block frees the old one; a released block is
    // left to whoever took its handle, unlocked and intact.
    void memoryLifeCycles() {
        const int before = LiveBlockCount();
        std::uint32_t taken = 0;
        {
            cMemory m;
            const auto locks = [&] { return int(GlobalFlags(m.handle()) & 0xFF); };
            QCOMPARE(QList<qint64>({m.Pointer(), m.Size(), m.LockMemory()}), QList<qint64>(3, 0));
            QVERIFY(m.AllocateMemory(64, 0));
            const std::uint32_t p = m.Pointer();
            QCOMPARE(QList<qint64>({p != 0, m.LockMemory(), m.Pointer() == p, locks(), m.Size()}),
                     QList<qint64>({1, 0, 1, 1, 64}));
            m.UnlockMemory();
            QCOMPARE(QList<qint64>({locks(), m.LockMemory(), locks()}), QList<qint64>({0, 1, 1}));
            QCOMPARE(QList<qint64>({m.AllocateMemory(~0u, 0), m.Pointer(), m.Size(),
                                    LiveBlockCount() - before, m.AllocateMemory(26, GHND),
                                    m.LockMemory()}),
                     QList<qint64>({0, 0, 0, 0, 1, 1}));
            m.setHandle(GlobalAlloc(0, 8));
            QCOMPARE(
                QList<qint64>({m.Size(), m.Pointer() != 0, locks(), LiveBlockCount() - before}),
                QList<qint64>({8, 1, 1, 1}));
            QVERIFY(m.AllocateMemory(4, GMEM_ZEROINIT));
            QVERIFY(ReadUInt32(m.Pointer()) == 0 && WriteUInt32(m.Pointer(), 0xA1B2C3D4u));
            taken = m.handle();
            m.ReleaseDontFreeMemory();
            QCOMPARE(m.Pointer(), 0u);
        }
        QCOMPARE(QList<qint64>({LiveBlockCount() - before, GlobalFlags(taken),
                                ReadUInt32(GlobalLock(taken)), GlobalFree(taken)}),
                 QList<qint64>({1, 0, 0xA1B2C3D4u, 0}));
    }
};

QTEST_MAIN(WrapperTests)
#include "wrapper_tests.moc"
