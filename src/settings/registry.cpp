// The registry as a folder tree. Layout below the root folder:
//
//   <root>/HKEY_LOCAL_MACHINE/Software/Quillon Updater/Settings/Proxy Use
//
// Each key is a folder, each value a regular file whose contents are exactly the value's
// bytes. Names are compared without regard to case; a new key or value keeps the case it
// was created with.
//
// Names that cannot be file names as they are get an escape: '%' is written %25, '/' is
// written %2F, and a leading '.' is written %2E (so "." and ".." and hidden names are never
// produced). The unnamed default value of a key is the file "%", which no escaped name can
// be. Entries whose names start with '.' are never keys or values: the temporary files of
// the atomic writes use such names.
//
// A value's type is kept in the extended attribute user.zorv.regtype (decimal text) when it
// is not REG_SZ; a file without the attribute is REG_SZ. String values whose file does not
// end in a zero byte (written by hand, e.g. with printf) read as if a zero followed.
#include "registry.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace settings {

namespace {

constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_ALREADY_EXISTS = 183;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM STANDARD_DELETE = 0x00010000;
constexpr REGSAM STANDARD_WRITE_DAC = 0x00040000;
constexpr REGSAM STANDARD_WRITE_OWNER = 0x00080000;

constexpr DWORD REG_EXPAND_SZ = 2;

const char* const kTypeAttribute = "user.zorv.regtype";
const char* const kDefaultRoot = "/etc/zorvupdater/registry";
const QString kDefaultValueFile = QStringLiteral("%");

// ---------------------------------------------------------------------------------------
// Names

QString encodeName(const QString& name) {
    QString out;
    out.reserve(name.size() + 8);
    for (QChar c : name) {
        if (c == u'%')
            out += QStringLiteral("%25");
        else if (c == u'/')
            out += QStringLiteral("%2F");
        else
            out += c;
    }
    if (out.startsWith(u'.'))
        out.replace(0, 1, QStringLiteral("%2E"));
    return out;
}

// The inverse of encodeName, tolerant of a '%' that starts no known escape (kept as is), so
// that a file named by hand "100%" still answers to the name "100%".
QString decodeName(const QString& entry) {
    QString out;
    out.reserve(entry.size());
    for (qsizetype i = 0; i < entry.size(); ++i) {
        const QChar c = entry.at(i);
        if (c == u'%' && i + 2 < entry.size() && entry.at(i + 1) == u'2') {
            const QChar d = entry.at(i + 2).toUpper();
            if (d == u'5' || d == u'F' || d == u'E') {
                out += d == u'5' ? QChar(u'%') : d == u'F' ? QChar(u'/') : QChar(u'.');
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

QString joinPath(const QString& dir, const QString& entry) {
    return dir + u'/' + entry;
}

// ---------------------------------------------------------------------------------------
// Errors

LONG codeForErrno(int err, LONG otherwise) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return otherwise;
    }
}

// The access(2) modes that the requested rights need on the key's folder.
int accessModeFor(REGSAM sam) {
    int mode = 0;
    if (sam & (KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY))
        mode |= R_OK | X_OK;
    if (sam & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | STANDARD_DELETE |
               STANDARD_WRITE_DAC | STANDARD_WRITE_OWNER))
        mode |= W_OK | X_OK;
    return mode == 0 ? F_OK : mode;
}

// 0 when the process (its effective ids) has the rights on the folder, else the code.
LONG checkAccess(const QString& dir, REGSAM sam) {
    struct stat st {};
    if (::stat(nativePath(dir).constData(), &st) != 0)
        return codeForErrno(errno, ERROR_FILE_NOT_FOUND);
    if (!S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    if (::faccessat(AT_FDCWD, nativePath(dir).constData(), accessModeFor(sam), AT_EACCESS) != 0)
        return codeForErrno(errno, ERROR_ACCESS_DENIED);
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------
// Folder entries

enum class Kind { Key, Value };

bool isKind(const QString& dir, const QString& entry, unsigned char dtype, Kind kind) {
    bool isDir = false;
    bool isReg = false;
    if (dtype == DT_DIR) {
        isDir = true;
    } else if (dtype == DT_REG) {
        isReg = true;
    } else {
        struct stat st {};
        if (::stat(nativePath(joinPath(dir, entry)).constData(), &st) != 0)
            return false;
        isDir = S_ISDIR(st.st_mode);
        isReg = S_ISREG(st.st_mode);
    }
    return kind == Kind::Key ? isDir : isReg;
}

// Looks up the entry of a key or value in a key's folder. A null or empty value name is the
// default value ("%"). Answers 0 and the entry's name as it is on disk, 2 when there is no
// such entry, or the code of the failure to read the folder.
LONG findEntry(const QString& dir, const QString& name, Kind kind, QString* found) {
    const bool isDefault = kind == Kind::Value && name.isEmpty();
    const QString encoded = isDefault ? kDefaultValueFile : encodeName(name);

    DIR* d = ::opendir(nativePath(dir).constData());
    if (!d)
        return codeForErrno(errno, ERROR_READ_FAULT);

    QString exact;
    QString caseless;
    QString decoded;
    int readErr = 0;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(d);
        if (!e) {
            readErr = errno;
            break;
        }
        const QString entry = QFile::decodeName(e->d_name);
        if (entry.startsWith(u'.'))
            continue;
        int rank = 0; // 1 exact, 2 same name without case, 3 same decoded name
        if (entry == encoded)
            rank = 1;
        else if (isDefault || (kind == Kind::Value && entry == kDefaultValueFile))
            rank = 0;
        else if (entry.compare(encoded, Qt::CaseInsensitive) == 0)
            rank = 2;
        else if (decodeName(entry).compare(name, Qt::CaseInsensitive) == 0)
            rank = 3;
        if (rank == 0 || !isKind(dir, entry, e->d_type, kind))
            continue;
        // Among several candidates of one rank take the smallest name: readdir's order is
        // not stable.
        QString& slot = rank == 1 ? exact : rank == 2 ? caseless : decoded;
        if (slot.isNull() || entry < slot)
            slot = entry;
    }
    ::closedir(d);
    if (readErr != 0)
        return codeForErrno(readErr, ERROR_READ_FAULT);

    const QString& best = !exact.isNull() ? exact : !caseless.isNull() ? caseless : decoded;
    if (best.isNull())
        return ERROR_FILE_NOT_FOUND;
    *found = best;
    return ERROR_SUCCESS;
}

struct Listing {
    QStringList subdirs;
    QStringList others;
};

LONG listFolder(const QString& dir, Listing* out) {
    DIR* d = ::opendir(nativePath(dir).constData());
    if (!d)
        return codeForErrno(errno, ERROR_READ_FAULT);
    int readErr = 0;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(d);
        if (!e) {
            readErr = errno;
            break;
        }
        const QString entry = QFile::decodeName(e->d_name);
        if (entry == u"." || entry == u"..")
            continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDir = ::lstat(nativePath(joinPath(dir, entry)).constData(), &st) == 0 &&
                    S_ISDIR(st.st_mode);
        }
        (isDir ? out->subdirs : out->others).append(entry);
    }
    ::closedir(d);
    return readErr == 0 ? ERROR_SUCCESS : codeForErrno(readErr, ERROR_READ_FAULT);
}

// ---------------------------------------------------------------------------------------
// Key paths

// Splits a sub-key path at '\'. A single trailing '\' is allowed; any other empty component
// (a leading '\', a doubled one) makes the path invalid.
bool splitPath(const char* subKey, QStringList* parts) {
    parts->clear();
    if (!subKey || !*subKey)
        return true;
    QString path = QString::fromLocal8Bit(subKey);
    if (path.endsWith(u'\\'))
        path.chop(1);
    *parts = path.split(u'\\');
    for (const QString& part : *parts) {
        if (part.isEmpty())
            return false;
    }
    return true;
}

// Walks the key folders of parts below dir; on success *out is the folder of the last one.
LONG walkKeys(const QString& dir, const QStringList& parts, QString* out) {
    QString cur = dir;
    for (const QString& part : parts) {
        QString entry;
        const LONG rc = findEntry(cur, part, Kind::Key, &entry);
        if (rc != ERROR_SUCCESS)
            return rc;
        cur = joinPath(cur, entry);
    }
    *out = cur;
    return ERROR_SUCCESS;
}

// Creates dir and the folders above it that are missing.
LONG makeFolders(const QString& dir) {
    struct stat st {};
    if (::stat(nativePath(dir).constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS;
    if (errno != ENOENT)
        return codeForErrno(errno, ERROR_WRITE_FAULT);
    const qsizetype slash = dir.lastIndexOf(u'/');
    if (slash > 0) {
        const LONG rc = makeFolders(dir.left(slash));
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    if (::mkdir(nativePath(dir).constData(), 0777) != 0 && errno != EEXIST)
        return codeForErrno(errno, ERROR_WRITE_FAULT);
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------
// Handles

QString registryRoot() {
    QString root = qEnvironmentVariable("ZORV_REGISTRY_ROOT");
    if (root.isEmpty())
        root = QString::fromLatin1(kDefaultRoot);
    while (root.size() > 1 && root.endsWith(u'/'))
        root.chop(1);
    return root;
}

const char* predefinedName(HKEY key) {
    switch (key) {
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
        return "HKEY_USERS";
    default:
        return nullptr;
    }
}

struct OpenKey {
    QString dir;     // the key's folder
    REGSAM access;   // the rights granted at open
    bool predefined; // one of the roots: its folder is created on demand
};

class HandleTable {
public:
    HKEY add(const QString& dir, REGSAM access) {
        QMutexLocker lock(&mutex_);
        HKEY h = next_;
        // Handle values stay far below the predefined roots (0x80000000...); 0 is never one.
        while (h == 0 || h >= 0x80000000u || keys_.count(h) != 0)
            h = h >= 0x80000000u ? 4 : h + 4;
        next_ = h + 4;
        keys_[h] = OpenKey{dir, access, false};
        return h;
    }
    bool find(HKEY h, OpenKey* out) {
        QMutexLocker lock(&mutex_);
        const auto it = keys_.find(h);
        if (it == keys_.end())
            return false;
        *out = it->second;
        return true;
    }
    bool remove(HKEY h) {
        QMutexLocker lock(&mutex_);
        return keys_.erase(h) != 0;
    }

private:
    QMutex mutex_;
    std::map<HKEY, OpenKey> keys_;
    HKEY next_ = 0x100;
};

HandleTable& handles() {
    static HandleTable table;
    return table;
}

// The key of a handle: a predefined root or an open key. False for an invalid handle.
bool keyOf(HKEY h, OpenKey* out) {
    if (const char* name = predefinedName(h)) {
        *out = OpenKey{joinPath(registryRoot(), QString::fromLatin1(name)), KEY_ALL_ACCESS, true};
        return true;
    }
    return handles().find(h, out);
}

// ---------------------------------------------------------------------------------------
// Value files

QString valueName(const char* name) {
    return name ? QString::fromLocal8Bit(name) : QString();
}

LONG readValue(const QString& path, QByteArray* data, DWORD* type) {
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return codeForErrno(errno, ERROR_READ_FAULT);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ERROR_FILE_NOT_FOUND;
    }
    data->clear();
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return codeForErrno(err, ERROR_READ_FAULT);
        }
        if (n == 0)
            break;
        data->append(buf, n);
    }
    *type = REG_SZ;
    char attr[16] = {};
    const ssize_t len = ::fgetxattr(fd, kTypeAttribute, attr, sizeof attr - 1);
    if (len > 0) {
        bool ok = false;
        const uint t = QByteArray(attr, len).trimmed().toUInt(&ok);
        if (ok)
            *type = t;
    }
    ::close(fd);
    return ERROR_SUCCESS;
}

bool writeAll(int fd, const unsigned char* data, DWORD size) {
    DWORD done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<DWORD>(n);
    }
    return true;
}

// Writes the value's file through a temporary file in the same folder and a rename over
// the target. An existing file keeps its permission bits.
LONG writeValue(const QString& dir, const QString& entry, DWORD type, const unsigned char* data,
                DWORD size) {
    const QString target = joinPath(dir, entry);
    struct stat old {};
    const bool replacing = ::stat(nativePath(target).constData(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode))
        return ERROR_ALREADY_EXISTS;

    int fd = -1;
    QString temp;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = joinPath(dir,
                        QStringLiteral(".zorv-%1-%2.tmp")
                            .arg(::getpid())
                            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        fd = ::open(nativePath(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return codeForErrno(errno, ERROR_WRITE_FAULT);
    }
    if (fd < 0)
        return ERROR_WRITE_FAULT;

    int err = 0;
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0)
        err = errno;
    if (err == 0 && !writeAll(fd, data, size))
        err = errno ? errno : EIO;
    if (err == 0 && type != REG_SZ) {
        // Best effort: a file system without user attributes keeps the bytes only.
        const QByteArray t = QByteArray::number(type);
        (void)::fsetxattr(fd, kTypeAttribute, t.constData(), t.size(), 0);
    }
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(nativePath(temp).constData(), nativePath(target).constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(nativePath(temp).constData());
        return codeForErrno(err, ERROR_WRITE_FAULT);
    }
    return ERROR_SUCCESS;
}

} // namespace

// ---------------------------------------------------------------------------------------
// The operations

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   HKEY* phkResult) {
    try {
        if (!phkResult)
            return ERROR_INVALID_PARAMETER;
        *phkResult = 0;
        OpenKey key;
        if (!keyOf(hKey, &key))
            return ERROR_INVALID_HANDLE;
        QStringList parts;
        if (!splitPath(lpSubKey, &parts))
            return ERROR_INVALID_PARAMETER;

        QString dir;
        if (parts.isEmpty() && key.predefined &&
            ::access(nativePath(key.dir).constData(), F_OK) != 0) {
            // A predefined root exists even before anything has been stored below it.
            dir = key.dir;
        } else {
            LONG rc = walkKeys(key.dir, parts, &dir);
            if (rc == ERROR_SUCCESS)
                rc = checkAccess(dir, samDesired);
            if (rc != ERROR_SUCCESS)
                return rc;
        }
        *phkResult = handles().add(dir, samDesired);
        return ERROR_SUCCESS;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD /*Reserved*/, const char* /*lpClass*/,
                     DWORD /*dwOptions*/, REGSAM samDesired, const void* /*lpSecurityAttributes*/,
                     HKEY* phkResult, DWORD* lpdwDisposition) {
    try {
        if (!phkResult || !lpSubKey)
            return ERROR_INVALID_PARAMETER;
        *phkResult = 0;
        OpenKey key;
        if (!keyOf(hKey, &key))
            return ERROR_INVALID_HANDLE;
        QStringList parts;
        if (!splitPath(lpSubKey, &parts))
            return ERROR_INVALID_PARAMETER;

        LONG rc = ERROR_SUCCESS;
        if (key.predefined && (rc = makeFolders(key.dir)) != ERROR_SUCCESS)
            return rc;

        QString dir = key.dir;
        bool created = false;
        for (const QString& part : parts) {
            QString entry;
            rc = findEntry(dir, part, Kind::Key, &entry);
            if (rc == ERROR_FILE_NOT_FOUND) {
                if (!(key.access & KEY_CREATE_SUB_KEY))
                    return ERROR_ACCESS_DENIED;
                entry = encodeName(part);
                if (::mkdir(nativePath(joinPath(dir, entry)).constData(), 0777) == 0) {
                    created = true;
                    rc = ERROR_SUCCESS;
                } else if (errno == EEXIST) {
                    // Made meanwhile by someone else, or a value of the same name is in the way.
                    created = false;
                    rc = findEntry(dir, part, Kind::Key, &entry);
                    if (rc == ERROR_FILE_NOT_FOUND)
                        rc = ERROR_ALREADY_EXISTS;
                } else {
                    rc = codeForErrno(errno, ERROR_WRITE_FAULT);
                }
            } else {
                created = false;
            }
            if (rc != ERROR_SUCCESS)
                return rc;
            dir = joinPath(dir, entry);
        }
        if ((rc = checkAccess(dir, samDesired)) != ERROR_SUCCESS)
            return rc;
        *phkResult = handles().add(dir, samDesired);
        if (lpdwDisposition)
            *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      unsigned char* lpData, DWORD* lpcbData) {
    try {
        if (lpReserved || (lpData && !lpcbData))
            return ERROR_INVALID_PARAMETER;
        OpenKey key;
        if (!keyOf(hKey, &key))
            return ERROR_INVALID_HANDLE;
        if (!(key.access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;

        QString entry;
        LONG rc = findEntry(key.dir, valueName(lpValueName), Kind::Value, &entry);
        if (rc != ERROR_SUCCESS)
            return rc;
        QByteArray data;
        DWORD type = REG_SZ;
        if ((rc = readValue(joinPath(key.dir, entry), &data, &type)) != ERROR_SUCCESS)
            return rc;
        // A string written by hand has no terminating zero: report one as if it were there.
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.isEmpty() && !data.endsWith('\0'))
            data.append('\0');
        if (data.size() > qsizetype(0xFFFFFFFFu))
            return ERROR_READ_FAULT;
        const DWORD size = static_cast<DWORD>(data.size());

        if (lpType)
            *lpType = type;
        if (!lpcbData)
            return ERROR_SUCCESS;
        if (lpData) {
            if (*lpcbData < size) {
                *lpcbData = size;
                return ERROR_MORE_DATA;
            }
            if (size > 0)
                std::memcpy(lpData, data.constData(), size);
        }
        *lpcbData = size;
        return ERROR_SUCCESS;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const unsigned char* lpData, DWORD cbData) {
    try {
        if (!lpData && cbData != 0)
            return ERROR_INVALID_PARAMETER;
        OpenKey key;
        if (!keyOf(hKey, &key))
            return ERROR_INVALID_HANDLE;
        if (!(key.access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        LONG rc = ERROR_SUCCESS;
        if (key.predefined && (rc = makeFolders(key.dir)) != ERROR_SUCCESS)
            return rc;

        const QString name = valueName(lpValueName);
        QString entry;
        rc = findEntry(key.dir, name, Kind::Value, &entry);
        if (rc == ERROR_FILE_NOT_FOUND)
            entry = name.isEmpty() ? kDefaultValueFile : encodeName(name);
        else if (rc != ERROR_SUCCESS)
            return rc;
        static const unsigned char none = 0;
        return writeValue(key.dir, entry, dwType, lpData ? lpData : &none, cbData);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName) {
    try {
        OpenKey key;
        if (!keyOf(hKey, &key))
            return ERROR_INVALID_HANDLE;
        if (!(key.access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        QString entry;
        const LONG rc = findEntry(key.dir, valueName(lpValueName), Kind::Value, &entry);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (::unlink(nativePath(joinPath(key.dir, entry)).constData()) != 0)
            return codeForErrno(errno, ERROR_WRITE_FAULT);
        return ERROR_SUCCESS;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey) {
    try {
        OpenKey key;
        if (!keyOf(hKey, &key))
            return ERROR_INVALID_HANDLE;
        QStringList parts;
        if (!lpSubKey || !*lpSubKey || !splitPath(lpSubKey, &parts) || parts.isEmpty())
            return ERROR_INVALID_PARAMETER;

        QString dir;
        LONG rc = walkKeys(key.dir, parts, &dir);
        if (rc != ERROR_SUCCESS)
            return rc;
        const QString parent = dir.left(dir.lastIndexOf(u'/'));
        // Both folders must be writable; checked first so that a refusal deletes nothing.
        if ((rc = checkAccess(parent, KEY_WRITE)) != ERROR_SUCCESS ||
            (rc = checkAccess(dir, KEY_WRITE)) != ERROR_SUCCESS)
            return rc;

        Listing listing;
        if ((rc = listFolder(dir, &listing)) != ERROR_SUCCESS)
            return rc;
        if (!listing.subdirs.isEmpty())
            return ERROR_ACCESS_DENIED; // as on Windows: a key with subkeys is not deleted
        for (const QString& entry : listing.others) {
            if (::unlink(nativePath(joinPath(dir, entry)).constData()) != 0 && errno != ENOENT)
                return codeForErrno(errno, ERROR_WRITE_FAULT);
        }
        if (::rmdir(nativePath(dir).constData()) != 0)
            return errno == ENOTEMPTY || errno == EEXIST ? ERROR_ACCESS_DENIED
                                                         : codeForErrno(errno, ERROR_WRITE_FAULT);
        return ERROR_SUCCESS;
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG RegCloseKey(HKEY hKey) {
    if (predefinedName(hKey))
        return ERROR_SUCCESS;
    return handles().remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

} // namespace settings
