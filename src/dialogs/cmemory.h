// One block of global memory, owned until it is freed or handed on.
#pragma once

#include <cstdint>

namespace dialogs {

class cMemory {
public:
    cMemory() = default;
    ~cMemory();
    cMemory(const cMemory&) = delete;
    cMemory& operator=(const cMemory&) = delete;

    // The handle owned, 0 when none.
    std::uint32_t handle() const { return handle_; }
    // Frees the block owned, then owns hMem.
    void setHandle(std::uint32_t hMem);
    // The block's address, locking it first; 0 without a block or when the lock fails.
    std::uint32_t Pointer();
    // The block's size in bytes, 0 without a block.
    std::uint32_t Size() const;

    // Frees the block owned, then allocates lSize bytes; true when a handle came back.
    bool AllocateMemory(std::uint32_t lSize, std::uint32_t dwFlags = 0);
    // Locks an owned, unlocked block; true when it gave an address. Otherwise changes nothing.
    bool LockMemory();
    void UnlockMemory();
    void FreeMemory();
    // Gives up the block without freeing it: whoever took the handle owns it now.
    void ReleaseDontFreeMemory();

private:
    std::uint32_t handle_ = 0;
    std::uint32_t address_ = 0;
};

} // namespace dialogs
