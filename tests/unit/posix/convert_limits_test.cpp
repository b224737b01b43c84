// Images of 2 GiB or more are refused before anything is printed or written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "dravick.h"
#include "testutil.h"

namespace fs = std::filesystem;

// Reading holes of a file in memory allocates nothing, where a disk file
// system fills its cache with zero pages: the file goes to /dev/shm if the
// system has it.
class ConvertLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        dir_ = base / ("dravick-limits-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string &name) const { return (dir_ / name).string(); }
    std::vector<std::string> list_dir() const
    {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        return names;
    }

    fs::path dir_;
};

// A file of 1 GiB of lone LFs: the converted image would be 2 GiB. (A
// sparse file would cost nothing, but its holes read as zero bytes, and a
// file that holds them is not text.)
TEST_F(ConvertLimits, ResultOfTwoGibibytesIsRefused)
{
    const uint32_t size = 1u << 30;
    std::string p = path("huge.txt");
    int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    std::string lines(1 << 20, '\n');
    for (uint32_t written = 0; written < size; written += static_cast<uint32_t>(lines.size()))
        ASSERT_EQ(static_cast<ssize_t>(lines.size()), write(fd, lines.data(), lines.size()));
    close(fd);
    FileInfo info = {};
    fs_stat(p.c_str(), &info);
    ASSERT_EQ(size, info.size);
    testing::internal::CaptureStdout();
    ErrorRecord *error = convert_file(p.c_str(), p.c_str(), &info);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(nullptr, error);
    EXPECT_EQ(ERROR_FILE_TOO_LARGE, error->code);
    EXPECT_NE(std::string::npos, std::string(error->text).find(p)) << error->text;
    EXPECT_EQ("", out);
    struct stat st;
    ASSERT_EQ(0, stat(p.c_str(), &st));
    EXPECT_EQ(size, static_cast<uint64_t>(st.st_size));
    EXPECT_EQ(std::vector<std::string>{"huge.txt"}, list_dir());
}
