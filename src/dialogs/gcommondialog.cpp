#include "gcommondialog.h"

#include "dialog_text.h"
#include "global_memory.h"
#include "objects.h"
#include "window.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace dialogs {

namespace {

using platform::Address;

constexpr std::int32_t kNoOwner = -1;
constexpr int kFileBuffer = 260;
constexpr int kMultiFileBuffer = 8192;

// Bytes handed to a dialog in a locked global block, freed when the call is over. The block
// has one spare zero byte so that text always ends in a zero.
class RecordBytes {
public:
    explicit RecordBytes(const QByteArray& bytes)
        : size_(platform::DWORD(bytes.size())), block_(size_ + 1) {
        platform::WriteBytes(block_.address(), bytes);
    }
    Address address() const { return block_.address(); }
    QByteArray Read() const { return platform::ReadBytes(block_.address(), size_); }

private:
    platform::DWORD size_;
    platform::LockedBlock block_;
};

// Optional text: no block (address 0) when the text is empty.
Address OptionalText(std::unique_ptr<RecordBytes>& holder, const QString& text) {
    if (text.isEmpty())
        return 0;
    holder = std::make_unique<RecordBytes>(ToAnsi(text));
    return holder->address();
}

platform::HWND OwnerField(std::int32_t owner) {
    return owner == kNoOwner ? 0 : platform::HWND(owner);
}

// Copies the device mode out of a block returned by a print dialog and frees the block.
bool TakeDevMode(platform::HGLOBAL hDevMode, platform::DEVMODE& out) {
    if (hDevMode == 0)
        return false;
    const Address address = platform::GlobalLock(hDevMode);
    const bool read = address != 0 && platform::ReadMemory(address, &out, sizeof(out));
    platform::GlobalUnlock(hDevMode);
    platform::GlobalFree(hDevMode);
    return read;
}

// The dialog result as the caller sees a file-name buffer: decoded, then zero-filled back to
// the buffer's length when decoding shortened it.
QString WholeBuffer(const QByteArray& bytes) {
    QString text = FromAnsi(bytes);
    if (text.size() < bytes.size())
        text.append(QString(bytes.size() - text.size(), QChar(0)));
    return text;
}

} // namespace

GCommonDialog::~GCommonDialog() {
    if (mDialogHook::Registered() == this)
        mDialogHook::ClearRegistration();
}

void GCommonDialog::Begin() {
    apiReturn_ = 0;
    extendedError_ = 0;
}

void GCommonDialog::Hooked(bool hook, DialogEventSink* sink) {
    if (!hook)
        return;
    mDialogHook::Register(this);
    sink_ = sink;
}

void GCommonDialog::Finish(std::int32_t result) {
    apiReturn_ = result;
    sink_ = nullptr;
    mDialogHook::ClearRegistration();
    if (result != 0 && result != 1)
        extendedError_ = std::int32_t(platform::CommDlgExtendedError());
}

std::int32_t GCommonDialog::DialogHook(std::int32_t hDlg, std::int32_t msg, std::int32_t wParam,
                                       std::int32_t lParam) {
    if (sink_ == nullptr)
        return 0;
    switch (platform::UINT(msg)) {
    case platform::WM_INITDIALOG:
        return sink_->InitDialog(hDlg);
    case platform::WM_DESTROY:
        sink_->DialogClose();
        return 0;
    case platform::WM_COMMAND:
        sink_->WMCommand(hDlg, wParam, lParam);
        return 0;
    case platform::WM_NOTIFY:
        break;
    default:
        return 0;
    }
    // The code is the third 32-bit field of the notification header at lParam.
    const auto code = std::int32_t(platform::ReadUInt32(Address(lParam) + 8));
    switch (code) {
    case platform::CDN_TYPECHANGE:
        return sink_->TypeChange(hDlg);
    case platform::CDN_FILEOK:
        if (!sink_->ConfirmOK()) {
            platform::SetWindowLongA(platform::HWND(hDlg), platform::DWL_MSGRESULT, 1);
            return 1;
        }
        platform::SetWindowLongA(platform::HWND(hDlg), platform::DWL_MSGRESULT, 0);
        return 0;
    case platform::CDN_FOLDERCHANGE:
        return sink_->FolderChange(hDlg);
    case platform::CDN_SELCHANGE:
        return sink_->FileChange(hDlg);
    default:
        return 0;
    }
}

bool GCommonDialog::VBGetOpenFileName2(QString& Filename, QString& FileTitle, bool FileMustExist,
                                       bool MultiSelect, bool& ReadOnly, bool HideReadOnly,
                                       QString& Filter, std::int32_t& FilterIndex,
                                       const QString& InitDir, const QString& DlgTitle,
                                       const QString& DefaultExt, std::int32_t Owner,
                                       std::int32_t& flags, bool Hook, std::int32_t hInstance,
                                       std::int32_t TemplateName, DialogEventSink* EventSink) {
    Begin();
    platform::OPENFILENAME ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.Flags = OpenRecordFlags(FileMustExist, MultiSelect, ReadOnly, HideReadOnly, Hook,
                                std::uint32_t(flags), hInstance);
    if (HasFlag(ofn.Flags, ofn::EnableTemplate)) {
        ofn.hInstance = platform::HINSTANCE(hInstance);
        ofn.lpTemplateName = Address(TemplateName);
    }
    const QByteArray filter = ConvertFilter(Filter);
    const RecordBytes filterBlock(filter);
    ofn.lpstrFilter = filterBlock.address();
    ofn.nFilterIndex = platform::DWORD(FilterIndex);
    const int size = HasFlag(ofn.Flags, ofn::AllowMultiSelect) ? kMultiFileBuffer : kFileBuffer;
    const RecordBytes fileBlock(PadWithZeros(ToAnsi(Filename), size));
    const RecordBytes titleBlock(PadWithZeros(ToAnsi(FileTitle), size));
    ofn.lpstrFile = fileBlock.address();
    ofn.nMaxFile = platform::DWORD(size);
    ofn.lpstrFileTitle = titleBlock.address();
    ofn.nMaxFileTitle = platform::DWORD(size);
    std::unique_ptr<RecordBytes> initDir, title, defExt;
    ofn.lpstrInitialDir = OptionalText(initDir, InitDir);
    ofn.lpstrTitle = OptionalText(title, DlgTitle);
    ofn.lpstrDefExt = OptionalText(defExt, DefaultExt);
    ofn.hwndOwner = OwnerField(Owner);
    if (Hook)
        ofn.lpfnHook = platform::RegisterHookProc(&mDialogHook::OpenSaveHook);
    Hooked(Hook, EventSink);
    Finish(platform::GetOpenFileNameA(&ofn));
    if (apiReturn_ != 1) {
        Filename.clear();
        FileTitle.clear();
        flags = 0;
        FilterIndex = -1;
        Filter.clear();
        return false;
    }
    if (HasFlag(ofn.Flags, ofn::AllowMultiSelect)) {
        Filename = WholeBuffer(fileBlock.Read());
    } else {
        Filename = FromAnsi(CutAtZero(fileBlock.Read()));
        FileTitle = FromAnsi(CutAtZero(titleBlock.Read()));
    }
    flags = std::int32_t(ofn.Flags);
    FilterIndex = std::int32_t(ofn.nFilterIndex);
    Filter = FromAnsi(FilterLookup(filter, FilterIndex));
    ReadOnly = HasFlag(ofn.Flags, ofn::ReadOnly);
    return true;
}

bool GCommonDialog::VBGetOpenFileName(QString& Filename, QString& FileTitle, bool FileMustExist,
                                      bool MultiSelect, bool& ReadOnly, bool HideReadOnly,
                                      QString& Filter, std::int32_t& FilterIndex,
                                      const QString& InitDir, const QString& DlgTitle,
                                      const QString& DefaultExt, std::int32_t Owner,
                                      std::int32_t& flags, bool Hook, DialogEventSink* EventSink) {
    flags &= ~std::int32_t(ofn::EnableTemplate);
    return VBGetOpenFileName2(Filename, FileTitle, FileMustExist, MultiSelect, ReadOnly,
                              HideReadOnly, Filter, FilterIndex, InitDir, DlgTitle, DefaultExt,
                              Owner, flags, Hook, 0, 0, EventSink);
}

bool GCommonDialog::VBGetSaveFileName2(QString& Filename, QString& FileTitle, bool OverWritePrompt,
                                       QString& Filter, std::int32_t& FilterIndex,
                                       const QString& InitDir, const QString& DlgTitle,
                                       const QString& DefaultExt, std::int32_t Owner,
                                       std::int32_t& flags, bool Hook, std::int32_t hInstance,
                                       std::int32_t TemplateName, DialogEventSink* EventSink) {
    Begin();
    platform::OPENFILENAME ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.Flags = SaveRecordFlags(OverWritePrompt, Hook, std::uint32_t(flags), hInstance);
    if (HasFlag(ofn.Flags, ofn::EnableTemplate)) {
        ofn.hInstance = platform::HINSTANCE(hInstance);
        ofn.lpTemplateName = Address(TemplateName);
    }
    const QByteArray filter = ConvertFilter(Filter);
    const RecordBytes filterBlock(filter);
    ofn.lpstrFilter = filterBlock.address();
    ofn.nFilterIndex = platform::DWORD(FilterIndex);
    const RecordBytes fileBlock(PadWithZeros(ToAnsi(Filename), kFileBuffer));
    const RecordBytes titleBlock(PadWithZeros(ToAnsi(FileTitle), kFileBuffer));
    ofn.lpstrFile = fileBlock.address();
    ofn.nMaxFile = kFileBuffer;
    ofn.lpstrFileTitle = titleBlock.address();
    ofn.nMaxFileTitle = kFileBuffer;
    std::unique_ptr<RecordBytes> initDir, title, defExt;
    ofn.lpstrInitialDir = OptionalText(initDir, InitDir);
    ofn.lpstrTitle = OptionalText(title, DlgTitle);
    ofn.lpstrDefExt = OptionalText(defExt, DefaultExt);
    ofn.hwndOwner = OwnerField(Owner);
    if (Hook)
        ofn.lpfnHook = platform::RegisterHookProc(&mDialogHook::OpenSaveHook);
    Hooked(Hook, EventSink);
    Finish(platform::GetSaveFileNameA(&ofn));
    if (apiReturn_ != 1) {
        Filename.clear();
        FileTitle.clear();
        flags = 0;
        FilterIndex = 0;
        Filter.clear();
        return false;
    }
    Filename = FromAnsi(CutAtZero(fileBlock.Read()));
    FileTitle = FromAnsi(CutAtZero(titleBlock.Read()));
    flags = std::int32_t(ofn.Flags);
    FilterIndex = std::int32_t(ofn.nFilterIndex);
    Filter = FromAnsi(FilterLookup(filter, FilterIndex));
    return true;
}

bool GCommonDialog::VBGetSaveFileName(QString& Filename, QString& FileTitle, bool OverWritePrompt,
                                      QString& Filter, std::int32_t& FilterIndex,
                                      const QString& InitDir, const QString& DlgTitle,
                                      const QString& DefaultExt, std::int32_t Owner,
                                      std::int32_t& flags, bool Hook, DialogEventSink* EventSink) {
    flags &= ~std::int32_t(ofn::EnableTemplate);
    return VBGetSaveFileName2(Filename, FileTitle, OverWritePrompt, Filter, FilterIndex, InitDir,
                              DlgTitle, DefaultExt, Owner, flags, Hook, 0, 0, EventSink);
}

QString GCommonDialog::VBGetFileTitle(const QString& sFIle) {
    const RecordBytes name(ToAnsi(sFIle));
    const RecordBytes title(QByteArray(kFileBuffer, '\0'));
    if (platform::GetFileTitleA(name.address(), title.address(), kFileBuffer) != 0)
        return {};
    return FromAnsi(CutAtZero(title.Read()));
}

void GCommonDialog::FillColorTable() {
    if (customColorsFilled_)
        return;
    for (int k = 0; k < 16; ++k)
        customColors_[std::size_t(k)] = platform::GetSysColor(k);
    customColorsFilled_ = true;
}

std::int32_t GCommonDialog::CustomColor(std::int16_t i) {
    FillColorTable();
    return i >= 0 && i <= 15 ? std::int32_t(customColors_[std::size_t(i)]) : -1;
}

void GCommonDialog::SetCustomColor(std::int16_t i, std::int32_t iValue) {
    FillColorTable();
    if (i >= 0 && i <= 15)
        customColors_[std::size_t(i)] = std::uint32_t(iValue);
}

bool GCommonDialog::VBChooseColor(std::int32_t& Color, bool AnyColor, bool FullOpen,
                                  bool DisableFullOpen, std::int32_t Owner,
                                  std::int32_t /*flags: the switches say it all*/, bool Hook,
                                  DialogEventSink* EventSink) {
    Begin();
    platform::CHOOSECOLOR cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = OwnerField(Owner);
    cc.rgbResult = platform::COLORREF(Color);
    cc.Flags = ColorRecordFlags(AnyColor, FullOpen, DisableFullOpen, Hook);
    if (Hook)
        cc.lpfnHook = platform::RegisterHookProc(&mDialogHook::ColorHook);
    FillColorTable();
    const RecordBytes table(
        QByteArray(reinterpret_cast<const char*>(customColors_.data()), sizeof(customColors_)));
    cc.lpCustColors = table.address();
    Hooked(Hook, EventSink);
    Finish(platform::ChooseColorA(&cc));
    platform::ReadMemory(table.address(), customColors_.data(), sizeof(customColors_));
    if (apiReturn_ != 1) {
        Color = -1;
        return false;
    }
    Color = std::int32_t(cc.rgbResult);
    return true;
}

bool GCommonDialog::VBChooseFont(StdFont& CurFont, std::int32_t& PrinterDC, std::int32_t Owner,
                                 std::int32_t& Color, std::int32_t MinSize, std::int32_t MaxSize,
                                 std::int32_t& flags, bool Hook, DialogEventSink* EventSink) {
    Begin();
    flags = std::int32_t(FontRecordFlags(std::uint32_t(flags), PrinterDC,
                                         std::int32_t(platform::Printer().hDC), Color, MinSize,
                                         MaxSize));
    platform::LOGFONT lf{};
    const int twipsPerPixel = std::max(1, platform::ScreenTwipsPerPixelY());
    lf.lfHeight = -platform::LONG(std::lround(CurFont.Size * 20.0 / twipsPerPixel));
    lf.lfWeight = CurFont.Weight();
    lf.lfItalic = CurFont.Italic ? 1 : 0;
    lf.lfUnderline = CurFont.Underline ? 1 : 0;
    lf.lfStrikeOut = CurFont.Strikethrough ? 1 : 0;
    const QByteArray face = ToAnsi(CurFont.Name).left(platform::LF_FACESIZE - 1);
    std::memcpy(lf.lfFaceName, face.constData(), std::size_t(face.size()));
    const RecordBytes fontBlock(QByteArray(reinterpret_cast<const char*>(&lf), sizeof(lf)));

    platform::CHOOSEFONT cf{};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = OwnerField(Owner);
    cf.hDC = platform::HDC(PrinterDC);
    cf.lpLogFont = fontBlock.address();
    cf.iPointSize = int(std::lround(CurFont.Size * 10.0));
    cf.Flags = platform::DWORD(flags);
    cf.rgbColors = platform::COLORREF(Color);
    cf.nSizeMin = MinSize;
    cf.nSizeMax = MaxSize;
    if (Hook) {
        cf.lpfnHook = platform::RegisterHookProc(&mDialogHook::FontHook);
        cf.Flags |= cf::EnableHook;
    }
    Hooked(Hook, EventSink);
    Finish(platform::ChooseFontA(&cf));
    if (apiReturn_ != 1)
        return false;
    platform::ReadMemory(fontBlock.address(), &lf, sizeof(lf));
    flags = std::int32_t(cf.Flags);
    Color = std::int32_t(cf.rgbColors);
    CurFont.SetBold((cf.nFontType & cf::BoldFontType) != 0);
    CurFont.Italic = lf.lfItalic != 0;
    CurFont.Strikethrough = lf.lfStrikeOut != 0;
    CurFont.Underline = lf.lfUnderline != 0;
    CurFont.SetWeight(std::int16_t(lf.lfWeight));
    CurFont.Size = cf.iPointSize / 10.0;
    CurFont.Name = FromAnsi(CutAtZero(QByteArray(lf.lfFaceName, platform::LF_FACESIZE)));
    return true;
}

bool GCommonDialog::VBPrintDlg(std::int32_t& hdc, std::int32_t& PrintRange, bool DisablePageNumbers,
                               std::int32_t& FromPage, std::int32_t& ToPage, bool DisableSelection,
                               std::int32_t& Copies, bool ShowPrintToFile, bool DisablePrintToFile,
                               bool& PrintToFile, bool& Collate, bool PreventWarning,
                               std::int32_t Owner, QObject* Printer, std::int32_t& flags, bool Hook,
                               DialogEventSink* EventSink) {
    Begin();
    platform::PRINTDLG pd{};
    pd.lStructSize = sizeof(pd);
    pd.hwndOwner = platform::HWND(Owner);
    pd.Flags =
        PrintRecordFlags(std::uint32_t(flags), PrintRange, DisablePageNumbers, DisableSelection,
                         ShowPrintToFile, DisablePrintToFile, PrintToFile, Collate, PreventWarning);
    pd.nFromPage = platform::WORD(FromPage);
    pd.nToPage = platform::WORD(ToPage);
    pd.nMinPage = 1;
    pd.nMaxPage = 65535;
    if (Hook) {
        if (!HasFlag(pd.Flags, pd::PrintSetup)) {
            pd.Flags |= pd::EnablePrintHook;
            pd.lpfnPrintHook = platform::RegisterHookProc(&mDialogHook::PrintHook);
        } else {
            pd.Flags |= pd::EnableSetupHook;
            pd.lpfnSetupHook = platform::RegisterHookProc(&mDialogHook::PrintSetupHook);
        }
    }
    Hooked(Hook, EventSink);
    Finish(platform::PrintDlgA(&pd));
    if (apiReturn_ != 1)
        return false;
    hdc = std::int32_t(pd.hDC);
    flags = std::int32_t(pd.Flags);
    PrintRange = HasFlag(pd.Flags, pd::PageNums) ? 1 : HasFlag(pd.Flags, pd::Selection) ? 2 : 0;
    FromPage = pd.nFromPage;
    ToPage = pd.nToPage;
    PrintToFile = HasFlag(pd.Flags, pd::PrintToFile);
    TakeDevMode(pd.hDevMode, devMode_);
    if (pd.hDevNames != 0)
        platform::GlobalFree(pd.hDevNames);
    if (!HasFlag(pd.Flags, pd::Collate)) {
        Collate = devMode_.dmCollate == 1;
        Copies = devMode_.dmCopies;
    } else {
        Collate = true;
        Copies = pd.nCopies;
    }
    SetDeclaredProperty(Printer, "Copies", Copies);
    SetDeclaredProperty(Printer, "Orientation", int(devMode_.dmOrientation));
    SetDeclaredProperty(Printer, "PaperSize", int(devMode_.dmPaperSize));
    SetDeclaredProperty(Printer, "PrintQuality", int(devMode_.dmPrintQuality));
    return true;
}

bool GCommonDialog::VBPageSetupDlg2(std::int32_t Owner, bool DisableMargins,
                                    bool DisableOrientation, bool DisablePaper, bool DisablePrinter,
                                    double& LeftMargin, double& RightMargin, double& TopMargin,
                                    double& BottomMargin, double MinLeftMargin,
                                    double MinRightMargin, double MinTopMargin,
                                    double MinBottomMargin, std::int32_t& PaperSize,
                                    std::int32_t& Orientation, std::int32_t& PrintQuality,
                                    std::int32_t& Units, QObject* Printer, std::int32_t& flags,
                                    bool Hook, DialogEventSink* EventSink) {
    Begin();
    const bool inches = Units == 1;
    const double divisor = inches ? 1000.0 : 100.0;
    auto toRecord = [divisor](double value) {
        return platform::LONG(std::lround(value * divisor));
    };
    platform::PAGESETUPDLG psd{};
    psd.lStructSize = sizeof(psd);
    psd.hwndOwner = OwnerField(Owner);
    psd.Flags =
        std::uint32_t(flags) | platform::PSD_MARGINS |
        (inches ? platform::PSD_INTHOUSANDTHSOFINCHES : platform::PSD_INHUNDREDTHSOFMILLIMETERS);
    psd.Flags &= ~(platform::PSD_ENABLEPAGESETUPHOOK | platform::PSD_ENABLEPAGESETUPTEMPLATE |
                   platform::PSD_ENABLEPAGESETUPTEMPLATEHANDLE);
    if (DisableMargins)
        psd.Flags |= platform::PSD_DISABLEMARGINS;
    if (DisableOrientation)
        psd.Flags |= platform::PSD_DISABLEORIENTATION;
    if (DisablePaper)
        psd.Flags |= platform::PSD_DISABLEPAPER;
    if (DisablePrinter)
        psd.Flags |= platform::PSD_DISABLEPRINTER;
    psd.rtMargin = {toRecord(LeftMargin), toRecord(TopMargin), toRecord(RightMargin),
                    toRecord(BottomMargin)};
    if (MinLeftMargin != 0 || MinRightMargin != 0 || MinTopMargin != 0 || MinBottomMargin != 0) {
        psd.Flags |= platform::PSD_MINMARGINS;
        psd.rtMinMargin = {toRecord(MinLeftMargin), toRecord(MinTopMargin),
                           toRecord(MinRightMargin), toRecord(MinBottomMargin)};
    }
    // The caller's paper, orientation and quality travel in a device mode block.
    platform::DEVMODE in{};
    in.dmSize = sizeof(in);
    if (Orientation > 0) {
        in.dmFields |= platform::DM_ORIENTATION;
        in.dmOrientation = short(Orientation);
    }
    if (PaperSize > 0) {
        in.dmFields |= platform::DM_PAPERSIZE;
        in.dmPaperSize = short(PaperSize);
    }
    if (PrintQuality != 0) {
        in.dmFields |= platform::DM_PRINTQUALITY;
        in.dmPrintQuality = short(PrintQuality);
    }
    psd.hDevMode = platform::GlobalAlloc(platform::GHND, sizeof(in));
    if (const Address at = platform::GlobalLock(psd.hDevMode); at != 0) {
        platform::WriteMemory(at, &in, sizeof(in));
        platform::GlobalUnlock(psd.hDevMode);
    }
    if (Hook) {
        psd.Flags |= platform::PSD_ENABLEPAGESETUPHOOK;
        psd.lpfnPageSetupHook = platform::RegisterHookProc(&mDialogHook::PageSetupHook);
    }
    Hooked(Hook, EventSink);
    Finish(platform::PageSetupDlgA(&psd));
    if (apiReturn_ != 1) {
        if (psd.hDevMode != 0)
            platform::GlobalFree(psd.hDevMode);
        return false;
    }
    TakeDevMode(psd.hDevMode, devMode_);
    if (psd.hDevNames != 0)
        platform::GlobalFree(psd.hDevNames);
    Units = HasFlag(psd.Flags, platform::PSD_INTHOUSANDTHSOFINCHES) ? 1 : 0;
    const double back = Units == 1 ? 1000.0 : 100.0;
    LeftMargin = psd.rtMargin.left / back;
    RightMargin = psd.rtMargin.right / back;
    TopMargin = psd.rtMargin.top / back;
    BottomMargin = psd.rtMargin.bottom / back;
    PaperSize = devMode_.dmPaperSize;
    Orientation = devMode_.dmOrientation;
    PrintQuality = devMode_.dmPrintQuality;
    flags = std::int32_t(psd.Flags);
    SetDeclaredProperty(Printer, "Orientation", int(devMode_.dmOrientation));
    SetDeclaredProperty(Printer, "PaperSize", int(devMode_.dmPaperSize));
    SetDeclaredProperty(Printer, "PrintQuality", int(devMode_.dmPrintQuality));
    return true;
}

bool GCommonDialog::VBPageSetupDlg(std::int32_t Owner, bool DisableMargins, bool DisableOrientation,
                                   bool DisablePaper, bool DisablePrinter, std::int32_t& LeftMargin,
                                   std::int32_t& RightMargin, std::int32_t& TopMargin,
                                   std::int32_t& BottomMargin, std::int32_t MinLeftMargin,
                                   std::int32_t MinRightMargin, std::int32_t MinTopMargin,
                                   std::int32_t MinBottomMargin, std::int32_t& PaperSize,
                                   std::int32_t& Orientation, std::int32_t& PrintQuality,
                                   std::int32_t& Units, QObject* Printer, std::int32_t& flags,
                                   bool Hook, DialogEventSink* EventSink) {
    double left = LeftMargin, right = RightMargin, top = TopMargin, bottom = BottomMargin;
    if (!VBPageSetupDlg2(Owner, DisableMargins, DisableOrientation, DisablePaper, DisablePrinter,
                         left, right, top, bottom, MinLeftMargin, MinRightMargin, MinTopMargin,
                         MinBottomMargin, PaperSize, Orientation, PrintQuality, Units, Printer,
                         flags, Hook, EventSink))
        return false;
    LeftMargin = std::int32_t(std::lround(left));
    RightMargin = std::int32_t(std::lround(right));
    TopMargin = std::int32_t(std::lround(top));
    BottomMargin = std::int32_t(std::lround(bottom));
    return true;
}

namespace mDialogHook {

namespace {
GCommonDialog* registered = nullptr;

platform::UINT Dispatch(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                        platform::LPARAM lParam) {
    GCommonDialog* dialog = Registered();
    if (dialog == nullptr)
        return 0;
    return platform::UINT(
        dialog->DialogHook(std::int32_t(hDlg), std::int32_t(msg), std::int32_t(wParam), lParam));
}
} // namespace

void Register(GCommonDialog* dialog) {
    registered = dialog;
}
void ClearRegistration() {
    registered = nullptr;
}
GCommonDialog* Registered() {
    return registered;
}

platform::UINT OpenSaveHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                            platform::LPARAM lParam) {
    return Dispatch(hDlg, msg, wParam, lParam);
}
platform::UINT PrintHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                         platform::LPARAM lParam) {
    return Dispatch(hDlg, msg, wParam, lParam);
}
platform::UINT PrintSetupHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                              platform::LPARAM lParam) {
    return Dispatch(hDlg, msg, wParam, lParam);
}
platform::UINT PageSetupHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) {
    return Dispatch(hDlg, msg, wParam, lParam);
}
platform::UINT ColorHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                         platform::LPARAM lParam) {
    return Dispatch(hDlg, msg, wParam, lParam);
}
platform::UINT FontHook(platform::HWND hDlg, platform::UINT msg, platform::WPARAM wParam,
                        platform::LPARAM lParam) {
    return Dispatch(hDlg, msg, wParam, lParam);
}

} // namespace mDialogHook

} // namespace dialogs
