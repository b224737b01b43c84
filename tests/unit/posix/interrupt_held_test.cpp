// An interrupt that comes at a file's replace waits until the file's change
// line is out: the child is held by the layer at the rename and interrupted
// there; it must go on to replace the file and print its line, and only
// then end by the signal.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dravick.h"
#include "held_child.h"
#include "run_program.h"
#include "testutil.h"

class InterruptHeld : public TempDirTest {};

TEST_F(InterruptHeld, AtTheReplaceWaitsForTheLine)
{
    write_file("a.txt", "one\ntwo\n");
    int report[2];
    ASSERT_EQ(0, pipe(report));
    HeldChild child;
    held_child_start(&child, WINPOSIX_CALL_RENAME, [&] {
        close(report[0]);
        dup2(report[1], 1);
        FileInfo info = {};
        std::string p = path("a.txt");
        fs_stat(p.c_str(), &info);
        convert_file(p.c_str(), p.c_str(), &info);
    });
    close(report[1]);
    bool arrived = held_child_arrived(&child);
    EXPECT_TRUE(arrived) << "the child never came to its replace";
    if (arrived)
        kill(child.pid, SIGINT);
    held_child_release(&child);
    std::string out;
    char chunk[256];
    for (ssize_t n; (n = read(report[0], chunk, sizeof chunk)) > 0;)
        out.append(chunk, static_cast<size_t>(n));
    close(report[0]);
    int status = held_child_finish(&child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(printed_line(path("a.txt") + " change in size 2"), out);
    EXPECT_EQ("one\r\ntwo\r\n", read_file("a.txt"));
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, list_dir(""));
}
