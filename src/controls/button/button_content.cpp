// Shared painters of the content: the image (icons with their mask, bitmaps with their
// top-left colour as transparent, grey when disabled) and the caption (pressed offset,
// embossed and engraved copies, the disabled white-under-grey look).
#include "button_engine.h"

#include <algorithm>

namespace controls::engine {

namespace {

constexpr quint32 kGrey = 0x808080;
constexpr quint32 kWhite = 0xFFFFFF;

// Movements of the picture face for CustomClick 1 to 8: up, then clockwise.
constexpr QPoint kClickMoves[8] = {{0, -2}, {2, -2}, {2, 0},  {2, 2},
                                   {0, 2},  {-2, 2}, {-2, 0}, {-2, -2}};

// Where the caption and the image move while the button looks pressed.
QPoint PressedOffset(const PaintJob& job) {
    const ButtonLook& look = job.look;
    if (look.style == 3 || !(IsPressedHot(look) || job.pressedLook))
        return {};
    return look.shape <= 3 ? QPoint(1, 1) : QPoint(0, 1);
}

QRect ImageTarget(const PaintJob& job) {
    const ButtonLook& look = job.look;
    if (!IsCustomShape(look)) {
        const int s = look.imageSize;
        return QRect(job.layout.image + PressedOffset(job), QSize(s, s));
    }
    const QRect own(0, 0, job.picture.width, job.picture.height);
    if (!IsPressedHot(look))
        return own;
    if (look.customClick >= 1 && look.customClick <= 8)
        return own.translated(kClickMoves[look.customClick - 1]);
    return own.adjusted(1, 1, -1, -1);
}

// Draws the picture into target: icons smoothly through their alpha mask, bitmaps scaled
// pixel for pixel with their top-left colour left out.
void DrawPicture(QPainter& painter, const ButtonPicture& picture, const QRect& target) {
    if (picture.isIconLike()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, picture.image);
        painter.restore();
        return;
    }
    const QImage source = picture.image.convertToFormat(QImage::Format_RGB32);
    const QRgb key = source.pixel(0, 0);
    QImage scaled = source.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                        .convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < scaled.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(scaled.scanLine(y));
        std::replace(line, line + scaled.width(), key, QRgb(0));
    }
    painter.drawImage(target.topLeft(), scaled);
}

// Disabled look: the picture on white, then grey wherever that is not white.
void DrawDisabledPicture(PaintJob& job, const ButtonPicture& picture, const QRect& target) {
    QImage temp(target.size(), QImage::Format_RGB32);
    temp.fill(Qt::white);
    {
        QPainter p(&temp);
        DrawPicture(p, picture, temp.rect());
    }
    for (int y = 0; y < temp.height(); ++y) {
        for (int x = 0; x < temp.width(); ++x) {
            if (PixelAt(temp, x, y) != kWhite)
                PutPixel(job.image, target.x() + x, target.y() + y, kGrey);
        }
    }
}

void DrawText(PaintJob& job, const QRect& rect, quint32 rgb) {
    job.painter.setPen(ToQColor(rgb));
    job.painter.drawText(rect, CaptionFlags(job.look.captionAlign), job.layout.text);
}

quint32 EnabledCaptionColor(const PaintJob& job) {
    if (job.captionColor)
        return *job.captionColor;
    const ButtonLook& look = job.look;
    if (look.hot && !IsPressedHot(look))
        return ResolveColor(look.hoverForeColor);
    return ResolveColor(look.foreColor);
}

} // namespace

void PaintImage(PaintJob& job) {
    const ButtonLook& look = job.look;
    if (!look.picture || look.picture->image.isNull() || job.picture.width + job.picture.height < 1)
        return;
    const QRect target = ImageTarget(job);
    if (target.isEmpty())
        return;
    if (look.enabled)
        DrawPicture(job.painter, *look.picture, target);
    else
        DrawDisabledPicture(job, *look.picture, target);
}

void PaintCaption(PaintJob& job) {
    const ButtonLook& look = job.look;
    if (job.layout.text.isEmpty())
        return;
    job.painter.save();
    job.painter.setFont(job.font);
    job.painter.setBackgroundMode(Qt::TransparentMode);
    QRect rect = job.layout.caption.translated(PressedOffset(job));
    if (!look.enabled) {
        if ((look.foreColor & kSystemColorFlag) || look.gradientMode != 0) {
            DrawText(job, rect.translated(1, 1), kWhite);
            DrawText(job, rect, kGrey);
        } else {
            DrawText(job, rect, ResolveColor(look.foreColor));
        }
        job.painter.restore();
        return;
    }
    const quint32 color = EnabledCaptionColor(job);
    if (look.captionStyle == 1 || look.captionStyle == 2) {
        const int first = look.captionStyle == 2 ? 40 : -40;
        rect.translate(-1, 0);
        DrawText(job, rect, ShiftColor(color, first));
        rect.translate(2, 2);
        DrawText(job, rect, ShiftColor(color, -first));
        rect.translate(-1, -1);
    }
    DrawText(job, rect, color);
    job.painter.restore();
}

} // namespace controls::engine
