// The passes through a small buffer, on real files: what they write is the
// reference's conversion of the whole file, and a file that another program grows, shrinks or rewrites between the
// passes is refused.
#include "pair_reader.h"
#include "stream.h"
#include "testutil.h"
#include "window_buffer.h"

class Stream : public TempDirTest {
protected:
    void TearDown() override
    {
        if (source_ != NULL)
            CloseHandle(source_);
        TempDirTest::TearDown();
    }

    // Opens "in.txt" holding `bytes` and counts it through `buffer`.
    int64_t count(const std::string &bytes, const StreamBuffer &buffer)
    {
        write_file("in.txt", bytes);
        source_ = CreateFileA(path("in.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_NE(INVALID_HANDLE_VALUE, source_);
        int64_t growth = -1;
        unsigned char head[2];
        ErrorRecord *error = stream_count(source_, static_cast<uint32_t>(bytes.size()), &buffer, &growth, head,
                                          "in.txt");
        EXPECT_EQ(nullptr, error) << error->text;
        return growth;
    }

    // The second pass into a new "out.txt"; its error, or null.
    ErrorRecord *write(uint32_t size, int64_t growth, const StreamBuffer &buffer)
    {
        HANDLE target = CreateFileA(path("out.txt").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_NE(INVALID_HANDLE_VALUE, target);
        StreamContent content = {source_, "in.txt", size, static_cast<uint32_t>(size + growth), buffer};
        ErrorRecord *error = stream_write(&content, target, "out.txt");
        CloseHandle(target);
        CloseHandle(source_);
        source_ = NULL;
        return error;
    }

    HANDLE source_ = NULL;
};

// Window boundaries on the breaks, files of exactly one window and of one
// window and a byte, and files of many windows.
TEST_F(Stream, ConvertsAsTheWholeFile)
{
    std::string long_text;
    for (int i = 0; long_text.size() < 9000; i++)
        long_text += std::string(i % 37, 'w') + (i % 5 == 0 ? "\r\n" : i % 7 == 0 ? "\n\r" : "\n");
    const struct {
        size_t window;
        std::string bytes;
    } cases[] = {
        {4, "abc\r\nxyz"},  {4, "abc\n\rxyz"}, {4, "abc\r"}, {4, "abcdefg\r"}, {4, "abcd"},
        {4, "abc\r\n"},     {4, "abcde"},      {4, "\n\r\n\r\n\r\n\r\n"},        {64, long_text},
        {4096, long_text},  {1000, long_text + "end"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 20)) + " window " + std::to_string(c.window));
        PairReaderResult want = pair_reader_convert(c.bytes);
        TestWindowBuffer window(c.window);
        int64_t growth = count(c.bytes, window.buffer);
        ASSERT_EQ(want.growth, growth);
        ASSERT_EQ(nullptr, write(static_cast<uint32_t>(c.bytes.size()), growth, window.buffer));
        EXPECT_TRUE(want.output == read_file("out.txt"));
    }
}

// Between the counting and the second pass, another program appends, cuts
// the file, or rewrites it at the same length with other line ends.
TEST_F(Stream, FileChangedBetweenThePassesIsRefused)
{
    const std::string before = "one\ntwo\nthree\n";
    const std::string afters[] = {before + "four\n", "one\n", "one\r\ntwo\r\nthre"};
    ASSERT_EQ(before.size(), afters[2].size());
    for (const std::string &after : afters) {
        SCOPED_TRACE(testing::PrintToString(after));
        TestWindowBuffer window(4);
        int64_t growth = count(before, window.buffer);
        ASSERT_EQ(3, growth);
        write_file("in.txt", after);
        ErrorRecord *error = write(static_cast<uint32_t>(before.size()), growth, window.buffer);
        ASSERT_NE(nullptr, error);
        EXPECT_EQ(FS_ERROR_FILE_CHANGED, error->code) << error->text;
        EXPECT_EQ(after, read_file("in.txt"));
    }
}
