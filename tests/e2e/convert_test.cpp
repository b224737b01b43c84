// Converting one file through the built tool.
#include <filesystem>

#include "e2e.h"

class ConvertOne : public TempDirTest {
protected:
    std::vector<std::string> others(const std::string &name) const
    {
        std::vector<std::string> names = list_dir("");
        names.erase(std::remove(names.begin(), names.end(), name), names.end());
        return names;
    }
};

TEST_F(ConvertOne, ContentSamples)
{
    struct Sample {
        std::string input;
        int growth;
        std::string output;  // unused when growth is 0: the file stays as it was
    } samples[] = {
        {"", 0, ""},
        {"a", 2, "a\r\n"},
        {"a\n", 1, "a\r\n"},
        {"a\r\n", 0, ""},
        {"a\r", 2, "a\r\r\n"},
        {"a\n\r", 0, ""},
        {"a\n\rb", 2, "a\r\nb\r\n"},
        {"\n\n", 2, "\r\n\r\n"},
        {"x\ry", 2, "x\ry\r\n"},
        {"\n\r\n", 1, "\r\n\r\n"},
        {"\xef\xbb\xbfutf-8\n", 1, "\xef\xbb\xbfutf-8\r\n"},
    };
    int n = 0;
    for (const Sample &s : samples) {
        std::string name = "f" + std::to_string(n++) + ".txt";
        write_file(name, s.input);
        test_set_mtime(path(name), kSampleTime);
        std::string out, err;
        int status = -1;
        run_tool({path(name)}, &out, &err, &status);
        EXPECT_EQ(status_for(out), status);
        EXPECT_EQ("", err);
        if (s.growth == 0) {
            EXPECT_EQ("", out) << name;
            EXPECT_EQ(s.input, read_file(name)) << name;
            EXPECT_EQ(kSampleTime, test_get_mtime(path(name))) << name;
        } else {
            EXPECT_EQ(change_line(path(name), s.growth), out) << name;
            EXPECT_EQ(s.output, read_file(name)) << name;
            EXPECT_EQ(to_centisecond(kSampleTime), test_get_mtime(path(name))) << name;
        }
    }
    EXPECT_EQ(n, static_cast<int>(list_dir("").size()));
}

TEST_F(ConvertOne, LargeFileMatchesSimpleRewrite)
{
    std::string input, want;
    for (int i = 0; i < 200000; i++) {
        std::string line = "line " + std::to_string(i);
        input += line + (i % 3 == 0 ? "\r\n" : "\n");
        want += line + "\r\n";
    }
    write_file("big.txt", input);
    std::string out, err;
    int status = -1;
    run_tool({path("big.txt")}, &out, &err, &status);
    EXPECT_EQ(change_line(path("big.txt"), static_cast<long long>(want.size() - input.size())), out);
    EXPECT_TRUE(read_file("big.txt") == want);
    EXPECT_EQ(std::vector<std::string>{"big.txt"}, list_dir(""));
}

TEST_F(ConvertOne, ReadOnlyFileIsRefusedAndKept)
{
    write_file("ro.txt", "keep\nme\n");
    test_set_mtime(path("ro.txt"), kSampleTime);
    test_set_readonly(path("ro.txt"), true);
    std::string out, err;
    int status = -1;
    run_tool({path("ro.txt")}, &out, &err, &status);
    EXPECT_EQ(2, status);
    // Only the error: a file that was not replaced is not announced.
    EXPECT_EQ(std::string::npos, out.find("change in size")) << out;
    EXPECT_EQ(1, count_errors(out)) << out;
    EXPECT_NE(std::string::npos, out.find("(CreateFile) (5) (" + path("ro.txt") + ")")) << out;
    EXPECT_EQ("keep\nme\n", read_file("ro.txt"));
    EXPECT_EQ(kSampleTime, test_get_mtime(path("ro.txt")));
    EXPECT_EQ(std::vector<std::string>{}, others("ro.txt"));
}

// Quotes are dropped by the path expansion: the file behind them is
// converted and its time kept all the same.
TEST_F(ConvertOne, QuotedArgumentKeepsTime)
{
    write_file("q.txt", "a\nb\n");
    test_set_mtime(path("q.txt"), kSampleTime);
    std::string quoted = "\"" + path("q.txt") + "\"";
    std::string out, err;
    int status = -1;
    run_tool({quoted}, &out, &err, &status);
    EXPECT_EQ(change_line(quoted, 2), out);
    EXPECT_EQ("a\r\nb\r\n", read_file("q.txt"));
    EXPECT_EQ(to_centisecond(kSampleTime), test_get_mtime(path("q.txt")));
    EXPECT_EQ(std::vector<std::string>{}, others("q.txt"));
}
