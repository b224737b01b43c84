// What a converted file keeps on POSIX: links, mode bits, owner and group.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "e2e.h"

namespace fs = std::filesystem;

class KeepsMetadata : public TempDirTest {
protected:
    std::string run(const std::string &argument) { return run_tool_ok(argument, false); }

    struct stat status_of(const std::string &rel) const
    {
        struct stat st = {};
        EXPECT_EQ(0, lstat(path(rel).c_str(), &st)) << rel;
        return st;
    }
};

TEST_F(KeepsMetadata, HardLinksStayOneFile)
{
    write_file("a.txt", "one\ntwo\n");
    fs::create_hard_link(path("a.txt"), path("b.txt"));
    ino_t inode = status_of("a.txt").st_ino;
    EXPECT_EQ(change_line(path("a.txt"), 2), run(path("a.txt")));
    EXPECT_EQ("one\r\ntwo\r\n", read_file("a.txt"));
    EXPECT_EQ("one\r\ntwo\r\n", read_file("b.txt"));
    EXPECT_EQ(inode, status_of("a.txt").st_ino);
    EXPECT_EQ(2u, status_of("b.txt").st_nlink);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt"}), list_dir(""));
}

TEST_F(KeepsMetadata, SymbolicLinkStaysALink)
{
    make_dir("real");
    write_file("real/t.txt", "t\n");
    test_set_mtime(path("real/t.txt"), kSampleTime);
    fs::create_symlink(path("real/t.txt"), path("link.txt"));
    EXPECT_EQ(change_line(path("link.txt"), 1), run(path("link.txt")));
    EXPECT_TRUE(fs::is_symlink(path("link.txt")));
    EXPECT_EQ("t\r\n", read_file("real/t.txt"));
    EXPECT_EQ(to_centisecond(kSampleTime), test_get_mtime(path("real/t.txt")));
    EXPECT_EQ(std::vector<std::string>{"t.txt"}, list_dir("real"));
}

TEST_F(KeepsMetadata, ModeBitsSurvive)
{
    const mode_t modes[] = {0600, 0640, 0755, 0604, 02750, 04755, 01644};
    for (mode_t mode : modes) {
        write_file("m.txt", "m\n");
        ASSERT_EQ(0, chmod(path("m.txt").c_str(), mode));
        if ((status_of("m.txt").st_mode & 07777) != mode)
            continue;  // the system would not set these bits here
        run(path("m.txt"));
        EXPECT_EQ("m\r\n", read_file("m.txt"));
        EXPECT_EQ(mode, status_of("m.txt").st_mode & 07777) << std::oct << mode;
    }
}

TEST_F(KeepsMetadata, OwnerAndGroupSurviveWhereTheyCanBeSet)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a file away";
    write_file("o.txt", "o\n");
    ASSERT_EQ(0, chown(path("o.txt").c_str(), 1234, 5678));
    ASSERT_EQ(0, chmod(path("o.txt").c_str(), 06755));
    run(path("o.txt"));
    struct stat st = status_of("o.txt");
    EXPECT_EQ(1234u, st.st_uid);
    EXPECT_EQ(5678u, st.st_gid);
    EXPECT_EQ(06755u, st.st_mode & 07777);
}

TEST_F(KeepsMetadata, UnchangedFileIsNotTouched)
{
    write_file("c.txt", "crlf\r\n");
    ino_t inode = status_of("c.txt").st_ino;
    struct stat before = status_of("c.txt");
    EXPECT_EQ("", run(path("c.txt")));
    struct stat after = status_of("c.txt");
    EXPECT_EQ(inode, after.st_ino);
    EXPECT_EQ(before.st_ctim.tv_sec, after.st_ctim.tv_sec);
    EXPECT_EQ(before.st_ctim.tv_nsec, after.st_ctim.tv_nsec);
}
