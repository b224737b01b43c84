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
Windowed through_windows(const std::string &input, size_t window)
{
    Windowed result = {0, ""};
    LineWindow counting, converting;
    linewindow_start(&counting);
    linewindow_start(&converting);
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
