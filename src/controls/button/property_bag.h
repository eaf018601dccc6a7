// The keyed store in which a designer keeps a control's properties and from which the running
// window restores them. Keys match without regard to case; a value that cannot be read as the
// type of the default the reader asks with counts as that default.
#pragma once

#include "button_look.h"

#include <QHash>
#include <QMetaType>
#include <QString>
#include <QVariant>

Q_DECLARE_METATYPE(controls::PictureRef)

namespace controls {

class PropertyBag {
public:
    // The stored value converted to the type of defaultValue; the default when the key is
    // absent or its value has another kind (text where a number is expected, a number out of
    // the type's range, an unreadable value). An invalid defaultValue returns the value as is.
    QVariant ReadProperty(const QString& key, const QVariant& defaultValue) const;
    // Stores the value, or leaves the key out when the value equals a valid defaultValue.
    void WriteProperty(const QString& key, const QVariant& value, const QVariant& defaultValue);
    bool Contains(const QString& key) const;
    // The raw stored value (invalid when absent), for inspection.
    QVariant RawValue(const QString& key) const;
    // Keys as they were written, in no particular order.
    QStringList Keys() const;
    void Clear();

    // The file keeps numbers with their type, text, truth values, fonts and pictures. Save
    // replaces the file atomically. Load answers false and leaves the bag unchanged when the
    // file cannot be read or is not a property-bag file; a single value that cannot be
    // decoded is kept as an unreadable value, which reads as the default.
    bool Save(const QString& path) const;
    bool Load(const QString& path);

private:
    struct Entry {
        QString key; // as written
        QVariant value;
    };
    QHash<QString, Entry> entries_; // by folded key
};

} // namespace controls
