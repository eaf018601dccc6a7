#pragma once
// Shared by the dialog tests: a scoped dialog script, a recording hook and records whose
// strings and buffers live in global memory blocks.

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

inline QList<HookEvent> hookLog;
inline HWND hookWindow = 0; // the window the hook was last called with

inline UINT recordingHook(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    NMHDR header{};
    hookWindow = window;
    if (msg == WM_NOTIFY)
        ReadMemory(Address(lParam), &header, sizeof header);
    hookLog.append({msg, msg == WM_COMMAND ? int(wParam & 0xFFFF) : int(header.code)});
    return 0;
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

struct FontRecord {
    LockedBlock logFont{sizeof(LOGFONT), GHND};
    CHOOSEFONT cf = sized<CHOOSEFONT>();
    FontRecord() { cf.lpLogFont = logFont.address(); }
};

} // namespace dialog_test
