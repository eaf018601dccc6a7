// The owner-drawn push button: a command button, check box or option button with eight looks,
// hover colours and persistent settings. The widget keeps the properties and the display
// flags in a ButtonLook, turns Qt's input into the control's events, and asks the drawing
// engine (ButtonPainter) to lay out and paint.
//
// Conventions of the events:
// - Mouse buttons: 1 left, 2 right, 4 middle (MouseMove: the set of held buttons).
// - Shift: 1 shift, 2 ctrl, 4 alt.
// - X, Y: the position in the control's client area in twips, 15 twips per pixel.
// - Key codes are the Windows virtual-key codes (Space 32, Enter 13, Escape 27, arrows 37 to
//   40, Shift 16, letters and digits as their upper-case character).
// - Arrow keys are consumed and posted to the container as a QKeyEvent (KeyPress) whose
//   nativeVirtualKey is the key code and whose nativeScanCode holds the whole key data of a
//   key-down message (repeat count 1, scan code in bits 16 to 23, e.g. 0x004D0001).
#pragma once

#include "button_look.h"
#include "button_painter.h"
#include "property_bag.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QMimeData;
class QShortcut;

namespace controls {

// The values that the host supplies about the control's container and design state.
struct AmbientProperties {
    bool UserMode = true; // false while the container is being designed
    OleColor BackColor = kSysButtonFace;
    bool DisplayAsDefault = false;
    QString DisplayName; // the control's design name
    QFont Font;          // the container's font
};

class rkButtons_H : public QWidget {
    Q_OBJECT
public:
    explicit rkButtons_H(QWidget* parent = nullptr);
    ~rkButtons_H() override;

    // Design-mode messages go through this handler; an empty handler restores the default,
    // an information box with an OK button titled with the application's display name.
    using MessageHandler = std::function<void(const QString&)>;
    static void SetMessageHandler(MessageHandler handler);

    void SetAmbient(const AmbientProperties& ambient);
    const AmbientProperties& Ambient() const { return ambient_; }
    // The host tells the control that an ambient value changed ("DisplayAsDefault",
    // "BackColor"; the name matches without regard to case).
    void AmbientChanged(const QString& propertyName);

    // A new control placed in the designer.
    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // Properties.
    qint32 ButtonStyle() const { return look_.style; }
    void setButtonStyle(qint32 Style);
    qint32 Mode() const { return look_.mode; }
    void setMode(qint32 nMode);
    QString Caption() const { return look_.caption; }
    void setCaption(const QString& sCaption);
    qint32 CaptionAlign() const { return look_.captionAlign; }
    void setCaptionAlign(qint32 nAlign);
    qint32 CaptionStyle() const { return look_.captionStyle; }
    void setCaptionStyle(qint32 nStyle);
    qint32 CustomClick() const { return look_.customClick; }
    void setCustomClick(qint32 nOpt);
    qint32 ButtonShape() const { return look_.shape; }
    void setButtonShape(qint32 nShape);
    PictureRef Picture() const { return look_.picture; }
    void setPicture(const PictureRef& xPic);
    qint32 PictureAlign() const { return look_.pictureAlign; }
    void setPictureAlign(qint32 ImgAlign);
    // The control's own enabled setting (QWidget::setEnabled on it, through any pointer, is
    // the same property); a control inside a disabled container keeps it.
    bool Enabled() const;
    void setEnabled(bool bEnabled);
    bool ShowFocusRect() const { return look_.showFocusRect; }
    void setShowFocusRect(bool bShow);
    bool Value() const { return look_.value; }
    void setValue(bool bValue);
    qint32 PictureSize() const;
    void setPictureSize(qint32 nSize);
    // Cursor numbers: 0 default, 1 arrow, 2 cross, 3 I-beam, 4 icon, 5 size all directions,
    // 6 size NE-SW, 7 size N-S, 8 size NW-SE, 9 size W-E, 10 up arrow, 11 busy, 12 no drop,
    // 13 arrow and busy, 14 arrow and question mark, 15 size all, 99 the MouseIcon.
    qint32 MousePointer() const { return mousePointer_; }
    void setMousePointer(qint32 nPointer);
    PictureRef MouseIcon() const { return mouseIcon_; }
    void setMouseIcon(const PictureRef& nIcon);
    QFont Font() const { return QWidget::font(); }
    void setFont(const QFont& nFont);
    qint32 FontStyle() const;
    void setFontStyle(qint32 nStyle);
    OleColor ForeColor() const { return look_.foreColor; }
    void setForeColor(OleColor nColor);
    OleColor BackColor() const { return look_.backColor; }
    void setBackColor(OleColor nColor);
    OleColor GradientColor() const { return look_.gradientColor; }
    void setGradientColor(OleColor nColor);
    qint32 GradientMode() const { return look_.gradientMode; }
    void setGradientMode(qint32 nOpt);
    bool ResetDefaultColors() const { return false; }
    void setResetDefaultColors(bool nDefault);
    qint32 HoverColorLocks() const { return hoverColorLocks_; }
    void setHoverColorLocks(qint32 nLock);
    OleColor HoverForeColor() const { return look_.hoverForeColor; }
    void setHoverForeColor(OleColor nColor);
    OleColor HoverBackColor() const { return look_.hoverBackColor; }
    void setHoverBackColor(OleColor nColor);
    // The drawing surface's handle (see DrawingSurface) and the native window's id (asking
    // for it makes the control a native window, as QWidget::winId does).
    quint32 hdc() const { return hdc_; }
    quint32 hWnd();
    static const QImage* DrawingSurface(quint32 hdc);

    void Refresh();
    void DelayDrawing(bool bDelay);

    // A complete click as the host delivers one after a left-button click.
    void click();

    // State that tests and the host may read.
    const ButtonLook& Look() const { return look_; }
    qint16 LastButton() const { return lastButton_; }
    bool DrawingDelayed() const { return delayDrawing_; }
    QChar AccessKey() const { return accessKey_; }
    QWidget* ContainerWindow() const;
    const ButtonPainter& Painter() const { return painter_; }

    // The access key of a caption: the character after the last "&" that is not part of an
    // "&&" pair; none (a null QChar) when there is no such "&" or it ends the caption.
    static QChar AccessKeyOf(const QString& caption);

public slots:
    // Enter (13) on the default button, Escape (27) on the cancel button, or the caption's
    // access key pressed with Alt.
    void AccessKeyPress(qint16 KeyAscii);

    // Drag-source notifications of the host, passed on as the events of the same names.
    void HostOLECompleteDrag(qint32 Effect);
    void HostOLEGiveFeedback(qint32 Effect, bool DefaultCursors);
    void HostOLESetData(const QMimeData* Data, qint16 DataFormat);
    void HostOLEStartDrag(const QMimeData* Data, qint32 AllowedEffects);

signals:
    void MouseDown(qint16& Button, qint16& Shift, float& X, float& Y);
    void MouseUp(qint16& Button, qint16& Shift, float& X, float& Y);
    void MouseMove(qint16& Button, qint16& Shift, float& X, float& Y);
    void KeyDown(qint16& KeyCode, qint16& Shift);
    void KeyPress(qint16& KeyAscii);
    void KeyUp(qint16& KeyCode, qint16& Shift);
    void MouseOnButton(bool& OnButton);
    void Click();
    void DoubleClick(qint16& Button);
    void OLECompleteDrag(qint32& Effect);
    void OLEDragDrop(const QMimeData*& Data, qint32& Effect, qint16& Button, qint16& Shift,
                     float& X, float& Y);
    void OLEDragOver(const QMimeData*& Data, qint32& Effect, qint16& Button, qint16& Shift,
                     float& X, float& Y, qint16& State);
    void OLEGiveFeedback(qint32& Effect, bool& DefaultCursors);
    void OLESetData(const QMimeData*& Data, qint16& DataFormat);
    void OLEStartDrag(const QMimeData*& Data, qint32& AllowedEffects);
    // The property stored under this key changed, so that a designer saves it.
    void PropertyChanged(const QString& key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Drawing engine requests.
    void Redraw();
    void Relayout(bool withImage);
    void RebuildOutline();
    void ResizeHandling();
    void UpdateBackColor();
    void UpdateFont();
    void UpdatePicture();

    void Mark(const QString& key);
    void DesignMessage(const QString& text);
    void RegisterAccessKey(const QString& caption);
    void ApplyCursor();
    void ApplyEnabledEffects();
    bool HoverBackUnlocked() const { return hoverColorLocks_ == 0 || hoverColorLocks_ == 2; }
    bool HoverForeUnlocked() const { return hoverColorLocks_ == 0 || hoverColorLocks_ == 1; }

    // Input handlers.
    void MouseDownHandling(qint16 Button, qint16 Shift, float X, float Y);
    void MouseUpHandling(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMoveHandling(qint16 Button, qint16 Shift, float X, float Y);
    void HoverTick();
    void EndHover();
    void ClickHandling();
    void KeyDownHandling(qint16 KeyCode, qint16 Shift);
    void KeyUpHandling(qint16 KeyCode, qint16 Shift);
    void ShowAsDefault(bool shown);

    // Option group on the container window: action 1 join, -1 leave, 2 query, 0 clear the
    // other members. Answers the query's result.
    bool OptionToggle(int action);

    ButtonLook look_;
    ButtonPainter painter_;
    AmbientProperties ambient_;
    PictureFacts pictureFacts_;
    qint32 hoverColorLocks_ = 0;
    qint32 mousePointer_ = 0;
    PictureRef mouseIcon_;
    qint16 lastButton_ = 0;
    bool delayDrawing_ = false;
    bool surfaceStale_ = true; // the surface does not hold the current state's drawing
    QChar accessKey_;
    QShortcut* accessShortcut_ = nullptr;
    QPointer<QWidget> container_;
    int hoverTimer_ = 0;                  // Qt's id of the running hover timer, 0 when none
    bool releaseEndsDoubleClick_ = false; // the next release follows a double click
    bool applyingOwnChange_ = false;      // a setter changes the QWidget state itself
    bool enabledSetting_ = true;          // Enabled() as last seen
    quint32 hdc_ = 0;
};

} // namespace controls
