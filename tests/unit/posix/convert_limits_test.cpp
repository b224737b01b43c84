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

// A sparse file one byte short of 2 GiB whose last byte ends no line: the
// converted image would be 2 GiB + 1.
TEST_F(ConvertLimits, ResultOfTwoGibibytesIsRefused)
{
    std::string p = path("huge.txt");
    int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ftruncate(fd, 0x7FFFFFFF));
    close(fd);
    FileInfo info = {};
    fs_stat(p.c_str(), &info);
    ASSERT_EQ(0x7FFFFFFFu, info.size);
    testing::internal::CaptureStdout();
    ErrorRecord *error = convert_file(p.c_str(), p.c_str(), &info);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(nullptr, error);
    EXPECT_EQ(ERROR_FILE_TOO_LARGE, error->code);
    EXPECT_NE(std::string::npos, std::string(error->text).find(p)) << error->text;
    EXPECT_EQ("", out);
    struct stat st;
    ASSERT_EQ(0, stat(p.c_str(), &st));
    EXPECT_EQ(0x7FFFFFFF, st.st_size);
    EXPECT_EQ(std::vector<std::string>{"huge.txt"}, list_dir());
}
