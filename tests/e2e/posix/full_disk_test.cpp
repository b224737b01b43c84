// A disk with no room for a conversion: a 1 MiB tmpfs, which only the
// superuser can mount. It is unmounted whatever the test does.
#include <errno.h>
#include <string.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "e2e.h"

namespace fs = std::filesystem;

namespace {

const int kDiskFull = 112;

// Lines of 63 bytes and LF: the conversion adds one byte in 64.
std::string lf_lines(size_t bytes)
{
    std::string text;
    while (text.size() < bytes)
        text += std::string(63, 'a' + static_cast<char>(text.size() / 64 % 26)) + "\n";
    return text;
}

}  // namespace

class FullDisk : public ToolRunTest {
protected:
    void SetUp() override
    {
        ToolRunTest::SetUp();
        if (geteuid() != 0)
            GTEST_SKIP() << "skipped: mounting a 1 MiB tmpfs needs the superuser";
        disk_ = path("disk");
        make_dir("disk");
        if (mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "skipped: cannot mount a tmpfs here: " << strerror(errno);
        mounted_ = true;
    }
    void TearDown() override
    {
        if (mounted_) {
            EXPECT_EQ(0, umount2(disk_.c_str(), MNT_DETACH)) << strerror(errno);
        }
        ToolRunTest::TearDown();
    }

    std::string disk_;
    bool mounted_ = false;
};

// 560 KiB whose conversion needs a second copy, and 300 KiB of line feeds
// with a second name, rewritten in place but needing 300 KiB more: neither
// fits in what is left. The small files around them are converted.
TEST_F(FullDisk, FilesThatNeedMoreRoomAreKeptAndTheWalkGoesOn)
{
    write_file("disk/a.txt", "a\n");
    write_file("disk/big.txt", lf_lines(560 * 1024));
    write_file("disk/hl.txt", std::string(300 * 1024, '\n'));
    fs::create_hard_link(path("disk/hl.txt"), path("disk/hl.md"));
    write_file("disk/z.txt", "z\n");
    ASSERT_EQ(lf_lines(560 * 1024), read_file("disk/big.txt")) << "the disk is smaller than planned";
    remember();
    std::string out = run(path("disk"));

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ((std::vector<std::string>{"disk/a.txt", "disk/z.txt"}), o.converted);
    EXPECT_EQ((std::vector<std::string>{"disk/big.txt", "disk/hl.md", "disk/hl.txt"}), o.kept);
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(2u, errors.size()) << out;
    EXPECT_EQ(kDiskFull, errors[0].code);
    EXPECT_EQ(kDiskFull, errors[1].code);
    EXPECT_NE(std::string::npos, errors[0].details.find(disk_ + "/~dvk")) << errors[0].details;
    EXPECT_EQ(disk_ + "/hl.txt", errors[1].details);
    EXPECT_NE(std::string::npos, out.find(change_line(path("disk") + "\\z.txt", 1))) << out;

    // The same file given alone.
    out = run(path("disk/big.txt"));
    o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(1u, error_lines(out).size()) << out;
    EXPECT_EQ(lf_lines(560 * 1024), read_file("disk/big.txt"));
}
