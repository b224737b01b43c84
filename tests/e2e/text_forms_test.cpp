// UTF-16 text converted in its units, and files that are not text named
// and left alone, through the built tool, converting and checking.
#include <filesystem>

#include "e2e.h"

namespace {

// The units in the byte order asked for.
std::string utf16_bytes(const std::u16string &units, bool little_endian)
{
    std::string bytes;
    for (char16_t unit : units) {
        char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += little_endian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

// A window of the tool's counting and converting passes.
const size_t kToolWindow = 256u << 10;

}  // namespace

class TextForms : public ToolRunTest {
protected:
    // Checks, then converts, the file `name` holding `before`: both print
    // the change line of `growth` (nothing for 0), and the file then holds
    // `after`.
    void expect_converted(const std::string &name, const std::string &before, int growth, const std::string &after)
    {
        write_file(name, before);
        test_set_mtime(path(name), kSampleTime);
        std::string want = growth == 0 ? "" : change_line(path(name), growth);
        std::string out, err;
        int status = -1;
        run_tool({"--check", path(name)}, &out, &err, &status);
        EXPECT_EQ(growth == 0 ? 0 : 1, status);
        EXPECT_EQ(want, out);
        EXPECT_EQ("", err);
        EXPECT_TRUE(before == read_file(name));
        run_tool({path(name)}, &out, &err, &status);
        EXPECT_EQ(0, status);
        EXPECT_EQ(want, out);
        EXPECT_EQ("", err);
        EXPECT_TRUE(after == read_file(name)) << testing::PrintToString(read_file(name).substr(0, 40));
        EXPECT_EQ(growth == 0 ? kSampleTime : to_centisecond(kSampleTime), test_get_mtime(path(name)));
    }
};

// The same rules as for bytes, in units; the mark is kept. Units whose
// bytes are CR or LF but which are other characters (U+0A0D, U+0D0A,
// U+0D00) are no line breaks.
TEST_F(TextForms, Utf16IsConvertedInItsUnits)
{
    const struct {
        std::u16string text;
        int growth;  // in bytes
        std::u16string converted;
    } samples[] = {
        {u"\uFEFFline\n", 2, u"\uFEFFline\r\n"},
        {u"\uFEFFa\n\rb", 4, u"\uFEFFa\r\nb\r\n"},
        {u"\uFEFFx\ry\r\n", 0, u""},
        {u"\uFEFFa\r", 4, u"\uFEFFa\r\r\n"},
        {u"\uFEFF", 4, u"\uFEFF\r\n"},
        {u"\uFEFF\n\r\n", 2, u"\uFEFF\r\n\r\n"},
        {u"\uFEFF\u0A0D\u0D0A\u0D00\r\n", 0, u""},
        {u"\uFEFF\u0A0D\u0D0A", 4, u"\uFEFF\u0A0D\u0D0A\r\n"},
        {u"\uFEFF\u00E9t\u00E9\n\u20AC\n", 4, u"\uFEFF\u00E9t\u00E9\r\n\u20AC\r\n"},
    };
    int n = 0;
    for (const auto &s : samples) {
        for (bool little : {true, false}) {
            SCOPED_TRACE(std::to_string(n) + (little ? " little-endian" : " big-endian"));
            std::string before = utf16_bytes(s.text, little);
            std::string after = s.growth == 0 ? before : utf16_bytes(s.converted, little);
            expect_converted("u" + std::to_string(n++) + ".txt", before, s.growth, after);
        }
    }
}

// A file of several windows of the passes, with a CR LF pair over the
// first window's end; in both byte orders.
TEST_F(TextForms, LargeUtf16OverWindowEnds)
{
    std::u16string text = u"\uFEFF";
    for (int i = 0; text.size() < kToolWindow / 2; i++)
        text += u"z\u00FC" + std::u16string(static_cast<size_t>(i % 50), u'\u4E00') + u"\n";
    text.resize(kToolWindow / 2 - 1);
    text.back() = u'x';
    text += u"\r\nand more\n";  // the CR is the first window's last unit
    for (int i = 0; i < 60000; i++)
        text += u"line\n";
    // Lone LFs and CR LF pairs only: each LF without a CR before it grows.
    std::u16string converted;
    for (size_t i = 0; i < text.size(); i++)
        converted += text[i] == u'\n' && text[i - 1] != u'\r' ? std::u16string(u"\r\n") : std::u16string(1, text[i]);
    int growth = 2 * static_cast<int>(converted.size() - text.size());
    for (bool little : {true, false}) {
        SCOPED_TRACE(little ? "little-endian" : "big-endian");
        std::string before = utf16_bytes(text, little);
        ASSERT_EQ(std::string(little ? "\r\0\n\0" : "\0\r\0\n", 4), before.substr(kToolWindow - 2, 4));
        expect_converted(little ? "le.txt" : "be.txt", before, growth, utf16_bytes(converted, little));
    }
}

// A file with a second name is replaced like any other, in units too, over
// several windows; the other name keeps the old content.
TEST_F(TextForms, Utf16WithTwoNamesIsReplaced)
{
    std::u16string text = u"\uFEFF", converted = u"\uFEFF";
    for (int i = 0; text.size() < kToolWindow; i++) {
        text += i % 3 == 0 ? u"\u00E9l\u00E8ve\r\n" : u"\u00E9l\u00E8ve\n";
        converted += u"\u00E9l\u00E8ve\r\n";
    }
    text += u"end";
    converted += u"end\r\n";
    for (bool little : {true, false}) {
        SCOPED_TRACE(little ? "little-endian" : "big-endian");
        std::string before = utf16_bytes(text, little), after = utf16_bytes(converted, little);
        std::filesystem::remove(test_fs_path(path("other.md")));
        write_file("u.txt", before);
        std::filesystem::create_hard_link(test_fs_path(path("u.txt")), test_fs_path(path("other.md")));
        EXPECT_EQ(change_line(path("u.txt"), static_cast<int>(after.size() - before.size())),
                  run_tool_ok(path("u.txt"), false));
        EXPECT_TRUE(after == read_file("u.txt"));
        EXPECT_TRUE(before == read_file("other.md"));
    }
}

// Binary data, UTF-16 and UTF-32 without a mark, UTF-32 with its mark and
// UTF-16 of an odd length are not rewritten, whether they would grow or
// not (CR LF text with a zero byte): each is named on standard error, as
// the argument and in a walk, converting and checking, and the run goes on
// with status 0 (1 when checking, for the text file beside them).
TEST_F(TextForms, FilesThatAreNotTextAreNamedAndLeftAlone)
{
    std::string random_bytes;
    for (unsigned i = 0, x = 12345; i < 3000; i++) {
        x = x * 1103515245u + 12345u;
        random_bytes += static_cast<char>(x >> 16);
    }
    random_bytes[0] = 'r';
    random_bytes[100] = '\0';
    std::string past_window = std::string(kToolWindow, 'w');
    for (size_t i = 80; i < past_window.size(); i += 81)
        past_window[i] = '\n';
    past_window += std::string("\0tail\n", 6);
    const struct {
        const char *name;
        std::string bytes;
    } files[] = {
        {"a-random.txt", random_bytes},
        {"b-png.txt", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20)},
        {"c-zero-at-end.txt", std::string("text\nmore\n\0", 11)},
        {"d-past-window.txt", past_window},
        {"e-crlf-with-zero.txt", std::string("done\r\n\0\r\n", 9)},
        {"f-utf16-no-mark.txt", utf16_bytes(u"a\nb\n", true)},
        {"g-utf32-le.txt", std::string("\xff\xfe\0\0a\0\0\0\n\0\0\0", 12)},
        {"h-utf32-be.txt", std::string("\0\0\xfe\xff\0\0\0a\0\0\0\n", 12)},
        {"i-utf16-odd.txt", std::string("\xff\xfe" "a\0\n\0\n", 7)},
        {"j-utf16be-odd.txt", std::string("\xfe\xff\0a\0", 5)},
    };
    make_dir("tree");
    for (const auto &f : files) {
        write_file(std::string("tree/") + f.name, f.bytes);
        test_set_mtime(path(std::string("tree/") + f.name), kSampleTime);
    }
    write_file("tree/z-text.txt", "z\n");
    remember();

    for (bool check : {true, false}) {
        SCOPED_TRACE(check ? "check" : "convert");
        std::string out, err, want_err;
        int status = -1;
        for (const auto &f : files) {
            std::string name = path(std::string("tree/") + f.name);
            run_tool(check ? std::vector<std::string>{"--check", name} : std::vector<std::string>{name}, &out, &err,
                     &status);
            EXPECT_EQ(0, status) << f.name;
            EXPECT_EQ("", out) << f.name;
            EXPECT_EQ(printed_line(name + ": not text, left alone"), err) << f.name;
            want_err += printed_line(walked(std::string("tree/") + f.name) + ": not text, left alone");
        }
        std::vector<std::string> args = {walked("tree")};
        if (check)
            args.insert(args.begin(), "--check");
        run_tool(args, &out, &err, &status);
        EXPECT_EQ(check ? 1 : 0, status);
        EXPECT_EQ(change_line(walked("tree/z-text.txt"), 1), out);
        EXPECT_EQ(want_err, err);
        for (const auto &f : files) {
            EXPECT_TRUE(f.bytes == read_file(std::string("tree/") + f.name)) << f.name;
            EXPECT_EQ(kSampleTime, test_get_mtime(path(std::string("tree/") + f.name))) << f.name;
        }
    }
    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(std::vector<std::string>{"tree/z-text.txt"}, o.converted);
}
