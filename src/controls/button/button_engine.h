// Internals of the button drawing engine, shared by its source files: the derived colours,
// the outline regions, the layout, and one paint job that the shared painters and the style
// routines work on.
#pragma once

#include "button_painter.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QString>
#include <array>
#include <optional>

namespace controls::engine {

// A colour table of a style routine: entries 1 to 12 (entry 0 unused). kNoColor: not drawn.
inline constexpr int kNoColor = -1;
using ColorTable = std::array<int, 13>;
ColorTable EmptyTable();

// The four sides of one ring of edges, each an RGB colour or kNoColor.
struct Bevel {
    int left = kNoColor;
    int top = kNoColor;
    int right = kNoColor;
    int bottom = kNoColor;
};
inline Bevel AllSides(int c) {
    return {c, c, c, c};
}
// Rings of the edge path: 1 (one pixel inside the border), 2 (two pixels inside), 0 (border).
void SetRing(ColorTable& table, int ring, Bevel bevel);

// Colour channels as the colour shift splits them.
struct Channels {
    int red = 0;
    int green = 0;
    int blue = 0;
};
Channels SplitChannels(quint32 rgb);
quint32 JoinChannels(int red, int green, int blue); // each clamped to 0..255
int RoundHalfEven(qint64 numerator, qint64 denominator);

struct DerivedColors {
    quint32 face = 0;
    quint32 shade = 0;
    quint32 hover = 0;
    quint32 checked = 0;
};
DerivedColors DeriveColors(const ButtonLook& look);

// Regions of one outline, in pixels of the control.
struct Outline {
    QRegion outer;  // the window's visible region
    QRegion face;   // inside the rim
    QRegion second; // the outline shrunk by one pixel (ellipses: inset by two)
    int slant = 0;
    int leftSlant = 0;  // left slant offset (outlines 1 and 3), else 0
    int rightSlant = 0; // right slant position (outlines 2 and 3), else the width
    QSize size;
    bool built = false;
};
Outline BuildOutline(const ButtonLook& look, QSize size);
int SlantFor(int height);
QRegion Shrink(const QRegion& region);   // removes every pixel with a 4-neighbour outside
QRegion Boundary(const QRegion& region); // the pixels that Shrink removes
// The region of every pixel of the picture (drawn at its own size) that differs from its
// top-left pixel, restricted to rect.
QRegion PictureRegion(const QImage& picture, const QRect& rect);
// The picture drawn at its own size on an opaque surface: icons through their mask.
QImage OpaquePicture(const ButtonPicture& picture);

struct Layout {
    QString text;  // the caption with its line breaks
    QRect caption; // where the text block is drawn
    QPoint image;  // top-left corner of the image
    bool built = false;
};
Layout ComputeLayout(const ButtonLook& look, const QFont& font, const Outline& outline,
                     const PictureFacts& picture);
PictureFacts FactsOf(const ButtonLook& look);
// Text flags of the caption: alignment, word break and ampersand processing.
int CaptionFlags(int captionAlign);

bool IsCustomShape(const ButtonLook& look);
bool IsEllipseShape(const ButtonLook& look);
bool IsChecked(const ButtonLook& look);
bool IsPressedHot(const ButtonLook& look);

// One paint of the surface.
struct PaintJob {
    PaintJob(const ButtonLook& l, const DerivedColors& c, const Outline& o, const Layout& lay,
             const PictureFacts& pic, const QFont& f, QImage& img, QPainter& p)
        : look(l), colors(c), outline(o), layout(lay), picture(pic), font(f), image(img),
          painter(p), width(img.width()), height(img.height()) {}
    const ButtonLook& look;
    const DerivedColors& colors;
    const Outline& outline;
    const Layout& layout;
    const PictureFacts& picture;
    const QFont& font;
    QImage& image;
    QPainter& painter;
    int width = 0;
    int height = 0;
    int faceState = 0;                   // 0 normal, 1 default look, 2 pressed and hot
    quint32 faceColor = 0;               // the colour the face painter used
    ColorTable table{};                  // filled by the style routine
    bool pressedLook = false;            // the style asks for the pressed caption place
    bool skipRim = false;                // the style paints its own rim (style 5 on ellipses)
    std::optional<quint32> captionColor; // a style's own caption colour
    std::optional<quint32> faceOverride; // a style's own plain face colour
};

// Shared painters, in the order a style routine calls them.
bool PaintRim(PaintJob& job);
void PaintFace(PaintJob& job);
void PaintEdges(PaintJob& job);
void PaintEllipseRim(PaintJob& job);
void PaintImage(PaintJob& job);
void PaintCaption(PaintJob& job);
void PaintFocus(PaintJob& job);
void ClearOutside(PaintJob& job);
// Softens the corners of a rectangular outline with cut corners: one pixel in the border's
// colour closes the border across each cut.
void SoftenCorners(PaintJob& job, int borderColor);

// Pixel helpers on an RGB32 image; points outside are ignored.
void PutPixel(QImage& image, int x, int y, quint32 rgb);
quint32 PixelAt(const QImage& image, int x, int y);
void DrawLine(QImage& image, QPoint from, QPoint to, quint32 rgb); // both ends included
void FillRegion(QImage& image, const QRegion& region, quint32 rgb);

// The style routine of look.style; returns the redraw result (0, 1 or 2).
int PaintStyle(PaintJob& job);
// Step 5 of the redraw: frames the outline on the window image.
void FrameOutline(QImage& window, const ButtonLook& look, const Outline& outline,
                  const DerivedColors& colors, const ColorTable& table);

} // namespace controls::engine
