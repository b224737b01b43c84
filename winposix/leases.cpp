// Share modes over Linux leases. Windows refuses to open a file for
// deletion while another program holds it open without sharing that, and
// refuses other writers while such a handle is open. POSIX keeps no share
// modes, but Linux can tell: a write lease is granted only while no other
// descriptor is open on the file, and another open while it is held breaks
// it. The opener is made to wait until the lease is given up, and we are
// told by a signal; the handler gives the lease up at once, so the other
// program goes on, and the lease's state says from then on that someone
// else has the file.
//
// The table takes no memory from the heap and no lock, as its reader is a
// signal handler; a stale entry costs at most a failed fcntl.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "internal.h"

static const int kMaxLeases = 256;
static volatile int lease_fds[kMaxLeases];
static bool handler_installed;

// Gives up every lease of ours that another open is breaking.
static void on_lease_break(int sig)
{
    (void)sig;
    int saved_errno = errno;
    for (int i = 0; i < kMaxLeases; i++) {
        int fd = lease_fds[i] - 1;
        if (fd >= 0 && fcntl(fd, F_GETLEASE) != F_WRLCK)
            fcntl(fd, F_SETLEASE, F_UNLCK);
    }
    errno = saved_errno;
}

// The break's signal would otherwise end the process.
static void install_handler(void)
{
    if (handler_installed)
        return;
    handler_installed = true;
    struct sigaction action = {};
    action.sa_handler = on_lease_break;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGIO, &action, nullptr);
}

void winposix_lease_watch(int fd)
{
    for (int i = 0; i < kMaxLeases; i++) {
        if (lease_fds[i] == 0) {
            lease_fds[i] = fd + 1;
            return;
        }
    }
}

void winposix_lease_forget(int fd)
{
    for (int i = 0; i < kMaxLeases; i++) {
        if (lease_fds[i] == fd + 1)
            lease_fds[i] = 0;
    }
}

WinposixLease winposix_lease_take(int fd)
{
    install_handler();
    if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        winposix_lease_watch(fd);
        return WINPOSIX_LEASE_HELD;
    }
    // Another descriptor is open on the file. Anything else (not the
    // owner, a file system without leases) leaves us without one.
    return errno == EAGAIN ? WINPOSIX_LEASE_REFUSED : WINPOSIX_LEASE_NONE;
}

bool winposix_lease_broken(int fd) { return fcntl(fd, F_GETLEASE) != F_WRLCK; }
