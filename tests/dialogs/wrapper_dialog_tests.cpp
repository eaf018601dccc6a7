// cCommonDialog and GCommonDialog answered through the platform's dialog script: results,
// cancels, errors, hook events and the custom colour table.
#include "ccommondialog.h"
#include "dialog_error.h"
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

// Runs show and returns the number of the DialogError it raised (0: none) with its source and
// description as "source: description".
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

// Records the wrapper's events as short texts; ConfirmOK is refused while refusals last.
class EventLog : public QObject {
public:
    explicit EventLog(cCommonDialog& d) {
        connect(&d, &cCommonDialog::InitDialog, this, [this](int) { events << "InitDialog"; });
        connect(&d, &cCommonDialog::FileChange, this, [this](int) { events << "FileChange"; });
        connect(&d, &cCommonDialog::FolderChange, this, [this](int) { events << "FolderChange"; });
        connect(&d, &cCommonDialog::TypeChange, this, [this](int) { events << "TypeChange"; });
        connect(&d, &cCommonDialog::DialogClose, this, [this] { events << "DialogClose"; });
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

QString Z(const char* text) {
    return QString::fromLatin1(text).replace('~', QChar(0));
}

} // namespace

class WrapperDialogTests : public QObject {
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

    // Flags, filter index and names in; the properties after ShowOpen or ShowSave.
    void fileDialogs() {
        const QString fresh = dir.filePath("new.log");
        const struct {
            bool save;
            int flagsIn, indexIn;
            QStringList files; // empty: cancel
            int chosenFilter;
            QString filename, title;
            int indexOut;
            QString filterOut;
            int flagsOut;
        } rows[] = {
            {false, 0x1000, 1, {b}, 2, b, "b.log", 2, Z("Logs~*.log"), 0x1000},
            {false, 0, 0, {a}, 0, a, "a.txt", 1, Z("Texts~*.txt"), 0},
            {false, 0x40, 1, {a}, 0, a, "a.txt", 1, Z("Texts~*.txt"), 0}, // template, no module
            {false, 0x1000, 2, {}, 0, "", "", -1, "", 0},
            {false, 0, 1, {longName}, 0, "", "", -1, "", 0}, // past 260 bytes: as a cancel
            {true, 0x2, 2, {fresh}, 0, fresh, "new.log", 2, Z("Logs~*.log"), 0x6},
            {true, 0x2, 2, {}, 0, "", "", 0, "", 0},
        };
        for (const auto& r : rows) {
            ScopedScript script(
                answers({r.files.isEmpty() ? DialogAnswer::cancel()
                                           : DialogAnswer::acceptFiles(r.files, r.chosenFilter)}));
            cCommonDialog d;
            d.setFilter("Texts|*.txt|Logs|*.log");
            d.setFilterIndex(r.indexIn);
            d.setflags(r.flagsIn);
            d.setFilename("old");
            d.setFileTitle("old");
            d.setInitDir(dir.path());
            QCOMPARE(ErrorOf([&] { r.save ? d.ShowSave() : d.ShowOpen(); }), 0);
            QCOMPARE(script.kinds, QList{r.save ? DialogKind::Save : DialogKind::Open});
            QCOMPARE(d.Filename(), r.filename);
            QCOMPARE(d.FileTitle(), r.title);
            QCOMPARE(d.FilterIndex(), r.indexOut);
            QCOMPARE(d.Filter(), r.filterOut);
            QCOMPARE(d.flags(), r.flagsOut);
        }
    }

    void multiSelect() {
        ScopedScript script(
            answers({DialogAnswer::acceptFiles({a, b}), DialogAnswer::acceptFiles({longName})}));
        cCommonDialog d;
        d.setflags(0x200);
        d.ShowOpen();
        QCOMPARE(d.Filename().size(), 8192);
        QCOMPARE(d.flags() & 0x80200, 0x80200);
        QString sDir;
        QStringList sFiles;
        int count = 0;
        d.ParseMultiFileName(sDir, sFiles, count);
        QCOMPARE(sDir, QDir(dir.path()).absolutePath());
        QCOMPARE(sFiles, (QStringList{"a.txt", "b.log"}));
        // The long name that fails a 260-byte buffer fits the multi-selection one.
        d.ShowOpen();
        QString dir2;
        sFiles.clear();
        count = 0;
        d.ParseMultiFileName(dir2, sFiles, count);
        QCOMPARE(sFiles, QStringList{longName});
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
                if (raise)
                    QCOMPARE(text, "wrappertest.cCommonDialog: User selected cancel.");
            }
            QCOMPARE(script.calls(), 4);
            QCOMPARE(d.Color(), 0x123456);
            QCOMPARE(d.FontName(), QString("Mono"));
        }
    }

    // Each message sent to a hook entry point while the dialog is open: the event it raises,
    // the value returned and the dialog's message result (-1: not written).
    void hookDispatch() {
        const struct {
            unsigned msg;
            int code;
            bool refuse;
            const char* event;
            unsigned returned;
            int msgResult;
        } rows[] = {
            {0x110, 0, false, "InitDialog", 0, -1},     {0x2, 0, false, "DialogClose", 0, -1},
            {0x111, 0, false, "WMCommand 7", 0, -1},    {0x4E, -607, false, "TypeChange", 0, -1},
            {0x4E, -606, false, "ConfirmOK", 0, 0},     {0x4E, -606, true, "ConfirmOK", 1, 1},
            {0x4E, -603, false, "FolderChange", 0, -1}, {0x4E, -602, false, "FileChange", 0, -1},
            {0x4E, -601, false, nullptr, 0, -1},        {0x200, 0, false, nullptr, 0, -1}};
        for (const auto& r : rows) {
            cCommonDialog d;
            EventLog log(d);
            log.refusals = r.refuse ? 1 : 0;
            d.setHookDialog(true);
            platform::UINT result = 99;
            QStringList raised;
            int written = -2;
            ScopedScript script([&](DialogKind, QWidget* dialog) {
                const platform::HWND h = platform::HandleFromWidget(dialog);
                platform::SetWindowLongA(h, platform::DWL_MSGRESULT, -1);
                const platform::NMHDR header{h, 0, platform::UINT(r.code)};
                platform::LockedBlock block(sizeof(header));
                platform::WriteMemory(block.address(), &header, sizeof(header));
                log.events.clear();
                result = mDialogHook::ColorHook(h, r.msg, 7, platform::LPARAM(block.address()));
                raised = log.events;
                written = platform::GetWindowLongA(h, platform::DWL_MSGRESULT);
                return DialogAnswer::cancel();
            });
            d.ShowColor();
            QCOMPARE(raised, r.event ? QStringList{r.event} : QStringList());
            QCOMPARE(result, r.returned);
            QCOMPARE(written, r.msgResult);
            // With nothing registered the entry points answer 0 and raise nothing.
            QCOMPARE(mDialogHook::FontHook(1, r.msg, 7, 0), 0u);
            QVERIFY(mDialogHook::Registered() == nullptr);
        }
    }

    void confirmRefusal() {
        ScopedScript script(
            answers({DialogAnswer::acceptFiles({a}), DialogAnswer::acceptFiles({b})}));
        cCommonDialog d;
        EventLog log(d);
        log.refusals = 1;
        d.setHookDialog(true);
        d.ShowOpen();
        QCOMPARE(script.calls(), 2); // refused once: the dialog stayed open and was asked again
        QCOMPARE(log.events.count("ConfirmOK"), 2);
        QCOMPARE(d.Filename(), b);
        // Refused until the dialog is cancelled: the cancel error, and the dialog closed.
        ScopedScript again(answers({DialogAnswer::acceptFiles({a})}));
        log.refusals = 5;
        d.setCancelError(true);
        QCOMPARE(ErrorOf([&] { d.ShowOpen(); }), 20001);
        QCOMPARE(log.events.last(), QString("DialogClose"));
        // Without the hook no events at all.
        ScopedScript plain(answers({DialogAnswer::acceptFiles({a})}));
        log.events.clear();
        d.setHookDialog(false);
        d.ShowOpen();
        QCOMPARE(d.Filename(), a);
        QCOMPARE(log.events, QStringList());
    }

    void colours() {
        cCommonDialog d;
        for (short k = 0; k < 16; ++k)
            QCOMPARE(d.CustomColor(k), std::int32_t(platform::GetSysColor(k)));
        QCOMPARE(d.CustomColor(16), -1);
        QCOMPARE(d.CustomColor(-1), -1);
        d.setCustomColor(16, 0x112233);
        QCOMPARE(d.CustomColor(16), -1);
        d.setCustomColor(3, 0x112233);
        QCOMPARE(d.CustomColor(3), 0x112233);
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
        QCOMPARE(d.Color(), 0x302010);
        QCOMPARE(d.CustomColor(0), 0x030201);
        QCOMPARE(d.CustomColor(3), 0x112233);
    }

    void fontDialog() {
        QFont chosen("DejaVu Sans");
        chosen.setPointSize(14);
        chosen.setBold(true);
        chosen.setItalic(true);
        ScopedScript script(answers({DialogAnswer::acceptFont(chosen, QColor(0xFF, 0, 0))}));
        cCommonDialog d;
        const auto font = std::make_shared<StdFont>();
        d.setFont(font);
        d.setFontColor(0x0000FF);
        d.ShowFont();
        QCOMPARE(d.Font().get(), font.get()); // the caller's object itself was updated
        QCOMPARE(font->Size, 14.0);
        QVERIFY(d.FontBold() && d.FontItalic());
        QCOMPARE(d.FontSize(), 14);
        QCOMPARE(d.FontColor(), 0x0000FF);
        QCOMPARE(d.flags() & 0x141, 0x141); // screen fonts, initialised, effects
    }

    void printDialog() {
        ScopedScript script(answers({DialogAnswer::acceptPages(2, 5, 3)}));
        cCommonDialog d;
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

    void pageSetup() {
        // Units (0 mm, 1 inch), minimum left margin, accepted; margins left, right, top,
        // bottom and orientation after the dialog.
        const struct {
            int units;
            double minLeft;
            bool accept;
            QList<double> margins;
            int orientation;
        } rows[] = {{0, 0, true, {10, 30, 20, 40}, 2},
                    {1, 0, true, {10 / 25.4, 30 / 25.4, 20 / 25.4, 40 / 25.4}, 2},
                    {0, 15, true, {15, 30, 20, 40}, 2},
                    {0, 0, false, {5, 6, 7, 8}, 1}}; // cancel keeps the caller's values
        for (const auto& r : rows) {
            DialogAnswer answer = DialogAnswer::accept();
            answer.marginsMm = QMarginsF(10, 20, 30, 40);
            answer.landscape = true;
            ScopedScript script(answers({r.accept ? answer : DialogAnswer::cancel()}));
            const int blocks = platform::LiveBlockCount();
            GCommonDialog g;
            double m[4] = {5, 6, 7, 8};
            std::int32_t paper = 9, orient = 1, quality = 0, units = r.units, flags = 0;
            PrinterObject printer;
            QCOMPARE(g.VBPageSetupDlg2(-1, false, false, false, false, m[0], m[1], m[2], m[3],
                                       r.minLeft, 0, 0, 0, paper, orient, quality, units, &printer,
                                       flags, false, nullptr),
                     r.accept);
            for (int i = 0; i < 4; ++i)
                QVERIFY2(std::abs(m[i] - r.margins[i]) < 0.011, qPrintable(QString::number(m[i])));
            QCOMPARE(orient, r.orientation);
            QCOMPARE(printer.Orientation, r.orientation);
            QCOMPARE(units, r.units);
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
        QVERIFY(text.startsWith("wrappertest.cCommonDialog: The system cannot find"));
        d.setHelpFile(MakeFile("shown.hlp"));
        d.setHelpCommand(0x3);
        d.setHelpKey("not passed");
        QCOMPARE(ErrorOf([&] { d.ShowHelp(); }), 0);
        int x = 10, y = 20, dx = 300, dy = 400, type = 1;
        d.SetHelpPosition(x, y, dx, dy, type);
        platform::SetHelpOpener(nullptr);
        const auto calls = platform::HelpCalls();
        QCOMPARE(calls.size(), 3); // the missing file was asked for too
        QCOMPARE(calls[1].file, d.HelpFile());
        QCOMPARE(QList<unsigned>({calls[1].command, calls[1].data}), QList<unsigned>({0x3, 0}));
        QCOMPARE(calls[2].command, 0x203u);
        const platform::HELPWININFO& w = calls[2].window;
        QCOMPARE(QList<int>({w.wStructSize, w.x, w.y, w.dx, w.dy, w.wMax}),
                 QList<int>({26, 10, 20, 300, 400, 1}));
        QCOMPARE(platform::LiveBlockCount(), blocks);
    }

    void libraryHandle() {
        cCommonDialog d;
        d.cdLoadLibrary("libm.so.6");
        const std::int32_t loaded = d.hInstance();
        QVERIFY(loaded > 0);
        d.cdFreeLibrary();
        QCOMPARE(platform::FreeLibrary(platform::HMODULE(loaded)), 0); // already freed
        d.cdLoadLibrary("no-such-module-here.so");
        QCOMPARE(d.hInstance(), 0);
    }

    void centreAndSize() {
        QWidget target;
        target.setGeometry(100, 100, 400, 300);
        QWidget dialog;
        dialog.setGeometry(0, 0, 100, 50);
        const auto h = std::int32_t(platform::HandleFromWidget(&dialog));
        QObject withWindow;
        withWindow.setProperty("hWnd", platform::HandleFromWidget(&target));
        QObject noWindow;
        platform::RECT area, r;
        platform::GetWindowRect(platform::HandleFromWidget(&target), &area);
        platform::GetWindowRect(platform::HWND(h), &r);
        cCommonDialog d;
        for (const QObject* over : {&withWindow, &noWindow}) {
            d.CentreDialog(h, over);
            int l, t, w, hgt;
            d.GetDialogSize(h, l, t, w, hgt);
            QCOMPARE(QSize(w, hgt), QSize(r.right - r.left, r.bottom - r.top));
            QCOMPARE(QPoint(l, t), QPoint(area.left + (area.right - area.left - w) / 2,
                                          area.top + (area.bottom - area.top - hgt) / 2));
            // Without a window to centre on: the desktop work area.
            QVERIFY(platform::SystemParametersInfoA(platform::SPI_GETWORKAREA, 0, &area, 0));
        }
    }

    void fileTitleAndOwner() {
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
        QCOMPARE(color, -1);
        QCOMPARE(g.APIReturn(), 0);
        QCOMPARE(g.ExtendedError(), 0);
    }
};

QTEST_MAIN(WrapperDialogTests)
#include "wrapper_dialog_tests.moc"
