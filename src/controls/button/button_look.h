// What the button control's drawing engine needs to know about one button: its properties,
// its display flags and its container. The widget (rkbuttons_h.h) owns this state; the
// painter (button_painter.h) only reads it.
#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <memory>

namespace controls {

// A colour value: RGB with red in the low byte (0x00BBGGRR), or with the top bit set a
// reference to the system colour whose index is the low byte.
using OleColor = quint32;
inline constexpr OleColor kSystemColorFlag = 0x80000000;
inline constexpr OleColor kSysButtonFace = 0x8000000F; // index 15
inline constexpr OleColor kSysButtonText = 0x80000012; // index 18

// A picture object: a bitmap (also from a JPEG or PNG file), an icon or a cursor. Icons and
// cursors carry their mask in the image's alpha channel.
struct ButtonPicture {
    enum class Kind { Bitmap, Icon, Cursor };
    Kind kind = Kind::Bitmap;
    QImage image;
    QPoint hotSpot; // cursors only
    bool isIconLike() const { return kind != Kind::Bitmap; }
};
using PictureRef = std::shared_ptr<const ButtonPicture>; // null: no picture

struct ButtonLook {
    // Properties.
    qint32 style = 0;        // ButtonStyle, 0..7
    qint32 shape = 0;        // ButtonShape, 0..8 (7 and 8: outline from the picture)
    qint32 mode = 0;         // 0 command, 1 check box, 2 option button
    QString caption;         // "||" is a line break, "&" marks the access key
    qint32 captionAlign = 2; // 0 left, 1 right, 2 centre
    qint32 captionStyle = 0; // 0 flat, 1 embossed, 2 engraved
    qint32 customClick = 0;  // 0..8
    PictureRef picture;
    qint32 pictureAlign = 0; // 0..5
    qint16 imageSize = 16;   // pixels: 16, 24, 32, 40 or 48
    bool enabled = true;
    bool showFocusRect = true;
    bool value = false;
    QFont font;
    OleColor foreColor = kSysButtonText;
    OleColor backColor = kSysButtonFace;
    OleColor gradientColor = kSysButtonFace;
    qint32 gradientMode = 0; // 0 none, 1..4 directions
    OleColor hoverForeColor = kSysButtonText;
    OleColor hoverBackColor = kSysButtonFace;

    // Display flags.
    bool defaultLook = false;          // shown as the default button
    bool pressed = false;              // left button or Space held down on the button
    bool hot = false;                  // the mouse is over the button (or Space is held)
    bool hovering = false;             // hover tracking runs
    bool pressedWhileTracking = false; // left button held while tracking

    // Container.
    quint32 containerBackRgb = 0; // the container's back colour, resolved to RGB
    bool userMode = true;         // false while the container is being designed
};

} // namespace controls
