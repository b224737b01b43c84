// The table of live handles: a handle is valid exactly while it is in it.
#include <mutex>
#include <unordered_set>

#include "internal.h"

static std::mutex handles_lock;
static std::unordered_set<WinposixHandle *> live_handles;

HANDLE winposix_handle_add(WinposixHandle *record)
{
    std::lock_guard<std::mutex> guard(handles_lock);
    live_handles.insert(record);
    return record;
}

WinposixHandle *winposix_handle_get(HANDLE handle, WinposixHandleKind kind)
{
    WinposixHandle *record = static_cast<WinposixHandle *>(handle);
    {
        std::lock_guard<std::mutex> guard(handles_lock);
        if (live_handles.count(record) && record->kind == kind)
            return record;
    }
    winposix_fail(ERROR_INVALID_HANDLE);
    return nullptr;
}

void winposix_handle_remove(WinposixHandle *record)
{
    std::lock_guard<std::mutex> guard(handles_lock);
    live_handles.erase(record);
}
