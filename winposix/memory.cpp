// VirtualAlloc and VirtualFree over mmap. A large committed range is filled
// with 4 KiB pages at once, in one call, as its one caller (the image of a
// file) is about to write all of it: faulting pages in one by one costs a
// fault each, and huge pages, though fewer, come from the free memory that
// the host of a virtual machine takes back after a few idle seconds, whose
// first touch costs far more than the faults it saves.
#include <sys/mman.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "internal.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

// Reservations start on this boundary, more than the 64 KiB Windows keeps,
// so that a large one can be backed by huge pages.
static const size_t kHugePage = 2u << 20;

// Committed ranges from this size on are filled at once.
static const size_t kFillFrom = 2u << 20;

static std::mutex regions_lock;
static std::map<uintptr_t, size_t> regions;  // reservation start -> length

static size_t page_size(void) { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

static size_t round_up(size_t n, size_t unit) { return (n + unit - 1) / unit * unit; }

// Address space aligned to a huge page, with nothing usable yet.
static void *reserve(size_t length)
{
    size_t padded = length + kHugePage;
    void *raw = mmap(nullptr, padded, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    uintptr_t start = round_up(reinterpret_cast<uintptr_t>(raw), kHugePage);
    uintptr_t raw_start = reinterpret_cast<uintptr_t>(raw);
    if (start > raw_start)
        munmap(raw, start - raw_start);
    uintptr_t end = start + length;
    if (raw_start + padded > end)
        munmap(reinterpret_cast<void *>(end), raw_start + padded - end);
    std::lock_guard<std::mutex> guard(regions_lock);
    regions[start] = length;
    return reinterpret_cast<void *>(start);
}

static bool inside_reservation(uintptr_t start, size_t length)
{
    std::lock_guard<std::mutex> guard(regions_lock);
    auto it = regions.upper_bound(start);
    if (it == regions.begin())
        return false;
    --it;
    return start >= it->first && start + length <= it->first + it->second;
}

static bool commit(void *address, size_t length)
{
    if (mprotect(address, length, PROT_READ | PROT_WRITE) != 0)
        return false;
    if (length >= kFillFrom) {
        // Hints: a refusal costs only speed, and the pages then come as touched.
        madvise(address, length, MADV_NOHUGEPAGE);
        madvise(address, length, MADV_POPULATE_WRITE);
    }
    return true;
}

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect)
{
    if (size == 0 || (type & (MEM_COMMIT | MEM_RESERVE)) == 0 ||
        (protect != PAGE_READWRITE && protect != PAGE_NOACCESS)) {
        winposix_fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    size_t length = round_up(size, page_size());
    if (type & MEM_RESERVE) {
        if (address != nullptr) {
            winposix_fail(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (winposix_fault_due(WINPOSIX_CALL_RESERVE))
            return nullptr;
        address = reserve(length);
        if (address == nullptr) {
            winposix_fail(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    if ((type & MEM_COMMIT) && protect == PAGE_READWRITE) {
        uintptr_t start = reinterpret_cast<uintptr_t>(address) / page_size() * page_size();
        size_t span = round_up(reinterpret_cast<uintptr_t>(address) + size, page_size()) - start;
        if (!inside_reservation(start, span)) {
            winposix_fail(ERROR_INVALID_ADDRESS);
            return nullptr;
        }
        if (!commit(reinterpret_cast<void *>(start), span)) {
            winposix_fail(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    return address;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD type)
{
    if (type != MEM_RELEASE || size != 0)
        return winposix_fail(ERROR_INVALID_PARAMETER);
    size_t length;
    {
        std::lock_guard<std::mutex> guard(regions_lock);
        auto it = regions.find(reinterpret_cast<uintptr_t>(address));
        if (it == regions.end())
            return winposix_fail(ERROR_INVALID_ADDRESS);
        length = it->second;
        regions.erase(it);
    }
    munmap(address, length);
    return TRUE;
}
