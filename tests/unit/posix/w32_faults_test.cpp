// Wrappers under injected faults, including failures that leave no
// last-error code: those must still be reported as failures.
#include <string.h>

#include <string>

#include "fslib.h"
#include "testutil.h"

namespace {

class WrapperFaults : public TempDirTest {
protected:
    void TearDown() override
    {
        winposix_fail_reset();
        TempDirTest::TearDown();
    }
};

const char *const no_reason = "The system call failed without giving a reason.\r\n";

}  // namespace

TEST_F(WrapperFaults, FailuresWithAndWithoutCode)
{
    write_file("a.txt", "abc");
    std::string p = path("a.txt");
    struct {
        WinposixCall kind;
        DWORD code;
        std::string text;
    } cases[] = {
        {WINPOSIX_CALL_WRITE, 112, "There is not enough space on the disk.\r\n(WriteFile) (112)"},
        {WINPOSIX_CALL_WRITE, 0, no_reason + std::string("(WriteFile) (536870915)")},
        {WINPOSIX_CALL_READ, 0, no_reason + std::string("(ReadFile) (536870915)")},
        {WINPOSIX_CALL_FIND_NEXT, 0, no_reason + std::string("(FindNextFile) (536870915) ()")},
        {WINPOSIX_CALL_FIND_NEXT, 1117, "The request could not be performed because of an I/O "
                                        "device error.\r\n(FindNextFile) (1117) ()"},
        {WINPOSIX_CALL_CREATE, 0, no_reason + std::string("(CreateFile) (536870915) (") + p + ")"},
    };
    for (const auto &c : cases) {
        HANDLE handle = nullptr;
        WIN32_FIND_DATAA data;
        if (c.kind == WINPOSIX_CALL_FIND_NEXT) {
            ASSERT_EQ(nullptr, w32_FindFirstFile(path("*").c_str(), &data, &handle));
        } else if (c.kind != WINPOSIX_CALL_CREATE) {
            ASSERT_EQ(nullptr, w32_CreateFile(p.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                              OPEN_EXISTING, 0, nullptr, &handle));
        }
        winposix_fail_nth(c.kind, 1, c.code);
        char buffer[8] = "xyz";
        DWORD done = 0;
        int end = 1;
        ErrorRecord *result = nullptr;
        switch (c.kind) {
        case WINPOSIX_CALL_READ: result = w32_ReadFile(handle, buffer, 8, &done, nullptr); break;
        case WINPOSIX_CALL_WRITE: result = w32_WriteFile(handle, buffer, 3, &done, nullptr); break;
        case WINPOSIX_CALL_FIND_NEXT: result = w32_FindNextFile(handle, &data, &end); break;
        default:
            result = w32_CreateFile(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                    nullptr, &handle);
        }
        EXPECT_EQ(&err_sys_record, result) << c.text;
        EXPECT_EQ(c.text, err_sys_record.text);
        EXPECT_EQ(1, end);
        if (c.kind == WINPOSIX_CALL_FIND_NEXT) {
            EXPECT_EQ(nullptr, w32_FindClose(handle));
        } else if (c.kind != WINPOSIX_CALL_CREATE) {
            EXPECT_EQ(nullptr, w32_CloseHandle(handle));
        } else {
            EXPECT_EQ(INVALID_HANDLE_VALUE, handle);
        }
        winposix_fail_reset();
    }
    EXPECT_EQ("abc", read_file("a.txt"));
}
