// What a converted file keeps on POSIX: links, mode bits, owner and group.
#include <sys/stat.h>
#include <sys/xattr.h>
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

// A file with a second name, here outside the tree walked, is replaced like
// any other: the name walked gets the new file, the other name keeps the old
// content and time, and nothing is written through it. Standard error says
// so.
TEST_F(KeepsMetadata, HardLinkedFileIsReplacedAndItsOtherNameKept)
{
    make_dir("tree");
    make_dir("outside");
    write_file("outside/b.txt", "one\ntwo\n");
    test_set_mtime(path("outside/b.txt"), kSampleTime);
    fs::create_hard_link(path("outside/b.txt"), path("tree/a.txt"));
    ino_t inode = status_of("outside/b.txt").st_ino;
    std::string out, err;
    int status = -1;
    ASSERT_TRUE(run_program(DRAVICK_EXE, {path("tree")}, &out, &err, &status));
    EXPECT_EQ(0, status);
    EXPECT_EQ(change_line(walked_path(path("tree"), "a.txt"), 2), out);
    EXPECT_EQ(printed_line(walked_path(path("tree"), "a.txt") + ": hard link broken, its other names keep the old content"),
              err);
    EXPECT_EQ("one\r\ntwo\r\n", read_file("tree/a.txt"));
    EXPECT_EQ("one\ntwo\n", read_file("outside/b.txt"));
    EXPECT_EQ(to_centisecond(kSampleTime), test_get_mtime(path("tree/a.txt")));
    EXPECT_EQ(kSampleTime, test_get_mtime(path("outside/b.txt")));
    EXPECT_EQ(inode, status_of("outside/b.txt").st_ino);
    EXPECT_EQ(1u, status_of("outside/b.txt").st_nlink);
    EXPECT_EQ(1u, status_of("tree/a.txt").st_nlink);
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, list_dir("tree"));
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

// Run by another user, a file whose owner or group that user cannot give
// the new file is left as it is, with an error that says which: converted,
// it would belong to the user who ran the tool. Where both can be kept it is
// converted. Needs root to set the tree up and setpriv to drop to 65534.
TEST_F(KeepsMetadata, OwnerOrGroupThatCannotBeKeptIsRefused)
{
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root and setpriv to run the tool as another user";
    const struct {
        const char *groups;
        uid_t uid;
        gid_t gid;
        long long code;  // 0: converted
    } cases[] = {
        {"--groups=2000", 0, 0, 1307},         // root's file, writable by all
        {"--groups=2000", 1234, 2000, 1307},   // another user's, in a group of ours
        {"--clear-groups", 65534, 2000, 1308}, // ours, in a group we are not in
        {"--groups=2000", 65534, 2000, 0},     // ours, in a group of ours
    };
    ASSERT_EQ(0, chmod(dir().c_str(), 0777));
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.groups) + " " + std::to_string(c.uid) + ":" + std::to_string(c.gid));
        write_file("g.txt", "g\n");
        ASSERT_EQ(0, chown(path("g.txt").c_str(), c.uid, c.gid));
        ASSERT_EQ(0, chmod(path("g.txt").c_str(), 0666));
        std::string out, err;
        int status = -1;
        ASSERT_TRUE(run_program("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", c.groups, DRAVICK_EXE,
                                                     path("g.txt")},
                                &out, &err, &status));
        struct stat st = status_of("g.txt");
        EXPECT_EQ(c.uid, st.st_uid);
        EXPECT_EQ(c.gid, st.st_gid);
        EXPECT_EQ(0666u, st.st_mode & 07777);
        EXPECT_EQ((std::vector<std::string>{"g.txt"}), list_dir(""));
        if (c.code == 0) {
            EXPECT_EQ(change_line(path("g.txt"), 1), out) << err;
            EXPECT_EQ("g\r\n", read_file("g.txt"));
            EXPECT_EQ(0, status);
        } else {
            std::vector<ErrorLine> errors = error_lines(out);
            ASSERT_EQ(1u, errors.size()) << out;
            EXPECT_EQ(c.code, errors[0].code) << out;
            EXPECT_EQ(path("g.txt"), errors[0].details);
            EXPECT_EQ("g\n", read_file("g.txt"));
            EXPECT_EQ(2, status);
        }
        fs::remove(path("g.txt"));
    }
}

namespace {

// A POSIX access ACL in the kernel's form: user::rw- user:65534:rw-
// group::r-- mask::rw- other::r--.
std::string access_acl()
{
    struct Entry {
        uint16_t tag, perm;
        uint32_t id;
    } entries[] = {{0x01, 6, 0xFFFFFFFFu}, {0x02, 6, 65534}, {0x04, 4, 0xFFFFFFFFu},
                   {0x10, 6, 0xFFFFFFFFu}, {0x20, 4, 0xFFFFFFFFu}};
    uint32_t version = 2;
    std::string acl(reinterpret_cast<const char *>(&version), sizeof version);
    acl.append(reinterpret_cast<const char *>(entries), sizeof entries);
    return acl;
}

std::string xattr_of(const std::string &path, const char *name)
{
    char value[256];
    ssize_t size = getxattr(path.c_str(), name, value, sizeof value);
    return size < 0 ? std::string() : std::string(value, static_cast<size_t>(size));
}

}  // namespace

// An ACL and a user attribute are carried onto the new file, and the mode
// with them: the ACL's named user keeps its right, the owning group gets none
// it did not have.
TEST_F(KeepsMetadata, AclAndAttributesSurvive)
{
    write_file("a.txt", "a\n");
    std::string acl = access_acl();
    if (setxattr(path("a.txt").c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
        GTEST_SKIP() << "this file system takes no ACL";
    bool user_attr = setxattr(path("a.txt").c_str(), "user.origin", "tree", 4, 0) == 0;
    mode_t mode = status_of("a.txt").st_mode & 07777;
    ASSERT_EQ(0664u, mode);
    EXPECT_EQ(change_line(path("a.txt"), 1), run(path("a.txt")));
    EXPECT_EQ("a\r\n", read_file("a.txt"));
    EXPECT_EQ(acl, xattr_of(path("a.txt"), "system.posix_acl_access"));
    if (user_attr) {
        EXPECT_EQ("tree", xattr_of(path("a.txt"), "user.origin"));
    }
    EXPECT_EQ(mode, status_of("a.txt").st_mode & 07777);
}

// A folder's default ACL would give the new file rights the original never
// had: the converted file has exactly the original's ACL, here none.
TEST_F(KeepsMetadata, FolderDefaultAclIsNotInherited)
{
    write_file("a.txt", "a\n");
    ASSERT_EQ(0, chmod(path("a.txt").c_str(), 0640));
    std::string acl = access_acl();
    if (setxattr(dir().c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) != 0)
        GTEST_SKIP() << "this file system takes no ACL";
    EXPECT_EQ(change_line(path("a.txt"), 1), run(path("a.txt")));
    EXPECT_EQ("a\r\n", read_file("a.txt"));
    EXPECT_EQ("", xattr_of(path("a.txt"), "system.posix_acl_access"));
    EXPECT_EQ(0640u, status_of("a.txt").st_mode & 07777);
}
