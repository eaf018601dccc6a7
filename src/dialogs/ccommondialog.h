// One object for the standard dialogs: settings as properties, one Show method per dialog,
// results copied back into the properties, cancel and failure raised as DialogError, and
// the hooked dialog's messages raised as signals.
//
// The signals carry the events' names. The operations through which a hooked dialog raises
// them are the Raise... methods (RaiseInitDialog raises InitDialog, and so on); the dialog
// service reaches them through the wrapper's DialogEventSink.
#pragma once

#include "gcommondialog.h"
#include "stdfont.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace dialogs {

class cCommonDialog : public QObject {
    Q_OBJECT

public:
    explicit cCommonDialog(QObject* parent = nullptr);
    ~cCommonDialog() override;

    bool CancelError() const { return cancelError_; }
    void setCancelError(bool value) { cancelError_ = value; }
    const QString& Filename() const { return filename_; }
    void setFilename(const QString& value) { filename_ = value; }
    const QString& Filter() const { return filter_; }
    void setFilter(const QString& value) { filter_ = value; }
    std::int32_t FilterIndex() const { return filterIndex_; }
    void setFilterIndex(std::int32_t value) { filterIndex_ = value; }
    std::int32_t Color() const { return color_; }
    void setColor(std::int32_t value) { color_ = value; }
    std::int32_t Copies() const { return copies_; }
    void setCopies(std::int32_t value) { copies_ = value; }
    const QString& DefaultExt() const { return defaultExt_; }
    void setDefaultExt(const QString& value) { defaultExt_ = value; }
    const QString& DialogTitle() const { return dialogTitle_; }
    void setDialogTitle(const QString& value) { dialogTitle_ = value; }
    std::int32_t flags() const { return flags_; }
    void setflags(std::int32_t value) { flags_ = value; }

    // Shortcuts to the font object's properties; the object is created when there is none.
    bool FontBold();
    void setFontBold(bool value);
    bool FontItalic();
    void setFontItalic(bool value);
    bool FontStrikethru();
    void setFontStrikethru(bool value);
    bool FontUnderline();
    void setFontUnderline(bool value);
    QString FontName();
    void setFontName(const QString& value);
    std::int32_t FontSize();
    void setFontSize(std::int32_t value);
    // The font object itself: assigning stores the caller's object, not a copy.
    std::shared_ptr<StdFont> Font();
    void setFont(std::shared_ptr<StdFont> font) { font_ = std::move(font); }

    std::int32_t FontColor() const { return fontColor_; }
    void setFontColor(std::int32_t value) { fontColor_ = value; }
    std::int32_t FromPage() const { return fromPage_; }
    void setFromPage(std::int32_t value) { fromPage_ = value; }
    std::int32_t ToPage() const { return toPage_; }
    void setToPage(std::int32_t value) { toPage_ = value; }
    std::int32_t hWnd() const { return hWnd_; }
    void sethWnd(std::int32_t value) { hWnd_ = value; }
    std::int32_t HelpCommand() const { return helpCommand_; }
    void setHelpCommand(std::int32_t value) { helpCommand_ = value; }
    const QString& HelpContext() const { return helpContext_; }
    void setHelpContext(const QString& value) { helpContext_ = value; }
    const QString& HelpFile() const { return helpFile_; }
    void setHelpFile(const QString& value) { helpFile_ = value; }
    const QString& HelpKey() const { return helpKey_; }
    void setHelpKey(const QString& value) { helpKey_ = value; }
    const QString& InitDir() const { return initDir_; }
    void setInitDir(const QString& value) { initDir_ = value; }
    std::int32_t Max() const { return max_; }
    void setMax(std::int32_t value) { max_ = value; }
    std::int32_t Min() const { return min_; }
    void setMin(std::int32_t value) { min_ = value; }
    std::int32_t MaxFileSize() const { return maxFileSize_; }
    void setMaxFileSize(std::int32_t value) { maxFileSize_ = value; }
    // The printer object that ShowPrinter updates by property name.
    QObject* Object() const { return object_; }
    void setObject(QObject* value) { object_ = value; }
    std::int16_t PrinterDefault() const { return printerDefault_; }
    void setPrinterDefault(std::int16_t value) { printerDefault_ = value; }
    const QString& FileTitle() const { return fileTitle_; }
    void setFileTitle(const QString& value) { fileTitle_ = value; }
    std::int32_t CustomColor(std::int16_t i);
    void setCustomColor(std::int16_t i, std::int32_t value);
    bool HookDialog() const { return hookDialog_; }
    void setHookDialog(bool value) { hookDialog_ = value; }
    std::int32_t hInstance() const { return hInstance_; }
    void sethInstance(std::int32_t value) { hInstance_ = value; }
    std::int32_t TemplateName() const { return templateName_; }
    void setTemplateName(std::int32_t value) { templateName_ = value; }

    // Each shows its dialog and returns when it has closed. Cancel (with CancelError) and
    // failure throw DialogError; ShowPrinter never throws.
    void ShowOpen();
    void ShowSave();
    void ShowColor();
    void ShowFont();
    void ShowPrinter();
    void ShowHelp();

    // Splits Filename into a folder and names (sFiles[0] is the first name).
    void ParseMultiFileName(QString& sDir, QStringList& sFiles, std::int32_t& iFileCount) const;
    // Centres the open dialog over oCentreTo's "hWnd" window, or over the desktop work area.
    void CentreDialog(std::int32_t hDlg, const QObject* oCentreTo);
    void GetDialogSize(std::int32_t hDlg, std::int32_t& lL, std::int32_t& lT, std::int32_t& lW,
                       std::int32_t& lH);
    void SetHelpPosition(std::int32_t& X, std::int32_t& Y, std::int32_t& dx, std::int32_t& dy,
                         std::int32_t& eWindowType);
    void cdLoadLibrary(const QString& DllName);
    void cdFreeLibrary();

    // The hook side: each raises the signal of the same event name.
    std::int32_t RaiseInitDialog(std::int32_t hDlg);
    std::int32_t RaiseFileChange(std::int32_t hDlg);
    std::int32_t RaiseFolderChange(std::int32_t hDlg);
    std::int32_t RaiseTypeChange(std::int32_t hDlg);
    // True unless a handler set bCancel.
    bool RaiseConfirmOK();
    void RaiseDialogClose();
    void RaiseWMCommand(std::int32_t hDlg, std::int32_t& wParam, std::int32_t& lParam);

signals:
    void InitDialog(int hDlg);
    void FileChange(int hDlg);
    void FolderChange(int hDlg);
    void ConfirmOK(bool& bCancel);
    void TypeChange(int hDlg);
    void DialogClose();
    void WMCommand(int hDlg, int& wParam, int& lParam);

private:
    class Sink;

    GCommonDialog& Service();
    // Turns a false result of ShowOpen, ShowSave, ShowColor or ShowFont into the caller's
    // condition: quiet or 20001 for a cancel, ExtendedError | 0x348A for a failure.
    void CancelOrError();
    std::int32_t WindowToMeasure(std::int32_t hDlg) const;

    bool cancelError_ = false;
    QString filename_;
    QString filter_;
    std::int32_t filterIndex_ = 1;
    std::int32_t color_ = 0;
    std::int32_t copies_ = 0;
    QString defaultExt_;
    QString dialogTitle_;
    std::int32_t flags_ = 0;
    std::shared_ptr<StdFont> font_;
    std::int32_t fontColor_ = 0;
    std::int32_t fromPage_ = 0;
    std::int32_t toPage_ = 0;
    std::int32_t hWnd_ = 0;
    std::int32_t helpCommand_ = 0;
    QString helpContext_;
    QString helpFile_;
    QString helpKey_;
    QString initDir_;
    std::int32_t max_ = 0;
    std::int32_t min_ = 0;
    std::int32_t maxFileSize_ = 0;
    QPointer<QObject> object_;
    std::int16_t printerDefault_ = 0;
    QString fileTitle_;
    bool hookDialog_ = false;
    std::int32_t hInstance_ = 0;
    std::int32_t templateName_ = 0;

    std::int32_t printerDC_ = 0;
    bool fileDialogOpen_ = false;
    std::unique_ptr<GCommonDialog> service_;
    std::unique_ptr<Sink> sink_;
};

} // namespace dialogs
