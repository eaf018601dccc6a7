// The numbered error that the dialog wrapper raises: number, source and description.
#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace dialogs {

class DialogError : public std::runtime_error {
public:
    DialogError(std::int32_t number, QString source, QString description);

    std::int32_t Number() const { return number_; }
    const QString& Source() const { return source_; }
    const QString& Description() const { return description_; }

private:
    std::int32_t number_;
    QString source_;
    QString description_;
};

// The executable's name: the application name, else the program file's base name.
QString ExecutableName();
// The executable's name followed by ".cCommonDialog".
QString WrapperErrorSource();

} // namespace dialogs
