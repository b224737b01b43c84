// On POSIX the console control routines run in a signal handler on the one
// thread, which cannot wait for the work it interrupted. The signals are
// blocked instead: one that comes meanwhile stays pending and is delivered
// when they are unblocked, so the routines run there.
#include <signal.h>

#include "fslib.h"
#include "interrupts.h"

static int depth;
static sigset_t before;

void interrupts_hold(void)
{
    if (depth++ > 0)
        return;
    sigset_t set;
    winposix_interrupt_signals(&set);
    sigprocmask(SIG_BLOCK, &set, &before);
}

void interrupts_release(void)
{
    if (depth == 0 || --depth > 0)
        return;
    sigprocmask(SIG_SETMASK, &before, nullptr);
}
