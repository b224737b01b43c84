// A walk's files replaced in batches: a walk interrupted at every stage of a
// batch leaves no temporary file and a report that names exactly the files
// replaced, in order; one file's failed flush is its failure alone; errors
// and notices keep their place in the report; a folder renamed while its
// files wait for their replace keeps them where they were listed.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "dravick.h"
#include "held_child.h"
#include "run_program.h"
#include "testutil.h"

namespace fs = std::filesystem;

namespace {

const char *const kFiles[] = {"d1/a.txt", "d1/b.txt", "d2/c.txt", "d2/d.txt"};

}  // namespace

class Batch : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        make_dir("d1");
        make_dir("d2");
        for (const char *name : kFiles)
            write_file(name, "one\ntwo\n");
    }

    // The line the walk prints for a file it replaced.
    std::string line(const std::string &rel) const
    {
        return printed_line(walked_path(dir(), rel) + " change in size 2");
    }

    // Walks the folder in a child held at the n-th call of `kind`, where
    // `meanwhile` runs; standard output and error both go to the report the
    // test reads, so that their order shows. Returns the child's wait status.
    int walk_held_at(WinposixCall kind, int n, const std::function<void(pid_t)> &meanwhile, std::string *report)
    {
        int pipe_fds[2];
        EXPECT_EQ(0, pipe(pipe_fds));
        HeldChild child;
        held_child_start_at(&child, kind, n, [&] {
            close(pipe_fds[0]);
            dup2(pipe_fds[1], 1);
            dup2(pipe_fds[1], 2);
            char buffer[FS_MAX_PATH];
            snprintf(buffer, sizeof buffer, "%s", dir().c_str());
            report_error(walk_tree(buffer, FS_MAX_PATH, "*.*"));
            fflush(stdout);
        });
        close(pipe_fds[1]);
        bool arrived = held_child_arrived(&child);
        EXPECT_TRUE(arrived) << "the child never came to the call";
        if (arrived)
            meanwhile(child.pid);
        held_child_release(&child);
        char chunk[512];
        for (ssize_t got; (got = read(pipe_fds[0], chunk, sizeof chunk)) > 0;)
            report->append(chunk, static_cast<size_t>(got));
        close(pipe_fds[0]);
        return held_child_finish(&child);
    }

    // Every file holds its old or its new content as the report says, and
    // no temporary file is left.
    void expect_replaced(const std::vector<std::string> &replaced, const std::string &report)
    {
        std::string lines;
        for (const std::string &rel : replaced)
            lines += line(rel);
        EXPECT_EQ(lines, report);
        for (const char *name : kFiles) {
            bool is_replaced = std::find(replaced.begin(), replaced.end(), name) != replaced.end();
            EXPECT_EQ(is_replaced ? "one\r\ntwo\r\n" : "one\ntwo\n", read_file(name)) << name;
        }
        EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), list_dir("d1"));
        EXPECT_EQ((std::vector<std::string>{"c.txt", "d.txt"}), list_dir("d2"));
    }
};

// While the third file is written, the first two waiting; while the second
// is flushed, all four written; at the third one's replace, which holds the
// interrupt until its line is out.
TEST_F(Batch, InterruptedAtEveryStage)
{
    const struct {
        const char *stage;
        WinposixCall call;
        int n;
        std::vector<std::string> replaced;
    } cases[] = {
        {"writing", WINPOSIX_CALL_WRITE, 3, {}},
        {"flushing", WINPOSIX_CALL_FLUSH, 2, {}},
        {"between replaces", WINPOSIX_CALL_RENAME, 3, {"d1/a.txt", "d1/b.txt", "d2/c.txt"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stage);
        for (const char *name : kFiles)
            write_file(name, "one\ntwo\n");
        std::string report;
        int status = walk_held_at(c.call, c.n, [](pid_t pid) { kill(pid, SIGTERM); }, &report);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
        expect_replaced(c.replaced, report);
    }
}

// The second file's flush fails: that file keeps its old content and its
// error stands in its place; the others are replaced.
TEST_F(Batch, FailedFlushFailsThatFileAlone)
{
    winposix_fail_nth(WINPOSIX_CALL_FLUSH, 2, ERROR_DISK_FULL);
    char buffer[FS_MAX_PATH];
    snprintf(buffer, sizeof buffer, "%s", dir().c_str());
    testing::internal::CaptureStdout();
    report_error(walk_tree(buffer, FS_MAX_PATH, "*.*"));
    std::string report = testing::internal::GetCapturedStdout();
    winposix_fail_reset();
    std::string b_error = printed_line("There is not enough space on the disk.") +
                          printed_line("(FlushFileBuffers) (112) (" + walked_path(dir(), "d1/b.txt") + ")");
    EXPECT_EQ(line("d1/a.txt") + b_error + line("d2/c.txt") + line("d2/d.txt"), report);
    EXPECT_EQ("one\ntwo\n", read_file("d1/b.txt"));
    EXPECT_EQ("one\r\ntwo\r\n", read_file("d2/d.txt"));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), list_dir("d1"));
}

// An error and a notice between waiting files come out in the walk's order.
TEST_F(Batch, ErrorsAndNoticesKeepTheirPlace)
{
    write_file("d1/b.txt", "one\ntwo\n");
    test_set_readonly(path("d1/b.txt"), true);
    fs::create_symlink(path("d2/d.txt"), path("d2/c2.txt"));
    std::string report;
    int status = walk_held_at(WINPOSIX_CALL_RENAME, 1, [](pid_t) {}, &report);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::string b_error = printed_line("Access is denied.") +
                          printed_line("(CreateFile) (5) (" + walked_path(dir(), "d1/b.txt") + ")");
    std::string notice = printed_line(walked_path(dir(), "d2/c2.txt") + ": link not followed");
    EXPECT_EQ(line("d1/a.txt") + b_error + line("d2/c.txt") + notice + line("d2/d.txt"), report);
    test_set_readonly(path("d1/b.txt"), false);
}

// All four written and waiting, d1 is renamed away and another folder put
// in its place: d1's files are replaced where they were listed, in the
// folder moved, and nothing is made in the new one.
TEST_F(Batch, FolderRenamedWhileItsFilesWait)
{
    std::string report;
    int status = walk_held_at(WINPOSIX_CALL_FLUSH, 1, [&](pid_t) {
        fs::rename(path("d1"), path("moved"));
        make_dir("d1");
        write_file("d1/a.txt", "planted\n");
    }, &report);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(line("d1/a.txt") + line("d1/b.txt") + line("d2/c.txt") + line("d2/d.txt"), report);
    EXPECT_EQ("one\r\ntwo\r\n", read_file("moved/a.txt"));
    EXPECT_EQ("one\r\ntwo\r\n", read_file("moved/b.txt"));
    EXPECT_EQ("planted\n", read_file("d1/a.txt"));
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, list_dir("d1"));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), list_dir("moved"));
}
