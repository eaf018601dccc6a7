#include "progress_picture.h"

#include <QPainter>
#include <QPalette>

namespace app {

ProgressPicture::ProgressPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    BackColor = palette().color(QPalette::Base);
}

QImage& ProgressPicture::Image() {
    const QSize wanted = size().expandedTo(QSize(1, 1));
    if (image_.size() != wanted) {
        image_ = QImage(wanted, QImage::Format_RGB32);
        image_.fill(BackColor);
    }
    return image_;
}

void ProgressPicture::Cls() {
    Image().fill(BackColor);
}

void ProgressPicture::Refresh() {
    update();
}

void ProgressPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Image());
}

void ProgressPicture::resizeEvent(QResizeEvent*) {
    Image();
}

void DrawProgress(ProgressPicture* picture, qint16 percent, bool showText) {
    if (!picture->AutoRedraw)
        picture->AutoRedraw = true;
    picture->Cls();
    QImage& image = picture->Image();
    const double unitsToPixels = image.width() / 100.0; // 100 units across the width
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    if (showText) {
        const QString text = QString::number(percent) + QLatin1Char('%');
        const QFontMetrics metrics(picture->font());
        painter.setFont(picture->font());
        painter.setPen(picture->ForeColor);
        const double x = 50.0 * unitsToPixels - metrics.horizontalAdvance(text) / 2.0;
        const double y = (image.height() - metrics.height()) / 2.0;
        painter.drawText(QPointF(x, y + metrics.ascent()), text);
    }
    const int right = static_cast<int>(percent * unitsToPixels + 0.5);
    painter.fillRect(QRect(0, 0, qBound(0, right, image.width()), image.height()),
                     picture->ForeColor);
    painter.end();
    picture->Refresh();
}

} // namespace app
