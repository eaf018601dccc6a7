#pragma once
// Global memory: a handle table of movable blocks in a private 32-bit address space.
//
// GlobalAlloc returns a handle; GlobalLock returns the Address of the block's first byte. Every
// block keeps one fixed Address range for its whole life and ranges are never reused, so an
// Address of a freed block reads as nothing. Handles are never reused either: a freed handle
// stays invalid. Bad handles give the platform's results (0 / NULL) and set the last error;
// nothing crashes. Record strings and buffers live in such blocks; the accessors below are the
// only way to touch their bytes and they refuse anything that is not wholly inside a live block.

#include "types.h"

#include <QByteArray>

namespace platform {

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// Largest single block (64 MiB); larger requests fail with ERROR_NOT_ENOUGH_MEMORY.
constexpr DWORD kMaxBlockSize = 64u * 1024u * 1024u;

// Without GMEM_ZEROINIT a new block is filled with this byte, so nobody relies on zeros by luck.
constexpr BYTE kUninitialisedFill = 0xCD;

HGLOBAL GlobalAlloc(UINT flags, DWORD bytes); // 0 on failure (last error set)
Address GlobalLock(HGLOBAL hMem);             // 0 for a bad handle or a 0-byte block
BOOL GlobalUnlock(HGLOBAL hMem);              // nonzero while still locked
HGLOBAL GlobalFree(HGLOBAL hMem);             // 0 on success, hMem on failure
DWORD GlobalSize(HGLOBAL hMem);               // 0 for a bad handle
UINT GlobalFlags(HGLOBAL hMem);               // lock count in the low byte; 0x8000 if bad
HGLOBAL GlobalHandle(Address address);        // handle of the block holding address, or 0

// Length of the zero-terminated text at address, not counting the zero; 0 when the address is
// not in a live block. Text that runs to the end of its block ends there.
int lstrlenA(Address text);

// Copies length bytes; nothing happens when a side is not wholly inside a live block.
void RtlMoveMemory(Address destination, Address source, DWORD length);
void RtlMoveMemory(Address destination, const void* source, DWORD length);
void RtlMoveMemory(void* destination, Address source, DWORD length);

// Bounds-checked access. Each returns false (and transfers nothing) unless the whole range
// [address, address + length) lies inside one live block.
bool ReadMemory(Address address, void* destination, DWORD length);
bool WriteMemory(Address address, const void* source, DWORD length);

// Bytes available from address to the end of its block; 0 outside any live block.
DWORD BytesAvailable(Address address);

// Convenience forms of the accessors above.
QByteArray ReadBytes(Address address, DWORD length); // empty when refused
bool WriteBytes(Address address, const QByteArray& bytes);
QByteArray ReadCString(Address address); // up to the first zero or block end
// Writes text and a terminating zero; refused unless text.size() + 1 <= capacity and it fits.
bool WriteCString(Address address, const QByteArray& text, DWORD capacity);
quint32 ReadUInt32(Address address, bool* ok = nullptr);
bool WriteUInt32(Address address, quint32 value);

// Number of live blocks (for leak checks in tests).
int LiveBlockCount();

// A block that is allocated and locked for the lifetime of the object, then freed.
class LockedBlock {
public:
    explicit LockedBlock(DWORD bytes, UINT flags = GHND);
    ~LockedBlock();
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    HGLOBAL handle() const { return handle_; }
    Address address() const { return address_; }
    DWORD size() const;
    bool isValid() const { return address_ != 0; }

private:
    HGLOBAL handle_ = 0;
    Address address_ = 0;
};

} // namespace platform
