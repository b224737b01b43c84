// Where the report goes, when it cannot be written, and what names in it
// may hold.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "e2e.h"

extern char **environ;

class ReportStream : public ToolRunTest {
protected:
    void make_tree(int files)
    {
        make_dir("tree");
        for (int i = 0; i < files; i++)
            write_file("tree/f" + std::to_string(100 + i) + ".txt", "line\n");
        remember();
    }
};

// Standard output on a full device: said once on standard error, status 2,
// the run stops, and every file is whole.
TEST_F(ReportStream, ReportThatCannotBeWrittenStopsTheRun)
{
    make_tree(5);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
    std::string err;
    int status = -1;
    std::string tree = path("tree");
    int err_pipe[2];
    ASSERT_EQ(0, pipe(err_pipe));
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
    char *argv[] = {const_cast<char *>(DRAVICK_EXE), const_cast<char *>(tree.c_str()), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(0, posix_spawn(&pid, DRAVICK_EXE, &actions, nullptr, argv, environ));
    posix_spawn_file_actions_destroy(&actions);
    close(err_pipe[1]);
    char chunk[512];
    for (ssize_t n; (n = read(err_pipe[0], chunk, sizeof chunk)) > 0;)
        err.append(chunk, static_cast<size_t>(n));
    close(err_pipe[0]);
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_EQ(printed_line("standard output: cannot be written, run stopped"), err);
    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(1u, o.converted.size());
}

// A reader that goes away ends the run with SIGPIPE at a line's end.
TEST_F(ReportStream, ReaderThatGoesAwayEndsTheRunAtALine)
{
    make_tree(300);
    std::string out, err;
    int status = -1;
    ASSERT_TRUE(run_program("/bin/bash", {"-c", "\"$0\" \"$1\" | head -n 3; exit ${PIPESTATUS[0]}", DRAVICK_EXE, path("tree")},
                            &out, &err, &status));
    std::string tree = path("tree");
    EXPECT_EQ(change_line(walked_path(tree, "f100.txt"), 1) + change_line(walked_path(tree, "f101.txt"), 1) +
                  change_line(walked_path(tree, "f102.txt"), 1),
              out);
    EXPECT_EQ(128 + SIGPIPE, status);
    expect_nothing_lost_or_left(outcome());
}

// Control bytes in names show as '?' wherever a name is printed: change
// lines, error texts (whose message keeps its own line break) and the
// notices on standard error. Every line stands for one file or one error.
// So do C1 controls (U+009B starts an escape sequence as ESC [ does) and
// bytes that are not part of valid UTF-8 (a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate); valid UTF-8 is shown
// as it is.
TEST_F(ReportStream, ControlBytesInNamesAreShownAsQuestionMarks)
{
    make_dir("tree");
    write_file("tree/a\r\nfake.txt change in size 9.txt", "x\n");
    write_file("tree/b\x1b[2J\x7f.txt", "x\n");
    write_file("tree/c\t\x01.txt", "x\n");
    write_file("tree/d\n.txt", "x\n");
    test_set_readonly(path("tree/d\n.txt"), true);
    std::filesystem::create_symlink("c\t\x01.txt", test_fs_path(path("tree/e\x1b.txt")));
    write_file("tree/f\xc2\x9b" "2J\xc2\x85.txt", "x\n");
    write_file("tree/g\xff\x80\xc3.txt", "x\n");
    write_file("tree/h\xe2\x80.txt", "x\n");
    write_file("tree/i\xc0\xaf\xed\xa0\x80\xe0\x80\xaf\xf4\x90\x80\x80.txt", "x\n");
    write_file("tree/j\xc3\xa9\xe6\xbc\xa2\xf0\x9f\x98\x80\xc2\xa0.txt", "x\n");
    std::string out, err;
    int status = -1;
    run_tool({path("tree")}, &out, &err, &status);
    EXPECT_EQ(2, status);
    std::string tree = path("tree");
    EXPECT_EQ(change_line(walked_path(tree, "a??fake.txt change in size 9.txt"), 1) +
                  change_line(walked_path(tree, "b?[2J?.txt"), 1) + change_line(walked_path(tree, "c??.txt"), 1) +
                  printed_line("Access is denied.") +
                  printed_line("(CreateFile) (5) (" + walked_path(tree, "d?.txt") + ")") +
                  change_line(walked_path(tree, "f?2J?.txt"), 1) + change_line(walked_path(tree, "g???.txt"), 1) +
                  change_line(walked_path(tree, "h??.txt"), 1) + change_line(walked_path(tree, "i????????????.txt"), 1) +
                  change_line(walked_path(tree, "j\xc3\xa9\xe6\xbc\xa2\xf0\x9f\x98\x80\xc2\xa0.txt"), 1),
              out);
    EXPECT_EQ(printed_line(walked_path(tree, "e?.txt") + ": link not followed"), err);
}
