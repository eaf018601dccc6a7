// The BLAKE2b-512 digest of a file, taken while the file is written, so that checking a
// large download's signature does not read it all again. The digest is tied to the file it
// was taken from: it is used only while that file (same inode) has not changed since the last
// piece (same size and change time); otherwise the file is read again.
#pragma once

#include <QByteArray>
#include <memory>
#include <sys/types.h>

namespace signing {

class RunningDigest {
public:
    RunningDigest();
    ~RunningDigest();
    RunningDigest(const RunningDigest&) = delete;
    RunningDigest& operator=(const RunningDigest&) = delete;

    // Starts over, for a new transfer or a file that was removed.
    void Reset();
    // Takes the `size` bytes just written at `offset` of the open file fd. Bytes the digest
    // has already taken are skipped; file bytes before `offset` that it has not taken (the
    // part of a resumed download that came earlier) are read from the file first. After a
    // failure to read, or a piece from another file, the digest is unusable until Reset().
    void Add(int fd, qint64 offset, const char* data, qint64 size);
    // The digest when fd is the file as it stood after the last piece; empty otherwise.
    QByteArray DigestFor(int fd) const;

    // The digest of the whole open file, read from its first byte; empty when unreadable.
    static QByteArray OfFile(int fd);

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        long long changeSeconds = 0;
        long changeNanoseconds = 0;
        bool operator==(const Identity&) const = default;
    };
    static bool IdentityOf(int fd, Identity& identity);
    bool Update(const char* data, qint64 size);
    bool ReadFile(int fd, qint64 until);
    QByteArray Final() const;

    struct Context;
    std::unique_ptr<Context> context_;
    qint64 length_ = 0; // bytes from the file's start taken so far
    bool usable_ = true;
    Identity identity_;
};

} // namespace signing
