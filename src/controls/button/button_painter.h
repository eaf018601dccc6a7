// The button control's drawing engine: outlines (regions), caption and image layout, the
// derived face colours, and the eight style routines, all painted into an off-screen image
// that the widget shows. No widget, no events: everything is computed from a ButtonLook.
#pragma once

#include "button_look.h"

#include <QImage>
#include <QRect>
#include <QRegion>

namespace controls {

// A colour value resolved to RGB (0x00BBGGRR): system colours through the application's
// palette for the Windows indices that have a palette role, a fixed table for the rest.
quint32 ResolveColor(OleColor color);
// The colour shift: each channel + amount, clamped to 0..255. Proportional: blue moves by
// amount x blue / 192 instead. Inverting: each channel then becomes 255 - itself.
enum class ShiftKind { Plain, Proportional, Inverting };
quint32 ShiftColor(quint32 rgb, int amount, ShiftKind kind = ShiftKind::Plain);
// 0x00BBGGRR as a QColor and back.
QColor ToQColor(quint32 rgb);
quint32 FromQColor(const QColor& color);

// The facts of a picture that layout and outline use.
struct PictureFacts {
    int width = 0;
    int height = 0;
    bool isIcon = false;
};

class ButtonPainter {
public:
    ButtonPainter();
    ~ButtonPainter();
    ButtonPainter(const ButtonPainter&) = delete;
    ButtonPainter& operator=(const ButtonPainter&) = delete;

    // Resize handling: a new surface of the size (W x H). The caller then rebuilds the
    // outline, relayouts and redraws unless drawing is delayed.
    void Resize(QSize size);
    QSize size() const;

    // Outline rebuild: outer, face and second regions for the look's shape and style.
    void RebuildOutline(const ButtonLook& look);
    // The window's visible region (the widget's mask).
    QRegion outerRegion() const;
    QRegion faceRegion() const;
    // The outline shrunk by one pixel (ellipses: inset by two), for the inner rim.
    QRegion secondRegion() const;
    // The slant S of the slanted outlines, the left slant offset (S for outlines 1 and 3,
    // else 0) and the right slant position (W - S + 1 for outlines 2 and 3, else W).
    int slant() const;
    int leftSlantOffset() const;
    int rightSlantPosition() const;

    // Caption rectangle and image position.
    void Relayout(const ButtonLook& look, bool withImage);
    QRect captionRect() const;
    QPoint imagePosition() const;

    // The three updates.
    void UpdateFont(const ButtonLook& look);
    PictureFacts UpdatePicture(const ButtonLook& look);
    PictureFacts pictureFacts() const;
    void UpdateBackColor(const ButtonLook& look);

    // Derived colours of the last "BackColor" update (RGB).
    quint32 faceColor() const;
    quint32 faceShadeColor() const;
    quint32 hoverFaceColor() const;
    quint32 checkedFaceColor() const;
    // Entry 12 of the last redraw's colour table: the colour that frames shaped outlines
    // (RGB, or -1 for none).
    int frameColor() const;

    // Redraw: runs the style routine into the surface; when it changed anything, copies the
    // surface to the window image and frames the outline there. Returns the style routine's
    // result: 0 nothing changed, 1 shown, 2 shown and framed.
    int Redraw(const ButtonLook& look);
    // What the window shows: the persistent image of the last redraw.
    const QImage& windowImage() const;
    // The off-screen surface itself (the control's drawing surface).
    const QImage& surface() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace controls
