// Text and flag helpers of the dialog wrapper that touch no dialog: the 8-bit string
// conversions, the filter form the file dialogs expect, the file-name buffers, the split of
// a multi-selection and the translation of the wrapper's flags into the record flags.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace dialogs {

// Record strings are 8-bit text in the locale's encoding (UTF-8 on Linux).
QByteArray ToAnsi(const QString& text);
QString FromAnsi(const QByteArray& bytes);

// Every "|" and ":" becomes a zero byte, then two zero bytes end the list.
QByteArray ConvertFilter(const QString& filter);

// The n-th pair (1-based) of a converted filter: description, zero, pattern. Empty when the
// text is empty, n is 0 or less, or the list has fewer pairs.
QByteArray FilterLookup(const QByteArray& converted, int n);

// text followed by zero bytes up to size bytes (text longer than size is cut to size).
QByteArray PadWithZeros(const QByteArray& text, int size);
// The bytes before the first zero byte (all of them when there is none).
QByteArray CutAtZero(const QByteArray& bytes);

// Splits a file-dialog result into a folder and file names. sFiles holds the names in order
// (sFiles[0] is the first); sDir and iFileCount are taken as passed and added to.
void SplitMultiFileName(const QString& filename, QString& sDir, QStringList& sFiles,
                        int& iFileCount);

// Bit b of flags counts as set when all of b's bits are set.
constexpr bool HasFlag(std::uint32_t flags, std::uint32_t bit) {
    return (flags & bit) == bit;
}

namespace ofn {
constexpr std::uint32_t ReadOnly = 0x1;
constexpr std::uint32_t OverwritePrompt = 0x2;
constexpr std::uint32_t HideReadOnly = 0x4;
constexpr std::uint32_t EnableHook = 0x20;
constexpr std::uint32_t EnableTemplate = 0x40;
constexpr std::uint32_t AllowMultiSelect = 0x200;
constexpr std::uint32_t FileMustExist = 0x1000;
constexpr std::uint32_t Explorer = 0x80000;
} // namespace ofn

namespace cc {
constexpr std::uint32_t RgbInit = 0x1;
constexpr std::uint32_t FullOpen = 0x2;
constexpr std::uint32_t PreventFullOpen = 0x4;
constexpr std::uint32_t EnableHook = 0x10;
constexpr std::uint32_t EnableTemplate = 0x20;
constexpr std::uint32_t SolidColor = 0x80;
constexpr std::uint32_t AnyColor = 0x100;
} // namespace cc

namespace cf {
constexpr std::uint32_t ScreenFonts = 0x1;
constexpr std::uint32_t PrinterFonts = 0x2;
constexpr std::uint32_t EnableHook = 0x8;
constexpr std::uint32_t EnableTemplate = 0x10;
constexpr std::uint32_t InitToLogFontStruct = 0x40;
constexpr std::uint32_t Effects = 0x100;
constexpr std::uint32_t EnableTemplateHandle = 0x200;
constexpr std::uint32_t LimitSize = 0x2000;
constexpr std::uint32_t BoldFontType = 0x100;
} // namespace cf

namespace pd {
constexpr std::uint32_t Selection = 0x1;
constexpr std::uint32_t PageNums = 0x2;
constexpr std::uint32_t NoSelection = 0x4;
constexpr std::uint32_t NoPageNums = 0x8;
constexpr std::uint32_t Collate = 0x10;
constexpr std::uint32_t PrintToFile = 0x20;
constexpr std::uint32_t PrintSetup = 0x40;
constexpr std::uint32_t NoWarning = 0x80;
constexpr std::uint32_t ReturnDC = 0x100;
constexpr std::uint32_t EnablePrintHook = 0x1000;
constexpr std::uint32_t EnableSetupHook = 0x2000;
constexpr std::uint32_t EnablePrintTemplate = 0x4000;
constexpr std::uint32_t EnableSetupTemplate = 0x8000;
constexpr std::uint32_t UseDevModeCopies = 0x40000;
constexpr std::uint32_t DisablePrintToFile = 0x80000;
constexpr std::uint32_t HidePrintToFile = 0x100000;
} // namespace pd

// Record flags of the open-file dialog: from the switches alone, the template bit taken over
// from flagsArg only with a module handle, Explorer style with multi-selection or a hook.
std::uint32_t OpenRecordFlags(bool fileMustExist, bool multiSelect, bool readOnly,
                              bool hideReadOnly, bool hook, std::uint32_t flagsArg,
                              std::int32_t hInstance);
std::uint32_t SaveRecordFlags(bool overWritePrompt, bool hook, std::uint32_t flagsArg,
                              std::int32_t hInstance);
std::uint32_t ColorRecordFlags(bool anyColor, bool fullOpen, bool disableFullOpen, bool hook);
// Font flags before the hook bit; printerDC is adjusted as the dialog needs it (-1 becomes 0,
// or printerHdc when printer fonts are asked for).
std::uint32_t FontRecordFlags(std::uint32_t flags, std::int32_t& printerDC, std::int32_t printerHdc,
                              std::int32_t color, std::int32_t minSize, std::int32_t maxSize);
// Print flags before the hook bits.
std::uint32_t PrintRecordFlags(std::uint32_t flags, int printRange, bool disablePageNumbers,
                               bool disableSelection, bool showPrintToFile, bool disablePrintToFile,
                               bool printToFile, bool collate, bool preventWarning);

} // namespace dialogs
