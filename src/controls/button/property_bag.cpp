#include "property_bag.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QFont>
#include <QSaveFile>
#include <limits>

namespace controls {

namespace {

QString Fold(const QString& key) {
    return key.toCaseFolded();
}

bool IsSignedInteger(QMetaType::Type t) {
    return t == QMetaType::Int || t == QMetaType::Short || t == QMetaType::LongLong ||
           t == QMetaType::Long || t == QMetaType::SChar || t == QMetaType::Char;
}
bool IsUnsignedInteger(QMetaType::Type t) {
    return t == QMetaType::UInt || t == QMetaType::UShort || t == QMetaType::ULongLong ||
           t == QMetaType::ULong || t == QMetaType::UChar;
}
bool IsFloating(QMetaType::Type t) {
    return t == QMetaType::Double || t == QMetaType::Float;
}
bool IsNumber(QMetaType::Type t) {
    return IsSignedInteger(t) || IsUnsignedInteger(t) || IsFloating(t);
}

QMetaType::Type TypeOf(const QVariant& v) {
    return QMetaType::Type(v.metaType().id());
}

// The range that a value of an integer type can hold.
bool IntegerRange(QMetaType::Type t, qint64* low, quint64* high) {
    switch (t) {
    case QMetaType::Short:
        *low = std::numeric_limits<qint16>::min();
        *high = std::numeric_limits<qint16>::max();
        return true;
    case QMetaType::UShort:
        *low = 0;
        *high = std::numeric_limits<quint16>::max();
        return true;
    case QMetaType::Int:
        *low = std::numeric_limits<qint32>::min();
        *high = std::numeric_limits<qint32>::max();
        return true;
    case QMetaType::UInt:
        // A 32-bit colour may have been written as a negative signed number: accept the
        // signed range too and keep the bits.
        *low = std::numeric_limits<qint32>::min();
        *high = std::numeric_limits<quint32>::max();
        return true;
    case QMetaType::LongLong:
    case QMetaType::Long:
        *low = std::numeric_limits<qint64>::min();
        *high = std::numeric_limits<qint64>::max();
        return true;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        *low = 0;
        *high = std::numeric_limits<quint64>::max();
        return true;
    default:
        return false;
    }
}

// The value as the type of the default, or an invalid variant when it is not that kind.
QVariant Convert(const QVariant& value, const QVariant& def) {
    const QMetaType::Type from = TypeOf(value);
    const QMetaType::Type to = TypeOf(def);
    if (!value.isValid())
        return {};
    if (value.metaType() == def.metaType())
        return value;
    if (to == QMetaType::Bool) {
        if (IsNumber(from))
            return QVariant(value.toDouble() != 0.0);
        return {};
    }
    if (IsNumber(to)) {
        // A truth value reads as a number the way the controls write truth: -1 and 0.
        if (from == QMetaType::Bool)
            return Convert(QVariant(value.toBool() ? qint64(-1) : qint64(0)), def);
        if (!IsNumber(from))
            return {};
        if (IsFloating(to)) {
            QVariant v(value.toDouble());
            return v.convert(def.metaType()) ? v : QVariant();
        }
        qint64 low = 0;
        quint64 high = 0;
        if (!IntegerRange(to, &low, &high))
            return {};
        if (IsFloating(from)) {
            const double d = value.toDouble();
            if (d != static_cast<double>(static_cast<qint64>(d)))
                return {};
        }
        if (IsUnsignedInteger(from)) {
            const quint64 u = value.toULongLong();
            if (u > high)
                return {};
        } else {
            const qint64 s = value.toLongLong();
            if (s < low || (s > 0 && quint64(s) > high))
                return {};
        }
        QVariant v =
            IsUnsignedInteger(from) ? QVariant(value.toULongLong()) : QVariant(value.toLongLong());
        if (to == QMetaType::UInt && !IsUnsignedInteger(from))
            v = QVariant(quint32(value.toLongLong()));
        return v.convert(def.metaType()) ? v : QVariant();
    }
    // Text, fonts and pictures only as themselves.
    return {};
}

// File format: a magic, a version, the count, then per entry the key as written, a tag and
// the encoded value as a byte block, so that one unreadable value does not spoil the rest.
constexpr quint32 kMagic = 0x5A425047; // "ZBPG"
constexpr quint16 kVersion = 1;
enum Tag : quint8 {
    TagInvalid = 0,
    TagBool = 1,
    TagSigned = 2,
    TagUnsigned = 3,
    TagFloating = 4,
    TagString = 5,
    TagFont = 6,
    TagPicture = 7,
};

QByteArray Encode(const QVariant& value, quint8* tag) {
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    const QMetaType::Type t = TypeOf(value);
    if (t == QMetaType::Bool) {
        *tag = TagBool;
        out << value.toBool();
    } else if (IsSignedInteger(t)) {
        *tag = TagSigned;
        out << qint32(t) << value.toLongLong();
    } else if (IsUnsignedInteger(t)) {
        *tag = TagUnsigned;
        out << qint32(t) << value.toULongLong();
    } else if (IsFloating(t)) {
        *tag = TagFloating;
        out << qint32(t) << value.toDouble();
    } else if (t == QMetaType::QString) {
        *tag = TagString;
        out << value.toString();
    } else if (t == QMetaType::QFont) {
        *tag = TagFont;
        out << value.value<QFont>();
    } else if (value.metaType() == QMetaType::fromType<PictureRef>()) {
        const PictureRef pic = value.value<PictureRef>();
        *tag = TagPicture;
        out << bool(pic);
        if (pic) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            pic->image.save(&buffer, "PNG");
            out << quint8(pic->kind) << pic->hotSpot << png;
        }
    } else {
        *tag = TagInvalid;
    }
    return block;
}

QVariant Decode(quint8 tag, const QByteArray& block) {
    QDataStream in(block);
    in.setVersion(QDataStream::Qt_6_4);
    QVariant result;
    switch (tag) {
    case TagBool: {
        bool b = false;
        in >> b;
        result = b;
        break;
    }
    case TagSigned:
    case TagUnsigned:
    case TagFloating: {
        qint32 type = 0;
        in >> type;
        if (tag == TagSigned) {
            qint64 n = 0;
            in >> n;
            result = n;
        } else if (tag == TagUnsigned) {
            quint64 n = 0;
            in >> n;
            result = n;
        } else {
            double n = 0;
            in >> n;
            result = n;
        }
        const QMetaType target(type);
        if (!target.isValid() || !IsNumber(QMetaType::Type(type)) || !result.convert(target))
            return {};
        break;
    }
    case TagString: {
        QString s;
        in >> s;
        result = s;
        break;
    }
    case TagFont: {
        QFont f;
        in >> f;
        result = f;
        break;
    }
    case TagPicture: {
        bool present = false;
        in >> present;
        if (!present) {
            result = QVariant::fromValue(PictureRef());
            break;
        }
        quint8 kind = 0;
        QPoint hotSpot;
        QByteArray png;
        in >> kind >> hotSpot >> png;
        auto pic = std::make_shared<ButtonPicture>();
        if (kind > quint8(ButtonPicture::Kind::Cursor) || !pic->image.loadFromData(png, "PNG"))
            return {};
        pic->kind = ButtonPicture::Kind(kind);
        pic->hotSpot = hotSpot;
        result = QVariant::fromValue(PictureRef(std::move(pic)));
        break;
    }
    default:
        return {};
    }
    if (in.status() != QDataStream::Ok)
        return {};
    return result;
}

bool SameValue(const QVariant& a, const QVariant& b) {
    const QMetaType pictureType = QMetaType::fromType<PictureRef>();
    if (a.metaType() == pictureType || b.metaType() == pictureType) {
        if (a.metaType() != b.metaType())
            return false;
        return a.value<PictureRef>() == b.value<PictureRef>();
    }
    if (IsNumber(TypeOf(a)) && IsNumber(TypeOf(b))) {
        const bool aUnsigned = IsUnsignedInteger(TypeOf(a));
        const bool bUnsigned = IsUnsignedInteger(TypeOf(b));
        if (IsFloating(TypeOf(a)) || IsFloating(TypeOf(b)))
            return a.toDouble() == b.toDouble();
        if (aUnsigned == bUnsigned)
            return aUnsigned ? a.toULongLong() == b.toULongLong()
                             : a.toLongLong() == b.toLongLong();
        const qint64 s = aUnsigned ? b.toLongLong() : a.toLongLong();
        const quint64 u = aUnsigned ? a.toULongLong() : b.toULongLong();
        return s >= 0 && quint64(s) == u;
    }
    return a == b;
}

} // namespace

QVariant PropertyBag::ReadProperty(const QString& key, const QVariant& defaultValue) const {
    const auto it = entries_.constFind(Fold(key));
    if (it == entries_.cend())
        return defaultValue;
    if (!defaultValue.isValid())
        return it->value;
    const QVariant converted = Convert(it->value, defaultValue);
    return converted.isValid() ? converted : defaultValue;
}

void PropertyBag::WriteProperty(const QString& key, const QVariant& value,
                                const QVariant& defaultValue) {
    if (defaultValue.isValid() && SameValue(value, defaultValue)) {
        entries_.remove(Fold(key));
        return;
    }
    entries_.insert(Fold(key), Entry{key, value});
}

bool PropertyBag::Contains(const QString& key) const {
    return entries_.contains(Fold(key));
}

QVariant PropertyBag::RawValue(const QString& key) const {
    const auto it = entries_.constFind(Fold(key));
    return it == entries_.cend() ? QVariant() : it->value;
}

QStringList PropertyBag::Keys() const {
    QStringList keys;
    for (const Entry& e : entries_)
        keys << e.key;
    return keys;
}

void PropertyBag::Clear() {
    entries_.clear();
}

bool PropertyBag::Save(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kVersion << quint32(entries_.size());
    for (const Entry& e : entries_) {
        quint8 tag = TagInvalid;
        const QByteArray block = Encode(e.value, &tag);
        out << e.key << tag << block;
    }
    if (out.status() != QDataStream::Ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool PropertyBag::Load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint16 version = 0;
    quint32 count = 0;
    in >> magic >> version >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion)
        return false;
    QHash<QString, Entry> loaded;
    for (quint32 i = 0; i < count; ++i) {
        QString key;
        quint8 tag = TagInvalid;
        QByteArray block;
        in >> key >> tag >> block;
        if (in.status() != QDataStream::Ok)
            return false;
        loaded.insert(Fold(key), Entry{key, Decode(tag, block)});
    }
    entries_ = std::move(loaded);
    return true;
}

} // namespace controls
