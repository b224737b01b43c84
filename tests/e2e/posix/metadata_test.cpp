// What a converted file keeps on POSIX: links, mode bits, owner and group.
#include <sys/stat.h>
#include <unistd.h>

#include <stdio.h>

#include <filesystem>

#include "e2e.h"

namespace fs = std::filesystem;

static std::string octal(mode_t mode)
{
    char text[16];
    snprintf(text, sizeof text, "0%o", static_cast<unsigned>(mode));
    return text;
}

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
    // The plain permission bits every POSIX file system sets for the owner;
    // the set-id and sticky bits only where the system keeps them.
    const mode_t plain[] = {0600, 0640, 0755, 0604, 0644};
    const mode_t special[] = {02750, 04755, 01644};
    std::vector<mode_t> modes(plain, plain + sizeof plain / sizeof plain[0]);
    std::string not_kept;
    for (mode_t mode : special) {
        write_file("probe", "");
        ASSERT_EQ(0, chmod(path("probe").c_str(), mode));
        if ((status_of("probe").st_mode & 07777) == mode)
            modes.push_back(mode);
        else
            not_kept += " " + octal(mode);
        fs::remove(path("probe"));
    }
    for (mode_t mode : modes) {
        write_file("m.txt", "m\n");
        ASSERT_EQ(0, chmod(path("m.txt").c_str(), mode));
        ASSERT_EQ(mode, status_of("m.txt").st_mode & 07777) << std::oct << mode;
        run(path("m.txt"));
        EXPECT_EQ("m\r\n", read_file("m.txt"));
        EXPECT_EQ(mode, status_of("m.txt").st_mode & 07777) << std::oct << mode;
    }
    if (!not_kept.empty())
        GTEST_SKIP() << "the plain bits were checked; this file system does not keep the modes"
                     << not_kept;
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
