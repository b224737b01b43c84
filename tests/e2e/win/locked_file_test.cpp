// Files another program holds open. Windows enforces the sharing that
// program asked for: with none the tool cannot read the file; without
// deletion shared it can read it, but the original cannot be replaced while
// it is open. Either way the file stays as it was, no temporary file is
// left, the error names the file, and the walk goes on.
#include <windows.h>

#include "e2e.h"

class LockedFile : public ToolRunTest {};

TEST_F(LockedFile, HeldOpenByAnotherProgramIsKeptAndReported)
{
    const struct {
        const char *sub;
        DWORD share;
        const char *call;
    } cases[] = {
        {"none", 0, "CreateFile"},
        {"read", FILE_SHARE_READ, "CreateFile"},
        {"readwrite", FILE_SHARE_READ | FILE_SHARE_WRITE, "CreateFile"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sub);
        std::string sub = c.sub;
        make_dir(sub);
        write_file(sub + "/a.txt", "a\n");
        write_file(sub + "/held.txt", "held\n");
        write_file(sub + "/z.txt", "z\n");
        remember();
        HANDLE held = CreateFileA(path(sub + "/held.txt").c_str(), GENERIC_READ, c.share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        std::string out = run(walked(sub));
        CloseHandle(held);

        TreeOutcome o = outcome();
        expect_nothing_lost_or_left(o);
        EXPECT_EQ((std::vector<std::string>{sub + "/a.txt", sub + "/z.txt"}), o.converted);
        EXPECT_EQ("held\n", read_file(sub + "/held.txt"));
        std::vector<ErrorLine> errors = error_lines(out);
        ASSERT_EQ(1u, errors.size()) << out;
        EXPECT_EQ(c.call, errors[0].call) << out;
        EXPECT_EQ(ERROR_SHARING_VIOLATION, errors[0].code) << out;
        EXPECT_EQ(walked(sub + "/held.txt"), errors[0].details) << out;
        EXPECT_EQ(std::string::npos, out.find("held.txt change")) << out;
    }
}
