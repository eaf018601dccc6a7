// A main window on its own registry and scratch folder with a scripted UI seam, and the
// window tests' shared helpers.
#pragma once

#include "app_settings.h"
#include "cregister.h"
#include "download_state.h"
#include "frmexist.h"
#include "frmmain.h"
#include "rkbuttons_h.h"
#include "servers.h"
#include "socket_control.h"
#include "ui_seam.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sys/stat.h>

using testsupport::readAll;
using testsupport::writeFile;

struct RecordedMessage {
    QString prompt, title;
    app::MsgButtons buttons;
    app::MsgIcon icon;
};

// Records every message box and answers it from a script; the file-exists dialog is answered
// by clicking one of its buttons (or closing it).
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
    void ShowModal(QDialog* dialog, QWidget* owner) override {
        ++dialogsShown;
        if (owner) // the dialog belongs to its owner while shown, as in the program
            dialog->setParent(owner, dialog->windowFlags());
        dialog->show();
        const QString answer = dialogAnswers.isEmpty() ? "close" : dialogAnswers.takeFirst();
        if (answer == QLatin1String("close"))
            dialog->close();
        else
            dialog->findChild<QPushButton*>(answer)->click();
    }
};

namespace apptest {

// Reproducible bytes that differ from one position to the next.
inline QByteArray pattern(int size, int seed = 0) {
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>(seed + i * 131 + i / 251);
    return data;
}

inline QByteArray okResponse(const QByteArray& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The window's exact request; range is the first byte wanted ("" when not resuming).
inline QByteArray expectedRequest(const QByteArray& target, const QByteArray& host,
                                  const QByteArray& range = {}) {
    QByteArray r = "GET " + target + " HTTP/1.0\r\nAccept: *.*, */*\r\n";
    if (!range.isEmpty())
        r += "Range: bytes=" + range + "-\r\n";
    return r + "User-Agent: Tessarin Software Downloader\r\nReferer: " + host +
           "\r\nHost: " + host + "\r\n\r\n";
}

inline mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

inline int openDescriptors() {
    const auto it = std::filesystem::directory_iterator("/proc/self/fd");
    return int(std::distance(std::filesystem::begin(it), std::filesystem::end(it)));
}

inline qint64 statusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1));
    return -1;
}

// One case's resources: the peak resident size is reset (VmHWM becomes this case's peak) and
// the open descriptors counted. The ceiling is far above legitimate buffers; a client that
// kept an endless header would pass it within seconds.
struct ResourceProbe {
    static constexpr qint64 kGrowthCeilingKb = 64 * 1024;
    ResourceProbe() {
        std::ofstream("/proc/self/clear_refs") << "5";
        startKb = statusKb("VmRSS");
    }
    bool overCeiling() const { return statusKb("VmHWM") - startKb >= kGrowthCeilingKb; }
    // Call once the window and servers are gone.
    void verify() const {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(testsupport::waitUntil([&] { return openDescriptors() <= descriptors; }, 30000),
                 qPrintable(QString("%1 descriptors before, %2 after")
                                .arg(descriptors)
                                .arg(openDescriptors())));
        QVERIFY(!overCeiling());
    }
    int descriptors = openDescriptors();
    qint64 startKb = 0;
};

} // namespace apptest

class WindowFixture {
public:
    explicit WindowFixture(bool clipboardOff = true) {
        qputenv("ZORV_REGISTRY_ROOT", QFile::encodeName(registry.path()));
        if (clipboardOff)
            setSetting("Clipboard", "0");
    }
    ~WindowFixture() {
        window.reset();
        app::Download() = app::DownloadFields{};
    }

    void setSetting(const char* name, const QString& value) {
        settings::CRegister().REGSaveSetting(settings::HKEY_LOCAL_MACHINE,
                                             app::AppSettings::Section(), name, value);
    }
    void useProxy(quint16 port) {
        setSetting("Proxy Use", "1");
        setSetting("Proxy IP", "127.0.0.1");
        setSetting("Proxy Port", QString::number(port));
    }

    // Opens the window with the address and save path filled in; the one-second timer, which
    // completes a finished transfer, only when `timer` is set.
    app::frmMain& open(const QString& url, const QString& saveName = QStringLiteral("dl.bin"),
                       bool timer = false) {
        window = std::make_unique<app::frmMain>();
        if (!timer)
            window->tmrTimeLeft->stop();
        window->txtURL->setText(url);
        window->TxtPath->setText(path(saveName));
        window->Text2->setText(path(QStringLiteral("product.exe")));
        return *window;
    }

    QString path(const QString& name) const { return scratch.filePath(name); }

    bool waitForDownload(qint64 size) const {
        const auto& d = app::Download();
        return testsupport::waitUntil([&] { return d.TotalSize == size && d.Received == size; },
                                      180000);
    }

    // The enabled states of Update, Pause, Stop, Exit, Run as a string like "01010".
    QString buttons() const {
        QString s;
        for (QWidget* b :
             std::initializer_list<QWidget*>{window->cmdDownload, window->cmdPause, window->cmdStop,
                                             window->CmdExit, window->cmdRun})
            s += b->isEnabled() ? '1' : '0';
        return s;
    }

    QTemporaryDir registry;
    QTemporaryDir scratch;
    ScriptedUi ui;
    std::unique_ptr<app::frmMain> window;
};
