// Names only POSIX allows: any byte but '/' and zero, valid text or not,
// and characters that paths of the system the tool is written for give a
// meaning (wildcards, quotes, angle brackets, backslashes). Such names are
// converted or reported; none is expanded, none leads the walk out of its
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
    // Reported: a wildcard cannot be opened; a quote or a token is refused,
    // not expanded (expanded, the token would name ../outside.txt). A name
    // with a backslash, which every path reads as a separator, is named on
    // standard error as it is and passed by: "up\.." is not walked as "..",
    // so the file beside the tree stays as it is.
    test_set_env("DRAVICK_T_UP", "..\\outside");
    write_file("tree/*?.txt", "kept\n");
    write_file("tree/quote\".txt", "kept\n");
    write_file("tree/<%DRAVICK_T_UP%>.txt", "kept\n");
    write_file("tree/back\\slash.txt", "kept\n");
    make_dir("tree/up\\..");
    write_file("tree/up\\../inner.txt", "kept\n");
    write_file("outside.txt", "kept\n");
    remember();
    std::string out, err;
    int status = -1;
    run_tool({path("tree")}, &out, &err, &status);
    test_set_env("DRAVICK_T_UP", nullptr);
    EXPECT_EQ(2, status);  // errors were printed

    TreeOutcome o = outcome();
    expect_nothing_lost_or_left(o);
    std::vector<std::string> want(std::begin(converted), std::end(converted));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(want, o.converted);
    EXPECT_EQ((std::vector<std::string>{"outside.txt", "tree/*?.txt", "tree/<%DRAVICK_T_UP%>.txt",
                                        "tree/back\\slash.txt", "tree/quote\".txt",
                                        "tree/up\\../inner.txt"}),
              o.kept);

    std::vector<ErrorLine> errors = error_lines(out);
    ASSERT_EQ(3u, errors.size()) << out;
    std::vector<std::string> named;
    for (const ErrorLine &e : errors)
        named.push_back(std::to_string(e.code) + " " + e.details);
    std::sort(named.begin(), named.end());
    std::string tree = path("tree") + "\\";
    EXPECT_EQ((std::vector<std::string>{"123 " + tree + "*?.txt", "123 " + tree + "<%DRAVICK_T_UP%>.txt",
                                        "123 " + tree + "quote\".txt"}),
              named);
    EXPECT_EQ(printed_line(tree + "back\\slash.txt: name holds a path separator, skipped") +
                  printed_line(tree + "up\\..: name holds a path separator, skipped"),
              err);
}
