#pragma once
// The printer object and the screen object used by the dialogs.

#include "types.h"

namespace platform {

// The runtime's printer object: settings the print dialog writes back.
class PrinterObject {
public:
    HDC hDC = 0;
    int copies = 1;
    int orientation = 1; // 1 portrait, 2 landscape
    int paperSize = 9;   // DMPAPER_A4
    int printQuality = -4;
};
PrinterObject& Printer();

// The screen object: size in twips and twips per pixel of the primary screen.
int ScreenTwipsPerPixelX();
int ScreenTwipsPerPixelY();
int ScreenWidthTwips();
int ScreenHeightTwips();

} // namespace platform
