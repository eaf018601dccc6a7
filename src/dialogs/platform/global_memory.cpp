#include "global_memory.h"

#include "window.h"

#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace platform {
namespace {

struct Block {
    HGLOBAL handle = 0;
    Address base = 0;
    std::vector<BYTE> bytes;
    UINT flags = 0;
    int locks = 0;
};

// Addresses start above the first 64 KiB (so small integers are never valid addresses) and
// grow; each block is followed by a 4 KiB gap so that an overrun never lands in a neighbour.
constexpr Address kFirstAddress = 0x00100000;
constexpr Address kGap = 0x1000;
constexpr HGLOBAL kFirstHandle = 0x00040004;

struct Heap {
    std::map<HGLOBAL, std::unique_ptr<Block>> byHandle;
    std::map<Address, Block*> byBase;
    Address next = kFirstAddress;
    HGLOBAL nextHandle = kFirstHandle;
};

Heap& heap() {
    static Heap h;
    return h;
}

Block* blockOf(HGLOBAL handle) {
    auto it = heap().byHandle.find(handle);
    return it == heap().byHandle.end() ? nullptr : it->second.get();
}

// The block whose range contains [address, address + length), or nullptr.
Block* blockAt(Address address, DWORD length) {
    if (address == 0)
        return nullptr;
    auto& byBase = heap().byBase;
    auto it = byBase.upper_bound(address);
    if (it == byBase.begin())
        return nullptr;
    --it;
    Block* b = it->second;
    const quint64 offset = quint64(address) - b->base;
    if (offset + length > b->bytes.size())
        return nullptr;
    if (length == 0 && offset >= b->bytes.size())
        return nullptr;
    return b;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, DWORD bytes) {
    Heap& h = heap();
    const quint64 span = (quint64(bytes) + kGap + 0xF) & ~quint64(0xF);
    if (bytes > kMaxBlockSize || quint64(h.next) + span > 0xF0000000ull ||
        h.nextHandle > 0x7FFFFFF0u) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    auto block = std::make_unique<Block>();
    block->handle = h.nextHandle;
    h.nextHandle += 4;
    block->base = h.next;
    h.next = Address(h.next + span);
    block->flags = flags;
    block->bytes.assign(bytes, (flags & GMEM_ZEROINIT) ? BYTE(0) : kUninitialisedFill);
    const HGLOBAL handle = block->handle;
    h.byBase[block->base] = block.get();
    h.byHandle[handle] = std::move(block);
    return handle;
}

Address GlobalLock(HGLOBAL hMem) {
    Block* b = blockOf(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (b->bytes.empty())
        return 0; // a block of no bytes has no address
    ++b->locks;
    return b->base;
}

BOOL GlobalUnlock(HGLOBAL hMem) {
    Block* b = blockOf(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (b->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    --b->locks;
    if (b->locks == 0) {
        SetLastError(ERROR_SUCCESS);
        return FALSE;
    }
    return TRUE;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
    Heap& h = heap();
    auto it = h.byHandle.find(hMem);
    if (it == h.byHandle.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    h.byBase.erase(it->second->base);
    h.byHandle.erase(it);
    return 0;
}

DWORD GlobalSize(HGLOBAL hMem) {
    Block* b = blockOf(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return DWORD(b->bytes.size());
}

UINT GlobalFlags(HGLOBAL hMem) {
    Block* b = blockOf(hMem);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0x8000;
    }
    return UINT(b->locks & 0xFF);
}

HGLOBAL GlobalHandle(Address address) {
    Block* b = blockAt(address, 0);
    return b ? b->handle : 0;
}

DWORD BytesAvailable(Address address) {
    Block* b = blockAt(address, 0);
    return b ? DWORD(b->bytes.size() - (address - b->base)) : 0;
}

bool ReadMemory(Address address, void* destination, DWORD length) {
    Block* b = blockAt(address, length);
    if (!b || (length > 0 && !destination))
        return false;
    if (length > 0)
        std::memcpy(destination, b->bytes.data() + (address - b->base), length);
    return true;
}

bool WriteMemory(Address address, const void* source, DWORD length) {
    Block* b = blockAt(address, length);
    if (!b || (length > 0 && !source))
        return false;
    if (length > 0)
        std::memmove(b->bytes.data() + (address - b->base), source, length);
    return true;
}

int lstrlenA(Address text) {
    Block* b = blockAt(text, 0);
    if (!b)
        return 0;
    const BYTE* start = b->bytes.data() + (text - b->base);
    const size_t available = b->bytes.size() - (text - b->base);
    const void* zero = std::memchr(start, 0, available);
    return int(zero ? static_cast<const BYTE*>(zero) - start : qsizetype(available));
}

void RtlMoveMemory(Address destination, Address source, DWORD length) {
    Block* from = blockAt(source, length);
    Block* to = blockAt(destination, length);
    if (!from || !to || length == 0)
        return;
    std::memmove(to->bytes.data() + (destination - to->base),
                 from->bytes.data() + (source - from->base), length);
}

void RtlMoveMemory(Address destination, const void* source, DWORD length) {
    WriteMemory(destination, source, length);
}

void RtlMoveMemory(void* destination, Address source, DWORD length) {
    ReadMemory(source, destination, length);
}

QByteArray ReadBytes(Address address, DWORD length) {
    Block* b = blockAt(address, length);
    if (!b)
        return {};
    return QByteArray(reinterpret_cast<const char*>(b->bytes.data() + (address - b->base)),
                      qsizetype(length));
}

bool WriteBytes(Address address, const QByteArray& bytes) {
    return WriteMemory(address, bytes.constData(), DWORD(bytes.size()));
}

QByteArray ReadCString(Address address) {
    const int n = lstrlenA(address);
    return n > 0 ? ReadBytes(address, DWORD(n)) : QByteArray();
}

bool WriteCString(Address address, const QByteArray& text, DWORD capacity) {
    const quint64 needed = quint64(text.size()) + 1;
    if (needed > capacity || needed > BytesAvailable(address))
        return false;
    WriteBytes(address, text);
    const char zero = 0;
    return WriteMemory(address + DWORD(text.size()), &zero, 1);
}

quint32 ReadUInt32(Address address, bool* ok) {
    quint32 value = 0;
    const bool read = ReadMemory(address, &value, sizeof value);
    if (ok)
        *ok = read;
    return read ? value : 0;
}

bool WriteUInt32(Address address, quint32 value) {
    return WriteMemory(address, &value, sizeof value);
}

int LiveBlockCount() {
    return int(heap().byHandle.size());
}

LockedBlock::LockedBlock(DWORD bytes, UINT flags) : handle_(GlobalAlloc(flags, bytes)) {
    if (handle_)
        address_ = GlobalLock(handle_);
}

LockedBlock::~LockedBlock() {
    if (handle_) {
        if (address_)
            GlobalUnlock(handle_);
        GlobalFree(handle_);
    }
}

DWORD LockedBlock::size() const {
    return GlobalSize(handle_);
}

} // namespace platform
