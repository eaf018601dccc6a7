#include "cmemory.h"

#include "global_memory.h"

namespace dialogs {

cMemory::~cMemory() {
    FreeMemory();
}

void cMemory::setHandle(std::uint32_t hMem) {
    FreeMemory();
    handle_ = hMem;
}

std::uint32_t cMemory::Pointer() {
    if (handle_ == 0)
        return 0;
    if (address_ == 0)
        LockMemory();
    return address_;
}

std::uint32_t cMemory::Size() const {
    return handle_ == 0 ? 0 : platform::GlobalSize(handle_);
}

bool cMemory::AllocateMemory(std::uint32_t lSize, std::uint32_t dwFlags) {
    FreeMemory();
    handle_ = platform::GlobalAlloc(dwFlags, lSize);
    return handle_ != 0;
}

bool cMemory::LockMemory() {
    if (handle_ == 0 || address_ != 0)
        return false;
    address_ = platform::GlobalLock(handle_);
    return address_ != 0;
}

void cMemory::UnlockMemory() {
    if (handle_ == 0 || address_ == 0)
        return;
    platform::GlobalUnlock(handle_);
    address_ = 0;
}

void cMemory::FreeMemory() {
    if (handle_ != 0) {
        UnlockMemory();
        platform::GlobalFree(handle_);
    }
    handle_ = 0;
}

void cMemory::ReleaseDontFreeMemory() {
    UnlockMemory();
    handle_ = 0;
}

} // namespace dialogs
