// Large input, in memory where making it takes seconds rather than minutes:
// a file of 1 GiB, which converts (on 32-bit Windows too), and sparse files
// of 3 GiB and more, which are refused untouched.
#include <filesystem>
#include <fstream>

#include "e2e.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kGiB = 1ull << 30;
const int kTooLarge = 223;

}  // namespace

class LargeInput : public MemoryDirTest {
protected:
    std::string walked(const std::string &name) const { return walked_path(dir(), name); }
    uint64_t free_bytes() const
    {
        std::error_code ec;
        fs::space_info space = fs::space(dir(), ec);
        return ec ? 0 : space.available;
    }
};

// 1 GiB of a repeated block that ends with a line feed and starts with no
// CR, so that the whole converts as the block's conversion repeated. A
// 32-bit process has no room for twice the size in one piece; the image
// still grows to the converted size.
TEST_F(LargeInput, OneGibibyteFile)
{
    if (free_bytes() < 3 * kGiB)
        GTEST_SKIP() << "skipped: less than 3 GiB free in memory";
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
    std::string out = run_tool_ok(big);

    EXPECT_EQ(change_line(big, converted.growth * static_cast<long long>(kBlocks)), out);
    EXPECT_EQ(std::vector<std::string>{"big.txt"}, tree_names(dir()));
    ASSERT_EQ(kBlocks * converted.output.size(), fs::file_size(test_fs_path(big)));
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
    uint64_t allocated[4];
    for (int i = 0; i < 4; i++) {
        std::ofstream(path(huge[i].name), std::ios::binary);
        fs::resize_file(test_fs_path(path(huge[i].name)), huge[i].size);
        test_set_mtime(path(huge[i].name), kSampleTime);
        allocated[i] = test_allocated_bytes(path(huge[i].name));
        ASSERT_LT(allocated[i], kGiB) << huge[i].name << " has no holes here";
    }
    write_file("small.txt", "s\n");
    std::vector<std::string> names = tree_names(dir());
    std::string out = run_tool_ok(dir());

    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(huge[i].size, fs::file_size(test_fs_path(path(huge[i].name)))) << huge[i].name;
        EXPECT_EQ(allocated[i], test_allocated_bytes(path(huge[i].name))) << huge[i].name;
        EXPECT_EQ(kSampleTime, test_get_mtime(path(huge[i].name))) << huge[i].name;
    }
    EXPECT_EQ("s\r\n", read_file("small.txt"));
    EXPECT_EQ(names, tree_names(dir()));
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
