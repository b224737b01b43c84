// Input the tool must survive on every target: read-only files, odd names,
// a tree deeper than the path buffer. Each case checks all three: nothing
// lost, nothing left behind, and one error text for each thing that went
// wrong (none otherwise).
#include <stdio.h>

#include <filesystem>

#include "e2e.h"

namespace fs = std::filesystem;

namespace {

const size_t kPathBuffer = 260;  // the tool's path buffer, its zero included

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

class BadInput : public ToolRunTest {};

TEST_F(BadInput, ReadOnlyFileIsKeptAndTheWalkGoesOn)
{
    write_file("a.txt", "a\n");
    write_file("m.txt", "keep\nme");
    write_file("z.txt", "z");
    test_set_readonly(path("m.txt"), true);
    remember();
    std::string out = run(dir());

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "z.txt"}), o.converted);
    EXPECT_EQ(std::vector<std::string>{"m.txt"}, o.kept);
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(1u, errors.size()) << out;
    EXPECT_EQ(5, errors[0].code);
    EXPECT_EQ(walked("m.txt"), errors[0].details);
    EXPECT_EQ(std::string::npos, out.find("m.txt change")) << out;
}

// Names with bytes above 127, spaces, leading dots, no stem, "txt" as the
// whole name, and names as long as the path buffer allows, or one longer.
TEST_F(BadInput, AwkwardNames)
{
    const size_t room = kPathBuffer - 1 - (dir().size() + 1);  // the longest name that fits
    struct Name {
        std::string name;
        bool converted;
    } names[] = {
        {"caf\xe9 cr\xe8me.txt", true},
        {"\xc4\xd6\xdc\xe6\xf8.CSC", true},
        {"with space.txt", true},
        {" leading space.txt", true},
        {".hidden.txt", true},
        {".txt", true},
        {"..txt", true},
        {"txt", false},
        {"notes.txt 2", false},
        {"x.txt.bak", false},
        {"no_extension", false},
        {std::string(room - 4, 'n') + ".txt", true},
        {std::string(room - 3, 'o') + ".txt", false},
    };
    std::vector<std::string> converted, kept;
    for (const Name &n : names) {
        write_file(n.name, "line one\nline two");
        (n.converted ? converted : kept).push_back(n.name);
    }
    remember();
    std::string out = run(dir());

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(sorted(converted), o.converted);
    EXPECT_EQ(sorted(kept), o.kept);
    for (const std::string &name : converted)
        EXPECT_NE(std::string::npos, out.find(change_line(walked_path(dir(), printed_name(name)), 3))) << name;
    // Only the name one character too long is an error.
    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(1u, errors.size()) << out;
    EXPECT_EQ(206, errors[0].code);
    EXPECT_NE(std::string::npos, errors[0].details.find("ooo")) << errors[0].details;
}

// 40 levels, each with a file to convert: files whose joined path fits the
// buffer are converted; the first entry that does not fit, or the first
// directory whose search pattern does not, is reported and nothing below it
// is touched.
TEST_F(BadInput, TreeDeeperThanThePathBuffer)
{
    const int kLevels = 40;
    auto level_name = [](int level) {
        char name[16];
        snprintf(name, sizeof name, "level_%02d", level);
        return std::string(name);
    };
    std::string rel;
    write_file("f.txt", "f\n");
    for (int level = 1; level <= kLevels; level++) {
        rel += level_name(level) + "/";
        fs::create_directories(test_fs_path(path(rel)));
        std::ofstream(test_fs_path(path(rel + "f.txt")), std::ios::binary) << "f\n";
    }
    remember();
    std::string out = run(dir());

    std::vector<std::string> converted;
    size_t expected_errors = 0;
    std::string at = dir();
    rel.clear();
    // A file is converted where its name fits and a temporary name
    // (~dvk, eight digits, .tmp) fits beside it; the tool never falls back
    // to writing in place.
    const size_t kTempName = 16;
    for (int level = 0;; level++) {
        if (at.size() + 1 + kTempName < kPathBuffer)
            converted.push_back(rel + "f.txt");
        else
            expected_errors++;
        if (level == kLevels)
            break;
        std::string sub = walked_path(at, level_name(level + 1));
        if (sub.size() >= kPathBuffer || sub.size() + 4 >= kPathBuffer) {
            expected_errors++;
            break;
        }
        at = sub;
        rel += level_name(level + 1) + "/";
    }
    ASSERT_LT(converted.size(), static_cast<size_t>(kLevels)) << "the tree does not cross the limit";

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    EXPECT_EQ(sorted(converted), o.converted);
    EXPECT_EQ(static_cast<size_t>(kLevels + 1) - converted.size(), o.kept.size());
    std::vector<ErrorLine> errors = error_lines(out);
    EXPECT_EQ(expected_errors, errors.size()) << out;
    for (const ErrorLine &e : errors)
        EXPECT_EQ(206, e.code) << e.call << " " << e.details;
}
