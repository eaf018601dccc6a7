#include "dialog_runtime.h"

#include "window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace platform {
namespace {

DWORD& extendedError() {
    static DWORD code = 0;
    return code;
}

DialogScript& script() {
    static DialogScript s;
    return s;
}

// Hook ids: 0x7FF00010, 0x7FF00020, ... one per registered procedure, in registration order.
constexpr HookAddress kFirstHookId = 0x7FF00010;
constexpr HookAddress kHookIdStep = 0x10;

std::vector<HookProc>& hookTable() {
    static std::vector<HookProc> table;
    return table;
}

struct DcTable {
    std::map<HDC, std::unique_ptr<QPrinter>> byHandle;
    HDC next = 0x01000010;
};

DcTable& dcs() {
    static DcTable t;
    return t;
}

// More rounds than any honest script needs; a script that never closes the dialog is cut off.
constexpr int kMaxScriptRounds = 64;

} // namespace

HookAddress RegisterHookProc(HookProc proc) {
    if (!proc)
        return 0;
    auto& table = hookTable();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i] == proc)
            return kFirstHookId + HookAddress(i) * kHookIdStep;
    table.push_back(proc);
    return kFirstHookId + HookAddress(table.size() - 1) * kHookIdStep;
}

HookProc HookProcFromAddress(HookAddress id) {
    if (id < kFirstHookId || (id - kFirstHookId) % kHookIdStep != 0)
        return nullptr;
    const size_t index = (id - kFirstHookId) / kHookIdStep;
    return index < hookTable().size() ? hookTable()[index] : nullptr;
}

DWORD CommDlgExtendedError() {
    return extendedError();
}

void SetDialogScript(DialogScript s) {
    script() = std::move(s);
}
bool HasDialogScript() {
    return bool(script());
}

QPrinter* PrinterFromDC(HDC hdc) {
    auto it = dcs().byHandle.find(hdc);
    return it == dcs().byHandle.end() ? nullptr : it->second.get();
}

BOOL DeleteDC(HDC hdc) {
    return dcs().byHandle.erase(hdc) ? TRUE : FALSE;
}

namespace detail {

HDC addPrinterDC(std::unique_ptr<QPrinter> printer) {
    const HDC handle = dcs().next;
    dcs().next += 4;
    dcs().byHandle[handle] = std::move(printer);
    return handle;
}

void setExtendedError(DWORD code) {
    extendedError() = code;
}

UINT callHook(HookAddress hook, HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    HookProc proc = HookProcFromAddress(hook);
    return proc ? proc(hDlg, msg, wParam, lParam) : 0;
}

UINT notifyHook(HookAddress hook, HWND hDlg, int code, Address record) {
    if (!HookProcFromAddress(hook))
        return 0;
    LockedBlock block(sizeof(OFNOTIFY));
    if (!block.isValid())
        return 0;
    const OFNOTIFY notice{{GetParent(hDlg) ? GetParent(hDlg) : hDlg, 0, UINT(code)}, record, 0};
    WriteMemory(block.address(), &notice, record ? sizeof notice : sizeof notice.hdr);
    SetWindowLongA(hDlg, DWL_MSGRESULT, 0);
    const UINT result = callHook(hook, hDlg, WM_NOTIFY, 0, LPARAM(block.address()));
    return (result != 0 || GetWindowLongA(hDlg, DWL_MSGRESULT) != 0) ? 1 : 0;
}

QWidget* ownerWidget(HWND owner) {
    return owner ? WidgetFromHandle(owner) : nullptr;
}

QByteArray toLocal8(const QString& text) {
    return QFile::encodeName(text);
}
QString fromLocal8(const QByteArray& bytes) {
    return QFile::decodeName(bytes);
}

namespace {

WORD CommandOf(QDialogButtonBox::ButtonRole role, int place) {
    switch (role) {
    case QDialogButtonBox::AcceptRole:
    case QDialogButtonBox::YesRole:
        return IDOK;
    case QDialogButtonBox::RejectRole:
    case QDialogButtonBox::NoRole:
        return IDCANCEL;
    default:
        return WORD(0x400 + place);
    }
}

// The other buttons of the dialog's button boxes report their presses as WM_COMMAND 0x400 +
// their place; OK and Cancel are watched by CommandFilter.
void ReportOtherButtons(QDialog& dialog, HookAddress hook, HWND hookWindow) {
    for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>()) {
        const auto buttons = box->buttons();
        for (int i = 0; i < buttons.size(); ++i) {
            QAbstractButton* button = buttons[i];
            const WORD id = CommandOf(box->buttonRole(button), i);
            if (id == IDOK || id == IDCANCEL)
                continue;
            QObject::connect(button, &QAbstractButton::clicked, &dialog, [=] {
                callHook(hook, hookWindow, WM_COMMAND, id, LPARAM(HandleFromWidget(button)));
            });
        }
    }
}

// Sends an old-style hook WM_COMMAND IDOK or IDCANCEL for the input that is about to make the
// dialog act, before the dialog sees it: a click (mouse or Space) on OK or Cancel, Enter
// (on the focused button, else the default one), Escape, and the window's close box.
class CommandFilter : public QObject {
public:
    CommandFilter(QDialog& dialog, HookAddress hook, HWND hookWindow)
        : dialog_(dialog), hook_(hook), window_(hookWindow) {
        for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>()) {
            for (QAbstractButton* button : box->buttons()) {
                const WORD id = CommandOf(box->buttonRole(button), 0);
                if (id == IDOK || id == IDCANCEL)
                    commands_.insert(button, id);
            }
        }
        // Keys are seen where they arrive first, in any control of the dialog: a name box
        // acts on Enter itself, and the dialog never sees that key.
        qApp->installEventFilter(this);
    }
    ~CommandFilter() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || (widget != &dialog_ && !dialog_.isAncestorOf(widget)))
            return false;
        // A key is taken where it arrives first (the focused control), not again on its way up.
        QWidget* first = dialog_.focusWidget() ? dialog_.focusWidget() : &dialog_;
        if ((event->type() == QEvent::KeyPress && widget == first) ||
            (event->type() == QEvent::Close && widget == &dialog_))
            return DialogEvent(event);
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (!button || !commands_.contains(button))
            return false;
        const auto* mouse = event->type() == QEvent::MouseButtonRelease
                                ? static_cast<QMouseEvent*>(event)
                                : nullptr;
        const bool mouseClick = mouse && mouse->button() == Qt::LeftButton &&
                                button->rect().contains(mouse->position().toPoint());
        const bool spaceClick = event->type() == QEvent::KeyRelease &&
                                static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
                                !static_cast<QKeyEvent*>(event)->isAutoRepeat();
        if ((mouseClick || spaceClick) && button->isDown() && button->isEnabled())
            Send(commands_.value(button));
        return false;
    }

private:
    bool DialogEvent(QEvent* event) {
        if (event->type() == QEvent::Close && event->spontaneous()) {
            Send(IDCANCEL);
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape)
                Send(IDCANCEL);
            else if (key == Qt::Key_Return || key == Qt::Key_Enter)
                Send(EnterCommand());
        }
        return false;
    }

    // The button that Enter presses: a focused push button, else the default one.
    WORD EnterCommand() const {
        auto* focused = qobject_cast<QPushButton*>(dialog_.focusWidget());
        if (focused && focused->autoDefault() && commands_.contains(focused))
            return commands_.value(focused);
        for (auto it = commands_.cbegin(); it != commands_.cend(); ++it) {
            auto* push = qobject_cast<QPushButton*>(it.key());
            if (push && push->isDefault())
                return it.value();
        }
        return 0;
    }

    void Send(WORD id) {
        if (id != 0)
            callHook(hook_, window_, WM_COMMAND, id, 0);
    }

    QDialog& dialog_;
    HookAddress hook_;
    HWND window_;
    QHash<QAbstractButton*, WORD> commands_;
};

// Answers the shown dialog from the script until it closes, the script hands it to the user,
// or the rounds run out.
void runScript(QDialog& dialog, DialogKind kind, HookAddress hook, HWND hookWindow, bool ownsDialog,
               const ApplyAnswer& apply) {
    for (int round = 0; round < kMaxScriptRounds && dialog.isVisible(); ++round) {
        const DialogAnswer answer = script()(kind, &dialog);
        if (answer.action == DialogAnswer::Action::RunReal)
            return;
        if (answer.action == DialogAnswer::Action::Cancel) {
            if (ownsDialog)
                callHook(hook, hookWindow, WM_COMMAND, IDCANCEL, 0);
            dialog.reject();
            return;
        }
        if (ownsDialog)
            callHook(hook, hookWindow, WM_COMMAND, IDOK, 0);
        apply(answer);
    }
    // A script that answered every round without closing the dialog is cut off.
    if (dialog.isVisible())
        dialog.reject();
}

} // namespace

bool runDialog(QDialog& dialog, DialogKind kind, HookAddress hook, HWND hookWindow,
               const ApplyAnswer& apply, const std::function<void()>& afterInit, LPARAM initParam) {
    const bool hooked = hook != 0;
    // An old-style hook is the dialog's own procedure: it sees OK and Cancel (pressed, or
    // Enter and Escape) before the dialog acts on them. An Explorer-style hook sits in a child
    // window and sees only its own controls; OK reaches it as a notification.
    const bool ownsDialog = hooked && hookWindow == HandleFromWidget(&dialog);
    if (hooked)
        ReportOtherButtons(dialog, hook, hookWindow);
    std::optional<CommandFilter> commands;
    if (ownsDialog)
        commands.emplace(dialog, hook, hookWindow);
    // The dialog runs inside exec(): Qt's page-setup dialog applies the user's choices to its
    // printer only there. Initialisation and any scripted answers run once it is shown.
    // (A posted call, handled by exec() before any timer, and always within this call.)
    QMetaObject::invokeMethod(
        &dialog,
        [&] {
            if (hooked)
                callHook(hook, hookWindow, WM_INITDIALOG, 0, initParam);
            if (afterInit)
                afterInit();
            if (script())
                runScript(dialog, kind, hook, hookWindow, ownsDialog, apply);
        },
        Qt::QueuedConnection);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
    if (hooked)
        callHook(hook, hookWindow, WM_DESTROY, 0, 0);
    return dialog.result() == QDialog::Accepted;
}

bool askYesNo(QWidget* parent, DialogKind kind, const QString& title, const QString& text) {
    if (script())
        return script()(kind, nullptr).action == DialogAnswer::Action::Accept;
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

} // namespace detail
} // namespace platform
