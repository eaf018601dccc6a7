// Time to paint one 100 x 30 button into its surface, per style: the median of many paints
// of a rectangular button with a caption and a 16-pixel icon, and of the same button hot
// with the slanted outline 3.
//
//   button_paint_bench [PAINTS]      (default: 2000)
#include "button_painter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace controls;

PictureRef Icon() {
    auto p = std::make_shared<ButtonPicture>();
    p->kind = ButtonPicture::Kind::Icon;
    p->image = QImage(16, 16, QImage::Format_ARGB32);
    p->image.fill(Qt::transparent);
    QPainter g(&p->image);
    g.setBrush(QColor(40, 150, 60));
    g.drawEllipse(1, 1, 14, 14);
    return p;
}

// Median time of one Redraw, in microseconds.
double MedianPaint(const ButtonLook& look, int paints) {
    ButtonPainter painter;
    painter.Resize({100, 30});
    painter.UpdateFont(look);
    painter.UpdatePicture(look);
    painter.UpdateBackColor(look);
    painter.RebuildOutline(look);
    painter.Relayout(look, true);
    for (int i = 0; i < 20; ++i) // warm the font and glyph caches
        painter.Redraw(look);
    std::vector<qint64> ns(size_t(paints), 0);
    QElapsedTimer clock;
    for (qint64& n : ns) {
        clock.start();
        painter.Redraw(look);
        n = clock.nsecsElapsed();
    }
    std::nth_element(ns.begin(), ns.begin() + paints / 2, ns.end());
    return ns[size_t(paints / 2)] / 1000.0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int paints = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    std::printf("button paint, 100 x 30, median of %d paints (microseconds per paint)\n", paints);
    std::printf("style  rectangle  slanted-hot\n");
    for (int style = 0; style < 8; ++style) {
        ButtonLook look;
        look.style = style;
        look.caption = "&Update";
        look.picture = Icon();
        look.pictureAlign = 1;
        look.font = QApplication::font();
        const double plain = MedianPaint(look, paints);
        look.shape = 3;
        look.hot = look.hovering = true;
        const double slanted = MedianPaint(look, paints);
        std::printf("%5d  %9.1f  %11.1f\n", style, plain, slanted);
    }
    return 0;
}
