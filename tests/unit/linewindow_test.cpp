// The pair reader over windows: the growth and the output of a file read
// window by window, whatever the window's size, are those of the whole
// file read at once by the byte-at-a-time reference.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "linewindow.h"
#include "pair_reader.h"

namespace {

struct Windowed {
    int64_t growth;  // the windows' growths added up
    std::string output;
};

// Feeds `input` through windows of `window` bytes, each in a buffer of just
// the window and the room in front of it, and converted into one of just
// the room linewindow_convert asks for, as the counting pass and as the
// converting pass.
Windowed through_windows(const std::string &input, size_t window, LineForm form = LINES_BYTES)
{
    Windowed result = {0, ""};
    LineWindow counting, converting;
    linewindow_start(&counting, form);
    linewindow_start(&converting, form);
    size_t at = 0;
    do {
        size_t length = std::min(window, input.size() - at);
        bool last = at + length == input.size();
        std::vector<unsigned char> room(LINEWINDOW_FRONT + length);
        std::vector<unsigned char> out(linewindow_out_room(length));
        unsigned char *start = room.data() + LINEWINDOW_FRONT;
        std::copy(input.begin() + at, input.begin() + at + length, start);
        result.growth += linewindow_growth(&counting, start, length, last);
        std::copy(input.begin() + at, input.begin() + at + length, start);
        size_t count = linewindow_convert(&converting, start, length, last, out.data());
        result.output.append(reinterpret_cast<const char *>(out.data()), count);
        at += length;
    } while (at < input.size());
    return result;
}

void expect_as_whole(const std::string &input, size_t window)
{
    PairReaderResult want = pair_reader_convert(input);
    Windowed got = through_windows(input, window);
    ASSERT_EQ(want.growth, got.growth) << testing::PrintToString(input) << " window " << window;
    ASSERT_EQ(want.output, got.output) << testing::PrintToString(input) << " window " << window;
}

// The same for UTF-16 text in both byte orders, against the reference
// read in units.
void expect_units_as_whole(const std::string &little_endian, size_t window)
{
    std::string big_endian = little_endian;
    for (size_t i = 0; i + 1 < big_endian.size(); i += 2)
        std::swap(big_endian[i], big_endian[i + 1]);
    for (bool little : {true, false}) {
        const std::string &input = little ? little_endian : big_endian;
        PairReaderResult want = pair_reader_convert_utf16(input, little);
        Windowed got = through_windows(input, window, little ? LINES_UTF16LE : LINES_UTF16BE);
        ASSERT_EQ(want.growth, got.growth) << testing::PrintToString(input) << " window " << window;
        ASSERT_EQ(want.output, got.output) << testing::PrintToString(input) << " window " << window;
    }
}

// Units given as characters: each one a unit below 256, little-endian.
std::string units(const std::string &text)
{
    std::string result;
    for (char c : text)
        result += std::string{c, '\0'};
    return result;
}

}  // namespace

// A window of 4 bytes; each input puts a pair, or a break without one,
// where one window ends and the next begins, or is one window long, or
// one window and a byte.
TEST(LineWindow, BreaksAtWindowBoundaries)
{
    const char *inputs[] = {
        "abc\r\nxyz",     // CR ends a window, its LF starts the next
        "abc\n\rxyz",     // LF CR split the same way
        "abc\n\nxyz",     // two lone LFs either side
        "abc\r\rxyz",     // two lone CRs either side
        "abc\r",          // the file's last byte, a lone CR, ends a window
        "abcdefg\r",      // the same, the second window
        "abc\n",          // a lone LF the same way
        "abcd",           // exactly one window, no line end
        "abc\r\n",        // one window and one byte: the pair split
        "abcde",          // one window and one byte, no line end
        "\r\n\r\n\r\n\r\n\r\n", // a run of pairs over three windows
        "\n\r\n\r\n\r\n\r\n",   // a run that leaves a lone LF at the end
        "ab\n\r\n\rxy",   // a pair ends a window, the next starts one
        "ab\r\n\r\nxy",
        "abc\n\r\nxy",    // LF CR split, then a lone LF
        "",
    };
    for (const char *input : inputs)
        expect_as_whole(input, 4);
}

// Inputs of line breaks and one other byte, through windows of every size
// from one byte to longer than the input.
TEST(LineWindow, RandomInputsThroughEveryWindowSize)
{
    std::mt19937 rng(424242);
    const char alphabet[] = {'\r', '\n', 'a'};
    for (int round = 0; round < 300; round++) {
        size_t length = std::uniform_int_distribution<size_t>(0, 90)(rng);
        std::string input;
        for (size_t i = 0; i < length; i++)
            input += alphabet[std::uniform_int_distribution<int>(0, round % 2 == 0 ? 1 : 2)(rng)];
        for (size_t window = 1; window <= length + 1; window++)
            expect_as_whole(input, window);
    }
}

// UTF-16 text in both byte orders, through windows of every size from one
// byte up: a pair split over a window end, a unit cut in two by one, a
// lone break at a window's end or the file's, and units whose bytes are CR
// and LF but which are no breaks (U+0D0A, U+0A0D, U+0D00, U+000D's
// neighbours).
TEST(LineWindow, Utf16ThroughEveryWindowSize)
{
    const std::string inputs[] = {
        "\xff\xfe" + units("ab\r\ncd"),
        "\xff\xfe" + units("ab\n\rcd\n"),
        "\xff\xfe" + units("a\nb\rc\r"),
        "\xff\xfe" + units("\r\n\r\n\r\n\n\r\n"),
        "\xff\xfe" + units("\n\n\r\r"),
        "\xff\xfe",
        "",
        "\xff\xfe" + std::string("\x0a\x0d\x0d\x0a\x00\x0d\x0d\x00", 8),
        "\xff\xfe" + std::string("a\x0d\x0d\x00\x0a\x00\x0a\x0d", 8),
        units("no mark\n"),
    };
    for (const std::string &input : inputs) {
        for (size_t window = 1; window <= input.size() + 1; window++)
            expect_units_as_whole(input, window);
    }
}

TEST(LineWindow, RandomUtf16ThroughWindows)
{
    std::mt19937 rng(1616);
    const char *alphabet[] = {"\r\0", "\n\0", "a\0", "\x0a\x0d", "\x0d\x0a", "\0\x0d", "\0\x0a", "\xff\xfe"};
    for (int round = 0; round < 200; round++) {
        std::string input = "\xff\xfe";
        size_t length = std::uniform_int_distribution<size_t>(0, 40)(rng);
        for (size_t i = 0; i < length; i++)
            input += std::string(alphabet[std::uniform_int_distribution<int>(0, round % 2 == 0 ? 2 : 7)(rng)], 2);
        for (size_t window : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{8}, input.size()})
            expect_units_as_whole(input, window);
    }
}

TEST(LineWindow, FormOfTheFirstBytes)
{
    const struct {
        std::string head;
        uint64_t size;
        LineForm form;
    } cases[] = {
        {"", 0, LINES_BYTES},
        {"ab", 2, LINES_BYTES},
        {"\xff", 1, LINES_BYTES},
        {"\xfe", 1, LINES_BYTES},
        {"\xff\xfe", 2, LINES_UTF16LE},
        {"\xfe\xff", 2, LINES_UTF16BE},
        {"\xff\xfe" "a\0", 4, LINES_UTF16LE},
        {"\xfe\xff\0a", 1000, LINES_UTF16BE},
        {"\xff\xfe" "a", 3, LINES_NOT_TEXT},      // an odd length
        {"\xfe\xff\0a", 1001, LINES_NOT_TEXT},
        {std::string("\xff\xfe\0\0", 4), 4, LINES_NOT_TEXT},     // UTF-32, little-endian
        {std::string("\xff\xfe\0\0", 4), 400, LINES_NOT_TEXT},
        {std::string("\0\0\xfe\xff", 4), 8, LINES_NOT_TEXT},     // UTF-32, big-endian
        {std::string("\xff\xfe\0", 3), 3, LINES_NOT_TEXT},
        {std::string("\xff\xfe\0a", 4), 4, LINES_UTF16LE},       // U+6100 after the mark
        {"\xef\xbb\xbf" "a", 4, LINES_BYTES},    // UTF-8 with its mark is bytes
    };
    for (const auto &c : cases) {
        std::string head = c.head + std::string(4, 'z');
        EXPECT_EQ(c.form, lineform_of(reinterpret_cast<const unsigned char *>(head.data()), c.size))
            << testing::PrintToString(c.head) << " size " << c.size;
    }
}
