// The dialog service below the wrapper: fills the platform's dialog records from plain
// arguments, runs the dialog, keeps its return value and extended error and copies the
// results back into the by-reference arguments. While a hooked dialog is open it forwards
// the dialog's messages to an event sink.
#pragma once

#include "stdfont.h"

#include <QString>

#include <array>
#include <cstdint>

#include "comdlg.h"

namespace dialogs {

// Receives the calls of a hooked dialog.
class DialogEventSink {
public:
    virtual ~DialogEventSink() = default;
    virtual std::int32_t InitDialog(std::int32_t hDlg) = 0;
    virtual void DialogClose() = 0;
    virtual void WMCommand(std::int32_t hDlg, std::int32_t& wParam, std::int32_t& lParam) = 0;
    virtual std::int32_t TypeChange(std::int32_t hDlg) = 0;
    // False keeps the dialog open.
    virtual bool ConfirmOK() = 0;
    virtual std::int32_t FolderChange(std::int32_t hDlg) = 0;
    virtual std::int32_t FileChange(std::int32_t hDlg) = 0;
};

class GCommonDialog {
public:
    GCommonDialog() = default;
    ~GCommonDialog();
    GCommonDialog(const GCommonDialog&) = delete;
    GCommonDialog& operator=(const GCommonDialog&) = delete;

    // The value for the hook procedure to return for this message.
    std::int32_t DialogHook(std::int32_t hDlg, std::int32_t msg, std::int32_t wParam,
                            std::int32_t lParam);

    std::int32_t APIReturn() const { return apiReturn_; }
    std::int32_t ExtendedError() const { return extendedError_; }

    bool VBGetOpenFileName2(QString& Filename, QString& FileTitle, bool FileMustExist,
                            bool MultiSelect, bool& ReadOnly, bool HideReadOnly, QString& Filter,
                            std::int32_t& FilterIndex, const QString& InitDir,
                            const QString& DlgTitle, const QString& DefaultExt, std::int32_t Owner,
                            std::int32_t& flags, bool Hook, std::int32_t hInstance,
                            std::int32_t TemplateName, DialogEventSink* EventSink);
    bool VBGetOpenFileName(QString& Filename, QString& FileTitle, bool FileMustExist,
                           bool MultiSelect, bool& ReadOnly, bool HideReadOnly, QString& Filter,
                           std::int32_t& FilterIndex, const QString& InitDir,
                           const QString& DlgTitle, const QString& DefaultExt, std::int32_t Owner,
                           std::int32_t& flags, bool Hook, DialogEventSink* EventSink);
    bool VBGetSaveFileName2(QString& Filename, QString& FileTitle, bool OverWritePrompt,
                            QString& Filter, std::int32_t& FilterIndex, const QString& InitDir,
                            const QString& DlgTitle, const QString& DefaultExt, std::int32_t Owner,
                            std::int32_t& flags, bool Hook, std::int32_t hInstance,
                            std::int32_t TemplateName, DialogEventSink* EventSink);
    bool VBGetSaveFileName(QString& Filename, QString& FileTitle, bool OverWritePrompt,
                           QString& Filter, std::int32_t& FilterIndex, const QString& InitDir,
                           const QString& DlgTitle, const QString& DefaultExt, std::int32_t Owner,
                           std::int32_t& flags, bool Hook, DialogEventSink* EventSink);
    // The file's display title; empty when the platform cannot give one.
    QString VBGetFileTitle(const QString& sFIle);

    bool VBChooseColor(std::int32_t& Color, bool AnyColor, bool FullOpen, bool DisableFullOpen,
                       std::int32_t Owner, std::int32_t flags, bool Hook,
                       DialogEventSink* EventSink);
    // Entry i of the custom colour table (filled from the system colours on first use);
    // -1 outside 0..15, where writes are ignored.
    std::int32_t CustomColor(std::int16_t i);
    void SetCustomColor(std::int16_t i, std::int32_t iValue);

    bool VBChooseFont(StdFont& CurFont, std::int32_t& PrinterDC, std::int32_t Owner,
                      std::int32_t& Color, std::int32_t MinSize, std::int32_t MaxSize,
                      std::int32_t& flags, bool Hook, DialogEventSink* EventSink);

    bool VBPrintDlg(std::int32_t& hdc, std::int32_t& PrintRange, bool DisablePageNumbers,
                    std::int32_t& FromPage, std::int32_t& ToPage, bool DisableSelection,
                    std::int32_t& Copies, bool ShowPrintToFile, bool DisablePrintToFile,
                    bool& PrintToFile, bool& Collate, bool PreventWarning, std::int32_t Owner,
                    QObject* Printer, std::int32_t& flags, bool Hook, DialogEventSink* EventSink);

    // Page setup; Units 0 gives margins in millimetres, 1 in inches, and comes back as the
    // unit the dialog used. Margins below their minimums come back raised to them.
    bool VBPageSetupDlg2(std::int32_t Owner, bool DisableMargins, bool DisableOrientation,
                         bool DisablePaper, bool DisablePrinter, double& LeftMargin,
                         double& RightMargin, double& TopMargin, double& BottomMargin,
                         double MinLeftMargin, double MinRightMargin, double MinTopMargin,
                         double MinBottomMargin, std::int32_t& PaperSize, std::int32_t& Orientation,
                         std::int32_t& PrintQuality, std::int32_t& Units, QObject* Printer,
                         std::int32_t& flags, bool Hook, DialogEventSink* EventSink);
    // The same with whole-unit margins.
    bool VBPageSetupDlg(std::int32_t Owner, bool DisableMargins, bool DisableOrientation,
                        bool DisablePaper, bool DisablePrinter, std::int32_t& LeftMargin,
                        std::int32_t& RightMargin, std::int32_t& TopMargin,
                        std::int32_t& BottomMargin, std::int32_t MinLeftMargin,
                        std::int32_t MinRightMargin, std::int32_t MinTopMargin,
                        std::int32_t MinBottomMargin, std::int32_t& PaperSize,
                        std::int32_t& Orientation, std::int32_t& PrintQuality, std::int32_t& Units,
                        QObject* Printer, std::int32_t& flags, bool Hook,
                        DialogEventSink* EventSink);

    // The printer's device mode as the last print or page-setup dialog returned it.
    const platform::DEVMODE& DevMode() const { return devMode_; }

private:
    void Begin();
    void Hooked(bool hook, DialogEventSink* sink);
    void Finish(std::int32_t result);
    void FillColorTable();

    std::int32_t apiReturn_ = 0;
    std::int32_t extendedError_ = 0;
    std::array<std::uint32_t, 16> customColors_{};
    bool customColorsFilled_ = false;
    DialogEventSink* sink_ = nullptr;
    platform::DEVMODE devMode_{};
};

// The registration of the one object whose hooked dialog is open, and the hook procedures
// that the platform calls for it.
namespace mDialogHook {

void Register(GCommonDialog* dialog);
void ClearRegistration();
// The registered object, nullptr when none. It stays registered only while its dialog runs.
GCommonDialog* Registered();

platform::UINT OpenSaveHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                            platform::LPARAM lParam);
platform::UINT PrintHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                         platform::LPARAM lParam);
platform::UINT PrintSetupHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                              platform::LPARAM lParam);
platform::UINT PageSetupHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam);
platform::UINT ColorHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                         platform::LPARAM lParam);
platform::UINT FontHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                        platform::LPARAM lParam);

} // namespace mDialogHook

} // namespace dialogs
