#pragma once
// Shared machinery of the dialog operations: the last extended error, hook calls with
// WM_NOTIFY records, and running a dialog modally under the script seam.

#include "comdlg.h"

#include <QDialog>

#include <memory>

namespace platform::detail {

void setExtendedError(DWORD code);

// Sends a message to a hook procedure (no-op returning 0 for id 0 or unknown ids).
UINT callHook(HookAddress hook, HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Sends WM_NOTIFY with an NMHDR {hwndFrom, 0, code} placed in global memory, followed by the
// record's address and a zero file name (OFNOTIFY) when a record is given; returns the
// hook's result, or 1 when the hook set the dialog's message result to nonzero.
UINT notifyHook(HookAddress hook, HWND hDlg, int code, Address record = 0);

// Runs dialog modally. With a hook, WM_INITDIALOG goes to hookWindow once the dialog is shown
// and WM_DESTROY when it closes. With a script installed, the script is asked for an answer
// once the dialog is shown and again after each answer that left the dialog open; apply()
// carries an Accept answer out on the dialog (it may refuse and leave it open). Returns true
// when the dialog was accepted.
// A hook whose window is the dialog itself (old style) gets WM_COMMAND IDOK or IDCANCEL
// before the dialog acts on OK, Cancel, Enter, Escape, the close box or a scripted answer;
// a hook in a child window (Explorer style) does not. Other buttons of the dialog's button
// boxes send WM_COMMAND 0x400 + their place. afterInit runs after WM_INITDIALOG (file
// dialogs notify there).
using ApplyAnswer = std::function<void(const DialogAnswer&)>;
// initParam is WM_INITDIALOG's lParam: the address of a copy of the dialog's record.
bool runDialog(QDialog& dialog, DialogKind kind, HookAddress hook, HWND hookWindow,
               const ApplyAnswer& apply, const std::function<void()>& afterInit = {},
               LPARAM initParam = 0);

// Answers a yes/no question (the overwrite prompt): through the script when one is installed,
// else with a real message box. True means yes.
bool askYesNo(QWidget* parent, DialogKind kind, const QString& title, const QString& text);

// Keeps a printer for a device context handle.
HDC addPrinterDC(std::unique_ptr<QPrinter> printer);

// Owner widget for a record's owner handle (nullptr for 0 or a bad handle).
QWidget* ownerWidget(HWND owner);

QByteArray toLocal8(const QString& text);
QString fromLocal8(const QByteArray& bytes);

} // namespace platform::detail
