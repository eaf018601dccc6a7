// The dialogs opened for real on an X display: each shown, a real button press reaching the
// hook, a name typed into the wrapper's open dialog, and a picture of the file dialog saved.

#include "ccommondialog.h"
#include "dialog_test_support.h"

#include "gcommondialog.h"
#include "stdfont.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

using namespace dialog_test;
using dialogs::cCommonDialog;

class DialogsX11Tests : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QString("xcb")); }

    // The file and font dialogs reach the screen with their titles before they are answered;
    // a real press of the file dialog's real Cancel button reaches the hook.
    void dialogsShownAndRealCancel() {
        hookLog.clear();
        QStringList shown;
        QImage picture;
        ScopedScript script([&](DialogKind kind, QWidget* dialog) {
            if (QTest::qWaitForWindowExposed(dialog))
                shown << dialog->windowTitle();
            if (auto* colour = dialog->findChild<QPushButton*>("fontColorButton"))
                shown << (colour->isVisible() ? "colour button" : "hidden colour button");
            if (kind == DialogKind::Font)
                return DialogAnswer::acceptFont(QFont("Sans", 11));
            picture = dialog->grab().toImage();
            // The explorer-style hook window is a child of the dialog.
            shown << (GetParent(hookWindow) == HandleFromWidget(dialog) ? "hook child" : "");
            auto* box = dialog->findChild<QDialogButtonBox*>();
            QAbstractButton* cancel = box ? box->button(QDialogButtonBox::Cancel) : nullptr;
            if (cancel) {
                QTest::mouseClick(cancel, Qt::LeftButton); // a real press of the real button
                shown << "cancel clicked";
            }
            return cancel ? DialogAnswer::runReal() : DialogAnswer::cancel();
        });
        FileRecord rec(260, QByteArray("Text files\0*.txt\0All files\0*.*\0", 31));
        rec.ofn.lpstrInitialDir = rec.text(QFile::encodeName(dir_.path()));
        rec.ofn.Flags = OFN_ENABLEHOOK | OFN_EXPLORER;
        rec.ofn.lpfnHook = RegisterHookProc(&recordingHook);
        QVERIFY(GetOpenFileNameA(&rec.ofn) == FALSE && CommDlgExtendedError() == 0);
        const QList<HookEvent>& ev = hookLog;
        // The Cancel button belongs to the parent dialog: the Explorer-style hook gets no
        // command for it.
        QCOMPARE(ev.indexOf(HookEvent{WM_COMMAND, IDCANCEL}), -1);
        QVERIFY(
            (ev.front() == HookEvent{WM_INITDIALOG, 0} && ev.back() == HookEvent{WM_DESTROY, 0}));
        FontRecord font;
        font.cf.Flags = CF_EFFECTS;
        font.cf.rgbColors = 0x0000FF;
        // The answer chose no colour: the record's is kept.
        QCOMPARE(QList<qint64>({ChooseFontA(&font.cf), font.cf.iPointSize, font.cf.rgbColors}),
                 QList<qint64>({TRUE, 110, 0x0000FF}));
        QCOMPARE(shown,
                 (QStringList{"Open", "hook child", "cancel clicked", "Font", "colour button"}));
        QVERIFY(picture.width() > 200 && picture.height() > 150);
        QVERIFY(QDir().mkpath(ZORV_SCREENSHOT_DIR));
        QVERIFY(picture.save(QStringLiteral(ZORV_SCREENSHOT_DIR "/file-dialog.png")));
    }

    // An old-style hook (no Explorer flag) on real presses: WM_INITDIALOG carries the record's
    // address; Escape, Enter and a click on Cancel each reach it as WM_COMMAND while the dialog
    // is still open; notifications carry the record after their header.
    void oldStyleHookOnRealPresses() {
        struct Seen {
            QStringList events;
            QDialog* dialog = nullptr;
        };
        static Seen seen;
        seen = {};
        const auto hook = [](HWND window, UINT msg, WPARAM wParam, LPARAM lParam) -> UINT {
            const bool open = seen.dialog && seen.dialog->isVisible();
            if (msg == WM_INITDIALOG) {
                OPENFILENAME copy{};
                ReadMemory(Address(lParam), &copy, sizeof copy);
                seen.events << QString("init %1").arg(copy.lStructSize);
            } else if (msg == WM_COMMAND) {
                seen.events << QString("command %1 %2").arg(wParam).arg(open ? "open" : "closed");
            } else if (msg == WM_NOTIFY) {
                OFNOTIFY notice{};
                ReadMemory(Address(lParam), &notice, sizeof notice);
                OPENFILENAME copy{};
                ReadMemory(notice.lpOFN, &copy, sizeof copy);
                if (int(notice.hdr.code) == CDN_FILEOK)
                    seen.events << QString("fileok %1").arg(copy.lStructSize);
            } else if (msg == WM_DESTROY) {
                seen.events << "destroy";
            }
            Q_UNUSED(window);
            return 0;
        };
        // Each run: the record's extra flags, how the dialog is left, and what the hook saw.
        // The Explorer style gets FILEOK, with the record after the notification header,
        // and no command for the parent's buttons.
        const std::tuple<DWORD, QString, QStringList> runs[] = {
            {0, "escape", {"init 76", "command 2 open", "destroy"}},
            {0, "cancel", {"init 76", "command 2 open", "destroy"}},
            {0, "enter", {"init 76", "command 1 open", "destroy"}},
            {OFN_EXPLORER, "enter", {"init 76", "fileok 76", "destroy"}},
        };
        QFile(QDir(dir_.path()).filePath("h.txt")).open(QIODevice::WriteOnly);
        for (const auto& [extraFlags, how, expected] : runs) {
            seen = {};
            ScopedScript script([&](DialogKind, QWidget* dialog) {
                seen.dialog = static_cast<QDialog*>(dialog);
                if (!QTest::qWaitForWindowExposed(dialog))
                    return DialogAnswer::cancel();
                auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
                auto* box = dialog->findChild<QDialogButtonBox*>();
                if (how == "escape") {
                    QTest::keyClick(edit, Qt::Key_Escape);
                } else if (how == "cancel") {
                    QTest::mouseClick(box->button(QDialogButtonBox::Cancel), Qt::LeftButton);
                } else {
                    edit->setText("h.txt");
                    QTest::keyClick(edit, Qt::Key_Return);
                }
                return DialogAnswer::runReal();
            });
            FileRecord rec(260, QByteArray("Text files\0*.txt\0", 17));
            rec.ofn.lpstrInitialDir = rec.text(QFile::encodeName(dir_.path()));
            rec.ofn.Flags = OFN_ENABLEHOOK | extraFlags;
            rec.ofn.lpfnHook = RegisterHookProc(hook);
            QCOMPARE(GetOpenFileNameA(&rec.ofn), how == "enter" ? TRUE : FALSE);
            QCOMPARE(seen.events, expected);
        }
    }

    // Landscape and a 25 mm top margin chosen with the mouse and keys in the real page-setup
    // dialog, then its real OK: both come back, from the page-setup call and from the print
    // dialog's setup form (flag 0x40).
    void pageSetupKeepsChoices() {
        QStringList pressed;
        ScopedScript script([&](DialogKind, QWidget* dialog) {
            auto* landscape = dialog->findChild<QRadioButton*>("landscape");
            auto* units = dialog->findChild<QComboBox*>("unitCombo");
            auto* top = dialog->findChild<QDoubleSpinBox*>("topMargin");
            auto* box = dialog->findChild<QDialogButtonBox*>();
            if (!landscape || !units || !top || !box || !QTest::qWaitForWindowExposed(dialog))
                return DialogAnswer::cancel();
            // On its round mark: a wide radio button takes presses on its mark and label only.
            QTest::mouseClick(landscape, Qt::LeftButton, {}, QPoint(6, landscape->height() / 2));
            units->setCurrentIndex(units->findText("Millimeters (mm)"));
            top->setFocus();
            top->selectAll();
            QTest::keyClicks(top, "25");
            QTest::keyClick(top, Qt::Key_Tab);
            pressed << QString::number(top->value());
            QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
            return DialogAnswer::runReal();
        });
        dialogs::GCommonDialog g;
        double m[4] = {5, 6, 7, 8};
        std::int32_t paper = 9, orient = 1, quality = 0, units = 0, flags = 0;
        dialogs::PrinterObject printer;
        QVERIFY(g.VBPageSetupDlg2(-1, false, false, false, false, m[0], m[1], m[2], m[3], 0, 0, 0,
                                  0, paper, orient, quality, units, &printer, flags, false,
                                  nullptr));
        QCOMPARE(QList<double>({m[0], std::round(m[2] * 100) / 100, double(orient),
                                double(printer.Orientation)}),
                 QList<double>({5, 25, 2, 2}));

        cCommonDialog d;
        dialogs::PrinterObject setupPrinter;
        d.setObject(&setupPrinter);
        d.setflags(0x40);
        d.ShowPrinter();
        QCOMPARE(setupPrinter.Orientation, 2);
        QCOMPARE(pressed, QStringList({"25", "25"}));
    }

    // The open dialog's read-only box, pressed for real, comes back as bit 0x1 (flag 0x4 hides
    // it); a pattern typed into the save dialog's name box filters the view and keeps the
    // dialog open, and a name typed next is the answer.
    void readOnlyBoxAndTypedPattern() {
        QFile(QDir(dir_.path()).filePath("r.txt")).open(QIODevice::WriteOnly);
        QFile(QDir(dir_.path()).filePath("r.log")).open(QIODevice::WriteOnly);
        QStringList seen;
        const auto typeInto = [](QWidget* dialog, const QString& text) {
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            edit->setText(text);
            QTest::keyClick(edit, Qt::Key_Return);
        };
        ScopedScript script([&](DialogKind kind, QWidget* dialog) {
            if (!QTest::qWaitForWindowExposed(dialog))
                return DialogAnswer::cancel();
            auto* box = dialog->findChild<QCheckBox*>("readOnlyBox");
            seen << (box && box->isVisible() ? "box" : "no box");
            if (box)
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            if (kind == DialogKind::Save) {
                typeInto(dialog, "*.log");
                seen << (dialog->isVisible() ? "open" : "closed");
                auto* model = dialog->findChild<QFileSystemModel*>();
                seen << (model ? model->nameFilters().join(',') : QString());
                typeInto(dialog, "out.txt");
            } else {
                typeInto(dialog, "r.txt");
            }
            return DialogAnswer::runReal();
        });
        cCommonDialog d;
        d.setInitDir(dir_.path());
        d.setFilter("Texts|*.txt");
        d.ShowOpen();
        QCOMPARE(d.flags() & 0x1, 0x1);
        d.setflags(0x4);
        d.ShowOpen();
        QCOMPARE(d.flags() & 0x1, 0);
        d.setFilename(QString());
        d.ShowSave();
        QCOMPARE(d.Filename(), QDir(dir_.path()).absoluteFilePath("out.txt"));
        QCOMPARE(seen, QStringList({"box", "no box", "no box", "open", "*.log"}));
    }

    // The wrapper's open dialog with a name typed into it and Return pressed.
    void typedNameOpens() {
        cCommonDialog d;
        d.setInitDir(dir_.path());
        d.setFilter("Texts|*.txt");
        d.setHookDialog(true);
        QStringList events;
        connect(&d, &cCommonDialog::InitDialog, this, [&] { events << "InitDialog"; });
        connect(&d, &cCommonDialog::ConfirmOK, this, [&] { events << "ConfirmOK"; });
        connect(&d, &cCommonDialog::DialogClose, this, [&] { events << "DialogClose"; });
        // The timer only looks for the dialog's name box; it does not wait.
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* edit = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
            if (edit == nullptr || !edit->isVisible() || !events.contains("InitDialog"))
                return; // a person types once the dialog is up
            look.stop();
            edit->setText("typed.txt");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        look.start(10);
        d.ShowOpen();
        QCOMPARE(QStringList({d.Filename(), d.FileTitle()}),
                 QStringList({QDir(dir_.path()).absoluteFilePath("typed.txt"), "typed.txt"}));
        QCOMPARE(events, (QStringList{"InitDialog", "ConfirmOK", "DialogClose"}));
    }
};

QTEST_MAIN(DialogsX11Tests)
#include "dialogs_x11_tests.moc"
