// A child process that the POSIX layer holds at one of its calls, so that a
// test can act on the files (or interrupt the child) while it waits there.
#ifndef TESTS_HELD_CHILD_H
#define TESTS_HELD_CHILD_H

#include <sys/types.h>

#include <functional>

#include "winposix.h"

struct HeldChild {
    pid_t pid;
    int ready;   // a byte comes here once the child is held
    int resume;  // closed to let it go on (then -1)
};

// Forks a child that is held at its first call of `kind` and runs `body`,
// then ends with status 0. Fails the test when the fork fails.
void held_child_start(HeldChild *child, WinposixCall kind, const std::function<void()> &body);
// The same, held at its n-th call of `kind`.
void held_child_start_at(HeldChild *child, WinposixCall kind, int n, const std::function<void()> &body);

// Waits until the child is held there; false if it ended without coming
// to the call.
bool held_child_arrived(HeldChild *child);

// Lets the child go on from the call.
void held_child_release(HeldChild *child);

// Lets the child go on, if it was not let go yet, and returns its wait
// status once it has ended.
int held_child_finish(HeldChild *child);

#endif
