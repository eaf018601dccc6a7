// Reads, writes and deletes named text values of the registry. Stateless: every call
// opens one key, does its work and closes it again. Never throws; failures answer with
// the default or false.
#pragma once

#include "registry.h"

#include <QString>

namespace settings {

class CRegister {
public:
    // The value's text, or sDefault when the key or value is missing, unreadable, or holds
    // no bytes. Falls back to read rights once when full rights are refused.
    QString REGGetSetting(HKEY regHKEY, QString sSection, QString sKey,
                          QString sDefault = QString()) const;
    // Writes sValue as a string value, creating the key and its parents.
    bool REGSaveSetting(HKEY regHKEY, QString sSection, QString sKey, QString sValue) const;
    // Deletes the value sKey; with sKey empty, the whole key sSection (refused while it has
    // subkeys).
    bool REGDeleteSetting(HKEY regHKEY, QString sSection, QString sKey = QString()) const;

private:
    static QString TrimSection(const QString& section);
};

} // namespace settings
