// A main window on its own registry and scratch folder, with a scripted UI seam, and the
// helpers the window tests share.
#pragma once

#include "app_settings.h"
#include "cregister.h"
#include "download_state.h"
#include "frmmain.h"
#include "rkbuttons_h.h"
#include "scripted_ui.h"
#include "servers.h"
#include "socket_control.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// Helpers of the tests in this folder (in a namespace of their own, so that other test files
// may keep helpers of the same names).
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

inline QString localUrl(quint16 port, const QString& path) {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
}

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

    // Opens the window with the address and save path filled in. The one-second timer is
    // stopped so that a finished transfer stays at the save path for the test to check.
    app::frmMain& open(const QString& url, const QString& saveName = QStringLiteral("dl.bin")) {
        window = std::make_unique<app::frmMain>();
        window->tmrTimeLeft->stop();
        window->txtURL->setText(url);
        window->TxtPath->setText(path(saveName));
        window->Text2->setText(path(QStringLiteral("product.exe")));
        return *window;
    }

    QString path(const QString& name) const { return scratch.filePath(name); }

    bool waitForDownload(qint64 size, int timeoutMs = 180000) const {
        return testsupport::waitUntil(
            [&] { return app::Download().TotalSize == size && app::Download().Received == size; },
            timeoutMs);
    }
    bool waitForMessage() const {
        return testsupport::waitUntil([&] { return !ui.messages.isEmpty(); });
    }

    // The enabled states of Update, Pause, Stop, Exit, Run as a string like "01010".
    QString buttons() const {
        QString s;
        const QList<QWidget*> row = {window->cmdDownload, window->cmdPause, window->cmdStop,
                                     window->CmdExit, window->cmdRun};
        for (QWidget* b : row)
            s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }

    QTemporaryDir registry;
    QTemporaryDir scratch;
    ScriptedUi ui;
    std::unique_ptr<app::frmMain> window;
};
