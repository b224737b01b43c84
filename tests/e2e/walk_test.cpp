// Walking a tree through the built tool.
#include <filesystem>

#include "e2e.h"

namespace fs = std::filesystem;

class WalkTree : public TempDirTest {
protected:
    std::string run(const std::string &argument) { return run_tool_ok(argument); }
    std::string walked(const std::string &rel) const { return walked_path(dir(), rel); }

    // Every name below the directory, as relative paths, for spotting
    // leftovers of the write-back.
    std::vector<std::string> all_names() const
    {
        std::vector<std::string> names;
        for (const auto &e : fs::recursive_directory_iterator(dir()))
            names.push_back(fs::relative(e.path(), dir()).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(WalkTree, EmptyDirectoryGivesNothing)
{
    make_dir("empty");
    EXPECT_EQ("", run(path("empty")));
}

TEST_F(WalkTree, ExtensionFilter)
{
    struct Entry {
        const char *name;
        bool converted;
    } entries[] = {
        {"A.TXT", true},   {"b.Txt", true},      {"c.csc", true},  {"d.txt.bak", false},
        {"e.text", false}, {"txt", false},       {"f.tx", false},  {"g.CSC", true},
        {"x.txt/y.txt", true}, {"x.txt/z.md", false},
    };
    make_dir("x.txt");
    for (const Entry &e : entries)
        write_file(e.name, "line\n");
    std::string out = run(dir());
    for (const Entry &e : entries) {
        bool printed = out.find(walked(e.name) + " change") != std::string::npos;
        EXPECT_EQ(e.converted, printed) << e.name << "\n" << out;
        EXPECT_EQ(e.converted ? "line\r\n" : "line\n", read_file(e.name)) << e.name;
    }
}

TEST_F(WalkTree, ChangeLinesInNameOrderDepthFirst)
{
    make_dir("m");
    write_file("b.txt", "b\n");
    write_file("A.txt", "a\n");
    write_file("c.txt", "c\n");
    write_file("m/n.txt", "n\n");
    write_file("Z.txt", "z\n");
    std::string d = dir();
    std::string want = change_line(walked("A.txt"), 1) + change_line(walked("b.txt"), 1) +
                       change_line(walked("c.txt"), 1) + change_line(walked("m/n.txt"), 1) +
                       change_line(walked("Z.txt"), 1);
    EXPECT_EQ(want, run(d));
}

// On Windows the walk joins with one backslash whatever the argument ends
// with; on POSIX a trailing '/' is not doubled.
TEST_F(WalkTree, TrailingSeparatorInChangeLine)
{
    write_file("notes.txt", "n\n");
    std::string argument = dir() + test_sep;
    EXPECT_EQ(change_line(walked_path(argument, "notes.txt"), 1), run(argument));
    EXPECT_EQ("n\r\n", read_file("notes.txt"));
}

TEST_F(WalkTree, FileErrorsArePrintedAndWalkGoesOn)
{
    write_file("a.txt", "a\n");
    write_file("b.txt", "b\n");
    write_file("c.txt", std::string("\xff\xfe" "c\0", 4));
    write_file("d.txt", "d\n");
    test_set_readonly(path("b.txt"), true);
    std::string d = dir();
    std::string out = run(d);

    // The read-only b.txt is not replaced, so not announced: its error
    // comes between the change lines of a.txt and of c.txt, UTF-16 text.
    std::string a = change_line(walked("a.txt"), 1);
    std::string last = change_line(walked("c.txt"), 4) + change_line(walked("d.txt"), 1);
    ASSERT_EQ(a, out.substr(0, a.size())) << out;
    ASSERT_GE(out.size(), a.size() + last.size());
    EXPECT_EQ(last, out.substr(out.size() - last.size())) << out;
    std::string middle = out.substr(a.size(), out.size() - a.size() - last.size());
    EXPECT_EQ(1, count_errors(middle)) << out;
    EXPECT_EQ(std::string::npos, middle.find("change in size")) << out;
    EXPECT_NE(std::string::npos, middle.find("(CreateFile) (5) (" + walked("b.txt") + ")")) << out;

    EXPECT_EQ("a\r\n", read_file("a.txt"));
    EXPECT_EQ("b\n", read_file("b.txt"));
    EXPECT_EQ(std::string("\xff\xfe" "c\0\r\0\n\0", 8), read_file("c.txt"));
    EXPECT_EQ("d\r\n", read_file("d.txt"));
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}), all_names());
}

// Names that make the joined path too long for the 260-character buffer,
// or leave no room for the listing's pattern, are reported and skipped.
TEST_F(WalkTree, OverlongPathsAreReportedAndSkipped)
{
    std::string d = dir();
    // A directory whose joined path is 257 characters: it fits, but its
    // listing pattern does not. And a file whose joined path is 260.
    size_t base = d.size() + 1;
    std::string deep(257 - base, 'd');
    std::string wide(260 - base - 4, 'w');
    make_dir(deep);
    write_file(deep + "/x.txt", "x\n");
    write_file(wide + ".txt", "w\n");
    write_file("a.txt", "a\n");
    write_file("zz.txt", "z\n");
    std::string out = run(d);

    std::string first = change_line(walked("a.txt"), 1);
    std::string last = change_line(walked("zz.txt"), 1);
    ASSERT_GE(out.size(), first.size() + last.size()) << out;
    EXPECT_EQ(first, out.substr(0, first.size())) << out;
    EXPECT_EQ(last, out.substr(out.size() - last.size())) << out;
    std::string middle = out.substr(first.size(), out.size() - first.size() - last.size());
    EXPECT_EQ(2, count_errors(middle)) << out;
    EXPECT_EQ(std::string::npos, middle.find("change in size")) << out;
    EXPECT_NE(std::string::npos, middle.find("www")) << out;
    EXPECT_EQ("x\n", read_file(deep + "/x.txt"));
    EXPECT_EQ("w\n", read_file(wide + ".txt"));
}
