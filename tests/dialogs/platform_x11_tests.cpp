// Every dialog opened for real on an X display and closed by a scripted answer; a real button
// press reaches the hook; a picture of the file dialog is saved.

#include "platform_test_helpers.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;
using namespace platform_test;

namespace {

// Answers once the dialog is on screen, and remembers whether it got there.
struct ShownCheck {
    bool exposed = false;
    QString title;
    DialogScript answerWith(DialogAnswer answer) {
        return [this, answer](DialogKind, QWidget* dialog) {
            exposed = dialog && QTest::qWaitForWindowExposed(dialog);
            title = dialog ? dialog->windowTitle() : QString();
            return answer;
        };
    }
};

} // namespace

class PlatformX11Tests : public QObject {
    Q_OBJECT
private slots:
    void init() { hookLog() = HookLog{}; }
    void fileDialogShownAndPictured();
    void realCancelButtonReachesHook();
    void colourDialogShown();
    void fontDialogShown();
    void printDialogShown();
};

void PlatformX11Tests::fileDialogShownAndPictured() {
    QVERIFY(QGuiApplication::platformName() == QLatin1String("xcb"));
    QTemporaryDir dir;
    const QString file = dir.filePath("picture.txt");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    FileRecord rec(260, QByteArray("Text files\0*.txt\0All files\0*.*\0", 31));
    rec.setInitialDir(QFile::encodeName(dir.path()));
    QImage picture;
    ShownCheck check;
    ScopedScript script([&](DialogKind kind, QWidget* dialog) {
        check.answerWith({})(kind, dialog);
        picture = dialog->grab().toImage();
        return DialogAnswer::acceptFiles({file});
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), TRUE);
    QVERIFY(check.exposed);
    QCOMPARE(check.title, QString("Open"));
    QCOMPARE(ReadCString(rec.ofn.lpstrFile), QFile::encodeName(file));
    QVERIFY(!picture.isNull() && picture.width() > 200 && picture.height() > 150);
    QVERIFY(QDir().mkpath(ZORV_SCREENSHOT_DIR));
    QVERIFY(picture.save(QStringLiteral(ZORV_SCREENSHOT_DIR "/file-dialog.png")));
}

void PlatformX11Tests::realCancelButtonReachesHook() {
    FileRecord rec(260, QByteArray("All\0*.*\0", 8));
    rec.ofn.Flags = OFN_ENABLEHOOK | OFN_EXPLORER;
    rec.ofn.lpfnHook = RegisterHookProc(&recordingHook);
    bool clicked = false;
    ScopedScript script([&clicked](DialogKind, QWidget* dialog) {
        if (!QTest::qWaitForWindowExposed(dialog))
            return DialogAnswer::cancel();
        auto* box = dialog->findChild<QDialogButtonBox*>();
        QAbstractButton* cancel = box ? box->button(QDialogButtonBox::Cancel) : nullptr;
        if (!cancel)
            return DialogAnswer::cancel();
        QTest::mouseClick(cancel, Qt::LeftButton); // a real press of the real button
        clicked = true;
        return DialogAnswer::runReal();
    });
    QCOMPARE(GetOpenFileNameA(&rec.ofn), FALSE);
    QVERIFY(clicked);
    QCOMPARE(CommDlgExtendedError(), DWORD(0));
    const QList<HookEvent>& ev = hookLog().events;
    const qsizetype command = ev.indexOf(HookEvent{WM_COMMAND, IDCANCEL});
    QVERIFY(command > 0);
    QCOMPARE(ev.back(), (HookEvent{WM_DESTROY, 0}));
    QCOMPARE(ev.front(), (HookEvent{WM_INITDIALOG, 0}));
}

void PlatformX11Tests::colourDialogShown() {
    LockedBlock custom(64, GHND);
    CHOOSECOLOR cc{};
    cc.lStructSize = sizeof cc;
    cc.lpCustColors = custom.address();
    ShownCheck check;
    ScopedScript script(check.answerWith(DialogAnswer::acceptColor(QColor(1, 2, 3))));
    QCOMPARE(ChooseColorA(&cc), TRUE);
    QVERIFY(check.exposed);
    QCOMPARE(cc.rgbResult, COLORREF(0x030201));
}

void PlatformX11Tests::fontDialogShown() {
    LockedBlock logFont(sizeof(LOGFONT), GHND);
    CHOOSEFONT cf{};
    cf.lStructSize = sizeof cf;
    cf.lpLogFont = logFont.address();
    cf.Flags = CF_EFFECTS;
    cf.rgbColors = 0x0000FF;
    ShownCheck check;
    QFont font;
    font.setPointSize(11);
    bool colourButtonShown = false;
    const DialogScript answer = check.answerWith(DialogAnswer::acceptFont(font));
    ScopedScript script([&](DialogKind kind, QWidget* dialog) {
        const DialogAnswer a = answer(kind, dialog);
        auto* button = dialog->findChild<QPushButton*>("fontColorButton");
        colourButtonShown = button && button->isVisible();
        return a;
    });
    QCOMPARE(ChooseFontA(&cf), TRUE);
    QVERIFY(check.exposed);
    QVERIFY(colourButtonShown); // the effects offer a colour
    QCOMPARE(cf.iPointSize, 110);
    QCOMPARE(cf.rgbColors, COLORREF(0x0000FF)); // the answer chose none: kept
}

void PlatformX11Tests::printDialogShown() {
    PRINTDLG pd{};
    pd.lStructSize = sizeof pd;
    pd.nMinPage = 1;
    pd.nMaxPage = 20;
    ShownCheck check;
    ScopedScript script(check.answerWith(DialogAnswer::acceptPages(2, 5)));
    QCOMPARE(PrintDlgA(&pd), TRUE);
    QVERIFY(check.exposed);
    QCOMPARE(int(pd.nFromPage), 2);
    QCOMPARE(int(pd.nToPage), 5);
    GlobalFree(pd.hDevMode);
    GlobalFree(pd.hDevNames);

    PAGESETUPDLG psd{};
    psd.lStructSize = sizeof psd;
    psd.Flags = PSD_INTHOUSANDTHSOFINCHES;
    ShownCheck setup;
    DialogAnswer margins = DialogAnswer::accept();
    margins.marginsMm = QMarginsF(25.4, 25.4, 12.7, 12.7);
    ScopedScript again(setup.answerWith(margins));
    QCOMPARE(PageSetupDlgA(&psd), TRUE);
    QVERIFY(setup.exposed);
    QCOMPARE(psd.rtMargin.left, LONG(1000));
    QCOMPARE(psd.rtMargin.right, LONG(500));
    GlobalFree(psd.hDevMode);
    GlobalFree(psd.hDevNames);
}

QTEST_MAIN(PlatformX11Tests)
#include "platform_x11_tests.moc"
