// ChooseColorA, ChooseFontA, PrintDlgA and PageSetupDlgA over Qt's dialogs.

#include "comdlg.h"
#include "dialog_runtime.h"
#include "objects.h"
#include "window.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QIcon>
#include <QLocale>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace platform {

namespace {

BOOL fail(DWORD code) {
    detail::setExtendedError(code);
    return FALSE;
}

COLORREF toColorRef(const QColor& c) {
    return COLORREF(c.red()) | (COLORREF(c.green()) << 8) | (COLORREF(c.blue()) << 16);
}

QColor fromColorRef(COLORREF c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

HWND dialogWindow(QDialog& dialog, bool hooked) {
    return hooked ? HandleFromWidget(&dialog) : 0;
}

// Presses OK of a dialog whose own accept() would read its widgets: the scripted values are
// taken from the answer afterwards, so the dialog is closed as accepted without that step.
void closeAccepted(QDialog& dialog) {
    dialog.done(QDialog::Accepted);
}

// A copy of a dialog's record in global memory, for WM_INITDIALOG's lParam.
class RecordCopy {
public:
    template <typename Record> explicit RecordCopy(const Record* record) : block_(sizeof(Record)) {
        WriteMemory(block_.address(), record, sizeof(Record));
    }
    LPARAM param() const { return LPARAM(block_.address()); }

private:
    LockedBlock block_;
};

} // namespace

// ---- colour --------------------------------------------------------------------------------

BOOL ChooseColorA(CHOOSECOLOR* cc) {
    detail::setExtendedError(0);
    if (!cc || cc->lStructSize != sizeof(CHOOSECOLOR))
        return fail(CDERR_STRUCTSIZE);
    constexpr DWORD kCustomBytes = 16 * sizeof(COLORREF);
    COLORREF custom[16] = {};
    if (!ReadMemory(cc->lpCustColors, custom, kCustomBytes))
        return fail(CDERR_INITIALIZATION);
    const bool hooked = cc->Flags & CC_ENABLEHOOK;
    if (hooked && !HookProcFromAddress(cc->lpfnHook))
        return fail(CDERR_NOHOOK);

    QColorDialog dialog(detail::ownerWidget(cc->hwndOwner));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("Color"));
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, fromColorRef(custom[i]));
    dialog.setCurrentColor((cc->Flags & CC_RGBINIT) ? fromColorRef(cc->rgbResult) : Qt::black);

    auto apply = [&](const DialogAnswer& answer) {
        if (answer.color.isValid())
            dialog.setCurrentColor(answer.color);
        for (int i = 0; i < answer.customColors.size() && i < 16; ++i)
            QColorDialog::setCustomColor(i, answer.customColors[i]);
        dialog.accept();
    };
    const RecordCopy record(cc);
    if (!detail::runDialog(dialog, DialogKind::Color, hooked ? cc->lpfnHook : 0,
                           dialogWindow(dialog, hooked), apply, {}, record.param()))
        return FALSE;
    cc->rgbResult = toColorRef(dialog.currentColor());
    for (int i = 0; i < 16; ++i)
        custom[i] = toColorRef(QColorDialog::customColor(i));
    WriteMemory(cc->lpCustColors, custom, kCustomBytes);
    return TRUE;
}

// ---- font ----------------------------------------------------------------------------------

namespace {

// The font dialog; accept() keeps the dialog open while the size is outside the limits.
class FontDialog : public QFontDialog {
public:
    using QFontDialog::QFontDialog;
    int minSize = 0;
    int maxSize = 0;
    bool quiet = false;

    std::optional<QFont> scripted; // the font of a scripted answer, taken as it is

    QFont chosen() const { return scripted ? *scripted : selectedFont(); }

    void accept() override {
        const double points = (scripted ? *scripted : currentFont()).pointSizeF();
        if ((minSize > 0 && points < minSize) || (maxSize > 0 && points > maxSize)) {
            if (!quiet)
                QMessageBox::warning(this, windowTitle(),
                                     QStringLiteral("Size must be between %1 and %2 points.")
                                         .arg(minSize)
                                         .arg(maxSize));
            scripted.reset();
            return;
        }
        QFontDialog::accept();
    }
};

double pixelsPerPoint() {
    return 20.0 / ScreenTwipsPerPixelY();
}

} // namespace

BOOL ChooseFontA(CHOOSEFONT* cf) {
    detail::setExtendedError(0);
    if (!cf || cf->lStructSize != sizeof(CHOOSEFONT))
        return fail(CDERR_STRUCTSIZE);
    LOGFONT lf{};
    if (!ReadMemory(cf->lpLogFont, &lf, sizeof lf))
        return fail(CDERR_INITIALIZATION);
    const bool hooked = cf->Flags & CF_ENABLEHOOK;
    if (hooked && !HookProcFromAddress(cf->lpfnHook))
        return fail(CDERR_NOHOOK);
    int minSize = 0;
    int maxSize = 0;
    if (cf->Flags & CF_LIMITSIZE) {
        if (cf->nSizeMin < 0 || cf->nSizeMax < 0)
            return fail(CDERR_INITIALIZATION);
        if (cf->nSizeMax < cf->nSizeMin)
            return fail(CFERR_MAXLESSTHANMIN);
        minSize = cf->nSizeMin;
        maxSize = cf->nSizeMax;
    }

    QFont initial;
    if (cf->Flags & CF_INITTOLOGFONTSTRUCT) {
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
        if (lf.lfFaceName[0])
            initial.setFamily(QString::fromLocal8Bit(lf.lfFaceName));
        if (lf.lfHeight != 0)
            initial.setPointSizeF(std::abs(lf.lfHeight) / pixelsPerPoint());
        else if (cf->iPointSize > 0)
            initial.setPointSizeF(cf->iPointSize / 10.0);
        if (lf.lfWeight > 0)
            initial.setWeight(QFont::Weight(qBound(1, int(lf.lfWeight), 1000)));
        initial.setItalic(lf.lfItalic);
        initial.setUnderline(lf.lfUnderline);
        initial.setStrikeOut(lf.lfStrikeOut);
    }

    FontDialog dialog(initial, detail::ownerWidget(cf->hwndOwner));
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("Font"));
    dialog.minSize = minSize;
    dialog.maxSize = maxSize;
    dialog.quiet = HasDialogScript();
    COLORREF colour = cf->rgbColors;
    if (cf->Flags & CF_EFFECTS) {
        // Qt's font dialog has no colour choice: a button below it opens the colour dialog.
        auto* button = new QPushButton(QStringLiteral("&Color..."), &dialog);
        button->setObjectName(QStringLiteral("fontColorButton"));
        auto showSwatch = [button, &colour] {
            QPixmap swatch(16, 16);
            swatch.fill(fromColorRef(colour));
            button->setIcon(QIcon(swatch));
        };
        showSwatch();
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &colour, showSwatch] {
            const QColor picked =
                QColorDialog::getColor(fromColorRef(colour), &dialog, QStringLiteral("Color"),
                                       QColorDialog::DontUseNativeDialog);
            if (picked.isValid()) {
                colour = toColorRef(picked);
                showSwatch();
            }
        });
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(button, grid->rowCount(), 0, 1, 1, Qt::AlignLeft);
        else if (dialog.layout())
            dialog.layout()->addWidget(button);
    }
    auto apply = [&](const DialogAnswer& answer) {
        dialog.setCurrentFont(answer.font);
        dialog.scripted = answer.font;
        if (answer.fontColor.isValid())
            colour = toColorRef(answer.fontColor);
        dialog.accept();
    };
    const RecordCopy record(cf);
    if (!detail::runDialog(dialog, DialogKind::Font, hooked ? cf->lpfnHook : 0,
                           dialogWindow(dialog, hooked), apply, {}, record.param()))
        return FALSE;

    const QFont font = dialog.chosen();
    LOGFONT out = lf;
    out.lfHeight = -LONG(std::lround(font.pointSizeF() * pixelsPerPoint()));
    out.lfWidth = 0;
    out.lfWeight = LONG(font.weight());
    out.lfItalic = font.italic() ? 1 : 0;
    out.lfUnderline = font.underline() ? 1 : 0;
    out.lfStrikeOut = font.strikeOut() ? 1 : 0;
    std::memset(out.lfFaceName, 0, sizeof out.lfFaceName);
    const QByteArray face = font.family().toLocal8Bit().left(LF_FACESIZE - 1);
    std::memcpy(out.lfFaceName, face.constData(), size_t(face.size()));
    WriteMemory(cf->lpLogFont, &out, sizeof out);
    cf->iPointSize = int(std::lround(font.pointSizeF() * 10));
    WORD type = SCREEN_FONTTYPE;
    type |= (out.lfWeight >= FW_BOLD) ? BOLD_FONTTYPE : REGULAR_FONTTYPE;
    if (out.lfItalic)
        type |= ITALIC_FONTTYPE;
    cf->nFontType = type;
    if (cf->Flags & CF_EFFECTS)
        cf->rgbColors = colour;
    return TRUE;
}

// ---- printing ------------------------------------------------------------------------------

namespace {

short paperCode(const QPageSize& size) {
    switch (size.id()) {
    case QPageSize::Letter:
        return DMPAPER_LETTER;
    case QPageSize::Legal:
        return DMPAPER_LEGAL;
    case QPageSize::A3:
        return DMPAPER_A3;
    case QPageSize::A4:
        return DMPAPER_A4;
    case QPageSize::A5:
        return DMPAPER_A5;
    default:
        return 256; // a user-defined size
    }
}

QPageSize::PageSizeId pageSizeOf(short code) {
    switch (code) {
    case DMPAPER_LETTER:
        return QPageSize::Letter;
    case DMPAPER_LEGAL:
        return QPageSize::Legal;
    case DMPAPER_A3:
        return QPageSize::A3;
    case DMPAPER_A5:
        return QPageSize::A5;
    default:
        return QPageSize::A4;
    }
}

void copyText(char* field, int capacity, const QString& text) {
    std::memset(field, 0, size_t(capacity));
    const QByteArray bytes = text.toLocal8Bit().left(capacity - 1);
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

// Applies a device mode given to the dialog to the printer.
void readDevMode(HGLOBAL hDevMode, QPrinter& printer) {
    DEVMODE dm{};
    if (!hDevMode || GlobalSize(hDevMode) < sizeof dm)
        return;
    const Address at = GlobalLock(hDevMode);
    const bool read = ReadMemory(at, &dm, sizeof dm);
    GlobalUnlock(hDevMode);
    if (!read)
        return;
    if (dm.dmFields & DM_ORIENTATION)
        printer.setPageOrientation(dm.dmOrientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape
                                                                          : QPageLayout::Portrait);
    if (dm.dmFields & DM_PAPERSIZE)
        printer.setPageSize(QPageSize(pageSizeOf(dm.dmPaperSize)));
    if ((dm.dmFields & DM_COPIES) && dm.dmCopies > 0)
        printer.setCopyCount(dm.dmCopies);
    if (dm.dmFields & DM_COLLATE)
        printer.setCollateCopies(dm.dmCollate == DMCOLLATE_TRUE);
}

// Writes the printer's device mode into hDevMode when it is a usable block, else into a new
// block; returns the block's handle.
HGLOBAL writeDevMode(HGLOBAL hDevMode, const QPrinter& printer, int copies, bool collate) {
    DEVMODE dm{};
    copyText(dm.dmDeviceName, CCHDEVICENAME, printer.printerName());
    dm.dmSpecVersion = 0x0401;
    dm.dmSize = sizeof(DEVMODE);
    dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_PRINTQUALITY | DM_COLLATE;
    dm.dmOrientation = printer.pageLayout().orientation() == QPageLayout::Landscape
                           ? DMORIENT_LANDSCAPE
                           : DMORIENT_PORTRAIT;
    dm.dmPaperSize = paperCode(printer.pageLayout().pageSize());
    dm.dmScale = 100;
    dm.dmCopies = short(qBound(1, copies, 0x7FFF));
    dm.dmPrintQuality = short(qBound(1, printer.resolution(), 0x7FFF));
    dm.dmYResolution = dm.dmPrintQuality;
    dm.dmColor = printer.colorMode() == QPrinter::Color ? 2 : 1;
    dm.dmCollate = collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    copyText(dm.dmFormName, CCHFORMNAME, printer.pageLayout().pageSize().name());
    HGLOBAL block = hDevMode;
    if (!block || GlobalSize(block) < sizeof dm)
        block = GlobalAlloc(GHND, sizeof dm);
    const Address at = GlobalLock(block);
    WriteMemory(at, &dm, sizeof dm);
    GlobalUnlock(block);
    return block;
}

// DEVNAMES followed by the driver, device and output texts.
HGLOBAL writeDevNames(HGLOBAL hDevNames, const QPrinter& printer) {
    const QByteArray driver = "qtprint";
    const QByteArray device = printer.printerName().toLocal8Bit();
    const QByteArray output = printer.outputFileName().toLocal8Bit();
    QByteArray block(sizeof(DEVNAMES), '\0');
    DEVNAMES names{};
    names.wDriverOffset = WORD(block.size());
    block += driver + '\0';
    names.wDeviceOffset = WORD(block.size());
    block += device + '\0';
    names.wOutputOffset = WORD(block.size());
    block += output + '\0';
    names.wDefault = 1;
    std::memcpy(block.data(), &names, sizeof names);
    HGLOBAL handle = hDevNames;
    if (!handle || GlobalSize(handle) < DWORD(block.size()))
        handle = GlobalAlloc(GHND, DWORD(block.size()));
    const Address at = GlobalLock(handle);
    WriteBytes(at, block);
    GlobalUnlock(handle);
    return handle;
}

} // namespace

BOOL PrintDlgA(PRINTDLG* pd) {
    detail::setExtendedError(0);
    if (!pd || pd->lStructSize != sizeof(PRINTDLG))
        return fail(CDERR_STRUCTSIZE);
    const DWORD flags = pd->Flags;
    const bool setup = flags & PD_PRINTSETUP;
    const bool hooked = setup ? (flags & PD_ENABLESETUPHOOK) : (flags & PD_ENABLEPRINTHOOK);
    const HookAddress hook = hooked ? (setup ? pd->lpfnSetupHook : pd->lpfnPrintHook) : 0;
    if (hooked && !HookProcFromAddress(hook))
        return fail(CDERR_NOHOOK);
    // A page range that cannot be shown: from after to, or outside the allowed pages.
    if (pd->nFromPage > pd->nToPage || pd->nMinPage > pd->nMaxPage)
        return fail(PDERR_INITFAILURE);
    if ((flags & PD_PAGENUMS) && (pd->nFromPage < pd->nMinPage || pd->nToPage > pd->nMaxPage))
        return fail(PDERR_INITFAILURE);

    auto printer = std::make_unique<QPrinter>();
    readDevMode(pd->hDevMode, *printer);
    int copies = pd->nCopies > 0 ? pd->nCopies : printer->copyCount();
    bool collate = (flags & PD_COLLATE) || printer->collateCopies();
    int from = pd->nFromPage;
    int to = pd->nToPage;
    bool toFile = flags & PD_PRINTTOFILE;
    DWORD range = flags & (PD_PAGENUMS | PD_SELECTION);

    if (!(flags & PD_RETURNDEFAULT)) {
        std::unique_ptr<QDialog> dialog;
        QPrintDialog* print = nullptr;
        if (setup) {
            dialog = std::make_unique<QPageSetupDialog>(printer.get(),
                                                        detail::ownerWidget(pd->hwndOwner));
        } else {
            printer->setCopyCount(copies);
            printer->setCollateCopies(collate);
            if (range == PD_PAGENUMS) {
                printer->setPrintRange(QPrinter::PageRange);
                printer->setFromTo(from, to);
            } else if (range == PD_SELECTION) {
                printer->setPrintRange(QPrinter::Selection);
            }
            print = new QPrintDialog(printer.get(), detail::ownerWidget(pd->hwndOwner));
            dialog.reset(print);
            print->setMinMax(pd->nMinPage, pd->nMaxPage);
            QAbstractPrintDialog::PrintDialogOptions options =
                QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize;
            if (!(flags & PD_NOPAGENUMS))
                options |= QAbstractPrintDialog::PrintPageRange;
            if (!(flags & PD_NOSELECTION))
                options |= QAbstractPrintDialog::PrintSelection;
            if (!(flags & (PD_DISABLEPRINTTOFILE | PD_HIDEPRINTTOFILE)))
                options |= QAbstractPrintDialog::PrintToFile;
            print->setOptions(options);
        }
        bool scriptedAccept = false;
        DialogAnswer scriptedAnswer;
        auto apply = [&](const DialogAnswer& answer) {
            scriptedAccept = true;
            scriptedAnswer = answer;
            closeAccepted(*dialog);
        };
        const DialogKind kind = setup ? DialogKind::PrintSetup : DialogKind::Print;
        const RecordCopy record(pd);
        if (!detail::runDialog(*dialog, kind, hook, dialogWindow(*dialog, hooked), apply, {},
                               record.param()))
            return FALSE;
        if (scriptedAccept) {
            if (scriptedAnswer.fromPage > scriptedAnswer.toPage)
                return fail(PDERR_INITFAILURE);
            if (!setup) {
                copies = qMax(1, scriptedAnswer.copies);
                collate = scriptedAnswer.collate;
                toFile = scriptedAnswer.printToFile;
                if (scriptedAnswer.fromPage > 0) {
                    range = PD_PAGENUMS;
                    from = scriptedAnswer.fromPage;
                    to = scriptedAnswer.toPage;
                } else {
                    range = 0;
                }
                printer->setCopyCount(copies);
                printer->setCollateCopies(collate);
                printer->setOutputFileName(toFile ? scriptedAnswer.outputFile : QString());
            }
        } else if (!setup) {
            copies = printer->copyCount();
            collate = printer->collateCopies();
            toFile = !printer->outputFileName().isEmpty();
            switch (printer->printRange()) {
            case QPrinter::PageRange:
                range = PD_PAGENUMS;
                from = printer->fromPage();
                to = printer->toPage();
                break;
            case QPrinter::Selection:
                range = PD_SELECTION;
                break;
            default:
                range = 0;
                break;
            }
        }
    }

    DWORD outFlags = flags & ~(PD_PAGENUMS | PD_SELECTION | PD_PRINTTOFILE | PD_COLLATE);
    outFlags |= range;
    if (toFile)
        outFlags |= PD_PRINTTOFILE;
    pd->nFromPage = WORD(qBound(0, from, 0xFFFF));
    pd->nToPage = WORD(qBound(0, to, 0xFFFF));
    if (flags & PD_USEDEVMODECOPIES) {
        pd->nCopies = 1; // copies and collation travel in the device mode
    } else {
        pd->nCopies = WORD(qBound(1, copies, 0xFFFF));
        if (collate)
            outFlags |= PD_COLLATE;
    }
    pd->Flags = outFlags;
    pd->hDevMode = writeDevMode(pd->hDevMode, *printer, copies, collate);
    pd->hDevNames = writeDevNames(pd->hDevNames, *printer);
    pd->hDC = (flags & (PD_RETURNDC | PD_RETURNIC)) ? detail::addPrinterDC(std::move(printer)) : 0;
    return TRUE;
}

// ---- page setup ----------------------------------------------------------------------------

namespace {
// Millimetres per record unit.
double mmPerUnit(bool thousandthsOfInch) {
    return thousandthsOfInch ? 0.0254 : 0.01;
}
} // namespace

BOOL PageSetupDlgA(PAGESETUPDLG* psd) {
    detail::setExtendedError(0);
    if (!psd || psd->lStructSize != sizeof(PAGESETUPDLG))
        return fail(CDERR_STRUCTSIZE);
    const DWORD flags = psd->Flags;
    const bool hooked = flags & PSD_ENABLEPAGESETUPHOOK;
    if (hooked && !HookProcFromAddress(psd->lpfnPageSetupHook))
        return fail(CDERR_NOHOOK);
    // Units: as asked, else from the locale's measurement system.
    bool inches = false;
    if (flags & PSD_INTHOUSANDTHSOFINCHES)
        inches = true;
    else if (!(flags & PSD_INHUNDREDTHSOFMILLIMETERS))
        inches = QLocale().measurementSystem() != QLocale::MetricSystem;
    const double unit = mmPerUnit(inches);
    const RECT& m = psd->rtMargin;
    const RECT& minM = psd->rtMinMargin;
    if ((flags & PSD_MARGINS) && (m.left < 0 || m.top < 0 || m.right < 0 || m.bottom < 0))
        return fail(CDERR_INITIALIZATION);

    QPrinter printer;
    readDevMode(psd->hDevMode, printer);
    if (flags & PSD_MARGINS)
        printer.setPageMargins(
            QMarginsF(m.left * unit, m.top * unit, m.right * unit, m.bottom * unit),
            QPageLayout::Millimeter);
    if (!(flags & PSD_RETURNDEFAULT)) {
        QPageSetupDialog dialog(&printer, detail::ownerWidget(psd->hwndOwner));
        bool scriptedAccept = false;
        DialogAnswer scriptedAnswer;
        auto apply = [&](const DialogAnswer& answer) {
            scriptedAccept = true;
            scriptedAnswer = answer;
            closeAccepted(dialog);
        };
        const RecordCopy record(psd);
        if (!detail::runDialog(dialog, DialogKind::PageSetup, hooked ? psd->lpfnPageSetupHook : 0,
                               dialogWindow(dialog, hooked), apply, {}, record.param()))
            return FALSE;
        if (scriptedAccept) {
            printer.setPageOrientation(scriptedAnswer.landscape ? QPageLayout::Landscape
                                                                : QPageLayout::Portrait);
            printer.setPageMargins(scriptedAnswer.marginsMm, QPageLayout::Millimeter);
        }
    }
    QMarginsF mm = printer.pageLayout().margins(QPageLayout::Millimeter);
    auto toUnits = [unit](double millimetres) { return LONG(std::lround(millimetres / unit)); };
    RECT out{toUnits(mm.left()), toUnits(mm.top()), toUnits(mm.right()), toUnits(mm.bottom())};
    if (flags & PSD_MINMARGINS) {
        // Margins below the caller's minimum are raised to it.
        out.left = qMax(out.left, minM.left);
        out.top = qMax(out.top, minM.top);
        out.right = qMax(out.right, minM.right);
        out.bottom = qMax(out.bottom, minM.bottom);
    } else {
        psd->rtMinMargin = RECT{};
    }
    psd->rtMargin = out;
    const QSizeF paper = printer.pageLayout().fullRect(QPageLayout::Millimeter).size();
    psd->ptPaperSize = POINT{toUnits(paper.width()), toUnits(paper.height())};
    psd->Flags = (flags & ~(PSD_INTHOUSANDTHSOFINCHES | PSD_INHUNDREDTHSOFMILLIMETERS)) |
                 (inches ? PSD_INTHOUSANDTHSOFINCHES : PSD_INHUNDREDTHSOFMILLIMETERS);
    psd->hDevMode =
        writeDevMode(psd->hDevMode, printer, printer.copyCount(), printer.collateCopies());
    psd->hDevNames = writeDevNames(psd->hDevNames, printer);
    return TRUE;
}

} // namespace platform
