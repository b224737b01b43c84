#include "held_child.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

void held_child_start(HeldChild *child, WinposixCall kind, const std::function<void()> &body)
{
    held_child_start_at(child, kind, 1, body);
}

void held_child_start_at(HeldChild *child, WinposixCall kind, int n, const std::function<void()> &body)
{
    int ready[2], resume[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(resume));
    child->pid = fork();
    ASSERT_GE(child->pid, 0);
    if (child->pid == 0) {
        close(ready[0]);
        close(resume[1]);
        winposix_pause_nth(kind, n, ready[1], resume[0]);
        body();
        _exit(0);
    }
    close(ready[1]);
    close(resume[0]);
    child->ready = ready[0];
    child->resume = resume[1];
}

bool held_child_arrived(HeldChild *child)
{
    char byte = 0;
    ssize_t got = read(child->ready, &byte, 1);
    close(child->ready);
    return got == 1;
}

void held_child_release(HeldChild *child)
{
    if (child->resume >= 0)
        close(child->resume);
    child->resume = -1;
}

int held_child_finish(HeldChild *child)
{
    held_child_release(child);  // a child that outlives a signal goes on and ends
    int status = 0;
    EXPECT_EQ(child->pid, waitpid(child->pid, &status, 0));
    return status;
}
