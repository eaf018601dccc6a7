// Caption and image layout: the horizontal limits of each outline, the room made for an
// image beside, above or below the caption, and the image's place.
#include "button_engine.h"

#include <QFontMetrics>

namespace controls::engine {

namespace {

constexpr int kGap = 4;          // between image and caption, and image and edge
constexpr int kLargestRoom = 32; // larger images are centred on the button

struct Limits {
    int left = 0;
    int right = 0;
};

Limits HorizontalLimits(const ButtonLook& look, const Outline& o, const PictureFacts& picture) {
    const int w = o.size.width();
    Limits l{0, w};
    switch (look.shape) {
    case 1:
    case 2:
    case 3:
        if (look.shape != 2)
            l.left = o.leftSlant - o.leftSlant / 3 + 3;
        if (look.shape != 1)
            l.right = o.rightSlant + (w - o.rightSlant) / 3;
        break;
    case 7:
    case 8:
        l = {3, picture.width - 3};
        break;
    default:
        break;
    }
    return l;
}

struct Block {
    int width = 0;
    int height = 0;
};

Block Measure(const QFont& font, const QString& text, int width) {
    if (text.isEmpty())
        return {};
    const QFontMetrics metrics(font);
    const QRect r = metrics.boundingRect(
        QRect(0, 0, qMax(width, 1), 1 << 20),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic, text);
    return {r.width(), r.height()};
}

// Left edge of a text block of the given width placed in [left, right) by the alignment.
int AlignedLeft(int captionAlign, int left, int right, int width) {
    switch (captionAlign) {
    case 0:
        return left;
    case 1:
        return right - width;
    default:
        return left + (right - left - width) / 2;
    }
}

void PlaceBesideImage(Layout& out, const ButtonLook& look, const QFont& font, Limits l, int h,
                      int s) {
    const int align = look.pictureAlign;
    int left = l.left;
    int right = l.right;
    if (align == 0 || align == 1)
        left += kGap + s + kGap;
    else
        right -= kGap + s + kGap;
    // Beside the caption: the same margin on the far side keeps image and caption centred.
    if (align == 1)
        right -= kGap;
    else if (align == 3)
        left += kGap;
    const Block b = Measure(font, out.text, right - left);
    out.caption = QRect(left, (h - b.height) / 2, right - left, b.height);
    const int textLeft = AlignedLeft(look.captionAlign, left, right, b.width);
    int x = align <= 1 ? l.left + kGap : l.right - kGap - s;
    if (align == 1 && b.width > 0)
        x = textLeft - kGap - s;
    if (align == 3 && b.width > 0)
        x = textLeft + b.width + kGap;
    out.image = QPoint(x, (h - s) / 2);
}

void PlaceAboveOrBelow(Layout& out, const ButtonLook& look, const QFont& font, Limits l, int h,
                       int s) {
    const Block b = Measure(font, out.text, l.right - l.left);
    const int total = s + (b.height > 0 ? kGap + b.height : 0);
    const int top = (h - total) / 2;
    const int imageX = l.left + (l.right - l.left - s) / 2;
    if (look.pictureAlign == 4) {
        out.image = QPoint(imageX, top);
        out.caption = QRect(l.left, top + s + kGap, l.right - l.left, b.height);
    } else {
        out.caption = QRect(l.left, top, l.right - l.left, b.height);
        out.image = QPoint(imageX, b.height > 0 ? top + b.height + kGap : top);
    }
}

} // namespace

int CaptionFlags(int captionAlign) {
    const int horizontal = captionAlign == 0   ? Qt::AlignLeft
                           : captionAlign == 1 ? Qt::AlignRight
                                               : Qt::AlignHCenter;
    return horizontal | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic | Qt::TextDontClip;
}

PictureFacts FactsOf(const ButtonLook& look) {
    if (!look.picture || look.picture->image.isNull())
        return {};
    return {look.picture->image.width(), look.picture->image.height(), look.picture->isIconLike()};
}

Layout ComputeLayout(const ButtonLook& look, const QFont& font, const Outline& outline,
                     const PictureFacts& picture) {
    Layout out;
    out.built = true;
    out.text = QString(look.caption).replace(QStringLiteral("||"), QStringLiteral("\n"));
    const int w = outline.size.width();
    const int h = outline.size.height();
    const Limits l = HorizontalLimits(look, outline, picture);
    const int s = look.imageSize;
    const bool hasImage = picture.width + picture.height >= 1;
    if (IsCustomShape(look)) {
        out.image = QPoint(0, 0);
    } else if (hasImage && s <= kLargestRoom) {
        if (look.pictureAlign >= 4)
            PlaceAboveOrBelow(out, look, font, l, h, s);
        else
            PlaceBesideImage(out, look, font, l, h, s);
        return out;
    } else {
        out.image = QPoint((w - s) / 2, (h - s) / 2);
    }
    const Block b = Measure(font, out.text, l.right - l.left);
    out.caption = QRect(l.left, (h - b.height) / 2, l.right - l.left, b.height);
    return out;
}

} // namespace controls::engine
