// Style 5: rounded. On the rectangle its border is a rounded rectangle drawn with arcs (the
// corners outside it take the container's colour); on the ellipses it draws its own border
// and a light and a dark inner arc in place of the ring; slanted outlines use the edge path.
#include "button_styles.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace controls::engine {

namespace {

struct RoundColors {
    quint32 border = 0;
    int borderWidth = 1;
    std::optional<quint32> upper; // inner line, top and left
    std::optional<quint32> lower; // inner line, bottom and right
};

RoundColors RoundColorsOf(const PaintJob& job) {
    const quint32 f = job.faceColor;
    const quint32 hi = ShiftColor(f, 48), lo = ShiftColor(f, -32);
    switch (VisualOf(job.look)) {
    case Visual::Disabled:
        return {ShiftColor(f, -48), 1, {}, {}};
    case Visual::Pressed:
    case Visual::Checked:
        return {ShiftColor(f, -128), 1, lo, hi};
    case Visual::Default:
        return {ShiftColor(f, -160), 2, hi, lo};
    case Visual::Hot:
        return {ResolveColor(kSystemColorFlag | 13), 1, hi, lo};
    default:
        return {ShiftColor(f, -96), 1, hi, lo};
    }
}

QPainterPath RoundPath(const PaintJob& job, qreal inset) {
    const QRectF r(inset, inset, job.width - 2 * inset, job.height - 2 * inset);
    QPainterPath path;
    if (IsEllipseShape(job.look)) {
        path.addEllipse(r);
    } else {
        const qreal radius = qBound(2, qMin(job.width, job.height) / 4, 8) - inset + 0.5;
        path.addRoundedRect(r, radius, radius);
    }
    return path;
}

void PaintRoundRim(PaintJob& job) {
    const RoundColors c = RoundColorsOf(job);
    QPainter& p = job.painter;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    if (!IsEllipseShape(job.look)) {
        QPainterPath all;
        all.addRect(0, 0, job.width, job.height);
        p.fillPath(all - RoundPath(job, 0), ToQColor(job.look.containerBackRgb & 0xFFFFFF));
    }
    const qreal half = c.borderWidth / 2.0;
    p.setPen(QPen(ToQColor(c.border), c.borderWidth));
    p.drawPath(RoundPath(job, half));
    if (c.upper && c.lower) {
        const qreal inset = c.borderWidth + 0.5;
        QLinearGradient g(0, inset, 0, job.height - inset);
        g.setColorAt(0, ToQColor(*c.upper));
        g.setColorAt(1, ToQColor(*c.lower));
        p.setPen(QPen(QBrush(g), 1));
        p.drawPath(RoundPath(job, inset));
    }
    p.restore();
    job.table[12] = int(c.border);
}

// The slanted outlines: the border and one inner ring on the edge path.
void FillRoundTable(PaintJob& job) {
    const RoundColors c = RoundColorsOf(job);
    SetRing(job.table, 0, AllSides(int(c.border)));
    if (c.upper && c.lower)
        SetRing(job.table, 1, {int(*c.upper), int(*c.upper), int(*c.lower), int(*c.lower)});
}

} // namespace

int PaintRoundStyle(PaintJob& job) {
    job.skipRim = true;
    if (!BeginPaint(job))
        return 0;
    const int shape = job.look.shape;
    if (shape == 0 || IsEllipseShape(job.look)) {
        PaintRoundRim(job);
    } else if (shape <= 3) {
        FillRoundTable(job);
        PaintEdges(job);
    } else {
        job.table[12] = int(RoundColorsOf(job).border);
    }
    FinishPaint(job);
    return ResultOf(job);
}

} // namespace controls::engine
