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

struct PendingAction {
    int calls_left;  // 0: none pending
    void (*action)(void *);
    void *context;
};

static std::mutex faults_lock;
static PendingFault pending[WINPOSIX_CALL_COUNT];
static PendingAction actions[WINPOSIX_CALL_COUNT];

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
    for (PendingAction &action : actions)
        action = PendingAction{0, nullptr, nullptr};
}

void winposix_act_nth(WinposixCall kind, int n, void (*action)(void *), void *context)
{
    if (kind < 0 || kind >= WINPOSIX_CALL_COUNT)
        return;
    std::lock_guard<std::mutex> guard(faults_lock);
    actions[kind] = PendingAction{n > 0 ? n : 0, action, context};
}

// The action due at this call, taken out of the table so that it runs once.
static PendingAction action_due(WinposixCall kind)
{
    std::lock_guard<std::mutex> guard(faults_lock);
    PendingAction &pending_action = actions[kind];
    if (pending_action.calls_left == 0 || --pending_action.calls_left > 0)
        return PendingAction{0, nullptr, nullptr};
    PendingAction due = pending_action;
    pending_action = PendingAction{0, nullptr, nullptr};
    return due;
}

// A pause is an action that tells the test it has arrived and waits for it;
// like every action it runs outside the lock, so that a signal handler's own
// calls still pass.
struct PausePipes {
    int ready_fd;
    int resume_fd;
};
static PausePipes pause_pipes[WINPOSIX_CALL_COUNT];

static void pause_here(void *context)
{
    const PausePipes *pipes = static_cast<const PausePipes *>(context);
    const char ready = 'p';
    while (write(pipes->ready_fd, &ready, 1) < 0 && errno == EINTR) {
    }
    char resume = 0;
    while (read(pipes->resume_fd, &resume, 1) < 0 && errno == EINTR) {
    }
}

void winposix_pause_nth(WinposixCall kind, int n, int ready_fd, int resume_fd)
{
    if (kind < 0 || kind >= WINPOSIX_CALL_COUNT)
        return;
    pause_pipes[kind] = PausePipes{ready_fd, resume_fd};
    winposix_act_nth(kind, n, pause_here, &pause_pipes[kind]);
}

bool winposix_fault_due(WinposixCall kind)
{
    PendingAction due = action_due(kind);
    if (due.action != nullptr)
        due.action(due.context);
    std::lock_guard<std::mutex> guard(faults_lock);
    PendingFault &fault = pending[kind];
    if (fault.calls_left == 0 || --fault.calls_left > 0)
        return false;
    SetLastError(fault.code);
    return true;
}
