// Names only POSIX allows: any byte but '/' and zero, valid text or not,
// and characters that paths of the system the tool is written for give a
// meaning (wildcards, quotes, angle brackets, backslashes). Such names are
// converted or passed by; none is expanded, none leads the walk out of its
// tree.
#include "e2e.h"
#include "environment.h"

class BadInputPosix : public ToolRunTest {};

TEST_F(BadInputPosix, RawByteNames)
{
    const std::string converted[] = {
        "tree/\x80\x81\x9f\xfe\xff.txt",
        "tree/\xc3\x28 not utf-8.txt",
        "tree/tab\there.txt",
        "tree/new\nline.txt",
        "tree/run-12:30:00.txt",
    };
    make_dir("tree");
    for (const std::string &name : converted)
        write_file(name, "raw\nname");
    // Passed by and named on standard error as they are listed, not errors:
    // a wildcard cannot be opened; a quote or a token would be read by the
    // path expansion (expanded, the token would name ../outside.txt); a
    // backslash, which every path reads as a separator: "up\.." is not
    // walked as "..", so the file beside the tree stays as it is. A name of
    // no interest to the walk is passed by without a word.
    test_set_env("DRAVICK_T_UP", "..\\outside");
    write_file("tree/*?.txt", "kept\n");
    write_file("tree/quote\".txt", "kept\n");
    write_file("tree/<%DRAVICK_T_UP%>.txt", "kept\n");
    write_file("tree/back\\slash.txt", "kept\n");
    write_file("tree/angle>.csc", "kept\n");
    write_file("tree/star*.md", "kept\n");
    make_dir("tree/up\\..");
    write_file("tree/up\\../inner.txt", "kept\n");
    make_dir("tree/dot\\.");
    make_dir("tree/wild?");
    write_file("tree/wild?/inner.txt", "kept\n");
    write_file("outside.txt", "kept\n");
    remember();
    std::string out, err;
    int status = -1;
    run_tool({path("tree")}, &out, &err, &status);
    test_set_env("DRAVICK_T_UP", nullptr);
    EXPECT_EQ(0, status) << out << err;

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    std::vector<std::string> want(std::begin(converted), std::end(converted));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(want, o.converted);
    EXPECT_EQ((std::vector<std::string>{"outside.txt", "tree/*?.txt", "tree/<%DRAVICK_T_UP%>.txt",
                                        "tree/angle>.csc", "tree/back\\slash.txt", "tree/quote\".txt",
                                        "tree/star*.md", "tree/up\\../inner.txt", "tree/wild?/inner.txt"}),
              o.kept);

    EXPECT_EQ(0, count_errors(out)) << out;
    std::string tree = path("tree") + "/";
    const std::string separator = ": name holds a path separator, skipped";
    const std::string expansion = ": name holds a quote or an angle bracket, skipped";
    const std::string wildcard = ": name holds a wildcard, skipped";
    EXPECT_EQ(printed_line(tree + "*?.txt" + wildcard) + printed_line(tree + "<%DRAVICK_T_UP%>.txt" + expansion) +
                  printed_line(tree + "angle>.csc" + expansion) + printed_line(tree + "back\\slash.txt" + separator) +
                  printed_line(tree + "dot\\." + separator) + printed_line(tree + "quote\".txt" + expansion) +
                  printed_line(tree + "up\\.." + separator) + printed_line(tree + "wild?" + wildcard),
              err);
}
