#pragma once
// Window handles, system colours, modules, error texts and the help engine of the dialog layer.
//
// HWND values come from a table of QWidgets: HandleFromWidget registers a widget (once) and the
// handle stays valid until the widget is destroyed. Handles are never reused.

#include "types.h"

#include <QString>

class QWidget;

namespace platform {

HWND HandleFromWidget(QWidget* widget); // 0 for nullptr
QWidget* WidgetFromHandle(HWND hwnd);   // nullptr for a bad or destroyed window
BOOL IsWindow(HWND hwnd);

HWND GetParent(HWND hwnd);                 // 0 for a top-level or bad window
BOOL GetWindowRect(HWND hwnd, RECT* rect); // screen pixels, frame included
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
LONG SetWindowLongA(HWND hwnd, int index, LONG value); // previous value; 0 for a bad window
LONG GetWindowLongA(HWND hwnd, int index);

constexpr UINT SPI_GETWORKAREA = 48;
// SPI_GETWORKAREA writes the primary screen's available geometry to *(RECT*)param.
BOOL SystemParametersInfoA(UINT action, UINT uiParam, void* param, UINT winIni);

// System colours: the application's palette for the indices that have a role, the classic
// colours for the rest; 0 for an index outside 0..30.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
COLORREF GetSysColor(int index);

// OLE colour translation: 0x80000000 + index is a system colour, 0x00BBGGRR itself.
constexpr LONG S_OK = 0;
constexpr LONG E_INVALIDARG = static_cast<LONG>(0x80070057);
LONG OleTranslateColor(quint32 oleColor, quint32 palette, COLORREF* result);

// ---- last error and its text ---------------------------------------------------------------
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

DWORD GetLastError();
void SetLastError(DWORD code);

constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
// Writes the text of code (from the layer's table of the codes it sets, else strerror-style
// text) into buffer, zero-terminated and cut to size - 1; returns the count written, 0 when
// the code has no text or the buffer is unusable.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD code, DWORD languageId, char* buffer,
                     DWORD size, void* arguments);

// ---- modules -------------------------------------------------------------------------------
HMODULE LoadLibraryA(const char* fileName); // 0 with ERROR_MOD_NOT_FOUND when it cannot load
BOOL FreeLibrary(HMODULE module);

// ---- help engine ---------------------------------------------------------------------------
constexpr UINT HELP_CONTEXT = 0x0001;
constexpr UINT HELP_QUIT = 0x0002;
constexpr UINT HELP_INDEX = 0x0003;
constexpr UINT HELP_CONTENTS = 0x0003;
constexpr UINT HELP_HELPONHELP = 0x0004;
constexpr UINT HELP_SETINDEX = 0x0005;
constexpr UINT HELP_SETCONTENTS = 0x0005;
constexpr UINT HELP_CONTEXTPOPUP = 0x0008;
constexpr UINT HELP_FORCEFILE = 0x0009;
constexpr UINT HELP_FINDER = 0x000B;
constexpr UINT HELP_KEY = 0x0101;
constexpr UINT HELP_COMMAND = 0x0102;
constexpr UINT HELP_PARTIALKEY = 0x0105;
constexpr UINT HELP_MULTIKEY = 0x0201;
constexpr UINT HELP_SETWINPOS = 0x0203;

#pragma pack(push, 1)
struct HELPWININFO {
    int wStructSize; // 26
    int x;
    int y;
    int dx;
    int dy;
    int wMax;
    char rgchMember[2];
};
#pragma pack(pop)
static_assert(sizeof(HELPWININFO) == 26);

// The help engine: each call is recorded (HelpCalls). Commands that show help open the file
// with the desktop's handler (through HelpOpener, replaceable for tests). HELP_SETWINPOS reads
// the HELPWININFO at data and keeps it as the help window's placement; HELP_MULTIKEY reads
// the key record at data. A missing file gives 0 with ERROR_FILE_NOT_FOUND; a bad data
// address or record size gives 0 with ERROR_INVALID_PARAMETER. HELP_QUIT needs no file.
BOOL WinHelpA(HWND hwnd, const char* helpFile, UINT command, DWORD data);

struct HelpCall {
    HWND hwnd = 0;
    QString file;
    UINT command = 0;
    DWORD data = 0;
    bool succeeded = false;
    HELPWININFO window{}; // the placement read for HELP_SETWINPOS
    QString key;          // the key text for HELP_KEY, HELP_PARTIALKEY and HELP_MULTIKEY
};
QList<HelpCall> HelpCalls();
void ClearHelpCalls();
// Opens a help file; returns false when it could not. The default uses QDesktopServices.
using HelpOpener = bool (*)(const QString& file);
void SetHelpOpener(HelpOpener opener); // nullptr restores the default

} // namespace platform
