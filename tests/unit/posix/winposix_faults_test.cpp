// Injected failures: the n-th call of a kind fails with the chosen code and
// does nothing else; the calls around it work.
#include <set>
#include <string>

#include "testutil.h"
#include "winposix.h"

namespace {

class WinposixFaults : public TempDirTest {
protected:
    void TearDown() override
    {
        winposix_fail_reset();
        TempDirTest::TearDown();
    }
    HANDLE open(const std::string &rel, DWORD access, DWORD disposition)
    {
        return CreateFileA(path(rel).c_str(), access, 0, nullptr, disposition, 0, nullptr);
    }
};

TEST_F(WinposixFaults, SecondCallOfEachKindFails)
{
    write_file("r", "abcdef");
    write_file("m1", "");
    write_file("m2", "");
    write_file("m3", "");
    make_dir("d");
    write_file("d/x", "");
    write_file("d/y", "");
    HANDLE reader = open("r", GENERIC_READ, OPEN_EXISTING);
    HANDLE writer = open("w", GENERIC_WRITE, CREATE_NEW);
    HANDLE closing[3] = {open("r", GENERIC_READ, OPEN_EXISTING),
                         open("r", GENERIC_READ, OPEN_EXISTING),
                         open("r", GENERIC_READ, OPEN_EXISTING)};
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path("d/*").c_str(), &data);
    std::set<std::string> listed{data.cFileName};
    std::string read_bytes;

    auto call = [&](WinposixCall kind, int i) -> BOOL {
        std::string n = std::to_string(i);
        char byte = 0;
        DWORD done = 0;
        BOOL ok = FALSE;
        switch (kind) {
        case WINPOSIX_CALL_READ:
            ok = ReadFile(reader, &byte, 1, &done, nullptr);
            read_bytes += std::string(&byte, done);
            return ok;
        case WINPOSIX_CALL_WRITE: return WriteFile(writer, n.c_str(), 1, &done, nullptr);
        case WINPOSIX_CALL_CREATE: {
            HANDLE h = open("c" + n, GENERIC_WRITE, CREATE_NEW);
            return h != INVALID_HANDLE_VALUE && CloseHandle(h);
        }
        case WINPOSIX_CALL_RENAME:
            return MoveFileExA(path("m" + n).c_str(), path("n" + n).c_str(), 0);
        case WINPOSIX_CALL_CLOSE: return CloseHandle(closing[i - 1]);
        case WINPOSIX_CALL_FIND_NEXT:
            ok = FindNextFileA(find, &data);
            listed.insert(data.cFileName);
            return ok;
        default: return FALSE;
        }
    };
    const WinposixCall kinds[] = {WINPOSIX_CALL_READ,   WINPOSIX_CALL_WRITE,
                                  WINPOSIX_CALL_CREATE, WINPOSIX_CALL_RENAME,
                                  WINPOSIX_CALL_CLOSE,  WINPOSIX_CALL_FIND_NEXT};
    for (WinposixCall kind : kinds) {
        SCOPED_TRACE(kind);
        DWORD code = 1000 + kind;
        winposix_fail_nth(kind, 2, code);
        EXPECT_TRUE(call(kind, 1));
        SetLastError(0);
        EXPECT_FALSE(call(kind, 2));
        EXPECT_EQ(code, GetLastError());
        EXPECT_TRUE(call(kind, 3));
    }
    // What the failed calls did not do.
    EXPECT_EQ("ab", read_bytes);
    CloseHandle(writer);
    EXPECT_EQ("13", read_file("w"));
    EXPECT_TRUE(exists("c1") && !exists("c2") && exists("c3"));
    EXPECT_TRUE(exists("m2") && !exists("n2") && exists("n1") && exists("n3"));
    while (FindNextFileA(find, &data))
        listed.insert(data.cFileName);
    EXPECT_EQ((std::set<std::string>{".", "..", "x", "y"}), listed);
    // A close that reports failure has still released its handle.
    EXPECT_FALSE(CloseHandle(closing[1]));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    FindClose(find);
    CloseHandle(reader);
}

TEST_F(WinposixFaults, FirstCallAndReset)
{
    write_file("r", "x");
    winposix_fail_nth(WINPOSIX_CALL_CREATE, 1, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(INVALID_HANDLE_VALUE, open("r", GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    winposix_fail_nth(WINPOSIX_CALL_CREATE, 1, ERROR_SHARING_VIOLATION);
    winposix_fail_reset();
    HANDLE h = open("r", GENERIC_READ, OPEN_EXISTING);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
}

}  // namespace
