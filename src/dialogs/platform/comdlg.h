#pragma once
// The common dialog operations over Qt's file, colour, font, print and page-setup dialogs.
//
// Records carry the 32-bit layouts and field names of the platform's ANSI records; every
// pointer field is an Address into global memory (global_memory.h) and every string is 8-bit
// text there. Hook fields hold the id of a procedure registered with RegisterHookProc. Each
// operation returns 1 on OK, 0 on cancel (CommDlgExtendedError() 0) and 0 with an extended
// error when the record is unusable.

#include "global_memory.h"
#include "types.h"

#include <QColor>
#include <QFont>
#include <QMarginsF>
#include <QStringList>

#include <cstddef>
#include <functional>

class QWidget;
class QPrinter;

namespace platform {

// ---- messages and notifications ------------------------------------------------------------
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;

constexpr int CDN_FIRST = -601;
constexpr int CDN_INITDONE = -601;
constexpr int CDN_SELCHANGE = -602;
constexpr int CDN_FOLDERCHANGE = -603;
constexpr int CDN_SHAREVIOLATION = -604;
constexpr int CDN_HELP = -605;
constexpr int CDN_FILEOK = -606;
constexpr int CDN_TYPECHANGE = -607;

// Command ids sent with WM_COMMAND (low word of wParam) for the dialogs' buttons.
constexpr WORD IDOK = 1;
constexpr WORD IDCANCEL = 2;

// Window long index of a dialog's message result.
constexpr int DWL_MSGRESULT = 0;

#pragma pack(push, 1)
struct NMHDR {
    HWND hwndFrom;
    UINT idFrom;
    UINT code; // the notification code as a 32-bit value (-606 is 0xFFFFFDA2)
};
#pragma pack(pop)
static_assert(sizeof(NMHDR) == 12);

// The file dialogs' notification record: the header, the dialog's record, and a file name
// (set only for a sharing violation).
struct OFNOTIFY {
    NMHDR hdr;
    Address lpOFN;
    Address pszFile;
};
static_assert(sizeof(OFNOTIFY) == 20);

// ---- hook procedures -----------------------------------------------------------------------
using HookProc = UINT (*)(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Returns the id to store in a record's hook field; the same procedure always gets the same id.
// 0 for a null procedure.
HookAddress RegisterHookProc(HookProc proc);
HookProc HookProcFromAddress(HookAddress id); // nullptr for an unknown id

// ---- file dialogs --------------------------------------------------------------------------
constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_SHOWHELP = 0x00000010;
constexpr DWORD OFN_ENABLEHOOK = 0x00000020;
constexpr DWORD OFN_ENABLETEMPLATE = 0x00000040;
constexpr DWORD OFN_ENABLETEMPLATEHANDLE = 0x00000080;
constexpr DWORD OFN_NOVALIDATE = 0x00000100;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_EXTENSIONDIFFERENT = 0x00000400;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;
constexpr DWORD OFN_SHAREAWARE = 0x00004000;
constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;
constexpr DWORD OFN_NOTESTFILECREATE = 0x00010000;
constexpr DWORD OFN_NONETWORKBUTTON = 0x00020000;
constexpr DWORD OFN_NOLONGNAMES = 0x00040000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_NODEREFERENCELINKS = 0x00100000;
constexpr DWORD OFN_LONGNAMES = 0x00200000;

struct OPENFILENAME {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    Address lpstrFilter;
    Address lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    Address lpstrFile;
    DWORD nMaxFile;
    Address lpstrFileTitle;
    DWORD nMaxFileTitle;
    Address lpstrInitialDir;
    Address lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    Address lpstrDefExt;
    LPARAM lCustData;
    HookAddress lpfnHook;
    Address lpTemplateName;
};
static_assert(sizeof(OPENFILENAME) == 76);
static_assert(offsetof(OPENFILENAME, Flags) == 52);
static_assert(offsetof(OPENFILENAME, lpfnHook) == 68);

BOOL GetOpenFileNameA(OPENFILENAME* ofn);
BOOL GetSaveFileNameA(OPENFILENAME* ofn);
// Writes the display title (the name after the last '/' or '\\') of the file at fileName into
// the buffer; 0 on success, the needed size when the buffer is too small, -1 for a bad name.
short GetFileTitleA(Address fileName, Address title, WORD titleSize);

// ---- colour dialog -------------------------------------------------------------------------
constexpr DWORD CC_RGBINIT = 0x00000001;
constexpr DWORD CC_FULLOPEN = 0x00000002;
constexpr DWORD CC_PREVENTFULLOPEN = 0x00000004;
constexpr DWORD CC_SHOWHELP = 0x00000008;
constexpr DWORD CC_ENABLEHOOK = 0x00000010;
constexpr DWORD CC_ENABLETEMPLATE = 0x00000020;
constexpr DWORD CC_ENABLETEMPLATEHANDLE = 0x00000040;
constexpr DWORD CC_SOLIDCOLOR = 0x00000080;
constexpr DWORD CC_ANYCOLOR = 0x00000100;

struct CHOOSECOLOR {
    DWORD lStructSize;
    HWND hwndOwner;
    HWND hInstance;
    COLORREF rgbResult;
    Address lpCustColors; // 16 COLORREFs, read and updated in place
    DWORD Flags;
    LPARAM lCustData;
    HookAddress lpfnHook;
    Address lpTemplateName;
};
static_assert(sizeof(CHOOSECOLOR) == 36);

BOOL ChooseColorA(CHOOSECOLOR* cc);

// ---- font dialog ---------------------------------------------------------------------------
constexpr int LF_FACESIZE = 32;

struct LOGFONT {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONT) == 60);

constexpr DWORD CF_SCREENFONTS = 0x00000001;
constexpr DWORD CF_PRINTERFONTS = 0x00000002;
constexpr DWORD CF_BOTH = 0x00000003;
constexpr DWORD CF_SHOWHELP = 0x00000004;
constexpr DWORD CF_ENABLEHOOK = 0x00000008;
constexpr DWORD CF_ENABLETEMPLATE = 0x00000010;
constexpr DWORD CF_ENABLETEMPLATEHANDLE = 0x00000020;
constexpr DWORD CF_INITTOLOGFONTSTRUCT = 0x00000040;
constexpr DWORD CF_USESTYLE = 0x00000080;
constexpr DWORD CF_EFFECTS = 0x00000100;
constexpr DWORD CF_APPLY = 0x00000200;
constexpr DWORD CF_LIMITSIZE = 0x00002000;
constexpr DWORD CF_FORCEFONTEXIST = 0x00010000;

constexpr WORD BOLD_FONTTYPE = 0x0100;
constexpr WORD ITALIC_FONTTYPE = 0x0200;
constexpr WORD REGULAR_FONTTYPE = 0x0400;
constexpr WORD SCREEN_FONTTYPE = 0x2000;
constexpr WORD PRINTER_FONTTYPE = 0x4000;

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

struct CHOOSEFONT {
    DWORD lStructSize;
    HWND hwndOwner;
    HDC hDC;
    Address lpLogFont; // a LOGFONT in global memory, read (CF_INITTOLOGFONTSTRUCT) and written
    int iPointSize;    // tenths of a point
    DWORD Flags;
    COLORREF rgbColors;
    LPARAM lCustData;
    HookAddress lpfnHook;
    Address lpTemplateName;
    HINSTANCE hInstance;
    Address lpszStyle;
    WORD nFontType;
    WORD alignmentPadding;
    int nSizeMin;
    int nSizeMax;
};
static_assert(sizeof(CHOOSEFONT) == 60);

BOOL ChooseFontA(CHOOSEFONT* cf);

// ---- print dialogs -------------------------------------------------------------------------
constexpr DWORD PD_ALLPAGES = 0x00000000;
constexpr DWORD PD_SELECTION = 0x00000001;
constexpr DWORD PD_PAGENUMS = 0x00000002;
constexpr DWORD PD_NOSELECTION = 0x00000004;
constexpr DWORD PD_NOPAGENUMS = 0x00000008;
constexpr DWORD PD_COLLATE = 0x00000010;
constexpr DWORD PD_PRINTTOFILE = 0x00000020;
constexpr DWORD PD_PRINTSETUP = 0x00000040;
constexpr DWORD PD_NOWARNING = 0x00000080;
constexpr DWORD PD_RETURNDC = 0x00000100;
constexpr DWORD PD_RETURNIC = 0x00000200;
constexpr DWORD PD_RETURNDEFAULT = 0x00000400;
constexpr DWORD PD_SHOWHELP = 0x00000800;
constexpr DWORD PD_ENABLEPRINTHOOK = 0x00001000;
constexpr DWORD PD_ENABLESETUPHOOK = 0x00002000;
constexpr DWORD PD_ENABLEPRINTTEMPLATE = 0x00004000;
constexpr DWORD PD_ENABLESETUPTEMPLATE = 0x00008000;
constexpr DWORD PD_USEDEVMODECOPIES = 0x00040000;
constexpr DWORD PD_USEDEVMODECOPIESANDCOLLATE = 0x00040000;
constexpr DWORD PD_DISABLEPRINTTOFILE = 0x00080000;
constexpr DWORD PD_HIDEPRINTTOFILE = 0x00100000;

constexpr int CCHDEVICENAME = 32;
constexpr int CCHFORMNAME = 32;

constexpr short DMORIENT_PORTRAIT = 1;
constexpr short DMORIENT_LANDSCAPE = 2;
constexpr short DMCOLLATE_FALSE = 0;
constexpr short DMCOLLATE_TRUE = 1;
constexpr DWORD DM_ORIENTATION = 0x00000001;
constexpr DWORD DM_PAPERSIZE = 0x00000002;
constexpr DWORD DM_COPIES = 0x00000100;
constexpr DWORD DM_PRINTQUALITY = 0x00000400;
constexpr DWORD DM_COLLATE = 0x00008000;
constexpr short DMPAPER_LETTER = 1;
constexpr short DMPAPER_LEGAL = 5;
constexpr short DMPAPER_A3 = 8;
constexpr short DMPAPER_A4 = 9;
constexpr short DMPAPER_A5 = 11;

// The ANSI device mode with the printer fields (156 bytes).
struct DEVMODE {
    char dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    short dmOrientation;
    short dmPaperSize;
    short dmPaperLength;
    short dmPaperWidth;
    short dmScale;
    short dmCopies;
    short dmDefaultSource;
    short dmPrintQuality;
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    char dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};
static_assert(sizeof(DEVMODE) == 156);

// Device names block: offsets (in bytes from the block start) of three zero-terminated texts.
struct DEVNAMES {
    WORD wDriverOffset;
    WORD wDeviceOffset;
    WORD wOutputOffset;
    WORD wDefault;
};
static_assert(sizeof(DEVNAMES) == 8);

#pragma pack(push, 1)
struct PRINTDLG {
    DWORD lStructSize;
    HWND hwndOwner;
    HGLOBAL hDevMode;  // in: optional DEVMODE block; out: a new or updated DEVMODE block
    HGLOBAL hDevNames; // out: a DEVNAMES block
    HDC hDC;           // out with PD_RETURNDC: see PrinterFromDC
    DWORD Flags;
    WORD nFromPage;
    WORD nToPage;
    WORD nMinPage;
    WORD nMaxPage;
    WORD nCopies;
    HINSTANCE hInstance;
    LPARAM lCustData;
    HookAddress lpfnPrintHook;
    HookAddress lpfnSetupHook;
    Address lpPrintTemplateName;
    Address lpSetupTemplateName;
    HGLOBAL hPrintTemplate;
    HGLOBAL hSetupTemplate;
};
#pragma pack(pop)
static_assert(sizeof(PRINTDLG) == 66);

BOOL PrintDlgA(PRINTDLG* pd);

constexpr DWORD PSD_DEFAULTMINMARGINS = 0x00000000;
constexpr DWORD PSD_INWININIINTLMEASURE = 0x00000000;
constexpr DWORD PSD_MINMARGINS = 0x00000001;
constexpr DWORD PSD_MARGINS = 0x00000002;
constexpr DWORD PSD_INTHOUSANDTHSOFINCHES = 0x00000004;
constexpr DWORD PSD_INHUNDREDTHSOFMILLIMETERS = 0x00000008;
constexpr DWORD PSD_DISABLEMARGINS = 0x00000010;
constexpr DWORD PSD_DISABLEPRINTER = 0x00000020;
constexpr DWORD PSD_NOWARNING = 0x00000080;
constexpr DWORD PSD_DISABLEORIENTATION = 0x00000100;
constexpr DWORD PSD_RETURNDEFAULT = 0x00000400;
constexpr DWORD PSD_DISABLEPAPER = 0x00000200;
constexpr DWORD PSD_SHOWHELP = 0x00000800;
constexpr DWORD PSD_ENABLEPAGESETUPHOOK = 0x00002000;
constexpr DWORD PSD_ENABLEPAGESETUPTEMPLATE = 0x00008000;
constexpr DWORD PSD_ENABLEPAGESETUPTEMPLATEHANDLE = 0x00020000;
constexpr DWORD PSD_ENABLEPAGEPAINTHOOK = 0x00040000;
constexpr DWORD PSD_DISABLEPAGEPAINTING = 0x00080000;

struct PAGESETUPDLG {
    DWORD lStructSize;
    HWND hwndOwner;
    HGLOBAL hDevMode;
    HGLOBAL hDevNames;
    DWORD Flags;
    POINT ptPaperSize; // in the record's units
    RECT rtMinMargin;
    RECT rtMargin;
    HINSTANCE hInstance;
    LPARAM lCustData;
    HookAddress lpfnPageSetupHook;
    HookAddress lpfnPagePaintHook;
    Address lpPageSetupTemplateName;
    HGLOBAL hPageSetupTemplate;
};
static_assert(sizeof(PAGESETUPDLG) == 84);

BOOL PageSetupDlgA(PAGESETUPDLG* psd);

// ---- extended errors -----------------------------------------------------------------------
// What each operation reports:
//  - a record size other than the record's (76, 36, 60, 66, 84): CDERR_STRUCTSIZE;
//  - a hook flag with no registered procedure in the hook field: CDERR_NOHOOK;
//  - file dialogs with OFN_ENABLETEMPLATE and no hInstance: CDERR_NOHINSTANCE (templates are
//    otherwise ignored: the Qt dialog is shown as it is);
//  - file dialogs: a file buffer of size 0, of a "negative" size (above 0x7FFFFFFF) or
//    larger than the block it lies in, a title buffer likewise, or a filter with an odd number
//    of parts or without its terminating empty part: CDERR_INITIALIZATION; a result longer
//    than nMaxFile: FNERR_BUFFERTOOSMALL, the needed size (bytes, zeros included) in the
//    buffer's first two bytes;
//  - colour: lpCustColors not 64 readable bytes: CDERR_INITIALIZATION;
//  - font: lpLogFont not 60 readable bytes, or CF_LIMITSIZE with a negative size:
//    CDERR_INITIALIZATION; nSizeMax below nSizeMin: CFERR_MAXLESSTHANMIN;
//  - print: nFromPage above nToPage or nMinPage above nMaxPage (and with PD_PAGENUMS a range
//    outside nMinPage..nMaxPage): PDERR_INITFAILURE;
//  - page setup: negative margins with PSD_MARGINS: CDERR_INITIALIZATION.
// Hooks receive WM_INITDIALOG with lParam 0 once the dialog is shown (file dialogs then send
// CDN_INITDONE and CDN_FOLDERCHANGE), WM_NOTIFY with lParam the Address of an NMHDR that
// lives for the call, WM_COMMAND for button presses and WM_DESTROY when the dialog closes.
constexpr DWORD CDERR_DIALOGFAILURE = 0xFFFF;
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
constexpr DWORD CDERR_INITIALIZATION = 0x0002;
constexpr DWORD CDERR_NOTEMPLATE = 0x0003;
constexpr DWORD CDERR_NOHINSTANCE = 0x0004;
constexpr DWORD CDERR_LOADSTRFAILURE = 0x0005;
constexpr DWORD CDERR_FINDRESFAILURE = 0x0006;
constexpr DWORD CDERR_LOADRESFAILURE = 0x0007;
constexpr DWORD CDERR_LOCKRESFAILURE = 0x0008;
constexpr DWORD CDERR_MEMALLOCFAILURE = 0x0009;
constexpr DWORD CDERR_MEMLOCKFAILURE = 0x000A;
constexpr DWORD CDERR_NOHOOK = 0x000B;
constexpr DWORD PDERR_SETUPFAILURE = 0x1001;
constexpr DWORD PDERR_PARSEFAILURE = 0x1002;
constexpr DWORD PDERR_RETDEFFAILURE = 0x1003;
constexpr DWORD PDERR_LOADDRVFAILURE = 0x1004;
constexpr DWORD PDERR_GETDEVMODEFAIL = 0x1005;
constexpr DWORD PDERR_INITFAILURE = 0x1006;
constexpr DWORD PDERR_NODEVICES = 0x1007;
constexpr DWORD PDERR_NODEFAULTPRN = 0x1008;
constexpr DWORD PDERR_DNDMMISMATCH = 0x1009;
constexpr DWORD PDERR_CREATEICFAILURE = 0x100A;
constexpr DWORD PDERR_PRINTERNOTFOUND = 0x100B;
constexpr DWORD PDERR_DEFAULTDIFFERENT = 0x100C;
constexpr DWORD CFERR_NOFONTS = 0x2001;
constexpr DWORD CFERR_MAXLESSTHANMIN = 0x2002;
constexpr DWORD FNERR_SUBCLASSFAILURE = 0x3001;
constexpr DWORD FNERR_INVALIDFILENAME = 0x3002;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// Extended error of the last dialog operation (0 after OK or cancel).
DWORD CommDlgExtendedError();

// Printer behind a device context returned with PD_RETURNDC; nullptr for an unknown one.
QPrinter* PrinterFromDC(HDC hdc);
BOOL DeleteDC(HDC hdc);

// ---- scripting seam ------------------------------------------------------------------------
enum class DialogKind { Open, Save, Color, Font, Print, PrintSetup, PageSetup, OverwritePrompt };

struct DialogAnswer {
    enum class Action { RunReal, Accept, Cancel };
    Action action = Action::RunReal;

    // File dialogs: the chosen files (absolute paths) and, when nonzero, the filter (1-based).
    QStringList files;
    int filterIndex = 0;
    // Colour dialog: the chosen colour and, when not empty, new custom colours (up to 16).
    QColor color;
    QList<QColor> customColors;
    // Font dialog: the chosen font and colour (colour used with CF_EFFECTS).
    QFont font;
    QColor fontColor;
    // Print dialog: the page range (0, 0 = all pages), copies, collate, print to file.
    int fromPage = 0;
    int toPage = 0;
    int copies = 1;
    bool collate = false;
    bool printToFile = false;
    QString outputFile;
    // Page setup: margins in millimetres and orientation.
    QMarginsF marginsMm;
    bool landscape = false;

    static DialogAnswer make(Action what) {
        DialogAnswer a;
        a.action = what;
        return a;
    }
    static DialogAnswer cancel() { return make(Action::Cancel); }
    static DialogAnswer runReal() { return make(Action::RunReal); }
    static DialogAnswer accept() { return make(Action::Accept); }
    static DialogAnswer acceptFiles(QStringList chosen, int filter = 0) {
        DialogAnswer a = make(Action::Accept);
        a.files = std::move(chosen);
        a.filterIndex = filter;
        return a;
    }
    static DialogAnswer acceptColor(QColor chosen) {
        DialogAnswer a = make(Action::Accept);
        a.color = chosen;
        return a;
    }
    static DialogAnswer acceptFont(QFont chosen, QColor colour = {}) {
        DialogAnswer a = make(Action::Accept);
        a.font = std::move(chosen);
        a.fontColor = colour;
        return a;
    }
    static DialogAnswer acceptPages(int from, int to, int copyCount = 1) {
        DialogAnswer a = make(Action::Accept);
        a.fromPage = from;
        a.toPage = to;
        a.copies = copyCount;
        return a;
    }
};

// Called once the real dialog is shown (after WM_INITDIALOG), and again whenever an accepted
// answer was refused (a hook kept the dialog open). The dialog widget is the shown QDialog
// (nullptr for OverwritePrompt, where Accept means "replace" and Cancel means "keep").
using DialogScript = std::function<DialogAnswer(DialogKind kind, QWidget* dialog)>;
void SetDialogScript(DialogScript script); // an empty function removes the script
bool HasDialogScript();

} // namespace platform
