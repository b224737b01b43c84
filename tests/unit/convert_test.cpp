// The conversion of one file, called directly.
#include "dravick.h"
#include "testutil.h"

class ConvertFile : public TempDirTest {
protected:
    ErrorRecord *convert_with(const std::string &rel, const FileInfo &info, std::string *out)
    {
        std::string p = path(rel);
        testing::internal::CaptureStdout();
        ErrorRecord *error = convert_file(p.c_str(), p.c_str(), &info);
        *out = testing::internal::GetCapturedStdout();
        return error;
    }

    FileInfo look(const std::string &rel)
    {
        FileInfo info = {};
        fs_stat(path(rel).c_str(), &info);
        return info;
    }
};

// The file grew or shrank after the caller looked at it: it is refused,
// named, and left as it now is.
TEST_F(ConvertFile, FileChangedSinceLookIsRefused)
{
    struct Change {
        const char *before;
        const char *after;
    } changes[] = {{"a\nb\n", "a\nb\nc\n"}, {"a\nb\nc\n", "a\n"}, {"a\n", ""}};
    for (const Change &c : changes) {
        write_file("f.txt", c.before);
        FileInfo info = look("f.txt");
        ASSERT_EQ(FS_KIND_FILE, info.kind);
        write_file("f.txt", c.after);
        std::string out;
        ErrorRecord *error = convert_with("f.txt", info, &out);
        ASSERT_NE(nullptr, error) << c.after;
        EXPECT_NE(std::string::npos, std::string(error->text).find(path("f.txt"))) << error->text;
        EXPECT_EQ("", out);
        EXPECT_EQ(c.after, read_file("f.txt"));
        EXPECT_EQ(std::vector<std::string>{"f.txt"}, list_dir(""));
    }
}

TEST_F(ConvertFile, VanishedFileIsReported)
{
    write_file("gone.txt", "x\n");
    FileInfo info = look("gone.txt");
    std::remove(path("gone.txt").c_str());
    std::string out;
    ErrorRecord *error = convert_with("gone.txt", info, &out);
    ASSERT_NE(nullptr, error);
    EXPECT_EQ("", out);
    EXPECT_EQ(std::vector<std::string>{}, list_dir(""));
}

// Growth 0 leaves the file alone, whatever it holds.
TEST_F(ConvertFile, NothingToDoTouchesNothing)
{
    const std::string contents[] = {"", "a\r\n", "a\n\r", "\r\n\n\r", std::string(100000, 'x') + "\r\n"};
    for (const std::string &content : contents) {
        write_file("n.txt", content);
        test_set_mtime(path("n.txt"), 132537600001234567ull);
        std::string out;
        EXPECT_EQ(nullptr, convert_with("n.txt", look("n.txt"), &out));
        EXPECT_EQ("", out);
        EXPECT_EQ(content, read_file("n.txt"));
        EXPECT_EQ(132537600001234567ull, test_get_mtime(path("n.txt")));
    }
}

// A large file goes through many windows: a length that is no multiple of
// one, and a last line without its end, must still come out exact, with
// the old last-write time.
TEST_F(ConvertFile, LargeFileOfOddLengthComesOutExact)
{
    const uint64_t stamp = 132537600001200000ull;  // whole 10 ms, as the record keeps it
    for (size_t bytes : {3u << 20, 11u << 20}) {
        std::string before, after;
        for (size_t i = 0; before.size() < bytes; i++) {
            std::string line(i % 71, static_cast<char>('a' + i % 26));
            before += line + "\n";
            after += line + "\r\n";
        }
        before += "tail";
        after += "tail\r\n";
        write_file("big.txt", before);
        test_set_mtime(path("big.txt"), stamp);
        std::string out;
        ErrorRecord *error = convert_with("big.txt", look("big.txt"), &out);
        ASSERT_EQ(nullptr, error) << error->text;
        SCOPED_TRACE(std::to_string(after.size()));
        EXPECT_TRUE(read_file("big.txt") == after);
        EXPECT_EQ(stamp, test_get_mtime(path("big.txt")));
        EXPECT_EQ(std::vector<std::string>{"big.txt"}, list_dir(""));
    }
}
