// The passes through a small buffer, on real files: what they write is the
// reference's conversion of the whole file, and a file that another program grows, shrinks or rewrites between the
// passes is refused.
#include <random>

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

    // Opens "in.txt" holding `bytes` and counts it through `buffer`; its
    // form goes to form_.
    int64_t count(const std::string &bytes, const StreamBuffer &buffer)
    {
        write_file("in.txt", bytes);
        source_ = CreateFileA(path("in.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_NE(INVALID_HANDLE_VALUE, source_);
        int64_t growth = -1;
        ErrorRecord *error = stream_count(source_, static_cast<uint32_t>(bytes.size()), &buffer, &growth, &form_,
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
        StreamContent content = {source_, "in.txt", size, static_cast<uint32_t>(size + growth), buffer, form_};
        ErrorRecord *error = stream_write(&content, target, "out.txt");
        CloseHandle(target);
        CloseHandle(source_);
        source_ = NULL;
        return error;
    }

    HANDLE source_ = NULL;
    LineForm form_ = LINES_BYTES;
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
        ASSERT_EQ(LINES_BYTES, form_);
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

// UTF-16 text is counted and converted in its units, its mark kept, with
// window ends on a pair, in a unit and after a lone break.
TEST_F(Stream, ConvertsUtf16InItsUnits)
{
    std::string le_text = "\xff\xfe";
    for (int i = 0; le_text.size() < 3000; i++)
        le_text += std::string(2 * (i % 9), 'u') + (i % 4 == 0 ? std::string("\r\0\n\0", 4) : std::string("\n\0", 2));
    std::string be_text = le_text;
    for (size_t i = 0; i < be_text.size(); i += 2)
        std::swap(be_text[i], be_text[i + 1]);
    const struct {
        size_t window;
        std::string bytes;
        LineForm form;
    } cases[] = {
        {4, std::string("\xff\xfe" "a\0\r\0\n\0" "b\0", 10), LINES_UTF16LE},  // a pair over a window end
        {5, std::string("\xff\xfe" "a\0\n\0" "b\0", 8), LINES_UTF16LE},          // units cut in two
        {4, std::string("\xff\xfe" "a\0\n\0", 6), LINES_UTF16LE},                 // a lone LF at the end
        {4, std::string("\xfe\xff\0a\0\r\0\n\0b", 10), LINES_UTF16BE},
        {7, std::string("\xfe\xff\0a\0\n\0\r", 8), LINES_UTF16BE},
        {4, std::string("\xff\xfe", 2), LINES_UTF16LE},
        {64, le_text, LINES_UTF16LE},
        {999, be_text, LINES_UTF16BE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 20)) + " window " + std::to_string(c.window));
        PairReaderResult want = pair_reader_convert_utf16(c.bytes, c.form == LINES_UTF16LE);
        TestWindowBuffer window(c.window);
        int64_t growth = count(c.bytes, window.buffer);
        ASSERT_EQ(c.form, form_);
        ASSERT_EQ(want.growth, growth);
        ASSERT_EQ(nullptr, write(static_cast<uint32_t>(c.bytes.size()), growth, window.buffer));
        EXPECT_TRUE(want.output == read_file("out.txt")) << testing::PrintToString(read_file("out.txt"));
    }
}

// What is not text is told by the count, with no growth: a zero byte
// anywhere (binary data, UTF-16 or UTF-32 without a mark), UTF-32 with its
// mark, UTF-16 of an odd length.
TEST_F(Stream, FilesThatAreNotTextAreNamedSo)
{
    std::mt19937 rng(99);
    std::string random_bytes(5000, '\0');
    for (char &c : random_bytes)
        c = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
    random_bytes[0] = 'r';  // no mark
    const struct {
        size_t window;
        std::string bytes;
    } cases[] = {
        {4096, random_bytes},
        {64, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {4, std::string("abc\ndef\n\0", 9)},                     // a zero at the very end
        {8, std::string("abcdefgh\0ij\n", 12)},                   // just past a window end
        {64, std::string(64, '\n') + std::string("\0", 1)},       // past a window of breaks
        {4, std::string("a\0\n\0", 4)},                          // UTF-16 without a mark
        {4, std::string("\xff\xfe\0\0" "a\0\0\0\n\0\0\0", 12)},  // UTF-32 with its mark
        {4, std::string("\0\0\xfe\xff\0\0\0a\0\0\0\n", 12)},
        {4, std::string("\xff\xfe" "a\0\n", 5)},                // UTF-16 of an odd length
        {4, std::string("\xfe\xff\0\n\0", 5)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 20)) + " window " + std::to_string(c.window));
        TestWindowBuffer window(c.window);
        EXPECT_EQ(0, count(c.bytes, window.buffer));
        EXPECT_EQ(LINES_NOT_TEXT, form_);
        CloseHandle(source_);
        source_ = NULL;
    }
}
