// cCommonDialog with the real file dialog on an X display, answered by typing into it.
#include "ccommondialog.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace dialogs;

class WrapperX11Tests : public QObject {
    Q_OBJECT

private slots:
    void typedNameOpens() {
        QTemporaryDir dir;
        QFile f(dir.filePath("typed.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        cCommonDialog d;
        d.setInitDir(dir.path());
        d.setFilter("Texts|*.txt");
        d.setHookDialog(true);
        QStringList events;
        connect(&d, &cCommonDialog::InitDialog, this, [&](int) { events << "InitDialog"; });
        connect(&d, &cCommonDialog::ConfirmOK, this, [&](bool&) { events << "ConfirmOK"; });
        connect(&d, &cCommonDialog::DialogClose, this, [&] { events << "DialogClose"; });
        // Types the name once the dialog is up; the timer only looks, it does not wait.
        QTimer look;
        look.setInterval(10);
        connect(&look, &QTimer::timeout, this, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* edit = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
            if (edit == nullptr || !edit->isVisible())
                return;
            look.stop();
            edit->setText("typed.txt");
            QTest::keyClick(edit, Qt::Key_Return);
        });
        look.start();
        d.ShowOpen();
        QCOMPARE(d.FileTitle(), QString("typed.txt"));
        QCOMPARE(d.Filename(), QFileInfo(f).absoluteFilePath());
        QCOMPARE(events, (QStringList{"InitDialog", "ConfirmOK", "DialogClose"}));
    }
};

QTEST_MAIN(WrapperX11Tests)
#include "wrapper_x11_tests.moc"
