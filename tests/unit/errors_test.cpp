// Error records: internal codes, token substitution, bounded formatting and
// system texts with their suffixes.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "fslib.h"
#include "system_messages.h"

namespace {

// Starts with no code tables, no catalogue and both records marked, and
// leaves the globals as it found them.
class ErrorRecords : public ::testing::Test {
protected:
    void SetUp() override
    {
        chain_ = err_table_chain;
        catalog_ = err_catalog;
        err_table_chain = nullptr;
        err_catalog = nullptr;
        mark(err_lib_record, 777);
        mark(err_sys_record, 888);
    }
    void TearDown() override
    {
        err_table_chain = chain_;
        err_catalog = catalog_;
    }
    static void mark(ErrorRecord &record, int code)
    {
        record.code = code;
        strcpy(record.text, "untouched");
    }
    static bool marked(const ErrorRecord &record, int code)
    {
        return record.code == code && strcmp(record.text, "untouched") == 0;
    }
    static std::string subst(const std::string &text, int size = 252)
    {
        char buffer[600] = {};
        strcpy(buffer, text.c_str());
        EXPECT_EQ(nullptr, err_subst(buffer, size));
        return buffer;
    }

private:
    ErrorTableLink *chain_ = nullptr;
    const char *catalog_ = nullptr;
};

}  // namespace

TEST_F(ErrorRecords, InternalCodesReadEnoe)
{
    EXPECT_EQ(nullptr, err_code(0));
    EXPECT_TRUE(marked(err_lib_record, 777));
    for (int code : {1, 3, 5, 25, 30, 31, -1, 100000}) {
        EXPECT_EQ(&err_lib_record, err_code(code));
        EXPECT_EQ(code, err_lib_record.code);
        EXPECT_STREQ("ENOE", err_lib_record.text) << code;
        EXPECT_EQ(&err_lib_record, err_codef(code, "xzstrncpyu"));
        EXPECT_STREQ("ENOE", err_lib_record.text) << code;
    }
    EXPECT_EQ(&err_lib_record, err_codef(0));
    EXPECT_EQ(0, err_lib_record.code);
    EXPECT_TRUE(marked(err_sys_record, 888));
}

TEST_F(ErrorRecords, TablesInTheChain)
{
    static const std::string long_text(400, 'q');
    static const ErrorCodeEntry first[] = {
        {3, "first %s"}, {40, "{X}{Y}"}, {9, long_text.c_str()}, {0, nullptr}};
    ErrorTableLink library = {nullptr, err_lib_codes};
    ErrorTableLink head = {&library, first};
    err_table_chain = &head;
    struct {
        int code;
        std::string text;
    } cases[] = {
        {3, "first %s"},  // the first table that holds a code wins
        {40, "XY"},
        {9, std::string(251, 'q')},
        {1, "Not enough memory, or not within *trevisk."},
        {5, "Memory is corrupt!"},
        {4, "EWR"},
        {25, "ENOE"},
    };
    for (const auto &c : cases) {
        err_code(c.code);
        EXPECT_EQ(c.text, err_lib_record.text) << c.code;
    }
    err_codef(3, "{Z}");  // braced arguments are substituted too
    EXPECT_STREQ("first Z", err_lib_record.text);
    err_codef(9);
    EXPECT_EQ(std::string(251, 'q'), err_lib_record.text);
}

TEST_F(ErrorRecords, SubstitutionWithoutCatalogue)
{
    const std::string n30(30, 'n'), n31(31, 'n');
    struct {
        std::string in, out;
    } cases[] = {
        {"{A}", "A"},         {"x{}y", "xy"},   {"{{", "{"},
        {"x{{", "x{"},        {"ab{", "ab{"},   {"{abc", "{abc"},
        {"{" + n30 + "}", n30}, {"{" + n31 + "}{B}", "{" + n31 + "}B"},
        {"{{{A}", "{{A}"},  // the character after a literal brace is passed over
        {"{{A}", "{A}"},      {"{a{b}", "a{b"}, {"{A}{B} {C}", "AB C"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.out, subst(c.in)) << c.in;
}

TEST_F(ErrorRecords, SubstitutionWithCatalogue)
{
    err_catalog = "A\0alpha\0B\0{A}+{A}\0Empty\0\0\0C\0gamma\0";
    EXPECT_STREQ("C", err_catalog_find("C"));  // after the end of the block
    struct {
        std::string in;
        int size;
        std::string out;
    } cases[] = {
        {"{A}", 252, "alpha"}, {"{B}", 252, "alpha+alpha"}, {"<{Empty}>", 252, "<>"},
        {"{a}", 252, "a"},     {"{A}", 6, "alpha"},         {"{A}", 5, "{A}"},
        {"{B}", 12, "alpha+alpha"}, {"{B}", 11, "alpha+{A}"}, {"{B}", 7, "{B}"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.out, subst(c.in, c.size)) << c.in << " in " << c.size;

    err_catalog = "L\0{L}\0M\0<{M}>\0";  // substitutions that never end by themselves
    EXPECT_EQ("{L}", subst("{L}", 64));
    EXPECT_EQ(std::string(30, '<') + "{M}" + std::string(30, '>'), subst("{M}", 64));
}

TEST_F(ErrorRecords, BoundedFormat)
{
    struct {
        int size;
        const char *arg;
        bool fits;
        const char *stored;
    } cases[] = {
        {10, "123456789", true, "123456789"}, {10, "1234567890", false, "123456789"},
        {1, "", true, ""},   {1, "x", false, ""}, {0, "", false, nullptr},
        {-3, "", false, nullptr},
    };
    for (const auto &c : cases) {
        char buffer[32];
        memset(buffer, 'Z', sizeof buffer);
        int count = -5;
        err_lib_record.code = 777;
        ErrorRecord *result = xzsnprintf(c.size, &count, buffer, "%s", c.arg);
        EXPECT_EQ(c.fits ? nullptr : &err_lib_record, result) << c.size << c.arg;
        EXPECT_EQ(c.fits ? (int)strlen(c.arg) : -5, count);
        EXPECT_EQ(c.fits ? 777 : 30, err_lib_record.code);
        if (c.stored) {
            EXPECT_STREQ(c.stored, buffer);
        }
        EXPECT_EQ('Z', buffer[c.stored ? c.size : 0]);  // nothing past the buffer's size
    }
}

TEST_F(ErrorRecords, SystemTexts)
{
    struct {
        int code;
        const char *details;  // null: none
        std::string text;     // what follows the system's message
    } cases[] = {
        {2, "C:\\d\\a.txt", "(Call) (2) (C:\\d\\a.txt)"},
        {5, nullptr, "(Call) (5)"},
        {18, "", "(Call) (18) ()"},
        {12345678, nullptr, "(Call) (12345678)"},  // no message at all
        {-5, "x", "(Call) (-5) (x)"},
        {FS_ERROR_FILE_CHANGED, nullptr,
         "The file changed while it was being read.\r\n(Call) (536870913)"},
        {FS_ERROR_UTF16, nullptr,
         "The file holds UTF-16 text and was left unchanged.\r\n(Call) (536870914)"},
        {FS_ERROR_NO_REASON, nullptr,
         "The system call failed without giving a reason.\r\n(Call) (536870915)"},
    };
    for (const auto &c : cases) {
        memset(err_sys_record.text, 'Z', sizeof err_sys_record.text);  // unterminated
        ErrorRecord *result = c.details ? err_win32_code(c.code, "Call", "%s", c.details)
                                        : err_win32_code(c.code, "Call", nullptr);
        EXPECT_EQ(&err_sys_record, result);
        EXPECT_EQ(c.code, err_sys_record.code);
        EXPECT_TRUE(is_system_text((unsigned)c.code, c.text, err_sys_record.text))
            << err_sys_record.text;
    }
    err_win32_code(5, "CreateFile", "%s:%d", "path", 7);
    EXPECT_TRUE(is_system_text(5, "(CreateFile) (5) (path:7)", err_sys_record.text));
    EXPECT_TRUE(marked(err_lib_record, 777));

    SetLastError(0);
    EXPECT_EQ(nullptr, err_win32("CreateFile", "%s", "x"));
    EXPECT_EQ(5, err_sys_record.code);
    SetLastError(6);
    EXPECT_EQ(&err_sys_record, err_win32("CloseHandle", nullptr));
    EXPECT_TRUE(is_system_text(6, "(CloseHandle) (6)", err_sys_record.text));
}

TEST_F(ErrorRecords, LongSuffixIsCutAtTheRecordsEnd)
{
    for (size_t length : {150u, 240u, 600u}) {
        mark(err_lib_record, 777);
        std::string details(length, 'd');
        EXPECT_EQ(&err_sys_record, err_win32_code(2, "CreateFile", "%s", details.c_str()));
        // The details are cut to 511 characters, the whole text to 251.
        std::string suffix = "(CreateFile) (2) (" + details.substr(0, 511) + ")";
        EXPECT_TRUE(is_system_text(2, suffix, err_sys_record.text)) << length;
        bool cut = strlen(err_sys_record.text) == 251;
        EXPECT_EQ(length > 150, cut);
        EXPECT_EQ(cut ? 30 : 777, err_lib_record.code);
    }
}
