#include "frmexist.h"

#include "app_settings.h"
#include "twips.h"
#include "ui_seam.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>

namespace app {

frmExist::frmExist(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmExist"));
    setWindowTitle(QStringLiteral("File Exists!"));
    setFixedSize(TwipsToPixelsX(5055), TwipsToPixelsY(1260));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(TwipsRect(120, 360, 495, 495));
    const QIcon icon = style()->standardIcon(QStyle::SP_MessageBoxQuestion);
    Picture1->setPixmap(icon.pixmap(Picture1->size()));

    Label1 = new QLabel(QStringLiteral("File Already Exists What Would You Like To Do?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(TwipsRect(840, 240, 3945, 255));
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(9);
    Label1->setFont(font);

    const auto makeButton = [this](const char* name, const char* caption, int left) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(TwipsRect(left, 720, 1215, 375));
        button->setAutoDefault(false);
        return button;
    };
    cmdOverwrite = makeButton("cmdOverwrite", "&Overwrite", 1200);
    cmdResume = makeButton("cmdResume", "&Resume", 2400);
    cmdCancel = makeButton("cmdCancel", "&Cancel", 3600);
    setTabOrder(cmdOverwrite, cmdResume);
    setTabOrder(cmdResume, cmdCancel);

    connect(cmdOverwrite, &QPushButton::clicked, this, &frmExist::cmdOverwrite_Click);
    connect(cmdResume, &QPushButton::clicked, this, &frmExist::cmdResume_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmExist::cmdCancel_Click);
}

void frmExist::PlaceOver(QWidget* owner) {
    if (!owner)
        return;
    const QRect area = owner->frameGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void frmExist::cmdOverwrite_Click() {
    QFile file(SavePath);
    if (file.exists() && !file.remove()) {
        // The old file stays as it was: answer as if cancelled, with the system's reason.
        UserChoice = kCancel;
        hide();
        Ui().MsgBox(parentWidget(),
                    QStringLiteral("Cannot delete \"%1\": %2").arg(SavePath, file.errorString()),
                    MsgButtons::OK, MsgIcon::Critical, QLatin1String(kAppTitle));
        return;
    }
    UserChoice = kOverwrite;
    hide();
}

void frmExist::cmdResume_Click() {
    UserChoice = kResume;
    hide();
}

void frmExist::cmdCancel_Click() {
    UserChoice = kCancel;
    hide();
}

void frmExist::reject() {
    cmdCancel_Click();
}

namespace {
// Guarded: showing the dialog makes it a child of its owner, and a window that is deleted
// (a further window closed, the main window at the program's end) takes the dialog with it.
QPointer<frmExist> theDialog;
void DeleteExistDialog() {
    delete theDialog.data();
}
} // namespace

frmExist& ExistDialog() {
    if (!theDialog) {
        theDialog = new frmExist;
        qAddPostRoutine(DeleteExistDialog);
    }
    return *theDialog;
}

} // namespace app
