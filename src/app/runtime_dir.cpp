#include "runtime_dir.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

QString ProvideRuntimeDir(const QString& tempRoot) {
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        return {};
    const QString dir = QDir(tempRoot).filePath(QStringLiteral("runtime-%1").arg(getuid()));
    const QByteArray path = QFile::encodeName(dir);
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info {};
    if (lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & 0777) != 0700)
        return {};
    qputenv("XDG_RUNTIME_DIR", path);
    return dir;
}

} // namespace app
