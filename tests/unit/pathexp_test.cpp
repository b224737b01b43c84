#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "environment.h"
#include "fslib.h"
#include "registry.h"

namespace {

const unsigned char kCanary = 0xA5;
const int kCanaryBytes = 64;

// What expand() gives for a path whose expansion does not fit.
const std::string kTooLong = "error 206";

// Runs fs_expand_path into a destination of dst_size characters followed by
// canary bytes, and checks that nothing beyond the destination was written
// and that the result is terminated inside it. A failure must be the
// system's "too long" error, with an empty destination.
std::string expand(const std::string &src, int dst_size = FS_MAX_PATH)
{
    std::vector<unsigned char> buffer(static_cast<size_t>(dst_size + kCanaryBytes), kCanary);
    char *dst = reinterpret_cast<char *>(buffer.data());
    ErrorRecord *r = fs_expand_path(src.c_str(), dst, dst_size);
    for (size_t i = static_cast<size_t>(dst_size); i < buffer.size(); i++) {
        if (buffer[i] != kCanary) {
            ADD_FAILURE() << "written past the destination of " << dst_size << " at " << i;
            break;
        }
    }
    if (r != nullptr) {
        EXPECT_EQ(&err_sys_record, r);
        EXPECT_TRUE(dst_size <= 0 || dst[0] == '\0') << "a failed expansion left " << dst;
        return "error " + std::to_string(r->code);
    }
    if (dst_size <= 0) {
        ADD_FAILURE() << "no room, yet no error";
        return std::string();
    }
    const void *end = memchr(dst, '\0', static_cast<size_t>(dst_size));
    if (!end) {
        ADD_FAILURE() << "destination not terminated";
        return std::string();
    }
    return std::string(dst);
}

std::string unique_key()
{
    std::random_device rd;
    char name[64];
    snprintf(name, sizeof name, "Software\\dravick-test-%08x%04x", rd(), rd() & 0xFFFF);
    return name;
}

struct Row {
    std::string src;
    std::string expected;
};

}  // namespace

TEST(ExpandPath, PlainSyntax)
{
    const Row rows[] = {
        {"", ""},
        {"C:\\dir\\a.txt", "C:\\dir\\a.txt"},
        {"\"C:\\my dir\\a.txt\"", "C:\\my dir\\a.txt"},
        {"a\"\"b\"", "ab"},
        {"a<<b", "a<b"},
        {"<<<", "<<"},
        {"a<b", "a<b"},
        {"abc<", "abc<"},
        {"<", "<"},
        {"a>b>", "a>b>"},
        {"<>", "<>"},
        {"<\"x\">", "<x>"},
        {"<a<b>", "<a<b>"},
        {"<nobackslash>", "<nobackslash>"},
        // Shortcuts are not followed where the component object system was
        // never initialised.
        {"C:\\links\\A.LNK", "C:\\links\\A.LNK"},
        {"\"x.lnk\"", "x.lnk"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.expected, expand(row.src)) << row.src;
}

TEST(ExpandPath, RegistryRootNames)
{
    struct RootRow {
        const char *text;
        int length;
        HKEY expected;
    } rows[] = {
        {"HKEY_CLASSES_ROOT", 17, HKEY_CLASSES_ROOT},
        {"hkcr", 4, HKEY_CLASSES_ROOT},
        {"HKCU", 4, HKEY_CURRENT_USER},
        {"Hkey_Current_User", 17, HKEY_CURRENT_USER},
        {"HKLM", 4, HKEY_LOCAL_MACHINE},
        {"hklm", 4, HKEY_LOCAL_MACHINE},
        {"Hkey_Local_Machine", 18, HKEY_LOCAL_MACHINE},
        {"HKU", 3, HKEY_USERS},
        {"hkey_users", 10, HKEY_USERS},
        {"HKCC", 4, HKEY_CURRENT_CONFIG},
        {"HKEY_CURRENT_CONFIG", 19, HKEY_CURRENT_CONFIG},
        {"HKLM\\Software", 4, HKEY_LOCAL_MACHINE},
        {"HKLMX", 4, HKEY_LOCAL_MACHINE},
        {"HKLMX", 5, nullptr},
        {"HKL", 3, nullptr},
        {"HKEY_LOCAL", 10, nullptr},
        {"HKEY_LOCAL_MACHINE_", 19, nullptr},
        {"HKXX", 4, nullptr},
        {"", 0, nullptr},
        {"HK\xC3\x8C", 4, nullptr},
    };
    for (const RootRow &row : rows) {
        EXPECT_EQ(row.expected, reg_root_from_name(row.text, row.length))
            << row.text << " " << row.length;
    }
}

// The guard against a path longer than the wide buffer lies behind the shell
// link object; where none can be made the expansion returns before it.
TEST(ExpandPath, ShortcutPathLongerThanTheWideBuffer)
{
    IShellLinkA *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void **>(&link))))
        GTEST_SKIP() << "no shell link object here (none in the POSIX layer; on Windows this "
                        "thread never initialised the component object system): the case runs "
                        "in Shortcut.PathLongerThanTheWideBufferIsNotCut on Windows";
    link->Release();
    std::string src(300, 'a');
    src += ".lnk";
    EXPECT_EQ(src, expand(src, 1024));
}

TEST(ExpandPath, LongInputsStayInsideTheDestination)
{
    const std::string long_plain(1000, 'p');
    const std::string quoted = "\"" + std::string(400, 'q') + "\"";
    std::string many_brackets;
    for (int i = 0; i < 200; i++)
        many_brackets += "<<";
    const std::string long_token = "<HKCU\\Software\\" + std::string(600, 'k') + "\\v>";
    const std::string open_brackets(500, '<');

    struct BoundRow {
        std::string src;
        std::string full;  // the whole expansion, refused where it does not fit
    } rows[] = {
        {long_plain, long_plain},
        {std::string(259, 'e') + "\"\"", std::string(259, 'e')},
        {quoted, std::string(400, 'q')},
        {many_brackets, std::string(200, '<')},
        {long_token, long_token},
        {"x" + long_token, "x" + long_token},
        {open_brackets, std::string(250, '<')},
    };
    for (const BoundRow &row : rows) {
        for (int size : {1, 2, 3, 7, 64, 259, 260, 261, 2000}) {
            SCOPED_TRACE(::testing::Message() << row.src.substr(0, 20) << "... size " << size);
            EXPECT_EQ(row.full.size() < static_cast<size_t>(size) ? row.full : kTooLong,
                      expand(row.src, size));
        }
    }
    EXPECT_EQ(kTooLong, expand(long_plain, 0));
    EXPECT_EQ(kTooLong, expand("", 0));
    EXPECT_EQ(kTooLong, expand("a", -5));
}

// ---------------------------------------------------------------------------

namespace {

class ExpandEnv : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_set_env("DRAVICK_T_DIR", "C:\\data");
        test_set_env("DRAVICK_T_B", "bee");
        test_set_env("DRAVICK_T_LONG", long_value().c_str());
        test_set_env("DRAVICK_T_MISSING", nullptr);
    }
    void TearDown() override
    {
        test_set_env("DRAVICK_T_DIR", nullptr);
        test_set_env("DRAVICK_T_B", nullptr);
        test_set_env("DRAVICK_T_LONG", nullptr);
    }
    static std::string long_value()
    {
        std::string v;
        for (int i = 0; i < 2000; i++)
            v += static_cast<char>('a' + i % 26);
        return v;
    }
};

}  // namespace

TEST_F(ExpandEnv, TokensInPaths)
{
    const Row rows[] = {
        {"<%DRAVICK_T_DIR%>", "C:\\data"},
        {"<%DRAVICK_T_DIR%\\sub>", "C:\\data\\sub"},
        {"<%DRAVICK_T_DIR%>\\file.txt", "C:\\data\\file.txt"},
        {"x<%dravick_t_dir%>y", "xC:\\datay"},
        {"<%DRAVICK_T_DIR%%DRAVICK_T_B%>", "C:\\databee"},
        {"<%DRAVICK_T_B%>\\<%DRAVICK_T_B%>", "bee\\bee"},
        {"\"<%DRAVICK_T_DIR%>\"", "C:\\data"},
        {"<%DRAVICK_T_MISSING%>", "%DRAVICK_T_MISSING%"},
        {"<%>", "%"},
        {"<%DRAVICK_T_B%", "<%DRAVICK_T_B%"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.expected, expand(row.src)) << row.src;
}

TEST_F(ExpandEnv, ExpansionThatDoesNotFitTheRoomLeftIsRefused)
{
    const std::string value = long_value();
    for (int size : {1, 2, 10, 259, 260, 1023, 1024, 1025, 2000, 2001, 2002, 2003, 3000}) {
        SCOPED_TRACE(size);
        const size_t room = static_cast<size_t>(size);
        EXPECT_EQ(value.size() < room ? value : kTooLong, expand("<%DRAVICK_T_LONG%>", size));
        EXPECT_EQ(value.size() + 2 < room ? "ab" + value : kTooLong,
                  expand("ab<%DRAVICK_T_LONG%>", size));
    }
}

TEST_F(ExpandEnv, EnvExpandDirect)
{
    struct EnvRow {
        std::string src;
        bool same_buffer;
        int size;
        std::string expected;
    } rows[] = {
        {"%DRAVICK_T_DIR%\\x", false, 64, "C:\\data\\x"},
        {"%DRAVICK_T_DIR%\\x", true, 64, "C:\\data\\x"},
        {"%DRAVICK_T_DIR%\\x", false, 5, "C:\\d"},
        {"%DRAVICK_T_DIR%\\x", true, 1, ""},
        {"plain", false, 64, "plain"},
        {"%DRAVICK_T_B%\tlater", true, 64, "bee"},  // the in-place copy ends at a control character
        {"%DRAVICK_T_LONG%", false, 3000, long_value()},
        {"%DRAVICK_T_LONG%", true, 1500, long_value().substr(0, 1499)},
    };
    for (const EnvRow &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.src << " size " << row.size);
        const size_t end = static_cast<size_t>(row.size);
        std::vector<unsigned char> dst(end + kCanaryBytes + row.src.size(), kCanary);
        char *out = reinterpret_cast<char *>(dst.data());
        std::string src_copy = row.src;
        const char *src = src_copy.c_str();
        if (row.same_buffer) {
            memcpy(out, row.src.c_str(), row.src.size() + 1);
            src = out;
        }
        EXPECT_EQ(nullptr, env_expand(src, out, row.size));
        EXPECT_EQ(row.expected, std::string(out));
        if (!row.same_buffer || row.src.size() < end) {
            for (size_t i = end; i < end + kCanaryBytes; i++)
                ASSERT_EQ(kCanary, dst[i]) << "written past the destination at " << i;
        }
    }
}

// ---------------------------------------------------------------------------

namespace {

class ExpandRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        key_ = unique_key();
        sub_ = key_ + "\\Sub";
        other_ = key_ + "\\Other";
        ASSERT_TRUE(test_registry_set_string(sub_.c_str(), "Dir", "C:\\data"));
        ASSERT_TRUE(test_registry_set_string(sub_.c_str(), "Empty", ""));
        ASSERT_TRUE(test_registry_set_string(sub_.c_str(), "", "default"));
        ASSERT_TRUE(test_registry_set_string(sub_.c_str(), "Dir>x", "retried"));
        ASSERT_TRUE(test_registry_set_string(sub_.c_str(), "Long", std::string(100, 'L').c_str()));
        ASSERT_TRUE(test_registry_set_string(sub_.c_str(), "With Blank", "blank"));
        const uint32_t abc = 0x00636261;  // "abc" and a zero, little-endian
        ASSERT_TRUE(test_registry_set_raw(sub_.c_str(), "Word", REG_DWORD, &abc, sizeof abc));
        ASSERT_TRUE(test_registry_set_string(other_.c_str(), "Dir>x", "only the retry"));
    }
    void TearDown() override { test_registry_cleanup(key_.c_str()); }

    // A token for a value below the test key, with the given root name.
    std::string token(const std::string &value, const std::string &root = "HKCU") const
    {
        return "<" + root + "\\" + sub_ + "\\" + value + ">";
    }

    std::string key_;
    std::string sub_;
    std::string other_;
};

}  // namespace

TEST_F(ExpandRegistry, TokensInPaths)
{
    const std::string other_dir = "<HKCU\\" + other_ + "\\Dir>x>";
    const Row rows[] = {
        {token("Dir") + "\\file.txt", "C:\\data\\file.txt"},
        {token("Dir", "hkcu") + "\\file.txt", "C:\\data\\file.txt"},
        {token("Dir", "Hkey_Current_User"), "C:\\data"},
        {token("Dir", "HKEY_CURRENT_USER"), "C:\\data"},
        {"\"" + token("Dir") + "\\a b.txt\"", "C:\\data\\a b.txt"},
        {"x" + token("Dir") + token("Dir"), "xC:\\dataC:\\data"},
        {token("With Blank"), "blank"},
        {token(""), "default"},
        {"a" + token("Empty") + "b", "ab"},
        {token("Word") + "!", "abc!"},
        // The first ">" ends a name that is found; the retry is not needed.
        {token("Dir") + "x>", "C:\\datax>"},
        // Dir is missing there, so the name grows to the next ">".
        {other_dir, "only the retry"},
        {other_dir + "tail", "only the retry" "tail"},
        {token("Missing"), token("Missing")},
        {token("Dir", "HKXX"), token("Dir", "HKXX")},
        {token("Dir", "HKC"), token("Dir", "HKC")},
        {"<HKCU\\Dir>", "<HKCU\\Dir>"},
        {"<HKCU\\" + key_ + "\\Nokey\\Dir>", "<HKCU\\" + key_ + "\\Nokey\\Dir>"},
        {"<\"HKCU\"\\" + sub_ + "\\Dir>", "<HKCU\\" + sub_ + "\\Dir>"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.expected, expand(row.src)) << row.src;
}

TEST_F(ExpandRegistry, ValueMustFitTheRoomLeft)
{
    // "C:\data" with its zero takes 8 characters of room; the token's name
    // is longer than that.
    const std::string src = "ab" + token("Dir");
    EXPECT_EQ("abC:\\data", expand(src, 10));
    EXPECT_EQ(kTooLong, expand(src + "zz", 10));
    EXPECT_EQ(kTooLong, expand(src, 9));

    // A value that does not fit leaves the token as written, where that fits.
    const std::string long_token = token("Long");
    EXPECT_EQ(std::string(100, 'L'), expand(long_token, 101));
    EXPECT_EQ(kTooLong, expand(long_token + "zz", 101));
    EXPECT_EQ(long_token, expand(long_token, 100));
    EXPECT_EQ(long_token + "zz", expand(long_token + "zz", 100));
    EXPECT_EQ(kTooLong, expand(long_token, 10));
}

TEST_F(ExpandRegistry, NamesLongerThanTheWorkingCopyAreNotLookedUp)
{
    const std::string long_name(300, 'n');
    ASSERT_TRUE(test_registry_set_string(sub_.c_str(), long_name.c_str(), "found"));
    const std::string src = token(long_name);
    EXPECT_EQ(src, expand(src, 1024));

    std::string name = "HKCU\\" + sub_ + "\\" + long_name;
    std::vector<char> out(64, 'x');
    DWORD count = static_cast<DWORD>(out.size());
    EXPECT_NE(nullptr, reg_read_value(name.c_str(), out.data(), &count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ('\0', out[0]);
}

TEST_F(ExpandRegistry, ReadValueDirect)
{
    const long kAnyCode = -1;
    struct ReadRow {
        std::string name;
        DWORD room;
        std::string value;
        DWORD count;
        long code;  // of the system record, 0 for success
    } rows[] = {
        {"HKCU\\" + sub_ + "\\Dir", 64, "C:\\data", 8, 0},
        {"hkey_current_user\\" + sub_ + "\\Dir", 8, "C:\\data", 8, 0},
        {"HKCU\\" + sub_ + "\\Dir", 7, "", 0, ERROR_MORE_DATA},
        {"HKCU\\" + sub_ + "\\Dir", 1, "", 0, ERROR_MORE_DATA},
        {"HKCU\\" + sub_ + "\\Empty", 64, "", 1, 0},
        {"HKCU\\" + sub_ + "\\", 64, "default", 8, 0},
        {"HKCU\\" + sub_ + "\\Missing", 64, "", 0, ERROR_FILE_NOT_FOUND},
        {"HKCU\\" + key_ + "\\Nokey\\Dir", 64, "", 0, ERROR_FILE_NOT_FOUND},
        {"HKXX\\" + sub_ + "\\Dir", 64, "", 0, kAnyCode},
    };
    for (const ReadRow &row : rows) {
        for (bool same_buffer : {false, true}) {
            SCOPED_TRACE(::testing::Message() << row.name << " room " << row.room
                                              << (same_buffer ? " in place" : ""));
            std::vector<unsigned char> buffer(row.name.size() + 1 + kCanaryBytes, kCanary);
            char *out = reinterpret_cast<char *>(buffer.data());
            const char *name = row.name.c_str();
            if (same_buffer) {
                memcpy(out, name, row.name.size() + 1);
                name = out;
            }
            DWORD count = row.room;
            err_sys_record.code = 0;
            ErrorRecord *r = reg_read_value(name, out, &count);
            EXPECT_EQ(row.code == 0 ? nullptr : &err_sys_record, r);
            if (row.code != kAnyCode) {
                EXPECT_EQ(row.code, err_sys_record.code);
            }
            EXPECT_EQ(row.count, count);
            EXPECT_EQ(row.value, std::string(out));
            if (!same_buffer) {
                for (size_t i = row.room; i < buffer.size(); i++)
                    ASSERT_EQ(kCanary, buffer[i]) << "written past the room at " << i;
            }
        }
    }

    // Fewer than two backslashes open no key: no error, nothing read.
    char out[16] = "junk";
    DWORD count = sizeof out;
    EXPECT_EQ(nullptr, reg_read_value("HKCU\\Dir", out, &count));
    EXPECT_EQ(0u, count);
    EXPECT_STREQ("", out);
}
