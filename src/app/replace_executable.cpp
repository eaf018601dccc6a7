// The file operations behind the update's last step. Every path that changes the executable
// first runs the check on a descriptor of the file it is about to rename, so that what was
// checked is what is installed.
#include "replace_executable.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

namespace {

// A descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now; returns 0 or the errno of the close.
    int close() {
        const int result = fd_ >= 0 && ::close(fd_) != 0 ? errno : 0;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// Copies all of `in` from its first byte to `out`. Returns 0 or the errno of the failure.
int CopyAll(int in, int out) {
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(in, buffer, sizeof buffer, offset);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        offset += n;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w > 0)
                done += w;
            else if (w == 0 || errno != EINTR)
                return w == 0 ? EIO : errno;
        }
    }
}

QString Check(const ReplaceCheck& check, int fd) {
    return check ? check(fd) : QString();
}

// Puts a copy of the open download in a temporary file beside `to`, checks that copy and
// renames it over `to`, for a download on another file system than the executable: a rename
// cannot cross file systems, and copying straight onto the executable's name would leave half
// a program when the copy fails. The temporary file has a fixed name, so that a copy cut short
// by a crash is replaced by the next update instead of piling up. The download is removed once
// the copy has its place.
ReplaceOutcome CopyOver(int in, const QByteArray& from, const QByteArray& to, mode_t mode,
                        const ReplaceCheck& check) {
    const QByteArray temp = to + ".new";
    if (::unlink(temp.constData()) != 0 && errno != ENOENT)
        return {errno, {}};
    Fd out(::open(temp.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return {errno, {}};
    ReplaceOutcome outcome;
    outcome.error = CopyAll(in, out.get());
    if (outcome.error == 0 && ::fchmod(out.get(), mode) != 0)
        outcome.error = errno;
    if (outcome.error == 0 && ::fsync(out.get()) != 0)
        outcome.error = errno;
    if (outcome.error == 0)
        outcome.refusal = Check(check, out.get());
    if (const int closed = out.close(); outcome.error == 0)
        outcome.error = closed;
    if (outcome.replaced() && ::rename(temp.constData(), to.constData()) != 0)
        outcome.error = errno;
    if (!outcome.replaced()) {
        ::unlink(temp.constData());
        return outcome;
    }
    ::unlink(from.constData());
    return outcome;
}

// The permission bits the new executable gets.
mode_t NewMode(const QByteArray& to, const struct stat& source) {
    struct stat old {};
    if (::stat(to.constData(), &old) == 0)
        return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return (source.st_mode & 07777) | (0111 & ~mask);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

ReplaceOutcome ReplaceExecutable(const QString& download, const QString& executable,
                                 const ReplaceCheck& check) {
    const QByteArray from = QFile::encodeName(download);
    const QByteArray to = QFile::encodeName(executable);
    Fd in(::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat source {};
    if (in.get() < 0 || ::fstat(in.get(), &source) != 0)
        return {errno, {}};
    const mode_t mode = NewMode(to, source);
    struct stat folder {};
    const QByteArray folderName = QFile::encodeName(QFileInfo(executable).absolutePath());
    if (::stat(folderName.constData(), &folder) == 0 && folder.st_dev != source.st_dev)
        return CopyOver(in.get(), from, to, mode, check);

    if (QString refusal = Check(check, in.get()); !refusal.isEmpty())
        return {0, refusal};
    // The name must still lead to the file that was checked.
    struct stat named {};
    if (::lstat(from.constData(), &named) != 0)
        return {errno, {}};
    if (!SameFile(named, source))
        return {0, QStringLiteral("The downloaded file was replaced while it was checked.")};
    if (::fchmod(in.get(), mode) != 0)
        return {errno, {}};
    // Flushed first, so that a rename that reaches the disk first cannot leave the
    // executable's name on a file without its contents.
    if (::fsync(in.get()) != 0)
        return {errno, {}};
    if (::rename(from.constData(), to.constData()) == 0)
        return {};
    if (errno == EXDEV) // one file system mounted at two places
        return CopyOver(in.get(), from, to, mode, check);
    return {errno, {}};
}

} // namespace app
