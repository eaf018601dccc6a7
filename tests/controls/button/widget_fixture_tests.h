// Shared helpers of the button widget tests: a container with buttons, a recorder of the
// events, of the marked keys and of the design-mode messages, and test pictures.
#pragma once

#include "rkbuttons_h.h"

#include <QApplication>
#include <QKeyEvent>
#include <QList>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QTest>
#include <memory>

namespace widget_tests {

using controls::AmbientProperties;
using controls::ButtonPicture;
using controls::PictureRef;
using controls::rkButtons_H;

inline PictureRef MakePicture(ButtonPicture::Kind kind, int size, QPoint hotSpot = {}) {
    auto pic = std::make_shared<ButtonPicture>();
    pic->kind = kind;
    pic->image = QImage(size, size, QImage::Format_ARGB32);
    pic->image.fill(Qt::transparent);
    QPainter p(&pic->image);
    p.fillRect(2, 2, size - 4, size - 4, QColor(0x20, 0x80, 0xC0));
    p.end();
    pic->hotSpot = hotSpot;
    return pic;
}
inline PictureRef Bitmap(int size = 32) {
    return MakePicture(ButtonPicture::Kind::Bitmap, size);
}
inline PictureRef Icon(int size = 32) {
    return MakePicture(ButtonPicture::Kind::Icon, size);
}
inline PictureRef Cursor() {
    return MakePicture(ButtonPicture::Kind::Cursor, 32, QPoint(5, 0));
}

// Records the design-mode messages for the lifetime of the object.
class MessageLog {
public:
    MessageLog() {
        rkButtons_H::SetMessageHandler([this](const QString& text) { messages << text; });
    }
    ~MessageLog() { rkButtons_H::SetMessageHandler({}); }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;
    QStringList messages;
};

// Records a button's events (and optionally its marked keys) as text, in order.
class EventLog {
public:
    explicit EventLog(rkButtons_H* b, bool withMoves = false, bool withMarks = false) {
        using B = rkButtons_H;
        const auto mouse = [this](const char* name) {
            return [this, name](qint16& button, qint16& shift, float& x, float& y) {
                events << QStringLiteral("%1 %2 %3 %4 %5")
                              .arg(QLatin1String(name))
                              .arg(button)
                              .arg(shift)
                              .arg(double(x))
                              .arg(double(y));
            };
        };
        const auto key = [this](const char* name) {
            return [this, name](qint16& code, qint16& shift) {
                events << QStringLiteral("%1 %2 %3").arg(QLatin1String(name)).arg(code).arg(shift);
            };
        };
        QObject::connect(b, &B::MouseDown, b, mouse("MouseDown"));
        QObject::connect(b, &B::MouseUp, b, mouse("MouseUp"));
        if (withMoves)
            QObject::connect(b, &B::MouseMove, b, mouse("MouseMove"));
        QObject::connect(b, &B::KeyDown, b, key("KeyDown"));
        QObject::connect(b, &B::KeyUp, b, key("KeyUp"));
        QObject::connect(b, &B::KeyPress, b, [this](qint16& ascii) {
            events << QStringLiteral("KeyPress %1").arg(ascii);
        });
        QObject::connect(b, &B::MouseOnButton, b, [this](bool& on) {
            events << QStringLiteral("MouseOnButton %1").arg(on ? "true" : "false");
        });
        QObject::connect(b, &B::Click, b, [this] { events << QStringLiteral("Click"); });
        QObject::connect(b, &B::DoubleClick, b, [this](qint16& button) {
            events << QStringLiteral("DoubleClick %1").arg(button);
        });
        if (withMarks)
            QObject::connect(b, &B::PropertyChanged, b, [this](const QString& k) { marks << k; });
    }
    QStringList events;
    QStringList marks;
};

// A shown top-level container holding buttons of 75 x 25 pixels.
class Form {
public:
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
    void Show() {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    void Activate() {
        Show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    QWidget window;
    bool design;
    int count = 0;
};

// The order of a platform double click: press, release, double click, release.
inline void DoubleClick(QWidget* w, Qt::MouseButton button, QPoint pos = {20, 10}) {
    QTest::mousePress(w, button, {}, pos);
    QTest::mouseRelease(w, button, {}, pos);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, pos, w->mapToGlobal(pos), button, button,
                    Qt::NoModifier);
    QApplication::sendEvent(w, &dbl);
    QTest::mouseRelease(w, button, {}, pos);
}

} // namespace widget_tests
