// Colour values: system colour resolution, the colour shift, and the face colours that each
// style derives from BackColor and HoverBackColor.
#include "button_engine.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>

namespace controls {

namespace {

// The classic desktop colour scheme, 0x00BBGGRR, by system colour index.
constexpr std::array<quint32, 31> kClassicColors = {
    0xC0C0C0, // 0 scroll bar
    0x808000, // 1 desktop
    0x800000, // 2 active caption
    0x808080, // 3 inactive caption
    0xC0C0C0, // 4 menu
    0xFFFFFF, // 5 window
    0x000000, // 6 window frame
    0x000000, // 7 menu text
    0x000000, // 8 window text
    0xFFFFFF, // 9 caption text
    0xC0C0C0, // 10 active border
    0xC0C0C0, // 11 inactive border
    0x808080, // 12 application workspace
    0x800000, // 13 highlight
    0xFFFFFF, // 14 highlight text
    0xC0C0C0, // 15 button face
    0x808080, // 16 button shadow
    0x808080, // 17 grey text
    0x000000, // 18 button text
    0xC0C0C0, // 19 inactive caption text
    0xFFFFFF, // 20 button highlight
    0x000000, // 21 3D dark shadow
    0xC0C0C0, // 22 3D light
    0x000000, // 23 tooltip text
    0xE1FFFF, // 24 tooltip background
    0x000000, // 25 unused
    0x800000, // 26 hot-tracked item
    0xD08410, // 27 active caption gradient
    0xB5B5B5, // 28 inactive caption gradient
    0x800000, // 29 menu highlight
    0xC0C0C0, // 30 menu bar
};

struct PaletteRole {
    int index;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The system colours that the application's palette has a role for.
constexpr std::array<PaletteRole, 14> kPaletteRoles = {{
    {5, QPalette::Active, QPalette::Base},
    {8, QPalette::Active, QPalette::WindowText},
    {13, QPalette::Active, QPalette::Highlight},
    {14, QPalette::Active, QPalette::HighlightedText},
    {15, QPalette::Active, QPalette::Button},
    {16, QPalette::Active, QPalette::Dark},
    {17, QPalette::Disabled, QPalette::Text},
    {18, QPalette::Active, QPalette::ButtonText},
    {20, QPalette::Active, QPalette::Light},
    {21, QPalette::Active, QPalette::Shadow},
    {22, QPalette::Active, QPalette::Midlight},
    {23, QPalette::Active, QPalette::ToolTipText},
    {24, QPalette::Active, QPalette::ToolTipBase},
    {26, QPalette::Active, QPalette::Link},
}};

quint32 SystemColor(int index) {
    if (qGuiApp) {
        for (const PaletteRole& r : kPaletteRoles) {
            if (r.index == index)
                return FromQColor(QGuiApplication::palette().color(r.group, r.role));
        }
    }
    if (index < 0 || index >= int(kClassicColors.size()))
        return 0;
    return kClassicColors[size_t(index)];
}

} // namespace

quint32 ResolveColor(OleColor color) {
    if (color & kSystemColorFlag)
        return SystemColor(int(color & 0xFF));
    return color & 0xFFFFFF;
}

quint32 ShiftColor(quint32 rgb, int amount, ShiftKind kind) {
    const engine::Channels c = engine::SplitChannels(rgb);
    const int blue =
        kind == ShiftKind::Proportional ? c.blue + amount * c.blue / 192 : c.blue + amount;
    int channels[3] = {std::clamp(c.red + amount, 0, 255), std::clamp(c.green + amount, 0, 255),
                       std::clamp(blue, 0, 255)};
    if (kind == ShiftKind::Inverting) {
        for (int& v : channels)
            v = 255 - v;
    }
    return engine::JoinChannels(channels[0], channels[1], channels[2]);
}

QColor ToQColor(quint32 rgb) {
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

quint32 FromQColor(const QColor& color) {
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

namespace engine {

int RoundHalfEven(qint64 numerator, qint64 denominator) {
    qint64 q = numerator / denominator;
    qint64 r = numerator % denominator;
    if (r < 0) {
        r += denominator;
        --q;
    }
    if (2 * r > denominator || (2 * r == denominator && (q & 1)))
        ++q;
    return int(q);
}

// Green and blue are divided by 255 and 65280 (not 256 and 65536), so they come out up to
// one step high; the clamp of the shift keeps them in range.
Channels SplitChannels(quint32 rgb) {
    return {int(rgb & 0xFF), RoundHalfEven(rgb & 0xFF00, 255),
            RoundHalfEven(rgb & 0xFF0000, 65280)};
}

quint32 JoinChannels(int red, int green, int blue) {
    return quint32(std::clamp(red, 0, 255)) + 256u * quint32(std::clamp(green, 0, 255)) +
           65536u * quint32(std::clamp(blue, 0, 255));
}

DerivedColors DeriveColors(const ButtonLook& look) {
    DerivedColors c;
    c.face = c.shade = ResolveColor(look.backColor);
    c.hover = ResolveColor(look.hoverBackColor);
    switch (look.style) {
    case 7:
        c.face = ShiftColor(c.face, 31);
        c.shade = ShiftColor(0x808080, -16);
        c.hover = ShiftColor(c.hover, 31);
        c.checked = ShiftColor(0x808080, 16);
        break;
    case 3:
        c.shade = ShiftColor(0x808080, 12);
        c.checked = ShiftColor(c.shade, 31);
        break;
    case 2:
        c.face = ShiftColor(c.face, 48);
        c.hover = ShiftColor(c.hover, 48);
        c.shade = ShiftColor(c.face, -32);
        c.checked = ShiftColor(0xFFFFFF, -32);
        break;
    default:
        c.checked = ShiftColor(0xFFFFFF, -32);
        break;
    }
    return c;
}

ColorTable EmptyTable() {
    ColorTable t;
    t.fill(kNoColor);
    return t;
}

void SetRing(ColorTable& table, int ring, Bevel bevel) {
    const int first = ring == 0 ? 9 : ring == 1 ? 1 : 5;
    table[size_t(first)] = bevel.left;
    table[size_t(first + 1)] = bevel.top;
    table[size_t(first + 2)] = bevel.right;
    table[size_t(first + 3)] = bevel.bottom;
}

} // namespace engine
} // namespace controls
