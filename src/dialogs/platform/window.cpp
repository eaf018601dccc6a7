#include "window.h"

#include "global_memory.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLibrary>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QUrl>
#include <QWidget>

#include <cstring>
#include <map>
#include <memory>

namespace platform {
namespace {

struct WindowEntry {
    QPointer<QWidget> widget;
    std::map<int, LONG> longs;
};

// Window handles start at 0x00010010 and go up by 4; destroyed windows keep their number.
struct WindowTable {
    std::map<HWND, WindowEntry> byHandle;
    HWND next = 0x00010010;
};

WindowTable& windows() {
    static WindowTable t;
    return t;
}

WindowEntry* entryOf(HWND hwnd) {
    auto it = windows().byHandle.find(hwnd);
    if (it == windows().byHandle.end() || it->second.widget.isNull())
        return nullptr;
    return &it->second;
}

DWORD& lastError() {
    static DWORD code = 0;
    return code;
}

COLORREF rgb(int r, int g, int b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}

COLORREF fromQColor(const QColor& c) {
    return rgb(c.red(), c.green(), c.blue());
}

} // namespace

HWND HandleFromWidget(QWidget* widget) {
    if (!widget)
        return 0;
    WindowTable& t = windows();
    for (auto& [handle, entry] : t.byHandle)
        if (entry.widget == widget)
            return handle;
    const HWND handle = t.next;
    t.next += 4;
    t.byHandle[handle].widget = widget;
    QObject::connect(widget, &QObject::destroyed, [handle] { windows().byHandle.erase(handle); });
    return handle;
}

QWidget* WidgetFromHandle(HWND hwnd) {
    WindowEntry* e = entryOf(hwnd);
    return e ? e->widget.data() : nullptr;
}

BOOL IsWindow(HWND hwnd) {
    return entryOf(hwnd) ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd) {
    QWidget* w = WidgetFromHandle(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return HandleFromWidget(w->parentWidget());
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    QWidget* w = WidgetFromHandle(hwnd);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    QRect r;
    if (w->isWindow()) {
        r = w->frameGeometry();
    } else {
        r = QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
    }
    rect->left = r.left();
    rect->top = r.top();
    rect->right = r.left() + r.width();
    rect->bottom = r.top() + r.height();
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    QWidget* w = WidgetFromHandle(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->isWindow()) {
        // x, y place the frame; the size is the frame's size too.
        const QRect frame = w->frameGeometry();
        const QRect inner = w->geometry();
        const int extraW = frame.width() - inner.width();
        const int extraH = frame.height() - inner.height();
        w->move(x, y);
        w->resize(qMax(0, width - extraW), qMax(0, height - extraH));
    } else {
        const QPoint local =
            w->parentWidget() ? w->parentWidget()->mapFromGlobal(QPoint(x, y)) : QPoint(x, y);
        w->setGeometry(local.x(), local.y(), width, height);
    }
    if (repaint)
        w->update();
    return TRUE;
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
    WindowEntry* e = entryOf(hwnd);
    if (!e) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const LONG previous = e->longs[index];
    e->longs[index] = value;
    return previous;
}

LONG GetWindowLongA(HWND hwnd, int index) {
    WindowEntry* e = entryOf(hwnd);
    if (!e) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    auto it = e->longs.find(index);
    return it == e->longs.end() ? 0 : it->second;
}

BOOL SystemParametersInfoA(UINT action, UINT, void* param, UINT) {
    if (action != SPI_GETWORKAREA || !param) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const QRect area = screen->availableGeometry();
    RECT r;
    r.left = area.left();
    r.top = area.top();
    r.right = area.left() + area.width();
    r.bottom = area.top() + area.height();
    std::memcpy(param, &r, sizeof r);
    return TRUE;
}

COLORREF GetSysColor(int index) {
    // The classic colours, used for indices without a palette role.
    static const COLORREF classic[31] = {
        rgb(212, 208, 200), rgb(58, 110, 165),  rgb(10, 36, 106),   rgb(128, 128, 128),
        rgb(212, 208, 200), rgb(255, 255, 255), rgb(0, 0, 0),       rgb(0, 0, 0),
        rgb(0, 0, 0),       rgb(255, 255, 255), rgb(212, 208, 200), rgb(212, 208, 200),
        rgb(128, 128, 128), rgb(10, 36, 106),   rgb(255, 255, 255), rgb(212, 208, 200),
        rgb(128, 128, 128), rgb(128, 128, 128), rgb(0, 0, 0),       rgb(212, 208, 200),
        rgb(255, 255, 255), rgb(64, 64, 64),    rgb(212, 208, 200), rgb(0, 0, 0),
        rgb(255, 255, 225), rgb(181, 181, 181), rgb(0, 0, 128),     rgb(166, 202, 240),
        rgb(192, 192, 192), rgb(49, 106, 197),  rgb(236, 233, 216)};
    if (index < 0 || index > 30)
        return 0;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return classic[index]; // no palette without a GUI application
    const QPalette p = QApplication::palette();
    switch (index) {
    case COLOR_WINDOW:
        return fromQColor(p.color(QPalette::Active, QPalette::Base));
    case COLOR_WINDOWTEXT:
        return fromQColor(p.color(QPalette::Active, QPalette::Text));
    case COLOR_MENU:
    case COLOR_BTNFACE:
        return fromQColor(p.color(QPalette::Active, QPalette::Button));
    case COLOR_MENUTEXT:
    case COLOR_BTNTEXT:
        return fromQColor(p.color(QPalette::Active, QPalette::ButtonText));
    case COLOR_HIGHLIGHT:
        return fromQColor(p.color(QPalette::Active, QPalette::Highlight));
    case COLOR_HIGHLIGHTTEXT:
        return fromQColor(p.color(QPalette::Active, QPalette::HighlightedText));
    case COLOR_BTNSHADOW:
        return fromQColor(p.color(QPalette::Active, QPalette::Dark));
    case COLOR_GRAYTEXT:
        return fromQColor(p.color(QPalette::Disabled, QPalette::Text));
    case COLOR_BTNHIGHLIGHT:
        return fromQColor(p.color(QPalette::Active, QPalette::Light));
    case COLOR_3DDKSHADOW:
        return fromQColor(p.color(QPalette::Active, QPalette::Shadow));
    case COLOR_3DLIGHT:
        return fromQColor(p.color(QPalette::Active, QPalette::Midlight));
    case COLOR_INFOTEXT:
        return fromQColor(p.color(QPalette::Active, QPalette::ToolTipText));
    case COLOR_INFOBK:
        return fromQColor(p.color(QPalette::Active, QPalette::ToolTipBase));
    case COLOR_HOTLIGHT:
        return fromQColor(p.color(QPalette::Active, QPalette::Link));
    default:
        return classic[index];
    }
}

LONG OleTranslateColor(quint32 oleColor, quint32, COLORREF* result) {
    COLORREF value = 0;
    switch (oleColor >> 24) {
    case 0x00:
        value = oleColor;
        break;
    case 0x80:
        if ((oleColor & 0x00FFFFFF) > 30)
            return E_INVALIDARG;
        value = GetSysColor(int(oleColor & 0xFF));
        break;
    default:
        return E_INVALIDARG;
    }
    if (result)
        *result = value;
    return S_OK;
}

DWORD GetLastError() {
    return lastError();
}
void SetLastError(DWORD code) {
    lastError() = code;
}

DWORD FormatMessageA(DWORD flags, const void*, DWORD code, DWORD, char* buffer, DWORD size, void*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    QByteArray text;
    switch (code) {
    case ERROR_SUCCESS:
        text = "The operation completed successfully.";
        break;
    case ERROR_FILE_NOT_FOUND:
        text = "The system cannot find the file specified.";
        break;
    case ERROR_INVALID_HANDLE:
        text = "The handle is invalid.";
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
        text = "Not enough memory resources are available to process this command.";
        break;
    case ERROR_INVALID_PARAMETER:
        text = "The parameter is incorrect.";
        break;
    case ERROR_MOD_NOT_FOUND:
        text = "The specified module could not be found.";
        break;
    case ERROR_NOT_LOCKED:
        text = "The segment is already unlocked.";
        break;
    case ERROR_INVALID_WINDOW_HANDLE:
        text = "Invalid window handle.";
        break;
    default:
        if (code < 200) {
            const char* s = std::strerror(int(code));
            if (s && !QByteArray(s).startsWith("Unknown error"))
                text = QByteArray(s) + '.';
        }
        break;
    }
    if (text.isEmpty()) {
        SetLastError(0x13D); // ERROR_MR_MID_NOT_FOUND
        return 0;
    }
    text += "\r\n";
    const DWORD n = qMin<DWORD>(DWORD(text.size()), size - 1);
    std::memcpy(buffer, text.constData(), n);
    buffer[n] = 0;
    return n;
}

namespace {
struct ModuleTable {
    std::map<HMODULE, std::unique_ptr<QLibrary>> byHandle;
    HMODULE next = 0x10000000;
};
ModuleTable& modules() {
    static ModuleTable t;
    return t;
}
} // namespace

HMODULE LoadLibraryA(const char* fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto lib = std::make_unique<QLibrary>(QString::fromLocal8Bit(fileName));
    if (!lib->load()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    ModuleTable& t = modules();
    const HMODULE handle = t.next;
    t.next += 0x10000;
    t.byHandle[handle] = std::move(lib);
    return handle;
}

BOOL FreeLibrary(HMODULE module) {
    auto it = modules().byHandle.find(module);
    if (it == modules().byHandle.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    it->second->unload();
    modules().byHandle.erase(it);
    return TRUE;
}

namespace {
bool openWithDesktop(const QString& file) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
}
HelpOpener& helpOpener() {
    static HelpOpener opener = &openWithDesktop;
    return opener;
}
QList<HelpCall>& helpCalls() {
    static QList<HelpCall> calls;
    return calls;
}
} // namespace

BOOL WinHelpA(HWND hwnd, const char* helpFile, UINT command, DWORD data) {
    HelpCall call;
    call.hwnd = hwnd;
    call.file = helpFile ? QString::fromLocal8Bit(helpFile) : QString();
    call.command = command;
    call.data = data;
    auto finish = [&call](bool ok, DWORD error) {
        call.succeeded = ok;
        helpCalls().append(call);
        if (!ok)
            SetLastError(error);
        return ok ? TRUE : FALSE;
    };
    if (command == HELP_QUIT)
        return finish(true, 0);
    if (call.file.isEmpty() || !QFileInfo(call.file).isFile())
        return finish(false, ERROR_FILE_NOT_FOUND);
    switch (command) {
    case HELP_SETWINPOS: {
        HELPWININFO info{};
        if (!ReadMemory(data, &info, sizeof info) || info.wStructSize != int(sizeof info))
            return finish(false, ERROR_INVALID_PARAMETER);
        call.window = info;
        return finish(true, 0);
    }
    case HELP_MULTIKEY: {
        // MULTIKEYHELP: DWORD mkSize, char mkKeylist, then the zero-terminated phrase.
        const quint32 recordSize = ReadUInt32(data);
        if (recordSize < 6 || BytesAvailable(data) < recordSize)
            return finish(false, ERROR_INVALID_PARAMETER);
        call.key = QString::fromLocal8Bit(ReadBytes(data + 5, recordSize - 5).split('\0').front());
        return finish(helpOpener()(call.file), ERROR_FILE_NOT_FOUND);
    }
    case HELP_KEY:
    case HELP_PARTIALKEY:
    case HELP_COMMAND:
        call.key = QString::fromLocal8Bit(ReadCString(data));
        return finish(helpOpener()(call.file), ERROR_FILE_NOT_FOUND);
    case HELP_SETINDEX:
        return finish(true, 0);
    default:
        return finish(helpOpener()(call.file), ERROR_FILE_NOT_FOUND);
    }
}

QList<HelpCall> HelpCalls() {
    return helpCalls();
}
void ClearHelpCalls() {
    helpCalls().clear();
}
void SetHelpOpener(HelpOpener opener) {
    helpOpener() = opener ? opener : &openWithDesktop;
}

} // namespace platform
