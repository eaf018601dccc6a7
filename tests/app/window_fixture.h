// A main window on its own registry and scratch folder, with a scripted UI seam.
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
            [&] {
                const auto& d = app::Download();
                return d.TotalSize == size && d.Received == size;
            },
            timeoutMs);
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

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}
