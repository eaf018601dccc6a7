#include "dialog_error.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace dialogs {

namespace {

std::string WhatText(std::int32_t number, const QString& source, const QString& description) {
    return (QString::number(number) + QLatin1String(" (") + source + QLatin1String(") ") +
            description)
        .toStdString();
}

} // namespace

DialogError::DialogError(std::int32_t number, QString source, QString description)
    : std::runtime_error(WhatText(number, source, description)), number_(number),
      source_(std::move(source)), description_(std::move(description)) {
}

QString ExecutableName() {
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).baseName();
    return name;
}

QString WrapperErrorSource() {
    return ExecutableName() + QLatin1String(".cCommonDialog");
}

} // namespace dialogs
