// Helpers of the button tests: a look for exact pixels, a painter run in the widget's order,
// pixel searches, test pictures, and shown buttons with recorders of their events, marked
// keys and design-mode messages.
#pragma once

#include "rkbuttons_h.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <functional>
#include <memory>

namespace button_tests {

using namespace controls;
using Kind = ButtonPicture::Kind;

inline constexpr quint32 kContainer = 0x204020; // not used by any face

// Plain RGB colours, no caption and an unsmoothed font, so that pixels are exact.
inline ButtonLook PlainLook(int style, int shape) {
    ButtonLook look;
    look.style = style;
    look.shape = shape;
    look.caption.clear();
    look.backColor = look.hoverBackColor = look.gradientColor = 0x808080;
    look.foreColor = look.hoverForeColor = 0x000000;
    look.containerBackRgb = kContainer;
    look.font = QApplication::font();
    look.font.setPixelSize(12);
    look.font.setStyleStrategy(QFont::NoAntialias);
    return look;
}

// Runs the updates, outline, layout and redraw in the widget's order.
inline std::unique_ptr<ButtonPainter> Paint(const ButtonLook& look, QSize size,
                                            int* result = nullptr) {
    auto p = std::make_unique<ButtonPainter>();
    p->Resize(size);
    p->UpdateFont(look);
    p->UpdatePicture(look);
    p->UpdateBackColor(look);
    p->RebuildOutline(look);
    p->Relayout(look, true);
    const int r = p->Redraw(look);
    if (result)
        *result = r;
    return p;
}

inline quint32 Pixel(const QImage& image, QPoint at) {
    return FromQColor(image.pixelColor(at));
}

inline QString Hex(quint32 rgb) {
    return QStringLiteral("0x%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

// The bounding box of every pixel of the colour.
inline QRect BoxOfColor(const QImage& image, quint32 rgb) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Pixel(image, {x, y}) == rgb)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// A picture of the size filled with `fill`, with a block of `color` in it.
inline PictureRef Picture(Kind kind, QSize size, QColor fill, QRect block, QColor color,
                          QPoint hotSpot = {}) {
    auto p = std::make_shared<ButtonPicture>();
    p->kind = kind;
    p->image = QImage(size, kind == Kind::Bitmap ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    p->image.fill(fill);
    QPainter(&p->image).fillRect(block, color);
    p->hotSpot = hotSpot;
    return p;
}
inline PictureRef Bitmap(int size = 32) {
    return Picture(Kind::Bitmap, {size, size}, Qt::white, {2, 2, size - 4, size - 4}, Qt::blue);
}
inline PictureRef Icon(int size = 32) {
    return Picture(Kind::Icon, {size, size}, Qt::transparent, {2, 2, size - 4, size - 4}, Qt::blue);
}
inline PictureRef Cursor() {
    return Picture(Kind::Cursor, {32, 32}, Qt::transparent, {2, 2, 28, 28}, Qt::blue, {5, 0});
}

// Records the design-mode messages for the lifetime of the object.
struct MessageLog {
    MessageLog() {
        rkButtons_H::SetMessageHandler([this](const QString& text) { messages << text; });
    }
    ~MessageLog() { rkButtons_H::SetMessageHandler({}); }
    QStringList messages;
};

// Records a button's events as "Name arg arg ..." in order, and the keys it marks changed.
struct EventLog {
    explicit EventLog(rkButtons_H* b, bool withMoves = false) {
        using B = rkButtons_H;
        const auto rec = [this](const char* name) {
            return [this, name](auto&... args) {
                QStringList line{QLatin1String(name)};
                ((line << QString::number(double(args))), ...);
                events << line.join(' ');
            };
        };
        QObject::connect(b, &B::MouseDown, b, rec("MouseDown"));
        QObject::connect(b, &B::MouseUp, b, rec("MouseUp"));
        if (withMoves)
            QObject::connect(b, &B::MouseMove, b, rec("MouseMove"));
        QObject::connect(b, &B::KeyDown, b, rec("KeyDown"));
        QObject::connect(b, &B::KeyUp, b, rec("KeyUp"));
        QObject::connect(b, &B::KeyPress, b, rec("KeyPress"));
        QObject::connect(b, &B::Click, b, rec("Click"));
        QObject::connect(b, &B::DoubleClick, b, rec("DoubleClick"));
        QObject::connect(b, &B::MouseOnButton, b, [this](bool& on) {
            events << (on ? "MouseOnButton true" : "MouseOnButton false");
        });
        QObject::connect(b, &B::PropertyChanged, b, [this](const QString& k) { marks << k; });
    }
    QStringList events;
    QStringList marks;
};

// A top-level container holding buttons of 75 x 25 pixels.
struct Form {
    explicit Form(bool designMode = false) : design(designMode) {
        window.resize(400, 300);
        window.move(20, 20);
    }
    rkButtons_H* Add(QWidget* container = nullptr, QString name = QStringLiteral("Command1")) {
        auto* b = new rkButtons_H(container ? container : &window);
        AmbientProperties ambient;
        ambient.UserMode = !design;
        ambient.DisplayName = std::move(name);
        ambient.Font = window.font();
        b->SetAmbient(ambient);
        b->InitProperties();
        b->setGeometry(10 + 85 * (count % 4), 10 + 35 * (count / 4), 75, 25);
        ++count;
        b->show();
        return b;
    }
    bool Show(bool activate = false) {
        window.show();
        if (activate)
            window.activateWindow();
        return activate ? QTest::qWaitForWindowActive(&window)
                        : QTest::qWaitForWindowExposed(&window);
    }
    QWidget window;
    bool design;
    int count = 0;
};

} // namespace button_tests
