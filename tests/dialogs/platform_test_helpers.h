#pragma once
// Helpers shared by the dialog platform tests: a scoped dialog script, a recording hook and
// a file-dialog record with its buffers in global memory.

#include "comdlg.h"
#include "global_memory.h"
#include "window.h"

#include <QList>
#include <QPair>

#include <memory>

namespace platform_test {

using namespace platform;

// Installs a script for the lifetime of the object and counts how often it was asked.
class ScopedScript {
public:
    explicit ScopedScript(DialogScript script) {
        SetDialogScript([this, script](DialogKind kind, QWidget* dialog) {
            ++calls;
            kinds.append(kind);
            return script(kind, dialog);
        });
    }
    ~ScopedScript() { SetDialogScript({}); }
    int calls = 0;
    QList<DialogKind> kinds;
};

// What the recording hook saw: message and, for WM_NOTIFY, the notification code, for
// WM_COMMAND the command id (else 0).
struct HookEvent {
    UINT msg;
    int code;
    bool operator==(const HookEvent& other) const { return msg == other.msg && code == other.code; }
};

struct HookLog {
    QList<HookEvent> events;
    QList<HWND> windows;
    int refuseFileOk = 0; // CDN_FILEOK notifications still to refuse
};

HookLog& hookLog();
UINT recordingHook(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);

// An OPENFILENAME whose strings live in blocks of their own.
class FileRecord {
public:
    FileRecord(DWORD fileBufferSize, const QByteArray& filter);
    OPENFILENAME ofn{};
    QByteArray file() const; // the whole file buffer
    void setInitialDir(const QByteArray& dir);
    void setDefExt(const QByteArray& ext);

private:
    std::unique_ptr<LockedBlock> file_;
    std::unique_ptr<LockedBlock> title_;
    std::unique_ptr<LockedBlock> filter_;
    std::unique_ptr<LockedBlock> dir_;
    std::unique_ptr<LockedBlock> ext_;
};

} // namespace platform_test
