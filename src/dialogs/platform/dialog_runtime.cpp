#include "dialog_runtime.h"

#include "window.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPrinter>
#include <QTimer>

#include <map>
#include <memory>
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

UINT notifyHook(HookAddress hook, HWND hDlg, int code) {
    if (!HookProcFromAddress(hook))
        return 0;
    LockedBlock block(sizeof(NMHDR));
    if (!block.isValid())
        return 0;
    NMHDR header{GetParent(hDlg) ? GetParent(hDlg) : hDlg, 0, UINT(code)};
    WriteMemory(block.address(), &header, sizeof header);
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

// Answers the shown dialog from the script until it closes, the script hands it to the user,
// or the rounds run out.
void runScript(QDialog& dialog, DialogKind kind, HookAddress hook, HWND hookWindow,
               const ApplyAnswer& apply) {
    for (int round = 0; round < kMaxScriptRounds && dialog.isVisible(); ++round) {
        const DialogAnswer answer = script()(kind, &dialog);
        if (answer.action == DialogAnswer::Action::RunReal)
            return;
        if (answer.action == DialogAnswer::Action::Cancel) {
            if (hook)
                callHook(hook, hookWindow, WM_COMMAND, IDCANCEL, 0);
            dialog.reject();
            return;
        }
        if (hook)
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
    if (hooked) {
        // Every button of the dialog's button boxes reports its press to the hook.
        const auto boxes = dialog.findChildren<QDialogButtonBox*>();
        for (QDialogButtonBox* box : boxes) {
            const auto buttons = box->buttons();
            for (int i = 0; i < buttons.size(); ++i) {
                QAbstractButton* button = buttons[i];
                WORD id = WORD(0x400 + i);
                switch (box->buttonRole(button)) {
                case QDialogButtonBox::AcceptRole:
                case QDialogButtonBox::YesRole:
                    id = IDOK;
                    break;
                case QDialogButtonBox::RejectRole:
                case QDialogButtonBox::NoRole:
                    id = IDCANCEL;
                    break;
                default:
                    break;
                }
                QObject::connect(button, &QAbstractButton::clicked, &dialog,
                                 [hook, hookWindow, id, button] {
                                     callHook(hook, hookWindow, WM_COMMAND, id,
                                              LPARAM(HandleFromWidget(button)));
                                 });
            }
        }
    }

    // The dialog runs inside exec(): Qt's page-setup dialog applies the user's choices to its
    // printer only there. Initialisation and any scripted answers run once it is shown.
    QTimer::singleShot(0, &dialog, [&] {
        if (hooked)
            callHook(hook, hookWindow, WM_INITDIALOG, 0, initParam);
        if (afterInit)
            afterInit();
        if (script())
            runScript(dialog, kind, hook, hookWindow, apply);
    });
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
