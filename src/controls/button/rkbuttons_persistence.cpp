// The button control in the designer's property bag: a new control's settings, restoring a
// saved control and saving one.
#include "rkbuttons_h.h"

#include <QMdiArea>

namespace controls {

namespace {

// A number from the bag within its range; a damaged value counts as the default.
qint32 ReadRanged(const PropertyBag& bag, const QString& key, qint32 def, qint32 low, qint32 high) {
    const qint32 v = bag.ReadProperty(key, QVariant(def)).value<qint32>();
    return v >= low && v <= high ? v : def;
}

OleColor ReadColor(const PropertyBag& bag, const QString& key, OleColor def) {
    return bag.ReadProperty(key, QVariant(quint32(def))).value<quint32>();
}

bool ReadBool(const PropertyBag& bag, const QString& key, bool def) {
    return bag.ReadProperty(key, QVariant(def)).toBool();
}

QVariant PictureValue(const PictureRef& picture) {
    return QVariant::fromValue(picture);
}

} // namespace

void rkButtons_H::InitProperties() {
    container_ = parentWidget();
    look_.caption = ambient_.DisplayName;
    RegisterAccessKey(look_.caption);
    look_.captionAlign = 2;
    look_.showFocusRect = true;
    look_.hoverForeColor = kSysButtonText;
    look_.hoverBackColor = kSysButtonFace;
    if (!qobject_cast<QMdiArea*>(ContainerWindow())) {
        applyingOwnChange_ = true;
        QWidget::setFont(ambient_.Font);
        applyingOwnChange_ = false;
        look_.font = QWidget::font();
    }
    look_.containerBackRgb = ResolveColor(ambient_.BackColor);
    look_.backColor = kSysButtonFace;
    UpdateBackColor();
    UpdateFont();
    Relayout(false);
    for (const char* key : {"Caption", "CapAlign", "Focus", "cFHover", "cBHover", "Font"})
        Mark(QLatin1String(key));
}

void rkButtons_H::ReadProperties(const PropertyBag& bag) {
    container_ = parentWidget();
    look_.containerBackRgb = ResolveColor(ambient_.BackColor);
    delayDrawing_ = true;

    const QString caption = bag.ReadProperty("Caption", QString()).toString();
    look_.caption = caption;
    look_.captionAlign = ReadRanged(bag, "CapAlign", 2, 0, 2);
    look_.style = ReadRanged(bag, "BackStyle", 0, 0, 7);
    look_.shape = ReadRanged(bag, "Shape", 0, 0, 8);
    look_.gradientMode = ReadRanged(bag, "Gradient", 0, 0, 4);
    look_.gradientColor = ReadColor(bag, "cGradient", kSysButtonFace);
    look_.foreColor = ReadColor(bag, "cFore", kSysButtonText);
    const QFont font = bag.ReadProperty("Font", QWidget::font()).value<QFont>();
    applyingOwnChange_ = true;
    QWidget::setFont(font);
    applyingOwnChange_ = false;
    look_.font = QWidget::font();
    look_.showFocusRect = ReadBool(bag, "Focus", true);
    look_.mode = ReadRanged(bag, "Mode", 0, 0, 2);
    // A command button is never checked, whatever a damaged bag says.
    look_.value = ReadBool(bag, "Value", false) && look_.mode != 0;
    look_.customClick = ReadRanged(bag, "CustomClick", 0, 0, 8);
    look_.picture = bag.ReadProperty("Image", PictureValue(nullptr)).value<PictureRef>();
    const qint16 imageSize =
        bag.ReadProperty("ImgSize", QVariant::fromValue(qint16(16))).value<qint16>();
    look_.imageSize = imageSize % 8 == 0 && imageSize >= 16 && imageSize <= 48 ? imageSize : 16;
    look_.pictureAlign = ReadRanged(bag, "ImgAlign", 0, 0, 5);
    look_.hoverForeColor = ReadColor(bag, "cFHover", kSysButtonText);
    const bool enabled = ReadBool(bag, "Enabled", true);
    applyingOwnChange_ = true;
    QWidget::setEnabled(enabled);
    applyingOwnChange_ = false;
    enabledSetting_ = Enabled();
    look_.enabled = isEnabled();
    look_.backColor = ReadColor(bag, "cBack", ambient_.BackColor);
    look_.hoverBackColor = ReadColor(bag, "cBHover", look_.backColor);
    hoverColorLocks_ = ReadRanged(bag, "LockHover", 0, 0, 3);
    look_.captionStyle = ReadRanged(bag, "CapStyle", 0, 0, 2);
    setMouseIcon(bag.ReadProperty("mIcon", PictureValue(mouseIcon_)).value<PictureRef>());
    setMousePointer(ReadRanged(bag, "mPointer", 0, 0, 99));

    // A custom outline needs a bitmap to take its outline from.
    if (look_.shape >= 7 && (!look_.picture || look_.picture->isIconLike()))
        look_.shape = 0;
    UpdatePicture();
    UpdateBackColor();
    UpdateFont();
    setCaption(caption);
    if (look_.mode == 2)
        OptionToggle(1);
    delayDrawing_ = false;
    ResizeHandling();
}

void rkButtons_H::WriteProperties(PropertyBag& bag) const {
    const QVariant always;
    bag.WriteProperty("Caption", look_.caption, QString());
    bag.WriteProperty("CapAlign", look_.captionAlign, 2);
    bag.WriteProperty("BackStyle", look_.style, 0);
    bag.WriteProperty("Shape", look_.shape, 0);
    bag.WriteProperty("Font", QWidget::font(), always);
    bag.WriteProperty("cFore", quint32(look_.foreColor), quint32(kSysButtonText));
    bag.WriteProperty("cFHover", quint32(look_.hoverForeColor), quint32(kSysButtonText));
    bag.WriteProperty("cBHover", quint32(look_.hoverBackColor), quint32(look_.backColor));
    bag.WriteProperty("Focus", look_.showFocusRect, true);
    bag.WriteProperty("LockHover", hoverColorLocks_, 0);
    bag.WriteProperty("cGradient", quint32(look_.gradientColor), quint32(kSysButtonFace));
    bag.WriteProperty("Gradient", look_.gradientMode, 0);
    bag.WriteProperty("CapStyle", look_.captionStyle, 0);
    bag.WriteProperty("Mode", look_.mode, always);
    bag.WriteProperty("Value", look_.value, always);
    bag.WriteProperty("CustomClick", look_.customClick, 0);
    bag.WriteProperty("ImgAlign", look_.pictureAlign, 0);
    bag.WriteProperty("Image", PictureValue(look_.picture), PictureValue(nullptr));
    bag.WriteProperty("ImgSize", QVariant::fromValue(look_.imageSize),
                      QVariant::fromValue(qint16(16)));
    bag.WriteProperty("Enabled", Enabled(), true);
    bag.WriteProperty("cBack", quint32(look_.backColor), always);
    bag.WriteProperty("mPointer", mousePointer_, 0);
    if (mouseIcon_ && !mouseIcon_->image.isNull())
        bag.WriteProperty("mIcon", PictureValue(mouseIcon_), always);
}

} // namespace controls
