// The dialogs opened for real on an X display: each shown, a real button press reaching the
// hook, a name typed into the wrapper's open dialog, and a picture of the file dialog saved.

#include "ccommondialog.h"
#include "dialog_test_support.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
        QVERIFY(ev.indexOf(HookEvent{WM_COMMAND, IDCANCEL}) > 0);
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
            if (edit == nullptr || !edit->isVisible())
                return;
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
