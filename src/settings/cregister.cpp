#include "cregister.h"

#include <QByteArray>

namespace settings {

namespace {

// The value name as the registry is given it: "*" is the key's unnamed default value (a
// null name). `storage` keeps the bytes alive for the call.
const char* valueNameFor(const QString& sKey, QByteArray* storage) {
    if (sKey == QLatin1String("*"))
        return nullptr;
    *storage = sKey.toLocal8Bit();
    return storage->constData();
}

// Closes the key on every way out of an operation.
class KeyCloser {
public:
    explicit KeyCloser(HKEY* key) : key_(key) {}
    ~KeyCloser() {
        if (*key_ != 0)
            RegCloseKey(*key_);
    }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    HKEY* key_;
};

} // namespace

QString CRegister::TrimSection(const QString& section) {
    QString s = section;
    if (s.startsWith(u'\\'))
        s.remove(0, 1);
    if (s.endsWith(u'\\'))
        s.chop(1);
    return s;
}

QString CRegister::REGGetSetting(HKEY regHKEY, QString sSection, QString sKey,
                                 QString sDefault) const {
    try {
        QString result = sDefault;
        const QByteArray path = TrimSection(sSection).toLocal8Bit();
        HKEY key = 0;
        LONG rc = RegOpenKeyExA(regHKEY, path.constData(), 0, KEY_ALL_ACCESS, &key);
        if (rc == ERROR_ACCESS_DENIED)
            rc = RegOpenKeyExA(regHKEY, path.constData(), 0, KEY_READ, &key);
        if (rc != ERROR_SUCCESS)
            return sDefault;
        KeyCloser closer(&key);

        QByteArray nameBytes;
        const char* name = valueNameFor(sKey, &nameBytes);
        DWORD size = 0;
        rc = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
        if (rc != ERROR_SUCCESS || size == 0)
            return sDefault;
        QByteArray buffer(qsizetype(size), ' ');
        DWORD length = size;
        rc = RegQueryValueExA(key, name, nullptr, nullptr,
                              reinterpret_cast<unsigned char*>(buffer.data()), &length);
        if (rc == ERROR_SUCCESS)
            result = QString::fromLocal8Bit(buffer.constData(), qsizetype(size) - 1);
        return result;
    } catch (...) {
        return sDefault;
    }
}

bool CRegister::REGSaveSetting(HKEY regHKEY, QString sSection, QString sKey, QString sValue) const {
    try {
        const QByteArray path = TrimSection(sSection).toLocal8Bit();
        HKEY key = 0;
        DWORD disposition = 0;
        if (RegCreateKeyExA(regHKEY, path.constData(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
            return false;
        KeyCloser closer(&key);

        QByteArray nameBytes;
        const char* name = valueNameFor(sKey, &nameBytes);
        QByteArray data = sValue.toLocal8Bit();
        data.append('\0');
        const LONG rc = RegSetValueExA(key, name, 0, REG_SZ,
                                       reinterpret_cast<const unsigned char*>(data.constData()),
                                       DWORD(data.size()));
        return rc == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

bool CRegister::REGDeleteSetting(HKEY regHKEY, QString sSection, QString sKey) const {
    try {
        HKEY key = 0;
        KeyCloser closer(&key);
        if (!sKey.isEmpty()) {
            const QByteArray path = TrimSection(sSection).toLocal8Bit();
            if (RegOpenKeyExA(regHKEY, path.constData(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
                return false;
            QByteArray nameBytes;
            return RegDeleteValueA(key, valueNameFor(sKey, &nameBytes)) == ERROR_SUCCESS;
        }
        // The whole key: below the root itself, with the section as it was given.
        const QByteArray root = TrimSection(QString()).toLocal8Bit();
        if (RegOpenKeyExA(regHKEY, root.constData(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        return RegDeleteKeyA(key, sSection.toLocal8Bit().constData()) == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

} // namespace settings
