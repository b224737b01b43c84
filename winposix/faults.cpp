// Injected failures for tests: the n-th call of a kind fails with a chosen
// code, or stops until the test lets it go on.
#include <errno.h>
#include <unistd.h>

#include <mutex>

#include "internal.h"

struct PendingFault {
    int calls_left;  // 0: none pending
    DWORD code;
};

struct PendingPause {
    int calls_left;  // 0: none pending
    int ready_fd;
    int resume_fd;
};

static std::mutex faults_lock;
static PendingFault pending[WINPOSIX_CALL_COUNT];
static PendingPause pauses[WINPOSIX_CALL_COUNT];

void winposix_fail_nth(WinposixCall kind, int n, DWORD code)
{
    if (kind < 0 || kind >= WINPOSIX_CALL_COUNT)
        return;
    std::lock_guard<std::mutex> guard(faults_lock);
    pending[kind].calls_left = n > 0 ? n : 0;
    pending[kind].code = code;
}

void winposix_pause_nth(WinposixCall kind, int n, int ready_fd, int resume_fd)
{
    if (kind < 0 || kind >= WINPOSIX_CALL_COUNT)
        return;
    std::lock_guard<std::mutex> guard(faults_lock);
    pauses[kind] = PendingPause{n > 0 ? n : 0, ready_fd, resume_fd};
}

void winposix_fail_reset(void)
{
    std::lock_guard<std::mutex> guard(faults_lock);
    for (PendingFault &fault : pending)
        fault = PendingFault{0, 0};
    for (PendingPause &pause : pauses)
        pause = PendingPause{0, -1, -1};
}

// Waits outside the lock, so that a signal handler's own calls still pass.
static void pause_if_due(WinposixCall kind)
{
    PendingPause due = {0, -1, -1};
    {
        std::lock_guard<std::mutex> guard(faults_lock);
        PendingPause &pause = pauses[kind];
        if (pause.calls_left == 0 || --pause.calls_left > 0)
            return;
        due = pause;
    }
    const char ready = 'p';
    while (write(due.ready_fd, &ready, 1) < 0 && errno == EINTR) {
    }
    char resume = 0;
    while (read(due.resume_fd, &resume, 1) < 0 && errno == EINTR) {
    }
}

bool winposix_fault_due(WinposixCall kind)
{
    pause_if_due(kind);
    std::lock_guard<std::mutex> guard(faults_lock);
    PendingFault &fault = pending[kind];
    if (fault.calls_left == 0 || --fault.calls_left > 0)
        return false;
    SetLastError(fault.code);
    return true;
}
