// The dialog that asks what to do with a save path that already holds a file:
// overwrite, resume or cancel. One dialog serves the whole program; it is hidden, not
// destroyed, between uses, so UserChoice keeps its last value.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace app {

class frmExist : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOverwrite = 0;
    static constexpr int kResume = -1;
    static constexpr int kCancel = -2;

    explicit frmExist(QWidget* parent = nullptr);

    // The answer: 0 overwrite, -1 resume, -2 cancel.
    qint32 UserChoice = kOverwrite;
    // The file that "&Overwrite" deletes.
    QString SavePath;

    QLabel* Picture1;
    QLabel* Label1;
    QPushButton* cmdOverwrite;
    QPushButton* cmdResume;
    QPushButton* cmdCancel;

    // Centres the dialog over owner before it is shown.
    void PlaceOver(QWidget* owner);

protected:
    void reject() override; // the close box and Esc mean "&Cancel"

private slots:
    void cmdOverwrite_Click();
    void cmdResume_Click();
    void cmdCancel_Click();
};

// The program's one file-exists dialog.
frmExist& ExistDialog();

} // namespace app
