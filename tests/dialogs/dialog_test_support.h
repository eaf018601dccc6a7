#pragma once
// Shared by the dialog tests: a scoped dialog script, a recording hook and a file-dialog record
// whose strings live in global memory blocks.

#include "comdlg.h"
#include "global_memory.h"
#include "window.h"

#include <QList>

#include <memory>
#include <vector>

namespace dialog_test {

using namespace platform;

// Installs a script for the lifetime of the object and records the kinds it was asked for.
class ScopedScript {
public:
    explicit ScopedScript(DialogScript script) {
        SetDialogScript([this, script](DialogKind kind, QWidget* dialog) {
            kinds.append(kind);
            return script(kind, dialog);
        });
    }
    ~ScopedScript() { SetDialogScript({}); }
    qsizetype calls() const { return kinds.size(); }
    QList<DialogKind> kinds;
};

// A script that gives the answers in order, then cancels.
inline DialogScript answers(QList<DialogAnswer> list) {
    return [list](DialogKind, QWidget*) mutable {
        return list.isEmpty() ? DialogAnswer::cancel() : list.takeFirst();
    };
}

// A hook message: for WM_NOTIFY the notification code, for WM_COMMAND the command id, else 0.
struct HookEvent {
    UINT msg;
    int code;
    bool operator==(const HookEvent&) const = default;
};

struct HookLog {
    QList<HookEvent> events;
    QList<HWND> windows;
    int refuseFileOk = 0; // CDN_FILEOK notifications still to refuse
};

inline HookLog& hookLog() {
    static HookLog log;
    return log;
}

inline UINT recordingHook(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    int code = msg == WM_COMMAND ? int(wParam & 0xFFFF) : 0;
    NMHDR header{};
    if (msg == WM_NOTIFY && ReadMemory(Address(lParam), &header, sizeof header))
        code = int(header.code);
    hookLog().events.append({msg, code});
    hookLog().windows.append(hDlg);
    if (code != CDN_FILEOK || msg != WM_NOTIFY || hookLog().refuseFileOk <= 0)
        return 0;
    --hookLog().refuseFileOk;
    SetWindowLongA(hDlg, DWL_MSGRESULT, 1);
    return 1;
}

// An OPENFILENAME with a file buffer, a 260-byte title buffer and an optional filter (its
// pairs given without the closing zero); text() puts more strings in blocks of their own.
class FileRecord {
public:
    FileRecord(DWORD fileBufferSize, const QByteArray& filter) {
        ofn.lStructSize = sizeof(OPENFILENAME);
        ofn.lpstrFile = text({}, fileBufferSize);
        ofn.nMaxFile = fileBufferSize;
        ofn.lpstrFileTitle = text({}, 260);
        ofn.nMaxFileTitle = 260;
        ofn.lpstrFilter = filter.isNull() ? 0 : text(filter, DWORD(filter.size() + 2));
    }
    QByteArray file() const { return ReadBytes(ofn.lpstrFile, ofn.nMaxFile); }
    Address text(const QByteArray& bytes, DWORD size = 0) {
        blocks_.push_back(std::make_unique<LockedBlock>(size ? size : DWORD(bytes.size() + 1)));
        WriteBytes(blocks_.back()->address(), bytes);
        return blocks_.back()->address();
    }
    OPENFILENAME ofn{};

private:
    std::vector<std::unique_ptr<LockedBlock>> blocks_;
};

// A record with its size field set and everything else zero.
template <class Record> Record sized() {
    Record r{};
    r.lStructSize = sizeof(Record);
    return r;
}

inline PRINTDLG printRecord(DWORD flags) {
    PRINTDLG pd = sized<PRINTDLG>();
    pd.Flags = flags;
    pd.nMinPage = 1;
    pd.nMaxPage = 65535;
    return pd;
}

inline DEVMODE devMode(HGLOBAL h) {
    DEVMODE dm{};
    ReadMemory(GlobalLock(h), &dm, sizeof dm);
    GlobalUnlock(h);
    return dm;
}

inline void freeDevice(HGLOBAL mode, HGLOBAL names) {
    GlobalFree(mode);
    GlobalFree(names);
}

struct FontRecord {
    LockedBlock logFont{sizeof(LOGFONT), GHND};
    CHOOSEFONT cf = sized<CHOOSEFONT>();
    FontRecord() { cf.lpLogFont = logFont.address(); }
};

struct ColourRecord {
    LockedBlock custom{64, GHND};
    CHOOSECOLOR cc = sized<CHOOSECOLOR>();
    ColourRecord() { cc.lpCustColors = custom.address(); }
};

} // namespace dialog_test
