#include "dialog_text.h"

#include <algorithm>

namespace dialogs {

QByteArray ToAnsi(const QString& text) {
    return text.toLocal8Bit();
}

QString FromAnsi(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes);
}

QByteArray ConvertFilter(const QString& filter) {
    QByteArray out = ToAnsi(filter);
    for (char& c : out) {
        if (c == '|' || c == ':')
            c = '\0';
    }
    out.append('\0');
    out.append('\0');
    return out;
}

QByteArray FilterLookup(const QByteArray& converted, int n) {
    qsizetype start = 0;
    while (start < converted.size()) {
        const qsizetype firstZero = converted.indexOf('\0', start);
        if (firstZero < 0)
            return {};
        const qsizetype secondZero = converted.indexOf('\0', firstZero + 1);
        const qsizetype end = secondZero < 0 ? converted.size() : secondZero;
        if (n == 1)
            return converted.mid(start, end - start);
        --n;
        start = end + 1;
    }
    return {};
}

QByteArray PadWithZeros(const QByteArray& text, int size) {
    QByteArray out = text.left(size);
    out.append(QByteArray(size - out.size(), '\0'));
    return out;
}

QByteArray CutAtZero(const QByteArray& bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

void SplitMultiFileName(const QString& filename, QString& sDir, QStringList& sFiles,
                        int& iFileCount) {
    const QString pair(2, QChar(0));
    const qsizetype end = filename.indexOf(pair);
    if (end >= 0) {
        const QStringList segments = filename.left(end).split(QChar(0));
        auto addFile = [&](const QString& name) {
            ++iFileCount;
            while (sFiles.size() < iFileCount)
                sFiles.append(QString());
            while (sFiles.size() > iFileCount)
                sFiles.removeLast();
            sFiles[iFileCount - 1] = name;
        };
        for (qsizetype i = 0; i < segments.size(); ++i) {
            const bool last = i == segments.size() - 1;
            if (!last && sDir.isEmpty())
                sDir = segments[i];
            else
                addFile(segments[i]);
        }
        return;
    }
    iFileCount = 1;
    // Names from this system's dialogs use "/", names written by hand may use "\\".
    const qsizetype slash =
        std::max(filename.lastIndexOf(QLatin1Char('\\')), filename.lastIndexOf(QLatin1Char('/')));
    // A separator at the very start leaves the name whole.
    if (slash >= 1) {
        sDir = filename.left(slash);
        sFiles = QStringList{filename.mid(slash + 1)};
    } else {
        sDir.clear();
        sFiles = QStringList{filename};
    }
}

std::uint32_t OpenRecordFlags(bool fileMustExist, bool multiSelect, bool readOnly,
                              bool hideReadOnly, bool hook, std::uint32_t flagsArg,
                              std::int32_t hInstance) {
    std::uint32_t f = 0;
    if (readOnly)
        f |= ofn::ReadOnly;
    if (hideReadOnly)
        f |= ofn::HideReadOnly;
    if (fileMustExist)
        f |= ofn::FileMustExist;
    if (multiSelect)
        f |= ofn::AllowMultiSelect | ofn::Explorer;
    if (hook)
        f |= ofn::Explorer | ofn::EnableHook;
    if (HasFlag(flagsArg, ofn::EnableTemplate) && hInstance > 0)
        f |= ofn::EnableTemplate;
    return f;
}

std::uint32_t SaveRecordFlags(bool overWritePrompt, bool hook, std::uint32_t flagsArg,
                              std::int32_t hInstance) {
    std::uint32_t f = ofn::HideReadOnly;
    if (overWritePrompt)
        f |= ofn::OverwritePrompt;
    if (hook)
        f |= ofn::Explorer | ofn::EnableHook;
    if (HasFlag(flagsArg, ofn::EnableTemplate) && hInstance > 0)
        f |= ofn::EnableTemplate;
    return f;
}

std::uint32_t ColorRecordFlags(bool anyColor, bool fullOpen, bool disableFullOpen, bool hook) {
    std::uint32_t f = (anyColor ? cc::AnyColor : cc::SolidColor) | cc::RgbInit;
    if (fullOpen)
        f |= cc::FullOpen;
    if (disableFullOpen)
        f |= cc::PreventFullOpen;
    if (hook)
        f |= cc::EnableHook;
    return f;
}

std::uint32_t FontRecordFlags(std::uint32_t flags, std::int32_t& printerDC, std::int32_t printerHdc,
                              std::int32_t color, std::int32_t minSize, std::int32_t maxSize) {
    if (printerDC == -1)
        printerDC = HasFlag(flags, cf::PrinterFonts) ? printerHdc : 0;
    else
        flags |= cf::PrinterFonts;
    if (!HasFlag(flags, cf::PrinterFonts))
        flags |= cf::ScreenFonts;
    if (color != 0)
        flags |= cf::Effects;
    if (minSize != 0 || maxSize != 0)
        flags |= cf::LimitSize;
    flags &= ~(cf::EnableHook | cf::EnableTemplate | cf::EnableTemplateHandle);
    return flags | cf::InitToLogFontStruct;
}

std::uint32_t PrintRecordFlags(std::uint32_t flags, int printRange, bool disablePageNumbers,
                               bool disableSelection, bool showPrintToFile, bool disablePrintToFile,
                               bool printToFile, bool collate, bool preventWarning) {
    if (disablePageNumbers)
        flags |= pd::NoPageNums;
    if (disablePrintToFile)
        flags |= pd::DisablePrintToFile;
    if (disableSelection)
        flags |= pd::NoSelection;
    if (printToFile)
        flags |= pd::PrintToFile;
    if (!showPrintToFile)
        flags |= pd::HidePrintToFile;
    if (preventWarning)
        flags |= pd::NoWarning;
    if (collate)
        flags |= pd::Collate;
    flags |= pd::UseDevModeCopies | pd::ReturnDC;
    if (printRange == 1)
        flags |= pd::PageNums;
    else if (printRange == 2)
        flags |= pd::Selection;
    return flags & ~(pd::EnablePrintHook | pd::EnableSetupHook | pd::EnablePrintTemplate |
                     pd::EnableSetupTemplate);
}

} // namespace dialogs
