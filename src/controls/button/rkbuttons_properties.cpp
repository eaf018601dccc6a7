// The button control's property setters: validation, the design-mode refusals, and the
// layout, outline, colour and redraw work that each change needs.
#include "rkbuttons_h.h"

#include <QCursor>
#include <QPixmap>

namespace controls {

namespace {

const QString kMsgCaptionAlign =
    QStringLiteral("When button images are aligned top/bottom center, \r\n"
                   "button captions can only be center aligned");
const QString kMsgCustomClick =
    QStringLiteral("This property has no effect unless the Button Shape is a custom shape.");
const QString kMsgShapeNeedsBitmap =
    QStringLiteral("The Picture Property must be assigned first and must be a bitmap or JPEG.");
const QString kMsgIconOnCustomShape =
    QStringLiteral("Icons cannot be used for custom buttons. Only use bitmaps or JPEGs.\r\n"
                   "Button was changed to Rectangular shaped.");
const QString kMsgFocusRect = QStringLiteral(
    "The focus rectangle may appear on default buttons ONLY while in design mode, \r\n"
    "but will not appear when the form is running.");
const QString kMsgValueOnCommand =
    QStringLiteral("This property is not applicable for command button modes.");
const QString kMsgPictureSize =
    QStringLiteral("The picture size cannot be changed for Shaped buttons");
const QString kMsgMouseIcon = QStringLiteral("Select .ico Or .cur Files Only");

bool InRange(qint32 v, qint32 low, qint32 high) {
    return v >= low && v <= high;
}

} // namespace

void rkButtons_H::setButtonStyle(qint32 Style) {
    if (!InRange(Style, 0, 7))
        return;
    const qint32 old = look_.style;
    look_.style = Style;
    if (look_.shape <= 3 || ((old == 5 || Style == 5) && look_.shape < 7))
        RebuildOutline();
    Relayout(false);
    UpdateBackColor();
    Redraw();
    Mark(QStringLiteral("BackStyle"));
}

void rkButtons_H::setMode(qint32 nMode) {
    if (!InRange(nMode, 0, 2))
        return;
    const qint32 old = look_.mode;
    if (old == 2 && nMode < 2)
        OptionToggle(-1);
    if (nMode == 2 && old < 2)
        OptionToggle(1);
    if (nMode == 0 && old != 0)
        setValue(false);
    look_.mode = nMode;
    Redraw();
    Mark(QStringLiteral("Mode"));
}

void rkButtons_H::setCaption(const QString& sCaption) {
    RegisterAccessKey(sCaption);
    look_.caption = sCaption;
    Relayout(false);
    Redraw();
    Mark(QStringLiteral("Caption"));
}

void rkButtons_H::setCaptionAlign(qint32 nAlign) {
    if (!InRange(nAlign, 0, 2))
        return;
    if (look_.picture && nAlign != 2 && look_.pictureAlign >= 4) {
        DesignMessage(kMsgCaptionAlign);
        return;
    }
    look_.captionAlign = nAlign;
    Relayout(false);
    Redraw();
    Mark(QStringLiteral("CapAlign"));
}

void rkButtons_H::setCaptionStyle(qint32 nStyle) {
    if (!InRange(nStyle, 0, 2))
        return;
    look_.captionStyle = nStyle;
    Mark(QStringLiteral("CapStyle"));
    if (!look_.caption.isEmpty()) {
        Relayout(false);
        Redraw();
    }
}

void rkButtons_H::setCustomClick(qint32 nOpt) {
    if (!InRange(nOpt, 0, 8))
        return;
    if (nOpt >= 1 && look_.shape < 7)
        DesignMessage(kMsgCustomClick);
    look_.customClick = nOpt;
    Mark(QStringLiteral("CustomClick"));
}

void rkButtons_H::setButtonShape(qint32 nShape) {
    if (!InRange(nShape, 0, 8))
        return;
    if (nShape >= 7) {
        if (!look_.picture || look_.picture->isIconLike()) {
            DesignMessage(kMsgShapeNeedsBitmap);
            return;
        }
        if (PictureSize() != 4) {
            delayDrawing_ = true;
            setPictureSize(4);
            delayDrawing_ = false;
        }
    }
    look_.shape = nShape;
    setCaptionAlign(2);
    ResizeHandling();
    Refresh();
    Mark(QStringLiteral("Shape"));
}

void rkButtons_H::setPicture(const PictureRef& xPic) {
    look_.picture = xPic;
    if (look_.imageSize == 0)
        look_.imageSize = 16;
    UpdatePicture();
    if (look_.shape < 7) {
        Relayout(true);
        Redraw();
    } else {
        if (!xPic) {
            look_.shape = 0;
        } else if (xPic->isIconLike()) {
            look_.shape = 0;
            DesignMessage(kMsgIconOnCustomShape);
        }
        ResizeHandling();
    }
    Mark(QStringLiteral("Image"));
}

void rkButtons_H::setPictureAlign(qint32 ImgAlign) {
    if (!InRange(ImgAlign, 0, 5))
        return;
    look_.pictureAlign = ImgAlign;
    if (ImgAlign >= 4)
        setCaptionAlign(2);
    Relayout(false);
    Redraw();
    Mark(QStringLiteral("ImgAlign"));
}

bool rkButtons_H::Enabled() const {
    return !testAttribute(Qt::WA_ForceDisabled);
}

void rkButtons_H::setEnabled(bool bEnabled) {
    if (bEnabled != Enabled()) {
        applyingOwnChange_ = true;
        QWidget::setEnabled(bEnabled);
        applyingOwnChange_ = false;
        enabledSetting_ = Enabled();
        look_.enabled = isEnabled();
    }
    ApplyEnabledEffects();
    Mark(QStringLiteral("Enabled"));
}

void rkButtons_H::ApplyEnabledEffects() {
    if (look_.style == 3 && look_.mode == 0 && look_.shape < 4) {
        // Style 3 cuts its corners only while enabled.
        delayDrawing_ = true;
        RebuildOutline();
        Relayout(false);
        Refresh();
    } else {
        Redraw();
    }
}

void rkButtons_H::setShowFocusRect(bool bShow) {
    look_.showFocusRect = bShow;
    if (look_.defaultLook) {
        if (ambient_.UserMode) {
            look_.defaultLook = false;
            Redraw();
        } else {
            DesignMessage(kMsgFocusRect);
        }
    } else {
        Redraw();
    }
    Mark(QStringLiteral("Focus"));
}

void rkButtons_H::setValue(bool bValue) {
    if (bValue && look_.mode == 0) {
        DesignMessage(kMsgValueOnCommand);
        return;
    }
    look_.value = bValue;
    if (bValue && look_.mode == 2)
        OptionToggle(0);
    Redraw();
    Mark(QStringLiteral("Value"));
}

qint32 rkButtons_H::PictureSize() const {
    const qint16 size = look_.imageSize == 0 ? qint16(16) : look_.imageSize;
    return size / 8 - 2;
}

void rkButtons_H::setPictureSize(qint32 nSize) {
    if (!InRange(nSize, 0, 4))
        return;
    if (look_.shape >= 7) {
        DesignMessage(kMsgPictureSize);
        return;
    }
    look_.imageSize = qint16((nSize + 2) * 8);
    Relayout(true);
    Redraw();
    Mark(QStringLiteral("ImgSize"));
}

void rkButtons_H::setMousePointer(qint32 nPointer) {
    if (!InRange(nPointer, 0, 15) && nPointer != 99)
        return;
    mousePointer_ = nPointer;
    ApplyCursor();
    Mark(QStringLiteral("mPointer"));
}

void rkButtons_H::setMouseIcon(const PictureRef& nIcon) {
    if (nIcon && !nIcon->isIconLike()) {
        // Only icons and cursors make a cursor; the cursor stays as it was.
        DesignMessage(kMsgMouseIcon);
        return;
    }
    mouseIcon_ = nIcon;
    ApplyCursor();
    if (nIcon) {
        setMousePointer(99);
        Mark(QStringLiteral("mIcon"));
    }
}

void rkButtons_H::ApplyCursor() {
    static const Qt::CursorShape kShapes[] = {
        Qt::ArrowCursor,     Qt::ArrowCursor,   Qt::CrossCursor,     Qt::IBeamCursor,
        Qt::ArrowCursor,     Qt::SizeAllCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,
        Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::UpArrowCursor,   Qt::WaitCursor,
        Qt::ForbiddenCursor, Qt::BusyCursor,    Qt::WhatsThisCursor, Qt::SizeAllCursor};
    if (mousePointer_ == 99) {
        if (mouseIcon_ && !mouseIcon_->image.isNull())
            setCursor(QCursor(QPixmap::fromImage(mouseIcon_->image), mouseIcon_->hotSpot.x(),
                              mouseIcon_->hotSpot.y()));
        else
            unsetCursor();
    } else if (mousePointer_ == 0) {
        unsetCursor();
    } else {
        setCursor(kShapes[mousePointer_]);
    }
}

void rkButtons_H::setFont(const QFont& nFont) {
    applyingOwnChange_ = true;
    QWidget::setFont(nFont);
    applyingOwnChange_ = false;
    look_.font = QWidget::font();
    UpdateFont();
    Relayout(false);
    Redraw();
    Mark(QStringLiteral("Font"));
}

qint32 rkButtons_H::FontStyle() const {
    const QFont f = QWidget::font();
    return (f.bold() ? 2 : 0) + (f.italic() ? 4 : 0) + (f.underline() ? 8 : 0);
}

void rkButtons_H::setFontStyle(qint32 nStyle) {
    QFont f = QWidget::font();
    f.setBold((nStyle & 2) != 0);
    f.setItalic((nStyle & 4) != 0);
    f.setUnderline((nStyle & 8) != 0);
    applyingOwnChange_ = true;
    QWidget::setFont(f);
    applyingOwnChange_ = false;
    look_.font = QWidget::font();
    UpdateFont();
    Relayout(false);
    Mark(QStringLiteral("Font"));
    Redraw();
}

void rkButtons_H::setForeColor(OleColor nColor) {
    if (nColor != look_.foreColor)
        look_.foreColor = nColor;
    if (HoverForeUnlocked())
        setHoverForeColor(nColor);
    delayDrawing_ = false;
    Redraw();
    Mark(QStringLiteral("cFore"));
}

void rkButtons_H::setBackColor(OleColor nColor) {
    look_.backColor = nColor;
    if (HoverBackUnlocked())
        setHoverBackColor(look_.gradientMode != 0 ? look_.gradientColor : nColor);
    UpdateBackColor();
    Redraw();
    Mark(QStringLiteral("cBack"));
}

void rkButtons_H::setGradientColor(OleColor nColor) {
    if (HoverBackUnlocked() && look_.gradientMode > 0)
        look_.hoverBackColor = nColor;
    look_.gradientColor = nColor;
    UpdateBackColor();
    if (look_.gradientMode != 0)
        Redraw();
    Mark(QStringLiteral("cGradient"));
}

void rkButtons_H::setGradientMode(qint32 nOpt) {
    if (!InRange(nOpt, 0, 4))
        return;
    look_.gradientMode = nOpt;
    if (HoverBackUnlocked()) {
        look_.hoverBackColor = nOpt == 0 ? look_.backColor : look_.gradientColor;
        UpdateBackColor();
    }
    Redraw();
    Mark(QStringLiteral("Gradient"));
}

void rkButtons_H::setResetDefaultColors(bool nDefault) {
    if (!nDefault || ambient_.UserMode)
        return;
    delayDrawing_ = true;
    look_.backColor = kSysButtonFace;
    setForeColor(kSysButtonText);
    setGradientColor(kSysButtonFace);
    setGradientMode(0);
    setHoverColorLocks(0);
    UpdateBackColor();
    Refresh();
    Mark(QStringLiteral("cGradient"));
    Mark(QStringLiteral("cBack"));
}

void rkButtons_H::setHoverColorLocks(qint32 nLock) {
    if (!InRange(nLock, 0, 3))
        return;
    hoverColorLocks_ = nLock;
    if (HoverBackUnlocked()) {
        look_.hoverBackColor = look_.gradientMode != 0 ? look_.gradientColor : look_.backColor;
        Mark(QStringLiteral("cBHover"));
    }
    if (HoverForeUnlocked()) {
        look_.hoverForeColor = look_.foreColor;
        Mark(QStringLiteral("cFHover"));
    }
    UpdateBackColor();
    Mark(QStringLiteral("LockHover"));
}

void rkButtons_H::setHoverForeColor(OleColor nColor) {
    if (nColor == look_.hoverForeColor)
        return;
    look_.hoverForeColor = nColor;
    Mark(QStringLiteral("cFHover"));
    if (nColor != look_.foreColor) {
        if (hoverColorLocks_ == 0)
            hoverColorLocks_ = 2;
        else if (hoverColorLocks_ == 1)
            hoverColorLocks_ = 3;
    }
}

void rkButtons_H::setHoverBackColor(OleColor nColor) {
    if (nColor == look_.hoverBackColor)
        return;
    look_.hoverBackColor = nColor;
    if (nColor != look_.backColor) {
        if (hoverColorLocks_ == 0)
            hoverColorLocks_ = 1;
        else if (hoverColorLocks_ == 2)
            hoverColorLocks_ = 3;
    }
    UpdateBackColor();
    Mark(QStringLiteral("cBHover"));
}

} // namespace controls
