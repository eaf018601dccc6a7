#include "ui_seam.h"

#include <QDialog>
#include <QMessageBox>

namespace app {

namespace {

class WidgetUi final : public UiSeam {
public:
    int MsgBox(QWidget* owner, const QString& prompt, MsgButtons buttons, MsgIcon icon,
               const QString& title) override {
        QMessageBox box(owner);
        box.setWindowTitle(title);
        box.setText(prompt);
        box.setIcon(qtIcon(icon));
        switch (buttons) {
        case MsgButtons::OK:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MsgButtons::RetryCancel:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Yes:
            return vbYes;
        case QMessageBox::No:
            return vbNo;
        case QMessageBox::Retry:
            return vbRetry;
        case QMessageBox::Cancel:
            return vbCancel;
        default:
            return buttons == MsgButtons::YesNo ? vbNo
                   : buttons == MsgButtons::OK  ? vbOK
                                                : vbCancel;
        }
    }

    void ShowModal(QDialog* dialog, QWidget* owner) override {
        if (owner && dialog->parentWidget() != owner)
            dialog->setParent(owner, dialog->windowFlags());
        dialog->exec();
    }

private:
    static QMessageBox::Icon qtIcon(MsgIcon icon) {
        switch (icon) {
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::None:
            break;
        }
        return QMessageBox::NoIcon;
    }
};

WidgetUi widgetUi;
UiSeam* current = nullptr;

} // namespace

UiSeam& Ui() {
    return current ? *current : widgetUi;
}
void SetUi(UiSeam* seam) {
    current = seam;
}

} // namespace app
