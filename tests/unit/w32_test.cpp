// The reporting wrappers on real files: each call's failure test, the name
// and details it reports, and what it does with its out-parameters.
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fslib.h"
#include "system_messages.h"
#include "testutil.h"

namespace {

class Wrappers : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        err_sys_record.code = 888;
        strcpy(err_sys_record.text, "untouched");
    }

    // The system record, holding `code` and the system's message for it
    // followed by the suffix "(call) (code)" and " (details)" if given.
    static void expect_reported(ErrorRecord *record, unsigned code, const char *call,
                                const std::string *details = nullptr)
    {
        std::string suffix = std::string("(") + call + ") (" + std::to_string(code) + ")";
        if (details)
            suffix += " (" + *details + ")";
        ASSERT_EQ(&err_sys_record, record) << suffix;
        EXPECT_EQ((int)code, err_sys_record.code) << suffix;
        EXPECT_TRUE(is_system_text(code, suffix, err_sys_record.text))
            << "expected " << suffix << ", got " << err_sys_record.text;
    }

    HANDLE open(const std::string &rel, DWORD access, DWORD disposition)
    {
        HANDLE handle = nullptr;
        EXPECT_EQ(nullptr, w32_CreateFile(path(rel).c_str(), access, FILE_SHARE_READ, nullptr,
                                          disposition, FILE_ATTRIBUTE_NORMAL, nullptr, &handle));
        return handle;
    }

    std::vector<std::string> find_all(const std::string &pattern)
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE find = nullptr;
        EXPECT_EQ(nullptr, w32_FindFirstFile(path(pattern).c_str(), &data, &find));
        for (int end = 0; find != INVALID_HANDLE_VALUE && !end;) {
            names.push_back(data.cFileName);
            end = 1;
            if (w32_FindNextFile(find, &data, &end) != nullptr)
                ADD_FAILURE() << err_sys_record.text;
        }
        EXPECT_EQ(nullptr, w32_FindClose(find));
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

TEST_F(Wrappers, PathFailures)
{
    write_file("exists.txt", "x");
    enum Call { ATTRIBUTES, OPEN, CREATE_NEW_FILE, FIND };
    struct {
        Call call;
        const char *rel;
        unsigned code;
    } cases[] = {
        {ATTRIBUTES, "missing.txt", 2}, {ATTRIBUTES, "nodir/missing.txt", 3},
        {OPEN, "missing.txt", 2},       {OPEN, "nodir/a.txt", 3},
        {CREATE_NEW_FILE, "exists.txt", 80}, {FIND, "none*.xyz", 2},
        {FIND, "nodir/*", 3},
    };
    for (const auto &c : cases) {
        std::string p = path(c.rel);
        DWORD attributes = 0xABCD;
        HANDLE handle = nullptr;
        WIN32_FIND_DATAA data;
        if (c.call == ATTRIBUTES) {
            expect_reported(w32_GetFileAttributes(p.c_str(), &attributes), c.code,
                            "GetFileAttributes", &p);
            EXPECT_EQ(0xABCDu, attributes);
        } else if (c.call == FIND) {
            expect_reported(w32_FindFirstFile(p.c_str(), &data, &handle), c.code,
                            "FindFirstFile", &p);
        } else {
            DWORD disposition = c.call == OPEN ? OPEN_EXISTING : CREATE_NEW;
            expect_reported(w32_CreateFile(p.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr, &handle),
                            c.code, "CreateFile", &p);
        }
        if (c.call != ATTRIBUTES) {
            EXPECT_EQ(INVALID_HANDLE_VALUE, handle) << c.rel;
        }
    }
    EXPECT_EQ((std::vector<std::string>{"exists.txt"}), list_dir(""));
}

TEST_F(Wrappers, AttributesOfFilesAndDirectories)
{
    write_file("file.txt", "x");
    make_dir("sub");
    for (const char *rel : {"file.txt", "sub"}) {
        DWORD attributes = 0;
        EXPECT_EQ(nullptr, w32_GetFileAttributes(path(rel).c_str(), &attributes));
        EXPECT_EQ(std::filesystem::is_directory(path(rel)),
                  (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) << rel;
    }
}

TEST_F(Wrappers, ReadAndWrite)
{
    const std::string content("line\r\ntwo\n\0\xff end", 16);
    HANDLE out = open("data.bin", GENERIC_WRITE, CREATE_ALWAYS);
    DWORD done = 0;
    char buffer[100] = {};
    EXPECT_EQ(nullptr, w32_WriteFile(out, content.data(), (DWORD)content.size(), &done, nullptr));
    EXPECT_EQ(content.size(), done);
    // A handle opened for one direction refuses the other: access denied.
    expect_reported(w32_ReadFile(out, buffer, sizeof buffer, &done, nullptr), 5, "ReadFile");
    EXPECT_EQ(0u, done);
    EXPECT_EQ(nullptr, fs_close(out, nullptr));
    EXPECT_EQ(content, read_file("data.bin"));

    HANDLE in = open("data.bin", GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(nullptr, w32_ReadFile(in, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(content, std::string(buffer, done));
    EXPECT_EQ(nullptr, w32_ReadFile(in, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(0u, done);  // the end of the file is no failure
    expect_reported(w32_WriteFile(in, "xyz", 3, &done, nullptr), 5, "WriteFile");
    EXPECT_EQ(0u, done);
    EXPECT_EQ(nullptr, w32_CloseHandle(in));
    EXPECT_EQ(content, read_file("data.bin"));
}

TEST_F(Wrappers, FindListsUntilTheEnd)
{
    for (const char *name : {"a.txt", "b.TXT", "c.csc"})
        write_file(name, "");
    make_dir("d");
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.TXT"}), find_all("*.txt"));
    const std::string empty;
    expect_reported(&err_sys_record, 18, "FindNextFile", &empty);  // left by the end

    std::vector<std::string> expected = list_dir("");
    expected.insert(expected.begin(), {".", ".."});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, find_all("*"));
}

TEST_F(Wrappers, InvalidHandles)
{
    WIN32_FIND_DATAA data;
    int end = 7;
    const std::string empty;
    expect_reported(w32_FindNextFile(INVALID_HANDLE_VALUE, &data, &end), 6, "FindNextFile",
                    &empty);
    EXPECT_EQ(7, end);
    expect_reported(w32_FindClose(INVALID_HANDLE_VALUE), 6, "FindClose");
    expect_reported(w32_CloseHandle(nullptr), 6, "CloseHandle");
}

TEST_F(Wrappers, CloseKeepsTheEarlierError)
{
    write_file("a.txt", "a");
    ErrorRecord other = {};
    struct {
        bool valid_handle;
        ErrorRecord *earlier;
        ErrorRecord *result;
    } cases[] = {
        {true, nullptr, nullptr},
        {true, &other, &other},
        {false, nullptr, &err_sys_record},
        {false, &err_lib_record, &err_lib_record},
    };
    for (const auto &c : cases) {
        HANDLE handle = c.valid_handle ? open("a.txt", GENERIC_READ, OPEN_EXISTING) : nullptr;
        err_sys_record.code = 888;
        EXPECT_EQ(c.result, fs_close(handle, c.earlier));
        EXPECT_EQ(c.valid_handle ? 888 : 6, err_sys_record.code);  // the close was made
    }
    EXPECT_TRUE(std::filesystem::remove(path("a.txt")));
}

TEST_F(Wrappers, Registry)
{
    const std::string subkey = "Software\\dravick-tests\\no such key";
    HKEY key = nullptr;
    expect_reported(w32_RegOpenKey(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key), 2,
                    "RegOpenKey", &subkey);

    key = nullptr;  // nothing to close: no call, the earlier record comes back
    err_sys_record.code = 888;
    EXPECT_EQ(nullptr, reg_close(&key, nullptr));
    EXPECT_EQ(&err_lib_record, reg_close(&key, &err_lib_record));
    EXPECT_EQ(888, err_sys_record.code);
}
