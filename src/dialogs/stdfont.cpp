#include "stdfont.h"

#include <QMetaProperty>

namespace dialogs {

QVariant StdFont::Property(int id) const {
    switch (id) {
    case IdName:
        return Name;
    case IdSize:
        return Size;
    case IdBold:
        return Bold();
    case IdItalic:
        return Italic;
    case IdUnderline:
        return Underline;
    case IdStrikethrough:
        return Strikethrough;
    case IdWeight:
        return int(Weight());
    default:
        return {};
    }
}

bool StdFont::SetProperty(int id, const QVariant& value) {
    switch (id) {
    case IdName:
        Name = value.toString();
        return true;
    case IdSize:
        Size = value.toDouble();
        return true;
    case IdBold:
        SetBold(value.toBool());
        return true;
    case IdItalic:
        Italic = value.toBool();
        return true;
    case IdUnderline:
        Underline = value.toBool();
        return true;
    case IdStrikethrough:
        Strikethrough = value.toBool();
        return true;
    case IdWeight:
        SetWeight(std::int16_t(value.toInt()));
        return true;
    default:
        return false;
    }
}

bool SetDeclaredProperty(QObject* object, const char* name, const QVariant& value) {
    if (object == nullptr || object->metaObject()->indexOfProperty(name) < 0)
        return false;
    return object->setProperty(name, value);
}

} // namespace dialogs
