#include "running_digest.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace signing {

// The digest's state, and a thread that feeds it the pieces of a download: hashing a piece
// takes about as long as receiving it, so it runs beside the transfer instead of after it.
// The owner's thread touches the digest only while no piece waits (Drain).
struct RunningDigest::Context {
    // Bytes queued before Queue waits for the thread: the check at the end then waits for at
    // most this much hashing.
    static constexpr qint64 kMaxWaitingBytes = 4 * 1024 * 1024;

    std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md{
        EVP_MD_fetch(nullptr, "BLAKE2B-512", nullptr), &EVP_MD_free};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx{EVP_MD_CTX_new(), &EVP_MD_CTX_free};

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> waiting; // pieces to hash, in order
    qint64 waitingBytes = 0;
    std::vector<QByteArray> spare; // hashed pieces' buffers, for the next ones
    bool hashing = false;          // the thread holds a piece
    bool failed = false;           // an update failed
    bool stopping = false;
    std::thread thread;

    ~Context() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        if (thread.joinable())
            thread.join();
    }

    void Queue(const char* data, qint64 size) {
        std::unique_lock lock(mutex);
        if (!thread.joinable())
            thread = std::thread([this] { Run(); });
        changed.wait(lock, [this] { return waitingBytes < kMaxWaitingBytes; });
        QByteArray piece;
        if (!spare.empty()) {
            piece = std::move(spare.back());
            spare.pop_back();
        }
        piece.resize(size); // keeps a spare buffer's memory
        std::memcpy(piece.data(), data, size_t(size));
        waitingBytes += size;
        waiting.push_back(std::move(piece));
        changed.notify_all();
    }

    // Waits until every queued piece is hashed; false when one failed.
    bool Drain() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return waiting.empty() && !hashing; });
        return !failed;
    }

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || !waiting.empty(); });
            if (waiting.empty())
                return; // stopping
            QByteArray piece = std::move(waiting.front());
            waiting.pop_front();
            waitingBytes -= piece.size();
            hashing = true;
            lock.unlock();
            const bool ok =
                EVP_DigestUpdate(ctx.get(), piece.constData(), size_t(piece.size())) == 1;
            lock.lock();
            hashing = false;
            failed = failed || !ok;
            spare.push_back(std::move(piece));
            changed.notify_all();
        }
    }
};

RunningDigest::RunningDigest() : context_(std::make_unique<Context>()) {
    Reset();
}

RunningDigest::~RunningDigest() = default;

void RunningDigest::Reset() {
    context_->Drain();
    {
        std::lock_guard lock(context_->mutex);
        context_->failed = false;
    }
    length_ = 0;
    identity_ = {};
    usable_ = context_->md && context_->ctx &&
              EVP_DigestInit_ex(context_->ctx.get(), context_->md.get(), nullptr) == 1;
}

// Hashes at once, on this thread, after the queued pieces.
bool RunningDigest::Update(const char* data, qint64 size) {
    if (!context_->Drain())
        return false;
    if (size > 0 && EVP_DigestUpdate(context_->ctx.get(), data, size_t(size)) != 1)
        return false;
    length_ += size;
    return true;
}

// Takes the file's bytes from length_ up to `until` (or its end, for -1).
bool RunningDigest::ReadFile(int fd, qint64 until) {
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (until < 0 || length_ < until) {
        const qint64 want =
            until < 0 ? buffer.size() : qMin<qint64>(buffer.size(), until - length_);
        const ssize_t n = ::pread(fd, buffer.data(), size_t(want), off_t(length_));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 && until < 0;
        if (!Update(buffer.constData(), n))
            return false;
    }
    return true;
}

bool RunningDigest::IdentityOf(int fd, Identity& identity) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    identity = {st.st_dev, st.st_ino, st.st_size, st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
    return true;
}

void RunningDigest::Add(int fd, qint64 offset, const char* data, qint64 size) {
    Identity now;
    if (!usable_ || !IdentityOf(fd, now))
        return void(usable_ = false);
    if (length_ > 0 && (now.device != identity_.device || now.inode != identity_.inode))
        return void(usable_ = false);
    if (offset > length_ && !ReadFile(fd, offset))
        return void(usable_ = false);
    const qint64 skip = qMin(size, length_ - offset); // already taken (a roll-back's overlap)
    if (offset + size > length_) {
        context_->Queue(data + skip, size - skip);
        length_ += size - skip;
    }
    identity_ = now;
}

QByteArray RunningDigest::Final() const {
    if (!context_->Drain())
        return {};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> copy(EVP_MD_CTX_new(),
                                                                 &EVP_MD_CTX_free);
    QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int size = 0;
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), context_->ctx.get()) != 1 ||
        EVP_DigestFinal_ex(copy.get(), reinterpret_cast<unsigned char*>(digest.data()), &size) != 1)
        return {};
    digest.truncate(size);
    return digest;
}

QByteArray RunningDigest::DigestFor(int fd) const {
    Identity now;
    if (!usable_ || length_ == 0 || !IdentityOf(fd, now) || !(now == identity_) ||
        now.size != length_)
        return {};
    return Final();
}

QByteArray RunningDigest::OfFile(int fd) {
    RunningDigest digest;
    if (fd < 0 || !digest.usable_ || !digest.ReadFile(fd, -1))
        return {};
    return digest.Final();
}

} // namespace signing
