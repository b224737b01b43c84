// Large input: a directory of 100,000 entries, a file of 1 GiB, and sparse
// files of 3 GiB and more, which are refused untouched. They live in memory
// (/dev/shm), where making them takes seconds rather than minutes.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "e2e.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kGiB = 1ull << 30;
const int kTooLarge = 223;

}  // namespace

class LargeInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::is_directory("/dev/shm"))
            GTEST_SKIP() << "skipped: needs a file system in memory at /dev/shm";
        std::random_device rd;
        dir_ = "/dev/shm/dravick-large-" + std::to_string(rd()) + "-" + std::to_string(rd());
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!dir_.empty())
            fs::remove_all(dir_, ec);
    }

    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    std::string walked(const std::string &name) const { return dir_ + "\\" + name; }

    uint64_t free_bytes() const
    {
        struct statvfs st;
        return statvfs(dir_.c_str(), &st) == 0 ? static_cast<uint64_t>(st.f_bavail) * st.f_frsize : 0;
    }

    std::string run(const std::string &argument) { return run_tool_ok(argument); }

    std::string dir_;
};

// Half of the files need converting; the change lines come in name order.
TEST_F(LargeInput, DirectoryOfOneHundredThousandEntries)
{
    const int kEntries = 100000;
    std::string want;
    for (int i = 0; i < kEntries; i++) {
        char name[32];
        snprintf(name, sizeof name, "f%06d.txt", i);
        std::ofstream(path(name), std::ios::binary) << (i % 2 == 0 ? "n\n" : "c\r\n");
        if (i % 2 == 0)
            want += change_line(walked(name), 1);
    }
    std::vector<std::string> names = tree_names(dir_);
    TreeFiles before = tree_files(dir_);
    ASSERT_EQ(static_cast<size_t>(kEntries), before.size());
    std::string out = run(dir_);

    TreeOutcome o = tree_outcome(dir_, names, before);
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(static_cast<size_t>(kEntries / 2), o.converted.size());
    EXPECT_EQ(static_cast<size_t>(kEntries / 2), o.kept.size());
    EXPECT_EQ(0u, error_lines(out).size());
    EXPECT_TRUE(out == want) << "the change lines differ; " << out.size() << " bytes of output, "
                             << want.size() << " expected";
}

// 1 GiB of a repeated block that ends with a line feed and starts with no
// CR, so that the whole converts as the block's conversion repeated.
TEST_F(LargeInput, OneGibibyteFile)
{
    if (free_bytes() < 3 * kGiB)
        GTEST_SKIP() << "skipped: /dev/shm has less than 3 GiB free";
    std::string block;
    for (int i = 0; block.size() < 65536 - 40; i++)
        block += "line " + std::to_string(i) + (i % 3 == 0 ? " of the block\r\n" : " of the block\n");
    block += std::string(65536 - block.size() - 1, 'x') + "\n";
    const uint64_t kBlocks = kGiB / block.size();
    PairReaderResult converted = pair_reader_convert(block);

    std::string big = path("big.txt");
    {
        std::ofstream out(big, std::ios::binary);
        for (uint64_t i = 0; i < kBlocks; i++)
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        ASSERT_TRUE(out.good());
    }
    test_set_mtime(big, kSampleTime);
    std::string out = run(big);

    EXPECT_EQ(change_line(big, converted.growth * static_cast<long long>(kBlocks)), out);
    EXPECT_EQ(std::vector<std::string>{"big.txt"}, tree_names(dir_));
    ASSERT_EQ(kBlocks * converted.output.size(), fs::file_size(big));
    std::ifstream in(big, std::ios::binary);
    std::string chunk(converted.output.size(), '\0');
    for (uint64_t i = 0; i < kBlocks; i++) {
        in.read(&chunk[0], static_cast<std::streamsize>(chunk.size()));
        ASSERT_TRUE(chunk == converted.output) << "block " << i << " differs";
    }
    EXPECT_EQ(to_centisecond(kSampleTime), test_get_mtime(big));
}

// Files of 3 GiB and more, all holes, named so that the walk meets them:
// each is refused with an error that names it, and nothing is written to
// any of them (their size, their allocation and their time stay). Among
// them, 4 GiB and 4 GiB + 3 look empty and 3 bytes long to a 32-bit size.
TEST_F(LargeInput, SparseFilesOfThreeGibibytesAndMoreAreRefusedUntouched)
{
    const struct {
        const char *name;
        uint64_t size;
    } huge[] = {
        {"three.txt", 3 * kGiB},
        {"four.txt", 4 * kGiB},
        {"four_and_three.txt", 4 * kGiB + 3},
        {"five.txt", 5 * kGiB},
    };
    struct stat before[4];
    for (int i = 0; i < 4; i++) {
        int fd = open(path(huge[i].name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(0, ftruncate(fd, static_cast<off_t>(huge[i].size)));
        close(fd);
        test_set_mtime(path(huge[i].name), kSampleTime);
        ASSERT_EQ(0, stat(path(huge[i].name).c_str(), &before[i]));
    }
    std::ofstream(path("small.txt"), std::ios::binary) << "s\n";
    std::vector<std::string> names = tree_names(dir_);
    std::string out = run(dir_);

    for (int i = 0; i < 4; i++) {
        struct stat after;
        ASSERT_EQ(0, stat(path(huge[i].name).c_str(), &after));
        EXPECT_EQ(before[i].st_size, after.st_size) << huge[i].name;
        EXPECT_EQ(before[i].st_blocks, after.st_blocks) << huge[i].name;
        EXPECT_EQ(kSampleTime, test_get_mtime(path(huge[i].name))) << huge[i].name;
    }
    EXPECT_EQ("s\r\n", file_bytes(path("small.txt")));
    EXPECT_EQ(names, tree_names(dir_));
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(4u, errors.size()) << out;
    std::vector<std::string> named;
    for (const ErrorLine &e : errors) {
        EXPECT_EQ(kTooLarge, e.code) << e.details;
        named.push_back(e.details);
    }
    std::sort(named.begin(), named.end());
    std::vector<std::string> want;
    for (const auto &h : huge)
        want.push_back(walked(h.name));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(want, named);
    size_t first_change = out.find("change in size");
    EXPECT_EQ(out.find(change_line(walked("small.txt"), 1)) + walked("small.txt").size() + 1,
              first_change) << out;
    EXPECT_EQ(std::string::npos, out.find("change in size", first_change + 1)) << out;
}
