// A walked tree with a link to a file outside it and a FIFO that a writer
// holds open, and the FIFO given as the argument. The tool runs under a
// time limit, so that a walk that blocks fails instead of hanging the test.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "e2e.h"

namespace fs = std::filesystem;

class HostileTreePosix : public TempDirTest {
protected:
    void run_limited(const std::string &argument, std::string *out, std::string *err)
    {
        int status = -1;
        ASSERT_TRUE(run_program("/usr/bin/timeout", {"20", DRAVICK_EXE, argument}, out, err, &status));
        EXPECT_EQ(status_for(*out), status) << "124: the tool blocked";
    }
};

TEST_F(HostileTreePosix, FileLinksAndFifosAreNotOpened)
{
    write_file("passwd", "root\n");
    make_dir("tree");
    write_file("tree/b.txt", "b\n");
    fs::create_symlink(path("passwd"), path("tree/evil.txt"));
    ASSERT_EQ(0, mkfifo(path("tree/a.txt").c_str(), 0600));
    int writer = open(path("tree/a.txt").c_str(), O_RDWR);
    ASSERT_LE(0, writer);

    std::string out, err;
    std::string tree = path("tree");
    run_limited(tree, &out, &err);
    EXPECT_EQ(change_line(walked_path(tree, "b.txt"), 1), out);
    EXPECT_EQ(printed_line(walked_path(tree, "a.txt") + ": not a regular file, skipped") +
                  printed_line(walked_path(tree, "evil.txt") + ": link not followed"),
              err);
    EXPECT_EQ("root\n", read_file("passwd"));
    EXPECT_TRUE(fs::is_symlink(path("tree/evil.txt")));

    // Named by the user, the FIFO is refused with an error, still unopened.
    run_limited(path("tree/a.txt"), &out, &err);
    close(writer);
    EXPECT_EQ("", err);
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(1u, errors.size()) << out;
    EXPECT_EQ(50, errors[0].code);
    EXPECT_EQ(path("tree/a.txt"), errors[0].details);
    EXPECT_EQ(0u, out.find(printed_line("The request is not supported.")));
}

// A system without /proc (a chroot, a small container): the walk needs no
// path of an open file, and converts. The tool runs in a mount namespace of
// its own whose /proc is an empty folder.
TEST_F(HostileTreePosix, ConvertsWithoutProc)
{
    make_dir("tree");
    write_file("tree/a.txt", "a\n");
    std::string out, err;
    int status = -1;
    std::string script = "mount -t tmpfs none /proc && test ! -e /proc/self && exec \"$0\" \"$1\"";
    ASSERT_TRUE(run_program("/usr/bin/unshare", {"--mount", "--propagation", "private", "/bin/sh", "-c", script,
                                                  DRAVICK_EXE, path("tree")},
                            &out, &err, &status));
    if (status != 0 && out.empty())
        GTEST_SKIP() << "no mount namespace to hide /proc in: " << err;
    EXPECT_EQ(change_line(walked_path(path("tree"), "a.txt"), 1), out);
    EXPECT_EQ("a\r\n", read_file("tree/a.txt"));
}
