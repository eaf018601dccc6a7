#pragma once
// The standard font object, the printer object and the screen object used by the dialogs.

#include "types.h"

#include <QString>
#include <QVariant>

namespace platform {

// Font object with the standard property identifiers.
class StdFont {
public:
    enum DispId {
        Name = 0,
        Size = 2,
        Bold = 3,
        Italic = 4,
        Underline = 5,
        Strikethrough = 6,
        Weight = 7,
        Charset = 8
    };

    QString name = QStringLiteral("MS Sans Serif");
    double size = 8.25; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    short weight = 400;
    short charset = 0;

    // Property access by identifier; an unknown identifier reads an invalid QVariant and
    // refuses the write (returns false). Writing Bold sets Weight 700/400, and Weight >= 600
    // sets Bold, as the font object does.
    QVariant property(int dispId) const;
    bool setProperty(int dispId, const QVariant& value);
};

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
