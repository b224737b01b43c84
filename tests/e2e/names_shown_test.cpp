// Names outside ASCII as the report shows them. The Windows program has
// UTF-8 for its code page, so names outside the ANSI code page reach it
// and print in UTF-8, as names do on POSIX; a C1 control in a name, which a
// UTF-8 terminal may read as the start of an escape sequence, is shown as
// '?' on both.
#include <filesystem>
#include <fstream>

#include "e2e.h"

namespace fs = std::filesystem;

class NamesShown : public TempDirTest {
protected:
    fs::path made(const std::string &utf8_name, const std::string &bytes) const
    {
        fs::path file = test_fs_path(dir()) / fs::u8path(utf8_name);
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
};

TEST_F(NamesShown, Utf8NamesAsTheyAreAndC1ControlsAsQuestionMarks)
{
    const struct {
        std::string name, shown;
    } names[] = {
        {"caf\xc3\xa9.txt", "caf\xc3\xa9.txt"},
        {"x\xc2\x9b" "2J.txt", "x?2J.txt"},
        {"y\xc2\x85z.txt", "y?z.txt"},
        {"\xe6\xbc\xa2\xe5\xad\x97.txt", "\xe6\xbc\xa2\xe5\xad\x97.txt"},
    };
    std::string want;
    for (const auto &n : names) {
        made(n.name, "a\n");
        want += change_line(walked_path(dir(), n.shown), 1);
    }
    std::string out, err;
    int status = -1;
    run_tool({dir()}, &out, &err, &status);
    EXPECT_EQ(want, out);
    EXPECT_EQ("", err);
    EXPECT_EQ(0, status);
    for (const auto &n : names)
        EXPECT_EQ("a\r\n", file_bytes(test_fs_path(dir()) / fs::u8path(n.name))) << n.shown;
}
