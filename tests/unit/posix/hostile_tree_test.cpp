// A tree that someone else can write, changed while the walk runs: the
// walk is held at a chosen call of the layer, the test swaps an entry, and
// the walk goes on. Whatever is swapped in, the walk acts only on entries
// it listed below its argument, each the very entry listed, and never on
// the file or folder outside the tree that a link points to.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "dravick.h"
#include "run_program.h"
#include "testutil.h"

namespace fs = std::filesystem;

namespace {

// What the test does at the chosen call.
struct Swap {
    std::function<void()> act;
};

void run_swap(void *context) { static_cast<Swap *>(context)->act(); }

// Gives `to` the size and last-write time of `from`, as anyone who can look
// at `from` can: the walk's listing then cannot tell them apart.
void look_alike(const std::string &from, const std::string &to)
{
    struct stat st;
    ASSERT_EQ(0, stat(from.c_str(), &st));
    ASSERT_EQ(0, truncate(to.c_str(), st.st_size));
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(0, utimensat(AT_FDCWD, to.c_str(), times, 0));
}

}  // namespace

class HostileTree : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        make_dir("outside");
        write_file("outside/passwd", "root:x:0:0\n");
        write_file("outside/o.txt", "outside\n");
        make_dir("tree");
    }

    void TearDown() override
    {
        winposix_fail_reset();
        TempDirTest::TearDown();
    }

    // Walks the tree with `swap` run at the n-th call of a kind (n 0: none);
    // keeps what the walk printed on standard output and error.
    void walk(WinposixCall kind = WINPOSIX_CALL_CREATE, int n = 0, std::function<void()> swap = {})
    {
        Swap context = {swap};
        if (n > 0)
            winposix_act_nth(kind, n, run_swap, &context);
        char buffer[FS_MAX_PATH];
        snprintf(buffer, sizeof buffer, "%s", path("tree").c_str());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        report_error(walk_tree(buffer, FS_MAX_PATH, "*.*"));
        fflush(stdout);
        out_ = testing::internal::GetCapturedStdout();
        err_ = testing::internal::GetCapturedStderr();
        winposix_fail_reset();
    }

    void expect_outside_untouched()
    {
        EXPECT_EQ("root:x:0:0\n", read_file("outside/passwd"));
        EXPECT_EQ("outside\n", read_file("outside/o.txt"));
        EXPECT_EQ((std::vector<std::string>{"o.txt", "passwd"}), list_dir("outside"));
    }

    std::string tree(const std::string &rel) const { return walked_path(path("tree"), rel); }

    std::string out_, err_;
};

// No race at all: names that a path would read as another name. A
// backslash is a separator to every path the library takes, so such an
// entry is named and passed by; a colon is carried whole.
TEST_F(HostileTree, AliasedNames)
{
    make_dir("tree/x\\sub");
    write_file("tree/x\\sub/in.txt", "in\n");
    fs::create_directory_symlink(path("outside"), path("tree/sub"));
    write_file("tree/q\\victim.txt", "bait\n");
    fs::create_symlink(path("outside/passwd"), path("tree/victim.txt"));
    look_alike(path("outside/passwd"), path("tree/q\\victim.txt"));
    std::string bait = read_file("tree/q\\victim.txt");
    write_file("tree/run-12:30:00.txt", "log\n");
    make_dir("tree/y:sub");
    write_file("tree/y:sub/in.txt", "in\n");
    walk();

    expect_outside_untouched();
    EXPECT_EQ("log\r\n", read_file("tree/run-12:30:00.txt"));
    EXPECT_EQ("in\r\n", read_file("tree/y:sub/in.txt"));
    EXPECT_EQ("in\n", read_file("tree/x\\sub/in.txt"));
    EXPECT_EQ(bait, read_file("tree/q\\victim.txt"));
    EXPECT_TRUE(fs::is_symlink(path("tree/victim.txt")));
    EXPECT_EQ(printed_line(tree("q\\victim.txt") + ": name holds a path separator, skipped") +
                  printed_line(tree("sub") + ": link not followed") +
                  printed_line(tree("victim.txt") + ": link not followed") +
                  printed_line(tree("x\\sub") + ": name holds a path separator, skipped"),
              err_);
    EXPECT_EQ(printed_line(tree("run-12:30:00.txt") + " change in size 1") +
                  printed_line(walked_path(tree("y:sub"), "in.txt") + " change in size 1"),
              out_);
}

// A listed directory replaced by a link to a folder outside once its
// parent is listed, and a directory the walk is inside renamed away with
// a link put in its place: neither link is followed, and the files of the
// renamed directory are converted where it is now.
TEST_F(HostileTree, SwappedDirectory)
{
    for (int i = 1; i <= 5; i++)
        write_file("tree/a" + std::to_string(i) + ".txt", "a\n");
    make_dir("tree/sub");
    write_file("tree/sub/o.txt", "inside\n");
    make_dir("tree/w");
    write_file("tree/w/a.txt", "a\n");
    write_file("tree/w/o.txt", "inside\n");
    auto swap_sub = [&] {
        fs::rename(path("tree/sub"), path("sub.moved"));
        fs::create_directory_symlink(path("outside"), path("tree/sub"));
    };
    // Held at the first read: the tree has been listed.
    walk(WINPOSIX_CALL_READ, 1, swap_sub);
    expect_outside_untouched();
    EXPECT_EQ("inside\n", read_file("sub.moved/o.txt"));
    EXPECT_EQ(printed_line(tree("sub") + ": link not followed"), err_);

    // Held at w/a.txt's first read: w has been entered and listed.
    fs::remove(path("tree/sub"));
    fs::remove_all(path("sub.moved"));
    for (int i = 1; i <= 5; i++)
        fs::remove(path("tree/a" + std::to_string(i) + ".txt"));
    auto swap_w = [&] {
        fs::rename(path("tree/w"), path("w.moved"));
        fs::create_directory_symlink(path("outside"), path("tree/w"));
    };
    walk(WINPOSIX_CALL_READ, 1, swap_w);
    expect_outside_untouched();
    EXPECT_EQ("a\r\n", read_file("w.moved/a.txt"));
    EXPECT_EQ("inside\r\n", read_file("w.moved/o.txt"));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "o.txt"}), list_dir("w.moved"));
}

// A listed file replaced by a link to an outside file of the same size and
// time, after the listing and before its turn: it is not converted, and
// the link stays a link.
TEST_F(HostileTree, SwappedFile)
{
    write_file("tree/a.txt", "a\n");
    write_file("tree/b.txt", "bait\n");
    look_alike(path("outside/o.txt"), path("tree/b.txt"));
    auto swap = [&] {
        fs::remove(path("tree/b.txt"));
        fs::create_symlink(path("outside/o.txt"), path("tree/b.txt"));
    };
    walk(WINPOSIX_CALL_READ, 1, swap);
    expect_outside_untouched();
    EXPECT_TRUE(fs::is_symlink(path("tree/b.txt")));
    EXPECT_EQ("a\r\n", read_file("tree/a.txt"));
    EXPECT_NE(std::string::npos, out_.find("(1921) (" + tree("b.txt") + ")")) << out_;
}

// A file that turns into a link to an outside file of the same size and
// time once it has been read: nothing is written outside, nothing of the
// outside file reaches the tree, and the walk reports the change.
TEST_F(HostileTree, ToggledFile)
{
    const WinposixCall kinds[] = {WINPOSIX_CALL_CREATE, WINPOSIX_CALL_CREATE, WINPOSIX_CALL_CREATE,
                                  WINPOSIX_CALL_CLOSE,  WINPOSIX_CALL_CLOSE,  WINPOSIX_CALL_RENAME,
                                  WINPOSIX_CALL_READ};
    const int calls[] = {2, 3, 4, 1, 2, 1, 2};
    for (size_t i = 0; i < sizeof calls / sizeof calls[0]; i++) {
        SCOPED_TRACE(i);
        fs::remove(path("tree/f.txt"));
        fs::remove(path("f.real"));
        write_file("tree/f.txt", "mine\nxx\n");
        look_alike(path("outside/o.txt"), path("tree/f.txt"));
        auto swap = [&] {
            fs::rename(path("tree/f.txt"), path("f.real"));
            fs::create_symlink(path("outside/o.txt"), path("tree/f.txt"));
        };
        walk(kinds[i], calls[i], swap);
        expect_outside_untouched();
        EXPECT_TRUE(fs::is_symlink(path("tree/f.txt")));
        EXPECT_EQ(std::vector<std::string>{"f.txt"}, list_dir("tree"));
    }
}

// Owner, group, mode and ACLs come from the original's own handle. A file
// swapped for a link to a set-user-id program just before the replace
// lends the new file nothing: the replace is refused.
TEST_F(HostileTree, MetadataFromTheOriginalOnly)
{
    write_file("outside/prog", "#!/bin/sh\n");
    ASSERT_EQ(0, chmod(path("outside/prog").c_str(), 04755));
    write_file("tree/f.txt", "mine\n");
    ASSERT_EQ(0, chmod(path("tree/f.txt").c_str(), 0640));
    auto swap = [&] {
        fs::rename(path("tree/f.txt"), path("f.real"));
        fs::create_symlink(path("outside/prog"), path("tree/f.txt"));
    };
    walk(WINPOSIX_CALL_RENAME, 1, swap);
    struct stat st;
    ASSERT_EQ(0, lstat(path("tree/f.txt").c_str(), &st));
    EXPECT_FALSE(S_ISREG(st.st_mode) && (st.st_mode & 04000)) << std::oct << st.st_mode;
    EXPECT_EQ("#!/bin/sh\n", read_file("outside/prog"));
    ASSERT_EQ(0, stat(path("outside/prog").c_str(), &st));
    EXPECT_EQ(04755u, st.st_mode & 07777);
    EXPECT_EQ(std::vector<std::string>{"f.txt"}, list_dir("tree"));
}

// What resolves, reads and converts is not refused at the write-back for
// how the path looks from elsewhere: a relative path whose absolute form is
// longer than 260 characters, a working folder whose name holds a
// backslash, a last-write time past what the record holds (kept exactly).
TEST_F(HostileTree, NoRefusalForWhereThePathLeads)
{
    std::string deep = path("tree");
    std::string rel_deep = "tree";
    while (deep.size() < 300) {
        deep += "/" + std::string(40, 'd');
        rel_deep += "/" + std::string(40, 'd');
        make_dir(rel_deep);
    }
    make_dir(rel_deep + "/w");
    write_file(rel_deep + "/w/f.txt", "f\n");
    make_dir("a\\b");
    make_dir("a\\b/w");
    write_file("a\\b/w/f.txt", "f\n");
    make_dir("late");
    write_file("late/f.txt", "f\n");
    struct timespec times[2] = {{0, UTIME_OMIT}, {10413792000, 123456700}};  // 2300-01-01
    ASSERT_EQ(0, utimensat(AT_FDCWD, path("late/f.txt").c_str(), times, 0));

    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    const std::string places[] = {deep, path("a\\b"), path("late")};
    for (const std::string &place : places) {
        SCOPED_TRACE(place);
        ASSERT_EQ(0, chdir(place.c_str()));
        char buffer[FS_MAX_PATH] = "w";
        if (place == path("late"))
            snprintf(buffer, sizeof buffer, ".");
        testing::internal::CaptureStdout();
        report_error(walk_tree(buffer, FS_MAX_PATH, "*.*"));
        fflush(stdout);
        std::string out = testing::internal::GetCapturedStdout();
        std::string converted = walked_path(place == path("late") ? "." : "w", "f.txt");
        EXPECT_EQ(printed_line(converted + " change in size 1"), out);
        ASSERT_EQ(0, chdir(cwd));
    }
    EXPECT_EQ("f\r\n", read_file(rel_deep + "/w/f.txt"));
    EXPECT_EQ("f\r\n", read_file("a\\b/w/f.txt"));
    EXPECT_EQ("f\r\n", read_file("late/f.txt"));
    struct stat st;
    ASSERT_EQ(0, stat(path("late/f.txt").c_str(), &st));
    EXPECT_EQ(10413792000, st.st_mtim.tv_sec);
    EXPECT_EQ(123456700, st.st_mtim.tv_nsec);
}
