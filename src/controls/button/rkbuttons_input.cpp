// The button control under the mouse and the keyboard: pressing, hover tracking, clicks in the
// three modes, the keyboard rules, focus, and the drag-and-drop notifications.
#include "rkbuttons_h.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimerEvent>

namespace controls {

namespace {

constexpr int kHoverTimerId = 237; // the hover timer's id as the window properties keep it
constexpr int kHoverPeriodMs = 50; // often enough to notice that the cursor has left
constexpr float kTwipsPerPixel = 15.0f;
constexpr qint16 kVkShift = 16;
constexpr qint16 kVkSpace = 32;
constexpr qint16 kVkLeft = 37;
constexpr qint16 kVkUp = 38;
constexpr qint16 kVkRight = 39;
constexpr qint16 kVkDown = 40;

qint16 ButtonNumber(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

qint16 ButtonSet(Qt::MouseButtons buttons) {
    return qint16((buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
                  (buttons & Qt::MiddleButton ? 4 : 0));
}

qint16 ShiftState(Qt::KeyboardModifiers modifiers) {
    return qint16((modifiers & Qt::ShiftModifier ? 1 : 0) |
                  (modifiers & Qt::ControlModifier ? 2 : 0) |
                  (modifiers & Qt::AltModifier ? 4 : 0));
}

// Windows virtual-key codes of the keys a button sees; 0 for keys without one.
qint16 KeyCodeOf(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return qint16(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return qint16(112 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return kVkShift;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return kVkSpace;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Down:
        return kVkDown;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

struct ArrowKey {
    qint16 code;
    Qt::Key key;
    quint32 keyData; // repeat count 1, scan code in bits 16 to 23
};
constexpr ArrowKey kArrows[] = {{kVkRight, Qt::Key_Right, 0x004D0001},
                                {kVkDown, Qt::Key_Down, 0x00500001},
                                {kVkLeft, Qt::Key_Left, 0x004B0001},
                                {kVkUp, Qt::Key_Up, 0x00480001}};

const ArrowKey* ArrowOf(qint16 code) {
    for (const ArrowKey& a : kArrows)
        if (a.code == code)
            return &a;
    return nullptr;
}

qint32 EffectOf(Qt::DropActions actions) {
    return (actions & Qt::CopyAction ? 1 : 0) | (actions & Qt::MoveAction ? 2 : 0) |
           (actions & Qt::LinkAction ? 4 : 0);
}

Qt::DropAction ActionOf(qint32 effect) {
    if (effect & 2)
        return Qt::MoveAction;
    if (effect & 1)
        return Qt::CopyAction;
    if (effect & 4)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

} // namespace

// Mouse.

void rkButtons_H::MouseDownHandling(qint16 Button, qint16 Shift, float X, float Y) {
    lastButton_ = Button;
    if (Button == 1) {
        look_.pressed = true;
        look_.pressedWhileTracking = true;
        delayDrawing_ = false;
        Redraw();
        // The mouse stays with the control until the button goes up: Qt's implicit grab.
    }
    emit MouseDown(Button, Shift, X, Y);
}

void rkButtons_H::MouseMoveHandling(qint16 Button, qint16 Shift, float X, float Y) {
    if (!look_.hovering && QApplication::widgetAt(QCursor::pos()) == this) {
        look_.hot = true;
        bool onButton = true;
        emit MouseOnButton(onButton);
        setProperty("rk_ClassID", QVariant::fromValue(static_cast<QObject*>(this)));
        setProperty("rk_TimerID", kHoverTimerId);
        if (hoverTimer_ == 0)
            hoverTimer_ = startTimer(kHoverPeriodMs);
        look_.hovering = true;
        delayDrawing_ = false;
        if (Button == 1)
            look_.pressedWhileTracking = true;
        Redraw();
    }
    emit MouseMove(Button, Shift, X, Y);
}

void rkButtons_H::timerEvent(QTimerEvent* event) {
    if (hoverTimer_ != 0 && event->timerId() == hoverTimer_ &&
        property("rk_TimerID").toInt() == kHoverTimerId) {
        if (auto* control = qobject_cast<rkButtons_H*>(property("rk_ClassID").value<QObject*>()))
            control->HoverTick();
        return;
    }
    QWidget::timerEvent(event);
}

void rkButtons_H::HoverTick() {
    if (QApplication::widgetAt(QCursor::pos()) == this)
        return;
    EndHover();
}

void rkButtons_H::EndHover() {
    if (hoverTimer_ != 0) {
        killTimer(hoverTimer_);
        hoverTimer_ = 0;
    }
    look_.hot = false;
    look_.hovering = false;
    delayDrawing_ = false;
    bool onButton = false;
    emit MouseOnButton(onButton);
    look_.pressedWhileTracking = false;
    Redraw();
}

void rkButtons_H::MouseUpHandling(qint16 Button, qint16 Shift, float X, float Y) {
    look_.pressedWhileTracking = false;
    if (Button == 1) {
        look_.pressed = false;
        delayDrawing_ = false;
        if (look_.mode == 0)
            Redraw();
    }
    emit MouseUp(Button, Shift, X, Y);
    lastButton_ = Button;
}

void rkButtons_H::ClickHandling() {
    if (lastButton_ != 1)
        return;
    switch (look_.mode) {
    case 0:
        emit Click();
        break;
    case 1:
        setValue(!look_.value);
        emit Click();
        break;
    case 2:
        if (look_.value)
            return;
        setValue(true);
        emit Click();
        break;
    default:
        break;
    }
}

void rkButtons_H::click() {
    lastButton_ = 1;
    ClickHandling();
}

void rkButtons_H::mousePressEvent(QMouseEvent* event) {
    const QPointF p = event->position() * kTwipsPerPixel;
    MouseDownHandling(ButtonNumber(event->button()), ShiftState(event->modifiers()), float(p.x()),
                      float(p.y()));
}

void rkButtons_H::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF p = event->position() * kTwipsPerPixel;
    const bool inside = rect().contains(event->position().toPoint()) &&
                        (mask().isEmpty() || mask().contains(event->position().toPoint()));
    MouseUpHandling(ButtonNumber(event->button()), ShiftState(event->modifiers()), float(p.x()),
                    float(p.y()));
    // The host delivers a click for a button released over the control, except for the
    // release that ends a double click.
    const bool endsDoubleClick = releaseEndsDoubleClick_;
    releaseEndsDoubleClick_ = false;
    if (inside && !endsDoubleClick)
        ClickHandling();
}

void rkButtons_H::mouseDoubleClickEvent(QMouseEvent* event) {
    releaseEndsDoubleClick_ = true;
    const QPointF p = event->position() * kTwipsPerPixel;
    qint16 button = lastButton_;
    emit DoubleClick(button);
    qint16 one = 1;
    qint16 noShift = 0;
    float x = float(p.x());
    float y = float(p.y());
    if (lastButton_ == 1) {
        MouseDownHandling(one, noShift, x, y);
        lastButton_ = -1;
    } else {
        emit MouseDown(one, noShift, x, y);
    }
}

void rkButtons_H::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position() * kTwipsPerPixel;
    MouseMoveHandling(ButtonSet(event->buttons()), ShiftState(event->modifiers()), float(p.x()),
                      float(p.y()));
}

// Keyboard.

void rkButtons_H::KeyDownHandling(qint16 KeyCode, qint16 Shift) {
    if (const ArrowKey* arrow = ArrowOf(KeyCode)) {
        KeyCode = 0;
        if (QWidget* container = ContainerWindow())
            QCoreApplication::postEvent(container,
                                        new QKeyEvent(QEvent::KeyPress, arrow->key, Qt::NoModifier,
                                                      arrow->keyData, quint32(arrow->code), 0));
    } else if (KeyCode == kVkSpace && !look_.pressed) {
        look_.hot = true;
        look_.pressed = true;
        look_.pressedWhileTracking = true;
        Redraw();
        if (!look_.hovering)
            look_.hot = false;
    }
    if (KeyCode != 0)
        emit KeyDown(KeyCode, Shift);
}

void rkButtons_H::KeyUpHandling(qint16 KeyCode, qint16 Shift) {
    look_.pressedWhileTracking = false;
    if (KeyCode == kVkSpace) {
        if (look_.pressed) {
            look_.pressed = false;
            lastButton_ = 1;
            if (look_.mode == 0) {
                Redraw();
            } else {
                emit KeyUp(KeyCode, Shift);
                KeyCode = 0;
            }
            ClickHandling();
        }
    } else if (ArrowOf(KeyCode)) {
        KeyCode = 0;
        if (look_.mode == 2 && !look_.value) {
            lastButton_ = 1;
            ClickHandling();
        }
    } else if (KeyCode == kVkShift) {
        KeyCode = 0;
    }
    if (KeyCode != 0)
        emit KeyUp(KeyCode, Shift);
}

void rkButtons_H::keyPressEvent(QKeyEvent* event) {
    // The host sends Enter to the default button, and a focused command button is the default.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        ambient_.DisplayAsDefault && ambient_.UserMode) {
        AccessKeyPress(13);
        return;
    }
    const qint16 code = KeyCodeOf(event->key());
    if (code != 0)
        KeyDownHandling(code, ShiftState(event->modifiers()));
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() < 0x8000) {
        qint16 ascii = qint16(text[0].unicode());
        emit KeyPress(ascii);
    }
}

void rkButtons_H::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat())
        return; // held keys repeat their key-down only
    const qint16 code = KeyCodeOf(event->key());
    if (code != 0)
        KeyUpHandling(code, ShiftState(event->modifiers()));
}

void rkButtons_H::AccessKeyPress(qint16 KeyAscii) {
    if ((KeyAscii == 13 || KeyAscii == 27) && look_.mode != 0)
        return;
    if (KeyAscii != 13 && KeyAscii != 27 && !look_.defaultLook)
        Redraw();
    lastButton_ = 1;
    ClickHandling();
}

// The host's part: the focused command button is shown as the default one, and loses that
// look with the focus.
void rkButtons_H::ShowAsDefault(bool shown) {
    if (look_.mode != 0 || ambient_.DisplayAsDefault == shown)
        return;
    ambient_.DisplayAsDefault = shown;
    AmbientChanged(QStringLiteral("DisplayAsDefault"));
}

void rkButtons_H::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    ShowAsDefault(false);
}

void rkButtons_H::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    ShowAsDefault(true);
    if (look_.mode == 2 && !look_.value && !OptionToggle(2)) {
        lastButton_ = 1;
        ClickHandling();
    }
}

// Option groups: the container window keeps the count under "rk_OptCount" and the n-th
// member under "rk_Obj" + n. Members are kept as guarded pointers, so that an entry of a
// control that is gone reads as empty.

bool rkButtons_H::OptionToggle(int action) {
    QWidget* container = ContainerWindow();
    if (!container)
        return false;
    const auto key = [](int n) { return QByteArray("rk_Obj") + QByteArray::number(n); };
    const auto member = [&](int n) {
        return qobject_cast<rkButtons_H*>(
            container->property(key(n)).value<QPointer<QObject>>().data());
    };
    const int count = container->property("rk_OptCount").toInt();

    if (look_.value && (action == 1 || count >= 1)) {
        for (int n = 1; n <= count; ++n) {
            rkButtons_H* other = member(n);
            if (other && other != this)
                other->setValue(false);
        }
    }
    switch (action) {
    case -1: {
        int place = 0;
        for (int n = 1; n <= count && place == 0; ++n)
            if (member(n) == this)
                place = n;
        if (place == 0)
            return false;
        for (int n = place; n < count; ++n)
            container->setProperty(key(n), container->property(key(n + 1)));
        container->setProperty(key(count), QVariant());
        if (count == 1)
            container->setProperty("rk_OptCount", QVariant());
        else
            container->setProperty("rk_OptCount", count - 1);
        return false;
    }
    case 2:
        for (int n = 1; n <= count; ++n) {
            rkButtons_H* m = member(n);
            if (m && m->Value())
                return true;
        }
        return false;
    case 1:
        for (int n = 1; n <= count; ++n)
            if (member(n) == this)
                return false; // already a member
        container->setProperty(key(count + 1), QVariant::fromValue(QPointer<QObject>(this)));
        container->setProperty("rk_OptCount", count + 1);
        return false;
    default:
        return false;
    }
}

// Drag and drop: the host's notifications, passed on unchanged.

void rkButtons_H::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void rkButtons_H::dragMoveEvent(QDragMoveEvent* event) {
    const QMimeData* data = event->mimeData();
    qint32 effect = EffectOf(event->possibleActions());
    qint16 button = ButtonSet(event->buttons());
    qint16 shift = ShiftState(event->modifiers());
    const QPointF p = event->position() * kTwipsPerPixel;
    float x = float(p.x());
    float y = float(p.y());
    qint16 state = event->type() == QEvent::DragEnter ? 0 : 2; // enter, over
    emit OLEDragOver(data, effect, button, shift, x, y, state);
    if (effect != 0) {
        event->setDropAction(ActionOf(effect));
        event->accept();
    } else {
        event->ignore();
    }
}

void rkButtons_H::dragLeaveEvent(QDragLeaveEvent* event) {
    const QMimeData* data = nullptr;
    qint32 effect = 0;
    qint16 button = 0;
    qint16 shift = 0;
    float x = 0;
    float y = 0;
    qint16 state = 1; // leave
    emit OLEDragOver(data, effect, button, shift, x, y, state);
    event->accept();
}

void rkButtons_H::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    qint32 effect = EffectOf(event->possibleActions());
    qint16 button = ButtonSet(event->buttons());
    qint16 shift = ShiftState(event->modifiers());
    const QPointF p = event->position() * kTwipsPerPixel;
    float x = float(p.x());
    float y = float(p.y());
    emit OLEDragDrop(data, effect, button, shift, x, y);
    if (effect != 0) {
        event->setDropAction(ActionOf(effect));
        event->accept();
    } else {
        event->ignore();
    }
}

void rkButtons_H::HostOLECompleteDrag(qint32 Effect) {
    emit OLECompleteDrag(Effect);
}

void rkButtons_H::HostOLEGiveFeedback(qint32 Effect, bool DefaultCursors) {
    emit OLEGiveFeedback(Effect, DefaultCursors);
}

void rkButtons_H::HostOLESetData(const QMimeData* Data, qint16 DataFormat) {
    emit OLESetData(Data, DataFormat);
}

void rkButtons_H::HostOLEStartDrag(const QMimeData* Data, qint32 AllowedEffects) {
    emit OLEStartDrag(Data, AllowedEffects);
}

} // namespace controls
