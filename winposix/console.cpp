// Console control routines over POSIX signals: SIGINT is Ctrl+C; every
// other signal that would end the process from outside it (SIGTERM, SIGHUP,
// SIGQUIT, a full pipe's SIGPIPE, SIGABRT and the rest) stands for the
// console closing. Routines run in the signal handler, the last registered
// first, until one returns TRUE; they should do only what is safe there
// (DeleteFileA is). Ctrl+C then goes on if a routine handled it; otherwise,
// and always for a close, the signal is raised again with its default
// action, so the process ends as it would have without routines. Faults of
// the program itself (SIGSEGV and its kin) and SIGIO, which a lease's break
// raises (leases.cpp), are not among them.
#include <errno.h>
#include <signal.h>

#include "internal.h"

static const int kMaxRoutines = 32;
// Ends the process; SIGPIPE and SIGABRT come from the process's own calls
// and are not held off with the others.
static const int kHeldSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1, SIGUSR2,
                                   SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF, SIGPWR,  SIGSTKFLT};
static const int kOwnSignals[] = {SIGPIPE, SIGABRT};

void winposix_interrupt_signals(sigset_t *set)
{
    sigemptyset(set);
    for (int sig : kHeldSignals)
        sigaddset(set, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        sigaddset(set, sig);
}

static void handled_signals(sigset_t *set)
{
    winposix_interrupt_signals(set);
    for (int sig : kOwnSignals)
        sigaddset(set, sig);
}

static PHANDLER_ROUTINE routines[kMaxRoutines];
static volatile sig_atomic_t routine_count;
static volatile sig_atomic_t ignore_ctrl_c;
static bool installed;

static void end_by_default(int sig)
{
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    // Blocked while this handler runs: delivered, and fatal, when it returns.
    raise(sig);
}

static void on_signal(int sig)
{
    int saved_errno = errno;
    DWORD saved_error = GetLastError();
    DWORD event = sig == SIGINT ? CTRL_C_EVENT : CTRL_CLOSE_EVENT;
    bool handled = sig == SIGINT && ignore_ctrl_c;
    for (int i = routine_count - 1; i >= 0 && !handled; i--)
        handled = routines[i](event) != FALSE;
    if (!handled || event == CTRL_CLOSE_EVENT)
        end_by_default(sig);
    SetLastError(saved_error);
    errno = saved_errno;
}

static void block_signals(sigset_t *old)
{
    sigset_t set;
    handled_signals(&set);
    sigprocmask(SIG_BLOCK, &set, old);
}

// Installs the handler once; a signal the process was told to ignore (as
// nohup does) stays ignored.
static void install(void)
{
    if (installed)
        return;
    installed = true;
    struct sigaction action = {};
    action.sa_handler = on_signal;
    action.sa_flags = SA_RESTART;
    handled_signals(&action.sa_mask);
    for (int sig = 1; sig < NSIG; sig++) {
        struct sigaction old;
        if (!sigismember(&action.sa_mask, sig) || sigaction(sig, nullptr, &old) != 0 ||
            old.sa_handler == SIG_IGN)
            continue;
        sigaction(sig, &action, nullptr);
    }
}

static BOOL add_routine(PHANDLER_ROUTINE handler)
{
    if (routine_count >= kMaxRoutines)
        return winposix_fail(ERROR_NOT_ENOUGH_MEMORY);
    routines[routine_count] = handler;
    routine_count = routine_count + 1;
    return TRUE;
}

static BOOL remove_routine(PHANDLER_ROUTINE handler)
{
    for (int i = routine_count - 1; i >= 0; i--) {
        if (routines[i] != handler)
            continue;
        for (int j = i; j + 1 < routine_count; j++)
            routines[j] = routines[j + 1];
        routine_count = routine_count - 1;
        return TRUE;
    }
    return winposix_fail(ERROR_INVALID_PARAMETER);
}

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    sigset_t old;
    block_signals(&old);
    install();
    BOOL ok = TRUE;
    if (!handler)
        ignore_ctrl_c = add ? 1 : 0;
    else
        ok = add ? add_routine(handler) : remove_routine(handler);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return ok;
}
