// Mounts for tests that run as root: a size-limited tmpfs, or a folder bound onto itself to be
// made read-only. After privateMounts() the mounts vanish with the process, even killed.
#pragma once

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace testsupport {

// A mount namespace of the process's own; call it before any thread starts.
inline bool privateMounts() {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

class ScratchMount {
public:
    ScratchMount() = default;
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    ~ScratchMount() {
        if (mounted_)
            ::umount2(dir_.constData(), MNT_DETACH);
    }

    bool tmpfs(const QString& dir, qint64 bytes) {
        dir_ = QFile::encodeName(dir);
        return check(::mount("tmpfs", dir_.constData(), "tmpfs", 0, sizeOption(bytes).constData()),
                     true);
    }
    bool resize(qint64 bytes) {
        return check(
            ::mount(nullptr, dir_.constData(), nullptr, MS_REMOUNT, sizeOption(bytes).constData()),
            mounted_);
    }
    bool bindSelf(const QString& dir) {
        dir_ = QFile::encodeName(dir);
        return check(::mount(dir_.constData(), dir_.constData(), nullptr, MS_BIND, nullptr), true);
    }
    bool readOnly(bool on) {
        const unsigned long flags = MS_REMOUNT | MS_BIND | (on ? MS_RDONLY : 0);
        return check(::mount(nullptr, dir_.constData(), nullptr, flags, nullptr), mounted_);
    }
    QString errorText() const { return errorText_; }

private:
    static QByteArray sizeOption(qint64 bytes) { return "size=" + QByteArray::number(bytes); }
    bool check(int result, bool mountedOnSuccess) {
        if (result != 0) {
            errorText_ = QStringLiteral("mount on %1 refused: %2")
                             .arg(QFile::decodeName(dir_), QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        mounted_ = mountedOnSuccess;
        return true;
    }

    QByteArray dir_;
    bool mounted_ = false;
    QString errorText_;
};

} // namespace testsupport
