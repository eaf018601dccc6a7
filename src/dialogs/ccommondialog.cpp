#include "ccommondialog.h"

#include "cmemory.h"
#include "dialog_error.h"
#include "dialog_text.h"
#include "objects.h"
#include "window.h"

#include <QVariant>

namespace dialogs {

namespace {

constexpr std::int32_t kCancelNumber = 20001;
constexpr std::int32_t kBadHelpCommandNumber = 13705;
constexpr std::int32_t kDialogErrorBase = 0x348A;
constexpr std::int32_t kHelpMultiKey = 0x201;
constexpr std::int32_t kHelpSetWinPos = 0x203;

// The system's text for an error code, empty when it has none.
QString SystemMessageText(platform::DWORD code) {
    char buffer[256] = {};
    const platform::DWORD n = platform::FormatMessageA(
        platform::FORMAT_MESSAGE_FROM_SYSTEM | platform::FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, buffer, sizeof(buffer), nullptr);
    return n == 0 ? QString() : FromAnsi(QByteArray(buffer, int(n)));
}

} // namespace

// Forwards the dialog service's hook calls to the wrapper's Raise... methods.
class cCommonDialog::Sink : public DialogEventSink {
public:
    explicit Sink(cCommonDialog& owner) : owner_(owner) {}
    std::int32_t InitDialog(std::int32_t hDlg) override { return owner_.RaiseInitDialog(hDlg); }
    void DialogClose() override { owner_.RaiseDialogClose(); }
    void WMCommand(std::int32_t hDlg, std::int32_t& wParam, std::int32_t& lParam) override {
        owner_.RaiseWMCommand(hDlg, wParam, lParam);
    }
    std::int32_t TypeChange(std::int32_t hDlg) override { return owner_.RaiseTypeChange(hDlg); }
    bool ConfirmOK() override { return owner_.RaiseConfirmOK(); }
    std::int32_t FolderChange(std::int32_t hDlg) override { return owner_.RaiseFolderChange(hDlg); }
    std::int32_t FileChange(std::int32_t hDlg) override { return owner_.RaiseFileChange(hDlg); }

private:
    cCommonDialog& owner_;
};

cCommonDialog::cCommonDialog(QObject* parent)
    : QObject(parent), sink_(std::make_unique<Sink>(*this)) {
}

cCommonDialog::~cCommonDialog() = default;

GCommonDialog& cCommonDialog::Service() {
    if (!service_)
        service_ = std::make_unique<GCommonDialog>();
    return *service_;
}

std::shared_ptr<StdFont> cCommonDialog::Font() {
    if (!font_)
        font_ = std::make_shared<StdFont>();
    return font_;
}

bool cCommonDialog::FontBold() {
    return Font()->Property(StdFont::IdBold).toBool();
}
void cCommonDialog::setFontBold(bool value) {
    Font()->SetProperty(StdFont::IdBold, value);
}
bool cCommonDialog::FontItalic() {
    return Font()->Property(StdFont::IdItalic).toBool();
}
void cCommonDialog::setFontItalic(bool value) {
    Font()->SetProperty(StdFont::IdItalic, value);
}
bool cCommonDialog::FontStrikethru() {
    return Font()->Property(StdFont::IdStrikethrough).toBool();
}
void cCommonDialog::setFontStrikethru(bool value) {
    Font()->SetProperty(StdFont::IdStrikethrough, value);
}
bool cCommonDialog::FontUnderline() {
    return Font()->Property(StdFont::IdUnderline).toBool();
}
void cCommonDialog::setFontUnderline(bool value) {
    Font()->SetProperty(StdFont::IdUnderline, value);
}
QString cCommonDialog::FontName() {
    return Font()->Property(StdFont::IdName).toString();
}
void cCommonDialog::setFontName(const QString& value) {
    Font()->SetProperty(StdFont::IdName, value);
}
std::int32_t cCommonDialog::FontSize() {
    return qRound(Font()->Property(StdFont::IdSize).toDouble());
}
void cCommonDialog::setFontSize(std::int32_t value) {
    Font()->SetProperty(StdFont::IdSize, double(value));
}

std::int32_t cCommonDialog::CustomColor(std::int16_t i) {
    return Service().CustomColor(i);
}
void cCommonDialog::setCustomColor(std::int16_t i, std::int32_t value) {
    Service().SetCustomColor(i, value);
}

void cCommonDialog::CancelOrError() {
    const GCommonDialog& service = Service();
    if (service.APIReturn() == 0) {
        if (cancelError_)
            throw DialogError(kCancelNumber, WrapperErrorSource(),
                              QStringLiteral("User selected cancel."));
        return;
    }
    throw DialogError(service.ExtendedError() | kDialogErrorBase, WrapperErrorSource(), QString());
}

void cCommonDialog::ShowOpen() {
    fileDialogOpen_ = true;
    const auto f = std::uint32_t(flags_);
    const bool fileMustExist = HasFlag(f, ofn::FileMustExist);
    const bool multiSelect = HasFlag(f, ofn::AllowMultiSelect);
    bool readOnly = HasFlag(f, ofn::ReadOnly);
    const bool hideReadOnly = HasFlag(f, ofn::HideReadOnly);
    if (HasFlag(f, ofn::EnableTemplate) && hInstance_ < 1)
        flags_ &= ~std::int32_t(ofn::EnableTemplate);
    if (filterIndex_ == 0)
        filterIndex_ = 1;
    if (!Service().VBGetOpenFileName2(filename_, fileTitle_, fileMustExist, multiSelect, readOnly,
                                      hideReadOnly, filter_, filterIndex_, initDir_, dialogTitle_,
                                      defaultExt_, hWnd_, flags_, hookDialog_, hInstance_,
                                      templateName_, sink_.get()))
        CancelOrError();
}

void cCommonDialog::ShowSave() {
    fileDialogOpen_ = true;
    const bool overWritePrompt = HasFlag(std::uint32_t(flags_), ofn::OverwritePrompt);
    if (HasFlag(std::uint32_t(flags_), ofn::EnableTemplate) && hInstance_ < 1)
        flags_ &= ~std::int32_t(ofn::EnableTemplate);
    if (!Service().VBGetSaveFileName2(filename_, fileTitle_, overWritePrompt, filter_, filterIndex_,
                                      initDir_, dialogTitle_, defaultExt_, hWnd_, flags_,
                                      hookDialog_, hInstance_, templateName_, sink_.get()))
        CancelOrError();
}

void cCommonDialog::ShowColor() {
    fileDialogOpen_ = false;
    platform::COLORREF translated = 0;
    std::int32_t color = -1;
    if (platform::OleTranslateColor(std::uint32_t(color_), 0, &translated) == platform::S_OK)
        color = std::int32_t(translated);
    const auto f = std::uint32_t(flags_);
    if (Service().VBChooseColor(color, HasFlag(f, cc::AnyColor), HasFlag(f, cc::FullOpen),
                                HasFlag(f, cc::PreventFullOpen), hWnd_, flags_, hookDialog_,
                                sink_.get()))
        color_ = color;
    else
        CancelOrError();
}

void cCommonDialog::ShowFont() {
    fileDialogOpen_ = false;
    const std::shared_ptr<StdFont> font = Font();
    std::int32_t printerDC = -1;
    if (!Service().VBChooseFont(*font, printerDC, hWnd_, fontColor_, min_, max_, flags_,
                                hookDialog_, sink_.get()))
        CancelOrError();
}

void cCommonDialog::ShowPrinter() {
    fileDialogOpen_ = false;
    const auto f = std::uint32_t(flags_);
    const bool disablePageNumbers = !HasFlag(f, pd::PageNums);
    const bool disableSelection = HasFlag(f, pd::NoSelection);
    const bool showPrintToFile = !HasFlag(f, pd::HidePrintToFile);
    const bool disablePrintToFile = HasFlag(f, pd::DisablePrintToFile);
    bool printToFile = HasFlag(f, pd::PrintToFile);
    bool collate = HasFlag(f, pd::Collate);
    const bool preventWarning = HasFlag(f, pd::NoWarning);
    std::int32_t copies = std::int16_t(copies_);
    std::int32_t printRange = 0;
    if (Service().VBPrintDlg(printerDC_, printRange, disablePageNumbers, fromPage_, toPage_,
                             disableSelection, copies, showPrintToFile, disablePrintToFile,
                             printToFile, collate, preventWarning, hWnd_, object_.data(), flags_,
                             hookDialog_, sink_.get()))
        copies_ = copies;
}

void cCommonDialog::ShowHelp() {
    fileDialogOpen_ = false;
    if (helpCommand_ == kHelpMultiKey || helpCommand_ == kHelpSetWinPos)
        throw DialogError(kBadHelpCommandNumber, WrapperErrorSource(),
                          QStringLiteral("Invalid WinHelp Command Passed to ShowHelp function."));
    const QByteArray file = ToAnsi(helpFile_);
    if (platform::WinHelpA(platform::HWND(hWnd_), file.constData(), platform::UINT(helpCommand_),
                           0) == 0) {
        const platform::DWORD code = platform::GetLastError();
        throw DialogError(std::int32_t(code), WrapperErrorSource(), SystemMessageText(code));
    }
}

void cCommonDialog::ParseMultiFileName(QString& sDir, QStringList& sFiles,
                                       std::int32_t& iFileCount) const {
    int count = iFileCount;
    SplitMultiFileName(filename_, sDir, sFiles, count);
    iFileCount = count;
}

std::int32_t cCommonDialog::WindowToMeasure(std::int32_t hDlg) const {
    return fileDialogOpen_ ? std::int32_t(platform::GetParent(platform::HWND(hDlg))) : hDlg;
}

void cCommonDialog::CentreDialog(std::int32_t hDlg, const QObject* oCentreTo) {
    const auto window = platform::HWND(WindowToMeasure(hDlg));
    platform::RECT dialog;
    platform::GetWindowRect(window, &dialog);
    platform::RECT target;
    const QVariant centreTo = oCentreTo != nullptr ? oCentreTo->property("hWnd") : QVariant();
    bool haveWindow = false;
    const auto targetWindow = platform::HWND(centreTo.toUInt(&haveWindow));
    if (centreTo.isValid() && haveWindow) {
        platform::GetWindowRect(targetWindow, &target);
    } else if (!platform::SystemParametersInfoA(platform::SPI_GETWORKAREA, 0, &target, 0)) {
        target = {};
        target.right = platform::ScreenWidthTwips() / platform::ScreenTwipsPerPixelX();
        target.bottom = platform::ScreenHeightTwips() / platform::ScreenTwipsPerPixelY();
    }
    if (target.right < 1 || target.bottom < 1)
        return;
    const int width = dialog.right - dialog.left;
    const int height = dialog.bottom - dialog.top;
    const int left = target.left + ((target.right - target.left) - width) / 2;
    const int top = target.top + ((target.bottom - target.top) - height) / 2;
    platform::MoveWindow(window, left, top, width, height, platform::TRUE);
}

void cCommonDialog::GetDialogSize(std::int32_t hDlg, std::int32_t& lL, std::int32_t& lT,
                                  std::int32_t& lW, std::int32_t& lH) {
    platform::RECT rect;
    platform::GetWindowRect(platform::HWND(WindowToMeasure(hDlg)), &rect);
    lL = rect.left;
    lT = rect.top;
    lW = rect.right - rect.left;
    lH = rect.bottom - rect.top;
}

void cCommonDialog::SetHelpPosition(std::int32_t& X, std::int32_t& Y, std::int32_t& dx,
                                    std::int32_t& dy, std::int32_t& eWindowType) {
    platform::HELPWININFO info{};
    info.wStructSize = sizeof(info);
    info.x = X;
    info.y = Y;
    info.dx = dx;
    info.dy = dy;
    info.wMax = eWindowType;
    cMemory memory;
    memory.AllocateMemory(sizeof(info), platform::GMEM_ZEROINIT);
    const std::uint32_t address = memory.Pointer();
    platform::RtlMoveMemory(address, &info, sizeof(info));
    const QByteArray file = ToAnsi(helpFile_);
    platform::WinHelpA(platform::HWND(hWnd_), file.constData(), kHelpSetWinPos, address);
    memory.FreeMemory();
}

void cCommonDialog::cdLoadLibrary(const QString& DllName) {
    hInstance_ = std::int32_t(platform::LoadLibraryA(ToAnsi(DllName).constData()));
}

void cCommonDialog::cdFreeLibrary() {
    if (hInstance_ > 0)
        platform::FreeLibrary(platform::HMODULE(hInstance_));
}

std::int32_t cCommonDialog::RaiseInitDialog(std::int32_t hDlg) {
    emit InitDialog(hDlg);
    return 0;
}
std::int32_t cCommonDialog::RaiseFileChange(std::int32_t hDlg) {
    emit FileChange(hDlg);
    return 0;
}
std::int32_t cCommonDialog::RaiseFolderChange(std::int32_t hDlg) {
    emit FolderChange(hDlg);
    return 0;
}
std::int32_t cCommonDialog::RaiseTypeChange(std::int32_t hDlg) {
    emit TypeChange(hDlg);
    return 0;
}
bool cCommonDialog::RaiseConfirmOK() {
    bool bCancel = false;
    emit ConfirmOK(bCancel);
    return !bCancel;
}
void cCommonDialog::RaiseDialogClose() {
    emit DialogClose();
}
void cCommonDialog::RaiseWMCommand(std::int32_t hDlg, std::int32_t& wParam, std::int32_t& lParam) {
    int w = wParam;
    int l = lParam;
    emit WMCommand(hDlg, w, l);
    wParam = w;
    lParam = l;
}

} // namespace dialogs
