// A UI seam for tests: records every message box and answers from a script; the
// file-exists dialog is answered by clicking one of its buttons (or closing it).
#pragma once

#include "frmexist.h"
#include "ui_seam.h"

#include <QList>
#include <QPushButton>
#include <QString>
#include <functional>

struct RecordedMessage {
    QString prompt;
    QString title;
    app::MsgButtons buttons;
    app::MsgIcon icon;
};

class ScriptedUi : public app::UiSeam {
public:
    ScriptedUi() { app::SetUi(this); }
    ~ScriptedUi() override { app::SetUi(nullptr); }

    QList<RecordedMessage> messages;
    QList<int> answers;           // message answers, first to last; vbOK/vbNo when empty
    QList<QString> dialogAnswers; // "cmdOverwrite", "cmdResume", "cmdCancel" or "close"
    int dialogsShown = 0;
    std::function<void()> onMessage; // runs inside the message box, before it answers

    int MsgBox(QWidget*, const QString& prompt, app::MsgButtons buttons, app::MsgIcon icon,
               const QString& title) override {
        messages.append({prompt, title, buttons, icon});
        if (onMessage)
            onMessage();
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == app::MsgButtons::YesNo ? app::vbNo : app::vbOK;
    }

    void ShowModal(QDialog* dialog, QWidget*) override {
        ++dialogsShown;
        dialog->show();
        const QString answer = dialogAnswers.isEmpty() ? "close" : dialogAnswers.takeFirst();
        if (answer == QLatin1String("close"))
            dialog->close();
        else
            dialog->findChild<QPushButton*>(answer)->click();
    }
};
