// The button control's life: construction, ambient values, the requests to the drawing
// engine, painting, resizing and the design-mode messages.
#include "rkbuttons_h.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QShortcut>

namespace controls {

namespace {

rkButtons_H::MessageHandler& Handler() {
    static rkButtons_H::MessageHandler handler;
    return handler;
}

// Surface handles of the living controls.
QHash<quint32, const ButtonPainter*>& Surfaces() {
    static QHash<quint32, const ButtonPainter*> surfaces;
    return surfaces;
}
quint32 NextSurfaceHandle() {
    static quint32 next = 0x00D00000;
    return ++next;
}

} // namespace

rkButtons_H::rkButtons_H(QWidget* parent) : QWidget(parent), container_(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    look_.font = QWidget::font();
    look_.enabled = isEnabled();
    look_.containerBackRgb = ResolveColor(ambient_.BackColor);
    hdc_ = NextSurfaceHandle();
    Surfaces().insert(hdc_, &painter_);
}

rkButtons_H::~rkButtons_H() {
    if (look_.hovering && hoverTimer_ != 0)
        killTimer(hoverTimer_);
    if (look_.mode == 2)
        OptionToggle(-1);
    Surfaces().remove(hdc_);
}

void rkButtons_H::SetMessageHandler(MessageHandler handler) {
    Handler() = std::move(handler);
}

void rkButtons_H::DesignMessage(const QString& text) {
    if (ambient_.UserMode)
        return;
    if (Handler()) {
        Handler()(text);
        return;
    }
    QMessageBox::information(this, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

void rkButtons_H::Mark(const QString& key) {
    emit PropertyChanged(key);
}

const QImage* rkButtons_H::DrawingSurface(quint32 hdc) {
    const auto it = Surfaces().constFind(hdc);
    return it == Surfaces().cend() ? nullptr : &(*it)->surface();
}

quint32 rkButtons_H::hWnd() {
    return quint32(winId());
}

QWidget* rkButtons_H::ContainerWindow() const {
    return container_ ? container_.data() : parentWidget();
}

void rkButtons_H::SetAmbient(const AmbientProperties& ambient) {
    ambient_ = ambient;
    look_.userMode = ambient.UserMode;
}

void rkButtons_H::AmbientChanged(const QString& propertyName) {
    if (propertyName.compare(QLatin1String("DisplayAsDefault"), Qt::CaseInsensitive) == 0) {
        look_.defaultLook =
            ambient_.DisplayAsDefault && (look_.showFocusRect || !ambient_.UserMode);
        if (look_.shape >= 7 && ambient_.UserMode) {
            // A custom outline frames the default button as it frames a hovered one. The
            // flag is restored afterwards so that running hover tracking is not disturbed.
            const bool hovering = look_.hovering;
            look_.hovering = look_.defaultLook;
            Redraw();
            look_.hovering = hovering;
        } else {
            Redraw();
        }
    } else if (propertyName.compare(QLatin1String("BackColor"), Qt::CaseInsensitive) == 0) {
        look_.containerBackRgb = ResolveColor(ambient_.BackColor);
        if (look_.shape >= 4 || look_.style == 5)
            Redraw();
    }
}

// Drawing engine requests.

void rkButtons_H::Redraw() {
    if (delayDrawing_) {
        surfaceStale_ = true;
        return;
    }
    surfaceStale_ = false;
    if (painter_.Redraw(look_) != 0)
        update();
}

void rkButtons_H::Relayout(bool withImage) {
    painter_.Relayout(look_, withImage);
}

void rkButtons_H::RebuildOutline() {
    painter_.RebuildOutline(look_);
    const QRegion outer = painter_.outerRegion();
    if (outer.isEmpty())
        clearMask();
    else
        setMask(outer);
}

void rkButtons_H::ResizeHandling() {
    painter_.Resize(size());
    surfaceStale_ = true;
    if (delayDrawing_)
        return;
    RebuildOutline();
    Relayout(false);
    Redraw();
}

void rkButtons_H::UpdateBackColor() {
    painter_.UpdateBackColor(look_);
}

void rkButtons_H::UpdateFont() {
    painter_.UpdateFont(look_);
}

void rkButtons_H::UpdatePicture() {
    pictureFacts_ = painter_.UpdatePicture(look_);
}

void rkButtons_H::Refresh() {
    delayDrawing_ = false;
    Redraw();
}

void rkButtons_H::DelayDrawing(bool bDelay) {
    delayDrawing_ = bDelay;
    if (!bDelay)
        Refresh();
}

// Window events.

void rkButtons_H::paintEvent(QPaintEvent* event) {
    // The window shows the image drawn last: a state that changes again without a redraw
    // (Space held while the mouse is elsewhere turns hot off) keeps what was drawn for it.
    // Only a surface that drawing skipped (delayed, or resized) is drawn afresh here.
    delayDrawing_ = false;
    if (surfaceStale_)
        Redraw();
    const QImage& image = painter_.windowImage();
    if (image.isNull())
        return;
    QPainter p(this);
    p.setClipRegion(event->region());
    p.drawImage(0, 0, image);
}

void rkButtons_H::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ResizeHandling();
}

void rkButtons_H::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!ambient_.UserMode && ambient_.DisplayAsDefault && look_.showFocusRect) {
        look_.defaultLook = true;
        Redraw();
    }
}

void rkButtons_H::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (applyingOwnChange_)
        return;
    switch (event->type()) {
    case QEvent::EnabledChange:
        // Enabled through QWidget::setEnabled (on the control or a container): the same
        // effects as the property's own setter.
        look_.enabled = isEnabled();
        ApplyEnabledEffects();
        if (Enabled() != enabledSetting_) {
            enabledSetting_ = Enabled();
            Mark(QStringLiteral("Enabled"));
        }
        break;
    case QEvent::FontChange:
        look_.font = QWidget::font();
        UpdateFont();
        Relayout(false);
        Redraw();
        break;
    default:
        break;
    }
}

void rkButtons_H::RegisterAccessKey(const QString& caption) {
    accessKey_ = AccessKeyOf(caption);
    delete accessShortcut_;
    accessShortcut_ = nullptr;
    if (accessKey_.isNull())
        return;
    accessShortcut_ = new QShortcut(QKeySequence(Qt::ALT | QKeySequence(accessKey_)[0].key()), this,
                                    nullptr, nullptr, Qt::WindowShortcut);
    const auto press = [this] {
        if (isEnabled())
            AccessKeyPress(qint16(accessKey_.toUpper().unicode()));
    };
    connect(accessShortcut_, &QShortcut::activated, this, press);
    connect(accessShortcut_, &QShortcut::activatedAmbiguously, this, press);
}

QChar rkButtons_H::AccessKeyOf(const QString& caption) {
    // Ampersands pair up from the left, as the caption is shown: in a run of them, pairs are
    // literal ones and an odd one out (the run's last) marks the character behind the run.
    qsizetype i = caption.size() - 1;
    while (i >= 0) {
        if (caption[i] != QLatin1Char('&')) {
            --i;
            continue;
        }
        const qsizetype end = i;
        while (i >= 0 && caption[i] == QLatin1Char('&'))
            --i;
        if ((end - i) % 2 == 1)
            return end + 1 < caption.size() ? caption[end + 1] : QChar();
    }
    return {};
}

} // namespace controls
