// The one place where the updater asks the user something: message boxes and modal
// dialogs. The program uses Qt's widgets; tests install a scripted seam that records the
// texts and gives the answers.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace app {

enum class MsgButtons { OK, YesNo, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
// Answers, numbered as the classic message-box results.
enum MsgResult : int { vbOK = 1, vbCancel = 2, vbRetry = 4, vbYes = 6, vbNo = 7 };

class UiSeam {
public:
    virtual ~UiSeam() = default;
    virtual int MsgBox(QWidget* owner, const QString& prompt, MsgButtons buttons, MsgIcon icon,
                       const QString& title) = 0;
    // Shows the dialog modally over owner and returns when it is hidden.
    virtual void ShowModal(QDialog* dialog, QWidget* owner) = 0;
};

// The seam in use: Qt's widgets unless a test installed its own.
UiSeam& Ui();
// Installs a seam (not owned); nullptr restores Qt's widgets.
void SetUi(UiSeam* seam);

} // namespace app
