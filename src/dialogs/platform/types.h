#pragma once
// Fixed-width 32-bit types of the dialog platform layer. Every pointer-sized field of a record is
// a 32-bit value here: an Address into the layer's own memory (global_memory.h) or a handle from
// one of its tables (windows, memory blocks, device contexts, modules, hook procedures).

#include <QtGlobal>

namespace platform {

using BYTE = quint8;
using WORD = quint16;
using DWORD = quint32;
using UINT = quint32;
using LONG = qint32;
using BOOL = qint32;
using COLORREF = quint32; // 0x00BBGGRR
using Address = quint32;  // 0 is NULL
using HGLOBAL = quint32;
using HWND = quint32;
using HDC = quint32;
using HINSTANCE = quint32;
using HMODULE = quint32;
using WPARAM = quint32;
using LPARAM = qint32;
using LRESULT = qint32;
using HookAddress = quint32; // id of a registered hook procedure (RegisterHookProc)

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};
static_assert(sizeof(RECT) == 16);

struct POINT {
    LONG x = 0;
    LONG y = 0;
};
static_assert(sizeof(POINT) == 8);

} // namespace platform
