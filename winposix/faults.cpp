// Injected failures for tests: the n-th call of a kind fails with a chosen code.
#include <mutex>

#include "internal.h"

struct PendingFault {
    int calls_left;  // 0: none pending
    DWORD code;
};

static std::mutex faults_lock;
static PendingFault pending[WINPOSIX_CALL_COUNT];

void winposix_fail_nth(WinposixCall kind, int n, DWORD code)
{
    if (kind < 0 || kind >= WINPOSIX_CALL_COUNT)
        return;
    std::lock_guard<std::mutex> guard(faults_lock);
    pending[kind].calls_left = n > 0 ? n : 0;
    pending[kind].code = code;
}

void winposix_fail_reset(void)
{
    std::lock_guard<std::mutex> guard(faults_lock);
    for (PendingFault &fault : pending)
        fault = PendingFault{0, 0};
}

bool winposix_fault_due(WinposixCall kind)
{
    std::lock_guard<std::mutex> guard(faults_lock);
    PendingFault &fault = pending[kind];
    if (fault.calls_left == 0 || --fault.calls_left > 0)
        return false;
    SetLastError(fault.code);
    return true;
}
