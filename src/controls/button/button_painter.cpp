// The button drawing engine's object: it owns the surface, the window image, the outline,
// the layout, the caption font and the derived colours, and runs the redraw.
#include "button_painter.h"

#include "button_engine.h"

namespace controls {

using namespace engine;

struct ButtonPainter::State {
    QImage surface;
    QImage window;
    Outline outline;
    Layout layout;
    QFont font;
    bool fontSet = false;
    PictureFacts picture;
    DerivedColors colors;
    ColorTable table = EmptyTable();
};

ButtonPainter::ButtonPainter() : d(std::make_unique<State>()) {
}
ButtonPainter::~ButtonPainter() = default;

void ButtonPainter::Resize(QSize size) {
    d->surface = QImage(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    d->surface.fill(Qt::black);
    d->window = d->surface.copy();
    d->outline = {};
    d->layout = {};
}

QSize ButtonPainter::size() const {
    return d->surface.size();
}

void ButtonPainter::RebuildOutline(const ButtonLook& look) {
    d->outline = BuildOutline(look, d->surface.size());
}

QRegion ButtonPainter::outerRegion() const {
    return d->outline.outer;
}

QRegion ButtonPainter::faceRegion() const {
    return d->outline.face;
}

QRegion ButtonPainter::secondRegion() const {
    return d->outline.second;
}

int ButtonPainter::slant() const {
    return d->outline.slant;
}

int ButtonPainter::leftSlantOffset() const {
    return d->outline.leftSlant;
}

int ButtonPainter::rightSlantPosition() const {
    return d->outline.rightSlant;
}

void ButtonPainter::Relayout(const ButtonLook& look, bool withImage) {
    if (withImage || !d->layout.built)
        d->picture = FactsOf(look);
    if (!d->outline.built)
        RebuildOutline(look);
    d->layout = ComputeLayout(look, d->fontSet ? d->font : look.font, d->outline, d->picture);
}

QRect ButtonPainter::captionRect() const {
    return d->layout.caption;
}

QPoint ButtonPainter::imagePosition() const {
    return d->layout.image;
}

void ButtonPainter::UpdateFont(const ButtonLook& look) {
    // The window font as it stands: face, size, weight, italic, underline, strike-out.
    d->font = look.font;
    d->fontSet = true;
}

PictureFacts ButtonPainter::UpdatePicture(const ButtonLook& look) {
    d->picture = FactsOf(look);
    return d->picture;
}

PictureFacts ButtonPainter::pictureFacts() const {
    return d->picture;
}

void ButtonPainter::UpdateBackColor(const ButtonLook& look) {
    d->colors = DeriveColors(look);
}

quint32 ButtonPainter::faceColor() const {
    return d->colors.face;
}
quint32 ButtonPainter::faceShadeColor() const {
    return d->colors.shade;
}
quint32 ButtonPainter::hoverFaceColor() const {
    return d->colors.hover;
}
quint32 ButtonPainter::checkedFaceColor() const {
    return d->colors.checked;
}

int ButtonPainter::frameColor() const {
    return d->table[12];
}

int ButtonPainter::Redraw(const ButtonLook& look) {
    if (d->surface.isNull())
        return 0;
    if (!d->outline.built || d->outline.size != d->surface.size())
        RebuildOutline(look);
    if (!d->layout.built)
        Relayout(look, true);
    (void)d->surface.bits(); // the painter and the pixel writes share one buffer
    int result = 0;
    {
        QPainter painter(&d->surface);
        const QFont& font = d->fontSet ? d->font : look.font;
        PaintJob job(look, d->colors, d->outline, d->layout, d->picture, font, d->surface, painter);
        result = PaintStyle(job);
        d->table = job.table;
    }
    if (result == 0)
        return 0;
    d->window = d->surface;
    if (result == 2)
        FrameOutline(d->window, look, d->outline, d->colors, d->table);
    return result;
}

const QImage& ButtonPainter::windowImage() const {
    return d->window;
}

const QImage& ButtonPainter::surface() const {
    return d->surface;
}

} // namespace controls
