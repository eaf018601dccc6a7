#include "button_art.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace app {

namespace {

constexpr int kSize = 32;

controls::PictureRef Make(controls::ButtonPicture::Kind kind,
                          const std::function<void(QPainter&)>& draw, QPoint hotSpot = {}) {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, kind != controls::ButtonPicture::Kind::Cursor);
    draw(p);
    p.end();
    auto picture = std::make_shared<controls::ButtonPicture>();
    picture->kind = kind;
    picture->image = image;
    picture->hotSpot = hotSpot;
    return picture;
}

controls::PictureRef Icon(const std::function<void(QPainter&)>& draw) {
    return Make(controls::ButtonPicture::Kind::Icon, draw);
}

// A green arrow pointing down onto a tray, drawn on a 32 x 32 grid.
void DrawUpdateArt(QPainter& p) {
    p.setPen(QPen(QColor(0x1b, 0x5e, 0x20), 1.5));
    p.setBrush(QColor(0x43, 0xa0, 0x47));
    const QPolygonF arrow({{12, 2}, {20, 2}, {20, 14}, {27, 14}, {16, 25}, {5, 14}, {12, 14}});
    p.drawPolygon(arrow);
    p.setBrush(QColor(0x60, 0x7d, 0x8b));
    p.setPen(QPen(QColor(0x37, 0x47, 0x4f), 1.5));
    p.drawRect(QRectF(3, 26, 26, 4));
}

} // namespace

controls::PictureRef UpdateIcon() {
    return Icon(DrawUpdateArt);
}

QImage AppIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / double(kSize), size / double(kSize));
    DrawUpdateArt(p);
    p.end();
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
    return icon;
}

// A blue triangle, as on a play key.
controls::PictureRef RunIcon() {
    return Icon([](QPainter& p) {
        p.setPen(QPen(QColor(0x0d, 0x47, 0xa1), 1.5));
        p.setBrush(QColor(0x1e, 0x88, 0xe5));
        p.drawPolygon(QPolygonF({{8, 4}, {27, 16}, {8, 28}}));
    });
}

// A red octagon with a white bar.
controls::PictureRef StopIcon() {
    return Icon([](QPainter& p) {
        p.setPen(QPen(QColor(0x8e, 0x00, 0x00), 1.5));
        p.setBrush(QColor(0xe5, 0x39, 0x35));
        p.drawPolygon(QPolygonF(
            {{10, 2}, {22, 2}, {30, 10}, {30, 22}, {22, 30}, {10, 30}, {2, 22}, {2, 10}}));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 13, 18, 6));
    });
}

// An open door with an arrow leaving through it.
controls::PictureRef ExitIcon() {
    return Icon([](QPainter& p) {
        p.setPen(QPen(QColor(0x4e, 0x34, 0x2e), 1.5));
        p.setBrush(QColor(0x8d, 0x6e, 0x63));
        p.drawRect(QRectF(3, 3, 16, 26));
        p.setBrush(QColor(0xff, 0xb3, 0x00));
        p.setPen(QPen(QColor(0xe6, 0x51, 0x00), 1.5));
        p.drawPolygon(
            QPolygonF({{13, 13}, {22, 13}, {22, 8}, {30, 16}, {22, 24}, {22, 19}, {13, 19}}));
    });
}

controls::PictureRef HandCursor() {
    return Make(
        controls::ButtonPicture::Kind::Cursor,
        [](QPainter& p) {
            QPainterPath hand;
            hand.addRoundedRect(QRectF(3, 0, 5, 15), 2, 2);   // the index finger, tip at (5, 0)
            hand.addRoundedRect(QRectF(3, 10, 15, 14), 3, 3); // the palm and folded fingers
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(Qt::white);
            p.drawPath(hand.simplified());
            for (int x : {10, 14})
                p.drawLine(x, 13, x, 17);
        },
        QPoint(5, 0));
}

} // namespace app
