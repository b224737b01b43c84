// An interrupt that comes at a file's replace waits until the file's change
// line is out: the child is held by the layer at the rename and interrupted
// there; it must go on to replace the file and print its line, and only
// then end by the signal.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dravick.h"
#include "testutil.h"

class InterruptHeld : public TempDirTest {};

TEST_F(InterruptHeld, AtTheReplaceWaitsForTheLine)
{
    write_file("a.txt", "one\ntwo\n");
    int ready[2], resume[2], report[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(resume));
    ASSERT_EQ(0, pipe(report));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        close(resume[1]);
        close(report[0]);
        dup2(report[1], 1);
        winposix_pause_nth(WINPOSIX_CALL_RENAME, 1, ready[1], resume[0]);
        FileInfo info = {};
        std::string p = path("a.txt");
        fs_stat(p.c_str(), &info);
        convert_file(p.c_str(), p.c_str(), &info);
        _exit(0);
    }
    close(ready[1]);
    close(resume[0]);
    close(report[1]);
    char byte = 0;
    ssize_t got = read(ready[0], &byte, 1);
    close(ready[0]);
    EXPECT_EQ(1, got) << "the child never came to its replace";
    if (got == 1)
        kill(child, SIGINT);
    close(resume[1]);
    std::string out;
    char chunk[256];
    for (ssize_t n; (n = read(report[0], chunk, sizeof chunk)) > 0;)
        out.append(chunk, static_cast<size_t>(n));
    close(report[0]);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(path("a.txt") + " change in size 2\r\n", out);
    EXPECT_EQ("one\r\ntwo\r\n", read_file("a.txt"));
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, list_dir(""));
}
