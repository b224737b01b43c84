// A disk with no room for a conversion: a 1 MiB file system, mounted for the
// test where the superuser runs it (tests/support/small_disk.h).
#include <filesystem>
#include <fstream>

#include "e2e.h"
#include "small_disk.h"

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

class FullDisk : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        make_dir("disk");
        std::string why;
        disk_ = test_small_disk_open(path("disk"), &why);
        if (disk_.empty())
            GTEST_SKIP() << "skipped: " << why;
    }
    void TearDown() override
    {
        if (!disk_.empty())
            test_small_disk_close(disk_);
        TempDirTest::TearDown();
    }

    std::string on_disk(const std::string &name) const { return disk_ + test_sep + name; }
    void put(const std::string &name, const std::string &bytes) const
    {
        std::ofstream(on_disk(name), std::ios::binary) << bytes;
    }
    std::string bytes(const std::string &name) const { return file_bytes(test_fs_path(on_disk(name))); }
    void remember()
    {
        names_ = tree_names(disk_);
        files_ = tree_files(disk_);
    }
    TreeOutcome outcome() const { return tree_outcome(disk_, names_, files_); }

    std::string disk_;
    std::vector<std::string> names_;
    TreeFiles files_;
};

// 560 KiB whose conversion needs a second copy, and 300 KiB of line feeds
// with a second name, which needs one too, and 300 KiB more: neither fits
// in what is left. The small files around them are converted. The errors
// name the files left as they were.
TEST_F(FullDisk, FilesThatNeedMoreRoomAreKeptAndTheWalkGoesOn)
{
    put("a.txt", "a\n");
    put("big.txt", lf_lines(560 * 1024));
    put("hl.txt", std::string(300 * 1024, '\n'));
    fs::create_hard_link(test_fs_path(on_disk("hl.txt")), test_fs_path(on_disk("hl.md")));
    put("z.txt", "z\n");
    ASSERT_EQ(lf_lines(560 * 1024), bytes("big.txt")) << "the disk is smaller than planned";
    remember();
    std::string out = run_tool_ok(disk_);

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "z.txt"}), o.converted);
    EXPECT_EQ((std::vector<std::string>{"big.txt", "hl.md", "hl.txt"}), o.kept);
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(2u, errors.size()) << out;
    EXPECT_EQ(kDiskFull, errors[0].code);
    EXPECT_EQ(kDiskFull, errors[1].code);
    EXPECT_EQ(walked_path(disk_, "big.txt"), errors[0].details);
    EXPECT_EQ(walked_path(disk_, "hl.txt"), errors[1].details);
    EXPECT_NE(std::string::npos, out.find(change_line(walked_path(disk_, "z.txt"), 1))) << out;
    EXPECT_EQ(std::string::npos, out.find("big.txt change")) << out;
    EXPECT_EQ(std::string::npos, out.find("hl.txt change")) << out;

    // The same file given alone.
    out = run_tool_ok(on_disk("big.txt"));
    o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(1u, error_lines(out).size()) << out;
    EXPECT_EQ(lf_lines(560 * 1024), bytes("big.txt"));
}
