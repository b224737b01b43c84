// Console control routines on signals, each case in a child process.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testutil.h"
#include "winposix.h"

namespace {

int events_seen;
DWORD last_event = 99;

BOOL handles(DWORD event)
{
    events_seen++;
    last_event = event;
    return TRUE;
}

BOOL declines(DWORD event)
{
    events_seen++;
    last_event = event;
    return FALSE;
}

enum Arrangement {
    NONE,
    HANDLES,
    DECLINES,
    HANDLES_THEN_REMOVED,
    IGNORE_CTRL_C,
    DECLINES_UNDER_HANDLES
};

// Runs in the child: sets up, raises the signal, and exits with the number of
// routine calls times 10 plus the last event, if the process survives.
[[noreturn]] void child(Arrangement setup, int sig)
{
    switch (setup) {
    case NONE: break;
    case HANDLES: SetConsoleCtrlHandler(handles, TRUE); break;
    case DECLINES: SetConsoleCtrlHandler(declines, TRUE); break;
    case HANDLES_THEN_REMOVED:
        SetConsoleCtrlHandler(handles, TRUE);
        SetConsoleCtrlHandler(handles, FALSE);
        if (SetConsoleCtrlHandler(handles, FALSE) || GetLastError() != ERROR_INVALID_PARAMETER)
            _exit(98);
        break;
    case IGNORE_CTRL_C: SetConsoleCtrlHandler(nullptr, TRUE); break;
    case DECLINES_UNDER_HANDLES:
        SetConsoleCtrlHandler(handles, TRUE);
        SetConsoleCtrlHandler(declines, TRUE);
        break;
    }
    raise(sig);
    _exit(events_seen * 10 + static_cast<int>(last_event == 99 ? 9 : last_event));
}

TEST(WinposixConsole, RoutinesOnSignals)
{
    struct {
        Arrangement setup;
        int sig;
        int killed_by;  // 0: survives
        int status;     // exit status when it survives
    } cases[] = {
        {NONE, SIGINT, SIGINT, 0},
        {HANDLES, SIGINT, 0, 10 + CTRL_C_EVENT},
        {DECLINES, SIGINT, SIGINT, 0},
        {HANDLES_THEN_REMOVED, SIGINT, SIGINT, 0},
        {IGNORE_CTRL_C, SIGINT, 0, 9},
        {IGNORE_CTRL_C, SIGTERM, SIGTERM, 0},
        {DECLINES_UNDER_HANDLES, SIGINT, 0, 20 + CTRL_C_EVENT},
        // The console closing ends the process even when a routine handled it.
        {HANDLES, SIGTERM, SIGTERM, 0},
        {HANDLES, SIGHUP, SIGHUP, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << "setup " << c.setup << " signal " << c.sig);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            child(c.setup, c.sig);
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        if (c.killed_by) {
            ASSERT_TRUE(WIFSIGNALED(status)) << status;
            EXPECT_EQ(c.killed_by, WTERMSIG(status));
        } else {
            ASSERT_TRUE(WIFEXITED(status)) << status;
            EXPECT_EQ(c.status, WEXITSTATUS(status));
        }
    }
}

}  // namespace
