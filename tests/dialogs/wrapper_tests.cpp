// The wrapper: cCommonDialog and GCommonDialog answered through the platform's dialog script
// (results, flags, cancels, errors, hook events, custom colours), the text and flag helpers and
// cMemory's life cycles. In the helper tables "~" stands for a zero byte.
#include "ccommondialog.h"
#include "cmemory.h"
#include "dialog_error.h"
#include "dialog_text.h"
#include "gcommondialog.h"

#include "dialog_test_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <functional>

using namespace dialogs;
using dialog_test::answers;
using dialog_test::ScopedScript;
using platform::DialogAnswer;
using platform::DialogKind;

namespace {

// Runs show and returns the number of the DialogError it raised (0: none); text gets
// "source: description".
int ErrorOf(const std::function<void()>& show, QString* text = nullptr) {
    try {
        show();
    } catch (const DialogError& e) {
        if (text)
            *text = e.Source() + ": " + e.Description();
        return e.Number();
    }
    return 0;
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

QByteArray ZB(const char* text) {
    return QByteArray(text).replace('~', '\0');
}

QString Z(const char* text) {
    return QString::fromLatin1(ZB(text));
}

// cMemory: runs the steps on m and returns what each answered, blank-separated: alloc (64 bytes),
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

    QTemporaryDir dir;
    QString a, b, longName;

    QString MakeFile(const QString& name) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        return QFileInfo(f).absoluteFilePath();
    }

private slots:
    void initTestCase() {
        QCoreApplication::setApplicationName("wrappertest");
        a = MakeFile("a.txt");
        b = MakeFile("b.log");
        longName = MakeFile(QString(250, 'n') + ".txt"); // the path passes 260 bytes
    }

    // Flags, filter index and the chosen files in; name, title, index, filter, flags out.
    void fileDialogs() {
        const QString fresh = dir.filePath("new.log");
        // Save, flags, filter index, files (none: cancel), chosen filter, outcome.
        const std::tuple<bool, int, int, QStringList, int, QStringList> rows[] = {
            {false, 0x1000, 1, {b}, 2, {b, "b.log", "2", Z("Logs~*.log"), "4096"}},
            {false, 0, 0, {a}, 0, {a, "a.txt", "1", Z("Texts~*.txt"), "0"}},
            {false, 0x40, 1, {a}, 0, {a, "a.txt", "1", Z("Texts~*.txt"), "0"}}, // no module
            {false, 0x1000, 2, {}, 0, {"", "", "-1", "", "0"}},
            {false, 0, 1, {longName}, 0, {"", "", "-1", "", "0"}}, // past 260 bytes
            {true, 0x2, 2, {fresh}, 0, {fresh, "new.log", "2", Z("Logs~*.log"), "6"}},
            {true, 0x2, 2, {}, 0, {"", "", "0", "", "0"}},
        };
        for (const auto& [save, flagsIn, indexIn, files, chosenFilter, out] : rows) {
            const DialogAnswer answer = DialogAnswer::acceptFiles(files, chosenFilter);
            ScopedScript script(answers({files.isEmpty() ? DialogAnswer::cancel() : answer}));
            cCommonDialog d;
            d.setFilter("Texts|*.txt|Logs|*.log");
            d.setFilterIndex(indexIn);
            d.setflags(flagsIn);
            d.setFilename("old");
            d.setFileTitle("old");
            QCOMPARE(ErrorOf([&] { save ? d.ShowSave() : d.ShowOpen(); }), 0);
            QCOMPARE(script.kinds, QList{save ? DialogKind::Save : DialogKind::Open});
            QCOMPARE((QStringList{d.Filename(), d.FileTitle(), QString::number(d.FilterIndex()),
                                  d.Filter(), QString::number(d.flags())}),
                     out);
        }
    }

    void multiSelect() {
        for (const QStringList& files : {QStringList{a, b}, QStringList{longName}}) {
            ScopedScript script(answers({DialogAnswer::acceptFiles(files)}));
            cCommonDialog d;
            d.setflags(0x200);
            d.ShowOpen();
            QCOMPARE(d.Filename().size(), 8192);
            QCOMPARE(d.flags(), 0x80200);
            QString sDir;
            QStringList sFiles;
            int count = 0;
            d.ParseMultiFileName(sDir, sFiles, count);
            // Several: the folder and names. One (the long name fits this buffer): its path.
            QCOMPARE(sDir, files.size() > 1 ? QDir(dir.path()).absolutePath() : QString());
            QCOMPARE(sFiles, (files.size() > 1 ? QStringList{"a.txt", "b.log"} : files));
        }
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
                QString text;
                QCOMPARE(ErrorOf(show, &text), raise ? 20001 : 0);
                QCOMPARE(text, raise ? "wrappertest.cCommonDialog: User selected cancel." : "");
            }
            QCOMPARE(script.calls(), 4);
            QCOMPARE(d.Color(), 0x123456);
            QCOMPARE(d.FontName(), QString("Mono"));
        }
    }

    // Each message sent to a hook entry point while the dialog is open, with ConfirmOK refused
    // or not: the events raised, the value returned and the dialog's message result (-1: kept).
    void hookDispatch() {
        const std::tuple<unsigned, int, bool, const char*> rows[] = {
            {0x110, 0, false, "InitDialog 0 -1"},
            {0x2, 0, false, "DialogClose 0 -1"},
            {0x111, 0, false, "WMCommand 7 0 -1"},
            {0x4E, -607, false, "TypeChange 0 -1"},
            {0x4E, -606, false, "ConfirmOK 0 0"},
            {0x4E, -606, true, "ConfirmOK 1 1"},
            {0x4E, -603, false, "FolderChange 0 -1"},
            {0x4E, -602, false, "FileChange 0 -1"},
            {0x4E, -601, false, " 0 -1"},
            {0x200, 0, false, " 0 -1"}};
        for (const auto& [msg, code, refuse, expected] : rows) {
            cCommonDialog d;
            EventLog log(d);
            log.refusals = refuse ? 1 : 0;
            d.setHookDialog(true);
            QString outcome;
            ScopedScript script([&](DialogKind, QWidget* dialog) {
                const platform::HWND h = platform::HandleFromWidget(dialog);
                platform::SetWindowLongA(h, platform::DWL_MSGRESULT, -1);
                const platform::NMHDR header{h, 0, platform::UINT(code)};
                platform::LockedBlock block(sizeof(header));
                platform::WriteMemory(block.address(), &header, sizeof(header));
                log.events.clear();
                const unsigned result =
                    mDialogHook::ColorHook(h, msg, 7, platform::LPARAM(block.address()));
                outcome = QString("%1 %2 %3")
                              .arg(log.events.join(','))
                              .arg(result)
                              .arg(platform::GetWindowLongA(h, platform::DWL_MSGRESULT));
                return DialogAnswer::cancel();
            });
            d.ShowColor();
            QCOMPARE(outcome, QString(expected));
            // With nothing registered the entry points answer 0 and raise nothing.
            QVERIFY(mDialogHook::Registered() == nullptr);
            QCOMPARE(mDialogHook::FontHook(1, msg, 7, 0), 0u);
        }
    }

    void confirmRefusal() {
        const DialogAnswer pickA = DialogAnswer::acceptFiles({a});
        ScopedScript script(answers({pickA, DialogAnswer::acceptFiles({b})}));
        cCommonDialog d;
        EventLog log(d);
        log.refusals = 1;
        d.setHookDialog(true);
        d.ShowOpen();
        QCOMPARE(script.calls(), 2); // refused once: the dialog stayed open and was asked again
        QCOMPARE(log.events.count("ConfirmOK"), 2);
        QCOMPARE(d.Filename(), b);
        // Refused until the dialog is cancelled: the cancel error, and the dialog closed.
        ScopedScript again(answers({pickA}));
        log.refusals = 5;
        d.setCancelError(true);
        QCOMPARE(ErrorOf([&] { d.ShowOpen(); }), 20001);
        QCOMPARE(log.events.last(), QString("DialogClose"));
        // Without the hook no events at all.
        ScopedScript plain(answers({pickA}));
        log.events.clear();
        d.setHookDialog(false);
        d.ShowOpen();
        QCOMPARE(d.Filename(), a);
        QCOMPARE(log.events, QStringList());
    }

    void colours() {
        cCommonDialog d;
        QCOMPARE(d.CustomColor(15), std::int32_t(platform::GetSysColor(15))); // at first
        d.setCustomColor(16, 0x112233);
        d.setCustomColor(3, 0x112233);
        QCOMPARE(QList<int>({d.CustomColor(-1), d.CustomColor(16), d.CustomColor(3)}),
                 QList<int>({-1, -1, 0x112233}));
        DialogAnswer answer = DialogAnswer::acceptColor(QColor(0x10, 0x20, 0x30));
        answer.customColors = {QColor(1, 2, 3)};
        QColor shown;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            shown = dialog->property("currentColor").value<QColor>();
            return answer;
        });
        d.setColor(std::int32_t(0x80000005)); // a system colour, translated first
        d.ShowColor();
        const platform::COLORREF sys = platform::GetSysColor(5);
        QCOMPARE(shown, QColor(sys & 0xFF, sys >> 8 & 0xFF, sys >> 16 & 0xFF));
        QCOMPARE(QList<int>({d.Color(), d.CustomColor(0), d.CustomColor(3)}),
                 QList<int>({0x302010, 0x030201, 0x112233}));
    }

    void fontAndPrinter() {
        QFont chosen("DejaVu Sans");
        chosen.setPointSize(14);
        chosen.setBold(true);
        chosen.setItalic(true);
        const DialogAnswer font = DialogAnswer::acceptFont(chosen, QColor(0xFF, 0, 0));
        ScopedScript script(answers({font, DialogAnswer::acceptPages(2, 5, 3)}));
        cCommonDialog d;
        const auto object = std::make_shared<StdFont>();
        d.setFont(object);
        d.setFontColor(0x0000FF);
        d.ShowFont();
        QCOMPARE(d.Font().get(), object.get()); // the caller's object itself was updated
        QCOMPARE(object->Size, 14.0);
        QVERIFY(d.FontBold() && d.FontItalic());
        QCOMPARE(d.FontColor(), 0x0000FF);
        QCOMPARE(d.flags() & 0x141, 0x141); // screen fonts, initialised, effects
        PrinterObject printer;
        d.setObject(&printer);
        d.setflags(0x2);
        d.setFromPage(1);
        d.setToPage(9);
        d.ShowPrinter();
        QCOMPARE(QList<int>({d.FromPage(), d.ToPage(), d.Copies(), printer.Copies}),
                 QList<int>({2, 5, 3, 3}));
        // A cancelled print dialog raises nothing, even with CancelError, and keeps Copies.
        d.setCancelError(true);
        QCOMPARE(ErrorOf([&] { d.ShowPrinter(); }), 0);
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
            const int blocks = platform::LiveBlockCount();
            GCommonDialog g;
            double m[4] = {5, 6, 7, 8};
            std::int32_t paper = 9, orient = 1, quality = 0, units = unitsIn, flags = 0;
            PrinterObject printer;
            QCOMPARE(g.VBPageSetupDlg2(-1, false, false, false, false, m[0], m[1], m[2], m[3],
                                       minLeft, 0, 0, 0, paper, orient, quality, units, &printer,
                                       flags, false, nullptr),
                     accept);
            for (int i = 0; i < 4; ++i)
                QVERIFY2(std::abs(m[i] - margins[i]) < 0.011, qPrintable(QString::number(m[i])));
            QCOMPARE(QList<int>({orient, printer.Orientation, units}),
                     QList<int>({orientation, orientation, unitsIn}));
            QCOMPARE(platform::LiveBlockCount(), blocks);
        }
    }

    void help() {
        platform::ClearHelpCalls();
        platform::SetHelpOpener([](const QString&) { return true; });
        const int blocks = platform::LiveBlockCount();
        cCommonDialog d;
        d.setHelpFile(dir.filePath("missing.hlp"));
        d.setHelpCommand(0x201);
        QString text;
        QCOMPARE(ErrorOf([&] { d.ShowHelp(); }, &text), 13705);
        QCOMPARE(platform::HelpCalls().size(), 0);
        QCOMPARE(text, "wrappertest.cCommonDialog: Invalid WinHelp Command Passed to ShowHelp "
                       "function.");
        d.setHelpCommand(0x1);
        QCOMPARE(ErrorOf([&] { d.ShowHelp(); }, &text), int(platform::ERROR_FILE_NOT_FOUND));
        QCOMPARE(text, "wrappertest.cCommonDialog: The system cannot find the file specified.\r\n");
        d.setHelpFile(MakeFile("shown.hlp"));
        d.setHelpCommand(0x3);
        QCOMPARE(ErrorOf([&] { d.ShowHelp(); }), 0);
        int x = 10, y = 20, dx = 300, dy = 400, type = 1;
        d.SetHelpPosition(x, y, dx, dy, type);
        platform::SetHelpOpener(nullptr);
        const auto calls = platform::HelpCalls();
        QCOMPARE(calls.size(), 3); // the missing file was asked for too
        QCOMPARE(calls[1].file, d.HelpFile());
        QCOMPARE(QList<unsigned>({calls[1].command, calls[1].data, calls[2].command}),
                 QList<unsigned>({0x3, 0, 0x203}));
        const platform::HELPWININFO& w = calls[2].window;
        QCOMPARE(QList<int>({w.wStructSize, w.x, w.y, w.dx, w.dy, w.wMax}),
                 QList<int>({26, 10, 20, 300, 400, 1}));
        QCOMPARE(platform::LiveBlockCount(), blocks);
    }

    // Centred over the window named by the object's hWnd, else over the desktop work area.
    void centreAndSize() {
        QWidget target;
        target.setGeometry(100, 100, 400, 300);
        QWidget dialog;
        dialog.setGeometry(0, 0, 100, 50);
        const auto h = std::int32_t(platform::HandleFromWidget(&dialog));
        QObject withWindow;
        withWindow.setProperty("hWnd", platform::HandleFromWidget(&target));
        platform::RECT area;
        platform::GetWindowRect(platform::HandleFromWidget(&target), &area);
        cCommonDialog d;
        for (const QObject* over : {&withWindow, new QObject(&withWindow)}) {
            d.CentreDialog(h, over);
            int l, t, w, hgt;
            d.GetDialogSize(h, l, t, w, hgt);
            QCOMPARE(QRect(l, t, w, hgt),
                     QRect(area.left + (area.right - area.left - w) / 2,
                           area.top + (area.bottom - area.top - hgt) / 2,
                           dialog.frameGeometry().width(), dialog.frameGeometry().height()));
            QVERIFY(platform::SystemParametersInfoA(platform::SPI_GETWORKAREA, 0, &area, 0));
        }
    }

    void titleOwnerAndModules() {
        GCommonDialog g;
        QCOMPARE(g.VBGetFileTitle("/tmp/some/name.txt"), QString("name.txt"));
        QCOMPARE(g.VBGetFileTitle(""), QString());
        // An owner of -1 means none: the dialog opens without a parent.
        auto* parentSeen = reinterpret_cast<QWidget*>(1);
        ScopedScript script([&](DialogKind, QWidget* dlg) {
            parentSeen = dlg->parentWidget();
            return DialogAnswer::cancel();
        });
        std::int32_t color = 0;
        QVERIFY(!g.VBChooseColor(color, false, false, false, -1, 0, false, nullptr));
        QCOMPARE(parentSeen, nullptr);
        // Modules for templates: loaded, freed once.
        cCommonDialog d;
        d.cdLoadLibrary("libm.so.6");
        const std::int32_t loaded = d.hInstance();
        d.cdFreeLibrary();
        QVERIFY(loaded > 0 && platform::FreeLibrary(platform::HMODULE(loaded)) == 0);
        d.cdLoadLibrary("no-such-module-here.so");
        QCOMPARE(d.hInstance(), 0);
        QCOMPARE(QList<int>({color, g.APIReturn(), g.ExtendedError()}), QList<int>({-1, 0, 0}));
    }

    void filters() {
        QCOMPARE(ConvertFilter("Text|*.txt|All|*.*"), ZB("Text~*.txt~All~*.*~~"));
        QCOMPARE(ConvertFilter("Files: text|*.txt"), ZB("Files~ text~*.txt~~"));
        QCOMPARE(ConvertFilter(""), ZB("~~"));
        const QByteArray two = ZB("Text~*.txt~All~*.*~~");
        // The n-th pair; the closing pair of zeros reads as one more, empty entry.
        const QList<QByteArray> pairs{{}, ZB("Text~*.txt"), ZB("All~*.*"), ZB("~"), {}};
        for (int n = -1; n <= 4; ++n)
            QCOMPARE(FilterLookup(two, n), pairs.value(n));
        QCOMPARE(FilterLookup(QByteArray(), 1), QByteArray());
        QCOMPARE(FilterLookup("Text", 1), QByteArray());
        QCOMPARE(FilterLookup(ZB("Text~*.txt"), 1), ZB("Text~*.txt"));
        QCOMPARE(PadWithZeros("abc", 260), ZB("abc~") + QByteArray(256, '\0'));
        QCOMPARE(PadWithZeros(QByteArray(300, 'x'), 260), QByteArray(260, 'x'));
        QCOMPARE(CutAtZero(ZB("name.txt~rest")), QByteArray("name.txt"));
        QCOMPARE(CutAtZero("whole"), QByteArray("whole"));
    }

    void parseMultiFileName() {
        const QString fill(8192 - 21, QChar(0));
        const std::tuple<QString, QString, QStringList> rows[] = {
            {Z("/home/u~a.txt~b.txt~~") + fill, "/home/u", {"a.txt", "b.txt"}},
            {Z("/u/a.txt~~"), "", {"/u/a.txt"}}, // one name in multi-select form
            {"C:\\d\\f.txt", "C:\\d", {"f.txt"}},
            {"/tmp/f.txt", "/tmp", {"f.txt"}},
            {"f.txt", "", {"f.txt"}},
            {"\\f.txt", "", {"\\f.txt"}}};
        for (const auto& [filename, dir, files] : rows) {
            QString sDir;
            QStringList sFiles;
            int count = 0;
            SplitMultiFileName(filename, sDir, sFiles, count);
            QCOMPARE(sDir, dir);
            QCOMPARE(sFiles, files);
            QCOMPARE(count, files.size());
        }
        // The caller's folder and count are added to, not reset.
        QString sDir = "/given";
        QStringList sFiles{"old"};
        int count = 1;
        SplitMultiFileName(Z("/home/u~a.txt~~"), sDir, sFiles, count);
        QCOMPARE(sDir, QString("/given"));
        QCOMPARE(sFiles, (QStringList{"old", "/home/u", "a.txt"}));
        QCOMPARE(count, 3);
    }

    void recordFlags() {
        // Open: must exist, multi, read-only, hide, hook as bits 0-4 of the row's switches.
        const std::tuple<int, quint32, int, quint32> open[] = {
            {0, 0xFFFFFFBF, 5, 0}, {1, 0, 0, 0x1000},  {2, 0, 0, 0x80200}, {12, 0, 0, 0x5},
            {16, 0, 0, 0x80020},   {0, 0x40, 7, 0x40}, {0, 0x40, 0, 0}};
        for (const auto& [on, flagsArg, hInstance, expected] : open) {
            const auto bit = [&](int b) { return (on & (1 << b)) != 0; };
            QCOMPARE(OpenRecordFlags(bit(0), bit(1), bit(2), bit(3), bit(4), flagsArg, hInstance),
                     expected);
        }
        QCOMPARE(SaveRecordFlags(false, false, 0, 0), 0x4u);
        QCOMPARE(SaveRecordFlags(true, true, 0x40, 3), 0x80066u);
        QCOMPARE(ColorRecordFlags(false, false, false, false), 0x81u);
        QCOMPARE(ColorRecordFlags(true, true, true, true), 0x117u);
        // Font: flags, printer DC in, colour, max size; record flags and DC out.
        const std::tuple<quint32, int, int, int, quint32, int> font[] = {
            {0, -1, 0, 0, 0x41, 0},
            {0x2, -1, 0, 0, 0x42, 77},
            {0, 9, 0, 0, 0x42, 9},
            {0, -1, 0xFF, 72, 0x2141, 0},
            {0x218, -1, 0, 0, 0x41, 0}};
        for (const auto& [flags, dcIn, color, maxSize, expected, dcOut] : font) {
            std::int32_t dc = dcIn;
            QCOMPARE(FontRecordFlags(flags, dc, 77, color, 0, maxSize), expected);
            QCOMPARE(dc, dcOut);
        }
        // Print: flags, range; no pages, no selection, show file, no file, file, collate,
        // no warning as bits 0-6 of the switches.
        const std::tuple<quint32, int, int, quint32> print[] = {
            {0, 0, 4, 0x40100}, {0, 0, 0, 0x140100}, {0, 0, 127, 0xC01BC},
            {0, 1, 4, 0x40102}, {0, 2, 4, 0x40101},  {0xF040, 0, 4, 0x40140}};
        for (const auto& [flags, range, on, expected] : print) {
            const auto bit = [&](int b) { return (on & (1 << b)) != 0; };
            QCOMPARE(PrintRecordFlags(flags, range, bit(0), bit(1), bit(2), bit(3), bit(4), bit(5),
                                      bit(6)),
                     expected);
        }
    }

    // Steps, what they answered, the lock count of the block held at the end (-1: none) and
    // the blocks left behind once the object is gone.
    void memoryLifeCycles() {
        const std::tuple<const char*, const char*, int, int> rows[] = {
            {"pointer size unlock free lock", "P0 S0 U F L0", -1, 0}, // no block
            {"alloc lock lock pointer", "A1 L1 L0 P=", 1, 0},         // second lock refused
            {"alloc pointer lock pointer", "A1 P+ L0 P=", 1, 0},      // pointer locks
            {"alloc lock unlock lock", "A1 L1 U L1", 1, 0},
            {"alloc lock free pointer", "A1 L1 F P0", -1, 0},
            {"alloc alloc size", "A1 A1 S64", 0, 0}, // a second alloc frees the first block
            {"alloc allocHuge pointer size", "A1 A0 P0 S0", -1, 0},
            {"alloc26z size", "A1 S26", 0, 0}, // the help record
            {"alloc lock adopt size pointer", "A1 L1 H S8 P+", 1, 0},
            {"alloc lock release pointer", "A1 L1 R P0", -1, 1}};
        for (const auto& [steps, trace, locks, leftBehind] : rows) {
            const int before = platform::LiveBlockCount();
            {
                cMemory m;
                QCOMPARE(Run(m, QString(steps).split(' ')), QString(trace));
                QCOMPARE(m.handle() == 0 ? -1 : int(platform::GlobalFlags(m.handle()) & 0xFF),
                         locks);
            }
            QCOMPARE(platform::LiveBlockCount() - before, leftBehind);
        }
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

QTEST_MAIN(WrapperTests)
#include "wrapper_tests.moc"
