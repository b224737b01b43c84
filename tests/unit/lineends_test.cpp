// The fast passes against the byte-at-a-time pair reader, and the
// documented samples written out by hand.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lineends.h"
#include "lineends_variants.h"
#include "pair_reader.h"

namespace {

struct Converted {
    std::string output;
    int64_t growth;
};

// The count and the copying conversion of one build, from a buffer of just
// the input into one of just the room it asks for. `last`: the input ends
// the file.
Converted copy_with(const LineendsVariant *variant, const std::string &input, bool last = true)
{
    std::vector<unsigned char> in(input.begin(), input.end());
    std::vector<unsigned char> out(2 * input.size() + 2);
    bool nul = false;
    int64_t growth = lineends_count_with(variant, in.data(), in.size(), last, &nul);
    size_t count = lineends_convert_with(variant, in.data(), in.size(), last, out.data());
    return {std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(count)), growth};
}

// The builds this processor can run: the SSE2 one where it has it, and
// always the plain loop.
std::vector<const LineendsVariant *> variants()
{
    int count = 0;
    const LineendsVariant *const *all = lineends_variants(&count);
    return std::vector<const LineendsVariant *>(all, all + count);
}

// Every build of the passes this processor can run against the expected
// result.
void expect_converts_to(const std::string &input, int64_t growth, const std::string &output)
{
    for (const LineendsVariant *variant : variants()) {
        Converted got = copy_with(variant, input);
        ASSERT_EQ(growth, got.growth) << variant->name << " " << testing::PrintToString(input);
        ASSERT_EQ(output, got.output) << variant->name << " " << testing::PrintToString(input);
    }
}

void expect_same_as_reference(const std::string &input)
{
    PairReaderResult want = pair_reader_convert(input);
    expect_converts_to(input, want.growth, want.output);
}

}  // namespace

// Where the SSE2 kernels are built, a processor that has SSE2 runs them;
// the plain loop is always there, last.
TEST(LineEnds, Sse2IsPickedWhereTheProcessorHasIt)
{
    std::vector<const LineendsVariant *> all = variants();
    ASSERT_FALSE(all.empty());
    EXPECT_STREQ("plain", all.back()->name);
#ifdef DRAVICK_SSE2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("sse2")) {
        ASSERT_EQ(2u, all.size());
        EXPECT_STREQ("sse2", all[0]->name);
    }
#endif
}

TEST(LineEnds, DocumentedSamples)
{
    struct Sample {
        std::string input;
        int64_t growth;
        std::string output;
    } samples[] = {
        {"", 0, ""},
        {"a", 2, "a\r\n"},
        {"a\n", 1, "a\r\n"},
        {"a\r\n", 0, "a\r\n"},
        {"a\r", 2, "a\r\r\n"},
        {"a\n\r", 0, "a\r\n"},
        {"a\n\rb", 2, "a\r\nb\r\n"},
        {"\n\n", 2, "\r\n\r\n"},
        {"x\ry", 2, "x\ry\r\n"},
        {"\n\r\n", 1, "\r\n\r\n"},
        {"\r\n\r", 2, "\r\n\r\r\n"},
        {"\r\r\n", 0, "\r\r\n"},
        {std::string("a\0b", 3), 2, std::string("a\0b\r\n", 5)},
        {"\xff\x0d\x0a", 0, "\xff\x0d\x0a"},
    };
    for (const Sample &s : samples) {
        expect_converts_to(s.input, s.growth, s.output);
        EXPECT_EQ(pair_reader_convert(s.input).output, s.output) << testing::PrintToString(s.input);
    }
}

// Every sequence of CR, LF and one other byte up to eight long.
TEST(LineEnds, EveryShortPatternMatchesReference)
{
    const char alphabet[] = {'\r', '\n', 'a'};
    for (int length = 0; length <= 8; length++) {
        int total = 1;
        for (int i = 0; i < length; i++)
            total *= 3;
        for (int n = 0; n < total; n++) {
            std::string input;
            for (int i = 0, v = n; i < length; i++, v /= 3)
                input += alphabet[v % 3];
            expect_same_as_reference(input);
        }
    }
}

// Short patterns placed across the eight- and sixteen-byte steps of the scan.
TEST(LineEnds, PatternsAtEveryOffsetMatchReference)
{
    const char *patterns[] = {"\r\n", "\n\r", "\n", "\r", "\n\r\n", "\r\n\r", "\r\r\n\n", "\n\n\r\r"};
    for (const char *pattern : patterns) {
        for (size_t before = 0; before < 40; before++) {
            for (size_t after = 0; after < 20; after++)
                expect_same_as_reference(std::string(before, 'x') + pattern + std::string(after, 'y'));
        }
    }
}

TEST(LineEnds, LongRandomInputsMatchReference)
{
    std::mt19937 rng(20240611);
    // Chance in a thousand that a byte is CR, and that it is LF.
    struct Density {
        int cr, lf;
    } densities[] = {{0, 0}, {0, 12}, {12, 12}, {1, 1}, {300, 300}, {0, 900}, {900, 0}, {5, 20}};
    for (const Density &d : densities) {
        for (int round = 0; round < 4; round++) {
            size_t length = std::uniform_int_distribution<size_t>(1000, 200000)(rng);
            std::string input(length, '\0');
            std::uniform_int_distribution<int> per_mille(0, 999);
            std::uniform_int_distribution<int> other(0, 255);
            for (char &c : input) {
                int r = per_mille(rng);
                if (r < d.cr)
                    c = '\r';
                else if (r < d.cr + d.lf)
                    c = '\n';
                else
                    c = static_cast<char>(other(rng));
            }
            expect_same_as_reference(input);
        }
    }
}

// Runs of alternating breaks of every length up to 140, started at every
// offset in a block of 64 bytes and ended by a byte, by a repeated break or
// by the file's end: the counting pass takes runs 64 bytes at a time.
TEST(LineEnds, AlternatingRunsAcrossBlocksMatchReference)
{
    for (size_t length = 1; length <= 140; length++) {
        for (size_t offset = 0; offset < 64; offset += length < 8 ? 1 : 7) {
            for (char first : {'\r', '\n'}) {
                std::string run;
                for (size_t i = 0; i < length; i++)
                    run += (i % 2 == 0) == (first == '\r') ? '\r' : '\n';
                std::string before(offset, 'x');
                expect_same_as_reference(before + run);
                expect_same_as_reference(before + run + "y");
                expect_same_as_reference(before + run + run.back() + "y");
            }
        }
    }
}

// Text with CR LF line ends, blank lines among them, and now and then a
// lone LF, a lone CR or an LF CR pair put in at a random place.
TEST(LineEnds, CrLfTextWithStrayBreaksMatchesReference)
{
    std::mt19937 rng(77);
    const char *strays[] = {"\n", "\r", "\n\r", "\r\r", "\n\n"};
    for (int round = 0; round < 200; round++) {
        std::string input;
        while (input.size() < 2000) {
            input += std::string(std::uniform_int_distribution<size_t>(0, 70)(rng), 'z') + "\r\n";
            if (std::uniform_int_distribution<int>(0, 3)(rng) == 0)
                input += "\r\n";
        }
        size_t at = std::uniform_int_distribution<size_t>(0, input.size())(rng);
        input.insert(at, strays[round % 5]);
        expect_same_as_reference(input);
        expect_same_as_reference(input.substr(0, at + 1));
    }
}

// A file read in parts, as the windows of a large file are: where the
// first part ends as lineends_part_end says, its _part count and conversion
// and the whole-file ones of the rest add up to those of the whole, in
// every build. Cut near the stray breaks of converted text and anywhere.
TEST(LineEnds, PartsAddUpToTheWholeInEveryBuild)
{
    std::mt19937 rng(4711);
    const char *strays[] = {"\n", "\r", "\n\r", "\r\r", "\n\n", "\r\n\r"};
    for (int round = 0; round < 60; round++) {
        std::string input;
        while (input.size() < 700)
            input += std::string(std::uniform_int_distribution<size_t>(0, 90)(rng), 'q') + "\r\n";
        size_t at = std::uniform_int_distribution<size_t>(0, input.size())(rng);
        input.insert(at, strays[round % 6]);
        PairReaderResult want = pair_reader_convert(input);
        for (size_t cut : {at - std::min<size_t>(at, 1), at, at + 1, at + 2, at + 63, input.size() / 2}) {
            cut = std::min(cut, input.size());
            const unsigned char *bytes = reinterpret_cast<const unsigned char *>(input.data());
            size_t part = lineends_part_end(bytes, cut);
            std::string rest = input.substr(part);
            for (const LineendsVariant *variant : variants()) {
                SCOPED_TRACE(std::string(variant->name) + " cut " + std::to_string(part));
                Converted head = copy_with(variant, input.substr(0, part), false);
                Converted tail = copy_with(variant, rest);
                ASSERT_EQ(want.growth, head.growth + tail.growth);
                ASSERT_EQ(want.output, head.output + tail.output);
            }
        }
    }
}

// The count tells whether a zero byte is among the bytes, in every build:
// one at every place of the blocks the scan takes, in text of lone LFs and
// in converted text, whose runs of CR LF pairs the scan passes in bulk; and
// none among every other byte value.
TEST(LineEnds, CountFindsAZeroByteAnywhere)
{
    std::string lf_text, crlf_text, every_byte;
    for (int i = 0; lf_text.size() < 300; i++)
        lf_text += std::string(i % 23, 'l') + "\n";
    for (int i = 0; crlf_text.size() < 300; i++)
        crlf_text += std::string(i % 11, 'c') + "\r\n";
    for (int b = 1; b < 256; b++)
        every_byte += static_cast<char>(b);
    for (const std::string &text : {lf_text, crlf_text, every_byte}) {
        for (size_t length : {text.size(), size_t{64}, size_t{65}, size_t{127}, size_t{1}}) {
            std::string base = text.substr(0, length);
            std::vector<std::string> inputs = {base};
            for (size_t at = 0; at < base.size(); at++) {
                std::string with_zero = base;
                with_zero[at] = '\0';
                inputs.push_back(with_zero);
            }
            for (const std::string &input : inputs) {
                const unsigned char *bytes = reinterpret_cast<const unsigned char *>(input.data());
                bool want = input.find('\0') != std::string::npos;
                for (const LineendsVariant *variant : variants()) {
                    for (bool last : {true, false}) {
                        bool nul = false;
                        lineends_count_with(variant, bytes, input.size(), last, &nul);
                        ASSERT_EQ(want, nul) << variant->name << " " << testing::PrintToString(input);
                        nul = true;  // a zero byte seen before stays seen
                        lineends_count_with(variant, bytes, input.size(), last, &nul);
                        ASSERT_TRUE(nul) << variant->name;
                    }
                }
            }
        }
    }
}
