// Provisional drawing engine: plain face and caption only, so that the widget builds and
// runs while the full engine is written.
#include "button_painter.h"

#include <QPainter>

namespace controls {

struct ButtonPainter::State {
    QImage surface;
    QImage window;
    QRegion outer;
    QRect caption;
};

quint32 ResolveColor(OleColor color) {
    if (color & kSystemColorFlag)
        return (color & 0xFF) == 18 ? 0x000000 : 0xC0C0C0;
    return color & 0xFFFFFF;
}

quint32 ShiftColor(quint32 rgb, int, ShiftKind) {
    return rgb;
}

QColor ToQColor(quint32 rgb) {
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

quint32 FromQColor(const QColor& color) {
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

ButtonPainter::ButtonPainter() : d(std::make_unique<State>()) {
}
ButtonPainter::~ButtonPainter() = default;

void ButtonPainter::Resize(QSize size) {
    d->surface = QImage(size, QImage::Format_RGB32);
    d->window = d->surface;
}
QSize ButtonPainter::size() const {
    return d->surface.size();
}
void ButtonPainter::RebuildOutline(const ButtonLook&) {
    d->outer = QRegion(QRect(QPoint(0, 0), d->surface.size()));
}
QRegion ButtonPainter::outerRegion() const {
    return d->outer;
}
QRegion ButtonPainter::faceRegion() const {
    return d->outer;
}
void ButtonPainter::Relayout(const ButtonLook&, bool) {
    d->caption = QRect(QPoint(0, 0), d->surface.size());
}
QRect ButtonPainter::captionRect() const {
    return d->caption;
}
QPoint ButtonPainter::imagePosition() const {
    return {};
}
void ButtonPainter::UpdateFont(const ButtonLook&) {
}
PictureFacts ButtonPainter::UpdatePicture(const ButtonLook& look) {
    if (!look.picture)
        return {};
    return {look.picture->image.width(), look.picture->image.height(), look.picture->isIconLike()};
}
void ButtonPainter::UpdateBackColor(const ButtonLook&) {
}
quint32 ButtonPainter::faceColor() const {
    return 0;
}
quint32 ButtonPainter::faceShadeColor() const {
    return 0;
}
quint32 ButtonPainter::hoverFaceColor() const {
    return 0;
}
quint32 ButtonPainter::checkedFaceColor() const {
    return 0;
}

int ButtonPainter::Redraw(const ButtonLook& look) {
    if (d->surface.isNull())
        return 0;
    d->surface.fill(ToQColor(ResolveColor(look.backColor)));
    QPainter p(&d->surface);
    p.setFont(look.font);
    p.setPen(ToQColor(ResolveColor(look.foreColor)));
    p.drawText(d->caption, Qt::AlignCenter | Qt::TextShowMnemonic,
               QString(look.caption).replace("||", "\n"));
    p.end();
    d->window = d->surface;
    return 1;
}
const QImage& ButtonPainter::windowImage() const {
    return d->window;
}
const QImage& ButtonPainter::surface() const {
    return d->surface;
}

} // namespace controls
