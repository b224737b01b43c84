// On Windows a console control routine runs in a thread of its own while
// the program goes on. A routine of ours, called before the others, waits
// there until the hold ends; it then lets the event go on to the other
// routines and the default handling, which end the process. The program's
// thread, at the release, waits for that end instead of going on to the
// next file.
#include <atomic>

#include "fslib.h"
#include "interrupts.h"

static std::atomic<int> depth;
static std::atomic<int> pending;

static BOOL WINAPI wait_for_release(DWORD event)
{
    (void)event;
    pending = 1;
    while (depth > 0)
        Sleep(1);
    return FALSE;
}

void interrupts_hold(void)
{
    if (depth > 0) {
        depth++;
        return;
    }
    // Routines are called the last added first: added again, ours comes
    // before any the write-back added since.
    SetConsoleCtrlHandler(wait_for_release, FALSE);
    SetConsoleCtrlHandler(wait_for_release, TRUE);
    depth = 1;
}

void interrupts_release(void)
{
    if (depth == 0 || --depth > 0)
        return;
    if (pending)
        for (;;)
            Sleep(INFINITE);
}
