// cCommonDialog and GCommonDialog answered through the platform's dialog script: results,
// cancels, errors, hook events and the custom colour table.
#include "ccommondialog.h"
#include "dialog_error.h"
#include "gcommondialog.h"

#include "comdlg.h"
#include "global_memory.h"
#include "window.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <deque>
#include <functional>

using namespace dialogs;
using platform::DialogAnswer;
using platform::DialogKind;

namespace {

// Answers the dialogs in order and records which kinds were asked.
class Script {
public:
    explicit Script(std::deque<DialogAnswer> answers) : answers_(std::move(answers)) {
        platform::SetDialogScript([this](DialogKind kind, QWidget*) {
            asked.append(kind);
            if (answers_.empty())
                return DialogAnswer::cancel();
            DialogAnswer a = answers_.front();
            answers_.pop_front();
            return a;
        });
    }
    ~Script() { platform::SetDialogScript({}); }
    QList<DialogKind> asked;

private:
    std::deque<DialogAnswer> answers_;
};

// Runs show and returns the number of the DialogError it raised, 0 when none.
int ErrorNumberOf(const std::function<void()>& show, QString* source = nullptr,
                  QString* description = nullptr) {
    try {
        show();
    } catch (const DialogError& e) {
        if (source)
            *source = e.Source();
        if (description)
            *description = e.Description();
        return e.Number();
    }
    return 0;
}

// Records the wrapper's events as short texts.
class EventLog : public QObject {
public:
    explicit EventLog(cCommonDialog& d) {
        connect(&d, &cCommonDialog::InitDialog, this, [this](int h) { add("InitDialog", h); });
        connect(&d, &cCommonDialog::FileChange, this, [this](int h) { add("FileChange", h); });
        connect(&d, &cCommonDialog::FolderChange, this, [this](int h) { add("FolderChange", h); });
        connect(&d, &cCommonDialog::TypeChange, this, [this](int h) { add("TypeChange", h); });
        connect(&d, &cCommonDialog::DialogClose, this, [this] { events << "DialogClose"; });
        connect(&d, &cCommonDialog::WMCommand, this,
                [this](int h, int& w, int&) { add(QString("WMCommand %1").arg(w), h); });
        connect(&d, &cCommonDialog::ConfirmOK, this, [this](bool& bCancel) {
            events << "ConfirmOK";
            if (refusals > 0) {
                --refusals;
                bCancel = true;
            }
        });
    }
    void add(const QString& name, int hDlg) {
        events << name;
        windows.insert(hDlg);
        parents.insert(int(platform::GetParent(platform::HWND(hDlg))));
    }
    QStringList events;
    QSet<int> windows;
    QSet<int> parents; // of those windows while the dialog was open
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

    void showOpen_data() {
        QTest::addColumn<int>("flagsIn");
        QTest::addColumn<int>("indexIn");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("chosenFilter");
        QTest::addColumn<QString>("filename");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("indexOut");
        QTest::addColumn<QString>("filterOut");
        QTest::addColumn<int>("flagsOut");
        QTest::newRow("second pair chosen") << 0x1000 << 1 << QStringList{b} << 2 << "%b"
                                            << "b.log" << 2 << Z("Logs~*.log") << 0x1000;
        QTest::newRow("index 0 shows the first") << 0 << 0 << QStringList{a} << 0 << "%a"
                                                 << "a.txt" << 1 << Z("Texts~*.txt") << 0;
        QTest::newRow("template bit cleared without module")
            << 0x40 << 1 << QStringList{a} << 0 << "%a"
            << "a.txt" << 1 << Z("Texts~*.txt") << 0;
        QTest::newRow("cancel") << 0x1000 << 2 << QStringList{} << 0 << ""
                                << "" << -1 << "" << 0;
        QTest::newRow("name past 260 bytes fails as a cancel")
            << 0 << 1 << QStringList{"%long"} << 0 << ""
            << "" << -1 << "" << 0;
    }
    void showOpen() {
        QFETCH(int, flagsIn);
        QFETCH(int, indexIn);
        QFETCH(QStringList, files);
        QFETCH(int, chosenFilter);
        QFETCH(QString, filename);
        QFETCH(QString, title);
        QFETCH(int, indexOut);
        QFETCH(QString, filterOut);
        QFETCH(int, flagsOut);
        for (QString& f : files)
            f.replace("%long", longName);
        filename.replace("%a", a).replace("%b", b);
        Script script({files.isEmpty() ? DialogAnswer::cancel()
                                       : DialogAnswer::acceptFiles(files, chosenFilter)});
        cCommonDialog d;
        d.setFilter("Texts|*.txt|Logs|*.log");
        d.setFilterIndex(indexIn);
        d.setflags(flagsIn);
        d.setFilename("old");
        d.setFileTitle("old");
        d.setInitDir(dir.path());
        QCOMPARE(ErrorNumberOf([&] { d.ShowOpen(); }), 0);
        QCOMPARE(script.asked, QList<DialogKind>{DialogKind::Open});
        QCOMPARE(d.Filename(), filename);
        QCOMPARE(d.FileTitle(), title);
        QCOMPARE(d.FilterIndex(), indexOut);
        QCOMPARE(d.Filter(), filterOut);
        QCOMPARE(d.flags(), flagsOut);
    }

    void showSave_data() {
        QTest::addColumn<int>("indexIn");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("indexOut");
        QTest::addColumn<QString>("filterOut");
        QTest::newRow("saved") << 2 << true << 2 << Z("Logs~*.log");
        QTest::newRow("cancel") << 2 << false << 0 << "";
    }
    void showSave() {
        QFETCH(int, indexIn);
        QFETCH(bool, accept);
        QFETCH(int, indexOut);
        QFETCH(QString, filterOut);
        const QString target = dir.filePath("new.log");
        Script script({accept ? DialogAnswer::acceptFiles({target}) : DialogAnswer::cancel()});
        cCommonDialog d;
        d.setFilter("Texts|*.txt|Logs|*.log");
        d.setFilterIndex(indexIn);
        d.setflags(0x2);
        d.ShowSave();
        QCOMPARE(d.Filename(), accept ? target : QString());
        QCOMPARE(d.FileTitle(), accept ? QString("new.log") : QString());
        QCOMPARE(d.FilterIndex(), indexOut);
        QCOMPARE(d.Filter(), filterOut);
        // The record's flags come back: overwrite prompt and hidden read-only box.
        QCOMPARE(d.flags(), accept ? 0x6 : 0);
    }

    void multiSelect() {
        Script script({DialogAnswer::acceptFiles({a, b})});
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
        QCOMPARE(count, 2);
    }

    // The long name that fails a 260-byte buffer fits the multi-selection one.
    void multiSelectBufferTakesLongNames() {
        Script script({DialogAnswer::acceptFiles({longName})});
        cCommonDialog d;
        d.setflags(0x200);
        d.ShowOpen();
        QString sDir;
        QStringList sFiles;
        int count = 0;
        d.ParseMultiFileName(sDir, sFiles, count);
        QCOMPARE(sFiles, QStringList{longName});
    }

    void cancelError_data() {
        QTest::addColumn<int>("show"); // 0 open, 1 save, 2 colour, 3 font
        QTest::addColumn<bool>("cancelError");
        QTest::addColumn<int>("number");
        for (int show = 0; show < 4; ++show) {
            QTest::addRow("%d quiet", show) << show << false << 0;
            QTest::addRow("%d raised", show) << show << true << 20001;
        }
    }
    void cancelError() {
        QFETCH(int, show);
        QFETCH(bool, cancelError);
        QFETCH(int, number);
        Script script({DialogAnswer::cancel()});
        cCommonDialog d;
        d.setCancelError(cancelError);
        d.setColor(0x123456);
        d.setFontName("Mono");
        const std::function<void()> shows[] = {[&] { d.ShowOpen(); }, [&] { d.ShowSave(); },
                                               [&] { d.ShowColor(); }, [&] { d.ShowFont(); }};
        QString source, description;
        QCOMPARE(ErrorNumberOf(shows[show], &source, &description), number);
        if (number != 0) {
            QCOMPARE(source, QString("wrappertest.cCommonDialog"));
            QCOMPARE(description, QString("User selected cancel."));
        }
        QCOMPARE(d.Color(), 0x123456);
        QCOMPARE(d.FontName(), QString("Mono"));
    }

    void hookEventsInOrder() {
        Script script({DialogAnswer::acceptFiles({b}, 2)});
        cCommonDialog d;
        EventLog log(d);
        d.setHookDialog(true);
        d.setFilter("Texts|*.txt|Logs|*.log");
        d.setInitDir(dir.path());
        d.ShowOpen();
        QCOMPARE(d.Filename(), b);
        const QStringList& e = log.events;
        QVERIFY2(e.size() >= 5, qPrintable(e.join(", ")));
        QCOMPARE(e.first(), QString("InitDialog"));
        QCOMPARE(e.last(), QString("DialogClose"));
        const auto at = [&](const QString& name) { return e.indexOf(name); };
        QVERIFY2(at("FolderChange") > 0 && at("TypeChange") > at("FolderChange") &&
                     at("FileChange") > at("TypeChange") && at("ConfirmOK") > at("FileChange"),
                 qPrintable(e.join(", ")));
        QVERIFY2(at("WMCommand 1") > 0 && at("WMCommand 1") < e.size() - 1,
                 qPrintable(e.join(", ")));
        // Every event names the dialog's child window, whose parent is the dialog.
        QCOMPARE(log.windows.size(), 1);
        QCOMPARE(log.parents.size(), 1);
        QVERIFY(*log.parents.begin() != 0);
        QVERIFY(mDialogHook::Registered() == nullptr);
    }

    // Each message sent to a hook entry point while the dialog is open: the event it raises,
    // the value returned and the dialog's message result.
    void hookDispatch_data() {
        QTest::addColumn<int>("msg");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QString>("event");
        QTest::addColumn<int>("returned");
        QTest::addColumn<int>("msgResult"); // -1: not written
        QTest::newRow("init") << 0x110 << 0 << false << "InitDialog" << 0 << -1;
        QTest::newRow("destroy") << 0x2 << 0 << false << "DialogClose" << 0 << -1;
        QTest::newRow("command") << 0x111 << 0 << false << "WMCommand 7" << 0 << -1;
        QTest::newRow("type") << 0x4E << -607 << false << "TypeChange" << 0 << -1;
        QTest::newRow("ok accepted") << 0x4E << -606 << false << "ConfirmOK" << 0 << 0;
        QTest::newRow("ok refused") << 0x4E << -606 << true << "ConfirmOK" << 1 << 1;
        QTest::newRow("folder") << 0x4E << -603 << false << "FolderChange" << 0 << -1;
        QTest::newRow("selection") << 0x4E << -602 << false << "FileChange" << 0 << -1;
        QTest::newRow("other notification") << 0x4E << -601 << false << "" << 0 << -1;
        QTest::newRow("other message") << 0x200 << 0 << false << "" << 0 << -1;
    }
    void hookDispatch() {
        QFETCH(int, msg);
        QFETCH(int, code);
        QFETCH(bool, refuse);
        QFETCH(QString, event);
        QFETCH(int, returned);
        QFETCH(int, msgResult);
        cCommonDialog d;
        EventLog log(d);
        log.refusals = refuse ? 1 : 0;
        d.setHookDialog(true);
        platform::UINT result = 99;
        QStringList raised;
        int written = -2;
        platform::SetDialogScript([&](DialogKind, QWidget* dialog) {
            const platform::HWND h = platform::HandleFromWidget(dialog);
            platform::SetWindowLongA(h, platform::DWL_MSGRESULT, -1);
            const platform::NMHDR header{h, 0, platform::UINT(code)};
            platform::LockedBlock block(sizeof(header));
            platform::WriteMemory(block.address(), &header, sizeof(header));
            const int before = int(log.events.size());
            result = mDialogHook::ColorHook(h, platform::UINT(msg), 7,
                                            platform::LPARAM(block.address()));
            raised = log.events.mid(before);
            written = platform::GetWindowLongA(h, platform::DWL_MSGRESULT);
            return DialogAnswer::cancel();
        });
        d.ShowColor();
        platform::SetDialogScript({});
        QCOMPARE(raised, event.isEmpty() ? QStringList() : QStringList{event});
        QCOMPARE(int(result), returned);
        QCOMPARE(written, msgResult);
        // With nothing registered the entry points answer 0 and raise nothing.
        const int before = int(log.events.size());
        QCOMPARE(mDialogHook::FontHook(1, platform::UINT(msg), 7, 0), 0u);
        QCOMPARE(int(log.events.size()), before);
    }

    void confirmRefusalKeepsTheDialogOpen() {
        Script script({DialogAnswer::acceptFiles({a}), DialogAnswer::acceptFiles({b})});
        cCommonDialog d;
        EventLog log(d);
        log.refusals = 1;
        d.setHookDialog(true);
        d.ShowOpen();
        QCOMPARE(script.asked.size(), 2);
        QCOMPARE(log.events.count("ConfirmOK"), 2);
        QCOMPARE(d.Filename(), b);
    }

    void confirmRefusedThenCancelled() {
        Script script({DialogAnswer::acceptFiles({a})});
        cCommonDialog d;
        EventLog log(d);
        log.refusals = 5;
        d.setHookDialog(true);
        d.setCancelError(true);
        QCOMPARE(ErrorNumberOf([&] { d.ShowOpen(); }), 20001);
        QCOMPARE(log.events.last(), QString("DialogClose"));
    }

    void withoutHookNoEvents() {
        Script script({DialogAnswer::acceptFiles({a})});
        cCommonDialog d;
        EventLog log(d);
        d.ShowOpen();
        QCOMPARE(d.Filename(), a);
        QCOMPARE(log.events, QStringList());
    }

    void customColorTable() {
        cCommonDialog d;
        for (short k = 0; k < 16; ++k)
            QCOMPARE(d.CustomColor(k), std::int32_t(platform::GetSysColor(k)));
        QCOMPARE(d.CustomColor(16), -1);
        QCOMPARE(d.CustomColor(-1), -1);
        d.setCustomColor(16, 0x112233);
        QCOMPARE(d.CustomColor(16), -1);
        d.setCustomColor(3, 0x112233);
        QCOMPARE(d.CustomColor(3), 0x112233);
    }

    void colorDialog() {
        DialogAnswer answer = DialogAnswer::acceptColor(QColor(0x10, 0x20, 0x30));
        answer.customColors = {QColor(1, 2, 3)};
        Script script({answer});
        cCommonDialog d;
        d.setColor(std::int32_t(0x80000005)); // a system colour, translated first
        d.ShowColor();
        QCOMPARE(d.Color(), 0x302010);
        QCOMPARE(d.CustomColor(0), 0x030201);
    }

    void fontDialog() {
        QFont chosen("DejaVu Sans");
        chosen.setPointSize(14);
        chosen.setBold(true);
        chosen.setItalic(true);
        Script script({DialogAnswer::acceptFont(chosen, QColor(0xFF, 0, 0))});
        cCommonDialog d;
        const auto font = std::make_shared<StdFont>();
        d.setFont(font);
        d.setFontColor(0x0000FF);
        d.ShowFont();
        QCOMPARE(d.Font().get(), font.get()); // the caller's object itself was updated
        QCOMPARE(font->Size, 14.0);
        QVERIFY(d.FontBold());
        QVERIFY(d.FontItalic());
        QCOMPARE(d.FontSize(), 14);
        QCOMPARE(d.FontColor(), 0x0000FF);
        QCOMPARE(d.flags() & 0x141, 0x141); // screen fonts, initialised, effects
    }

    void printDialog() {
        Script script({DialogAnswer::acceptPages(2, 5, 3), DialogAnswer::cancel()});
        cCommonDialog d;
        PrinterObject printer;
        d.setObject(&printer);
        d.setflags(0x2);
        d.setFromPage(1);
        d.setToPage(9);
        d.ShowPrinter();
        QCOMPARE(d.FromPage(), 2);
        QCOMPARE(d.ToPage(), 5);
        QCOMPARE(d.Copies(), 3);
        QCOMPARE(printer.Copies, 3);
        // A cancelled print dialog raises nothing, even with CancelError, and keeps Copies.
        d.setCancelError(true);
        QCOMPARE(ErrorNumberOf([&] { d.ShowPrinter(); }), 0);
        QCOMPARE(d.Copies(), 3);
    }

    void pageSetup_data() {
        QTest::addColumn<int>("units");
        QTest::addColumn<double>("minLeft");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QList<double>>("margins"); // left, right, top, bottom after the dialog
        QTest::addColumn<int>("orientation");
        QTest::newRow("millimetres") << 0 << 0.0 << true << QList<double>{10, 30, 20, 40} << 2;
        QTest::newRow("inches") << 1 << 0.0 << true
                                << QList<double>{10 / 25.4, 30 / 25.4, 20 / 25.4, 40 / 25.4} << 2;
        QTest::newRow("minimum raises the left margin")
            << 0 << 15.0 << true << QList<double>{15, 30, 20, 40} << 2;
        QTest::newRow("cancel keeps the caller's values")
            << 0 << 0.0 << false << QList<double>{5, 6, 7, 8} << 1;
    }
    void pageSetup() {
        QFETCH(int, units);
        QFETCH(double, minLeft);
        QFETCH(bool, accept);
        QFETCH(QList<double>, margins);
        QFETCH(int, orientation);
        DialogAnswer answer = DialogAnswer::accept();
        answer.marginsMm = QMarginsF(10, 20, 30, 40);
        answer.landscape = true;
        Script script({accept ? answer : DialogAnswer::cancel()});
        const int blocks = platform::LiveBlockCount();
        GCommonDialog g;
        double l = 5, r = 6, t = 7, b = 8;
        std::int32_t paper = 9, orient = 1, quality = 0, unitsIo = units, flags = 0;
        PrinterObject printer;
        QCOMPARE(g.VBPageSetupDlg2(-1, false, false, false, false, l, r, t, b, minLeft, 0, 0, 0,
                                   paper, orient, quality, unitsIo, &printer, flags, false,
                                   nullptr),
                 accept);
        const QList<double> got{l, r, t, b};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(std::abs(got[i] - margins[i]) < 0.011, qPrintable(QString::number(got[i])));
        QCOMPARE(orient, orientation);
        QCOMPARE(unitsIo, units);
        if (accept)
            QCOMPARE(printer.Orientation, orientation);
        QCOMPARE(platform::LiveBlockCount(), blocks);
    }

    void helpErrors() {
        platform::ClearHelpCalls();
        cCommonDialog d;
        d.setHelpFile(dir.filePath("missing.hlp"));
        d.setHelpCommand(0x201);
        QString source, description;
        QCOMPARE(ErrorNumberOf([&] { d.ShowHelp(); }, &source, &description), 13705);
        QCOMPARE(description, QString("Invalid WinHelp Command Passed to ShowHelp function."));
        QCOMPARE(source, QString("wrappertest.cCommonDialog"));
        QCOMPARE(platform::HelpCalls().size(), 0);
        d.setHelpCommand(0x1);
        QCOMPARE(ErrorNumberOf([&] { d.ShowHelp(); }, &source, &description),
                 int(platform::ERROR_FILE_NOT_FOUND));
        QVERIFY(!description.isEmpty());
        QCOMPARE(source, QString("wrappertest.cCommonDialog"));
    }

    void helpShown() {
        platform::ClearHelpCalls();
        platform::SetHelpOpener([](const QString&) { return true; });
        QFile help(dir.filePath("shown.hlp"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.close();
        cCommonDialog d;
        d.setHelpFile(help.fileName());
        d.setHelpCommand(0x3);
        d.setHelpKey("not passed");
        d.sethWnd(0);
        QCOMPARE(ErrorNumberOf([&] { d.ShowHelp(); }), 0);
        platform::SetHelpOpener(nullptr);
        const auto calls = platform::HelpCalls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].file, help.fileName());
        QCOMPARE(calls[0].command, 0x3u);
        QCOMPARE(calls[0].data, 0u);
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
        d.cdFreeLibrary(); // nothing to free
    }

    void helpPosition() {
        platform::ClearHelpCalls();
        const int blocks = platform::LiveBlockCount();
        QFile help(dir.filePath("app.hlp"));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.close();
        cCommonDialog d;
        d.setHelpFile(help.fileName());
        int x = 10, y = 20, dx = 300, dy = 400, type = 1;
        d.SetHelpPosition(x, y, dx, dy, type);
        const auto calls = platform::HelpCalls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].command, 0x203u);
        QCOMPARE(calls[0].window.wStructSize, 26);
        QCOMPARE(calls[0].window.x, 10);
        QCOMPARE(calls[0].window.dy, 400);
        QCOMPARE(calls[0].window.wMax, 1);
        QCOMPARE(platform::LiveBlockCount(), blocks);
    }

    void centreAndSize() {
        QWidget target;
        target.setGeometry(100, 100, 400, 300);
        target.show();
        QWidget dialog;
        dialog.setGeometry(0, 0, 100, 50);
        dialog.show();
        const auto h = std::int32_t(platform::HandleFromWidget(&dialog));
        QObject withWindow;
        withWindow.setProperty("hWnd", platform::HandleFromWidget(&target));
        cCommonDialog d;
        platform::RECT t, r;
        platform::GetWindowRect(platform::HandleFromWidget(&target), &t);
        platform::GetWindowRect(platform::HWND(h), &r);
        d.CentreDialog(h, &withWindow);
        int l, top, w, hgt;
        d.GetDialogSize(h, l, top, w, hgt);
        QCOMPARE(w, r.right - r.left);
        QCOMPARE(hgt, r.bottom - r.top);
        QCOMPARE(l, t.left + ((t.right - t.left) - w) / 2);
        QCOMPARE(top, t.top + ((t.bottom - t.top) - hgt) / 2);
        // Without a window to centre on: the desktop work area.
        QObject noWindow;
        d.CentreDialog(h, &noWindow);
        platform::RECT area;
        QVERIFY(platform::SystemParametersInfoA(platform::SPI_GETWORKAREA, 0, &area, 0));
        d.GetDialogSize(h, l, top, w, hgt);
        QCOMPARE(l, area.left + ((area.right - area.left) - w) / 2);
        QCOMPARE(top, area.top + ((area.bottom - area.top) - hgt) / 2);
    }

    void fileTitleAndOwner() {
        GCommonDialog g;
        QCOMPARE(g.VBGetFileTitle("/tmp/some/name.txt"), QString("name.txt"));
        QCOMPARE(g.VBGetFileTitle(""), QString());
        // An owner of -1 means none: the dialog opens without a parent.
        QWidget* parentSeen = reinterpret_cast<QWidget*>(1);
        platform::SetDialogScript([&](DialogKind, QWidget* dlg) {
            parentSeen = dlg->parentWidget();
            return DialogAnswer::cancel();
        });
        std::int32_t color = 0;
        QVERIFY(!g.VBChooseColor(color, false, false, false, -1, 0, false, nullptr));
        platform::SetDialogScript({});
        QCOMPARE(parentSeen, nullptr);
        QCOMPARE(color, -1);
        QCOMPARE(g.APIReturn(), 0);
        QCOMPARE(g.ExtendedError(), 0);
    }
};

QTEST_MAIN(WrapperDialogTests)
#include "wrapper_dialog_tests.moc"
