// The font object that the font dialog reads and updates, and the printer object whose
// settings the print dialog updates.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdint>

namespace dialogs {

// A font description with the standard font object's properties. Bold and Weight are one
// setting seen two ways: Bold sets the weight to 700 or 400, a weight of 600 or more is bold.
class StdFont {
public:
    enum PropertyId {
        IdName = 0,
        IdSize = 2,
        IdBold = 3,
        IdItalic = 4,
        IdUnderline = 5,
        IdStrikethrough = 6,
        IdWeight = 7
    };

    QString Name = QStringLiteral("Sans Serif");
    double Size = 8.0; // points
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;

    bool Bold() const { return weight_ >= 600; }
    void SetBold(bool bold) { weight_ = bold ? 700 : 400; }
    std::int16_t Weight() const { return weight_; }
    void SetWeight(std::int16_t weight) { weight_ = weight; }

    // Access by property identifier; an unknown identifier reads invalid and writes nothing.
    QVariant Property(int id) const;
    bool SetProperty(int id, const QVariant& value);

private:
    std::int16_t weight_ = 400;
};

// The printer settings object: what the print dialog chose, set by property name.
class PrinterObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(int hDC MEMBER hDC)
    Q_PROPERTY(int Copies MEMBER Copies)
    Q_PROPERTY(int Orientation MEMBER Orientation)
    Q_PROPERTY(int PaperSize MEMBER PaperSize)
    Q_PROPERTY(int PrintQuality MEMBER PrintQuality)

public:
    using QObject::QObject;

    int hDC = 0;
    int Copies = 1;
    int Orientation = 1;
    int PaperSize = 9;
    int PrintQuality = -4;
};

// Sets a declared property by name; objects without it are left alone.
bool SetDeclaredProperty(QObject* object, const char* name, const QVariant& value);

} // namespace dialogs
