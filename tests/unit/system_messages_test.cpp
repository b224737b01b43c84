// FormatMessageA against one table of expected texts. Each system is held to
// its own column: the POSIX layer to the texts of Windows itself, the Windows
// build under Wine to Wine's (and on Windows to Windows' own).
#include <gtest/gtest.h>
#include <string.h>

#include "fslib.h"
#include "system_messages.h"

const ExpectedMessage expected_messages[] = {
    {0, "The operation completed successfully.\r\n", "Success.\r\n"},
    {1, "Incorrect function.\r\n", "Invalid function.\r\n"},
    {2, "The system cannot find the file specified.\r\n", "File not found.\r\n"},
    {3, "The system cannot find the path specified.\r\n", "Path not found.\r\n"},
    {4, "The system cannot open the file.\r\n", "Too many open files.\r\n"},
    {5, "Access is denied.\r\n", "Access denied.\r\n"},
    {6, "The handle is invalid.\r\n", "Invalid handle.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n",
     "Not enough memory.\r\n"},
    {13, "The data is invalid.\r\n", "Invalid data.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n",
     "Out of memory.\r\n"},
    {17, "The system cannot move the file to a different disk drive.\r\n",
     "Not same device.\r\n"},
    {18, "There are no more files.\r\n", "No more files.\r\n"},
    {19, "The media is write protected.\r\n", "Write protected.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n",
     "Sharing violation.\r\n"},
    {33,
     "The process cannot access the file because another process has locked a portion of "
     "the file.\r\n",
     "Lock violation.\r\n"},
    {38, "Reached the end of the file.\r\n", "End of file.\r\n"},
    {50, "The request is not supported.\r\n", "Request not supported.\r\n"},
    {80, "The file exists.\r\n", "File exists.\r\n"},
    {87, "The parameter is incorrect.\r\n", "Invalid parameter.\r\n"},
    {109, "The pipe has been ended.\r\n", "Broken pipe.\r\n"},
    {112, "There is not enough space on the disk.\r\n", "Disk full.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n",
     "Insufficient buffer.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n",
     "Invalid name.\r\n"},
    {145, "The directory is not empty.\r\n", "Directory is not empty.\r\n"},
    {170, "The requested resource is in use.\r\n", "Resource in use.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n",
     "File already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n", "File name is too long.\r\n"},
    {223, "The file size exceeds the limit allowed and cannot be saved.\r\n", nullptr},
    {234, "More data is available.\r\n", "More data available.\r\n"},
    {267, "The directory name is invalid.\r\n", "Directory name invalid.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n",
     "I/O device error.\r\n"},
    {1921, "The name of the file cannot be resolved by the system.\r\n",
     "The filename cannot be resolved.\r\n"},
    {4390, "The file or directory is not a reparse point.\r\n", nullptr},
};
const int expected_message_count = sizeof expected_messages / sizeof expected_messages[0];

const char *expected_text(const ExpectedMessage &m)
{
    return messages_of_wine() ? m.wine : m.windows;
}

std::string system_text_for(unsigned code)
{
    for (const ExpectedMessage &m : expected_messages) {
        if (m.code == code) {
            const char *text = expected_text(m);
            return text ? text : "";
        }
    }
    return "";
}

bool is_system_text(unsigned code, const std::string &suffix, const std::string &text,
                    size_t limit)
{
    return text == (system_text_for(code) + suffix).substr(0, limit);
}

static const DWORD kFromSystem = 0x1000 | 0x200;  // FROM_SYSTEM | IGNORE_INSERTS

TEST(SystemMessages, KnownCodesGiveTheSystemText)
{
    for (const ExpectedMessage &m : expected_messages) {
        char buffer[300];
        memset(buffer, 'Z', sizeof buffer);
        SetLastError(0);
        DWORD stored = FormatMessageA(kFromSystem, nullptr, m.code, 0, buffer, 252, nullptr);
        const char *expected = expected_text(m);
        if (!expected) {
            EXPECT_EQ(0u, stored) << m.code;
            EXPECT_EQ(317u, GetLastError()) << m.code;
            continue;
        }
        ASSERT_NE(0u, stored) << m.code;
        EXPECT_EQ(strlen(expected), stored) << m.code;
        EXPECT_STREQ(expected, buffer) << m.code;
    }
}

TEST(SystemMessages, FailuresStoreNothing)
{
    char probe[300];
    DWORD length = FormatMessageA(kFromSystem, nullptr, 5, 0, probe, sizeof probe, nullptr);
    ASSERT_GT(length, 0u);
    struct {
        DWORD code, size, stored, error;
    } cases[] = {
        {0x20000001, 252, 0, 317},  // our own codes are unknown to the system
        {12345678, 252, 0, 317},
        {5, length + 1, length, 0},  // the message and its zero fit exactly
        {5, length, 0, 122},
        {5, 0, 0, 122},
    };
    for (const auto &c : cases) {
        char buffer[300];
        memset(buffer, 'Z', sizeof buffer);
        SetLastError(0);
        DWORD stored = FormatMessageA(kFromSystem, nullptr, c.code, 0, buffer, c.size, nullptr);
        EXPECT_EQ(c.stored, stored) << c.code;
        EXPECT_EQ(c.error, GetLastError()) << c.code;
        std::string expected = c.stored ? std::string(probe) : std::string(300, 'Z');
        EXPECT_EQ(expected, std::string(buffer, expected.size())) << c.code;
        EXPECT_EQ('Z', buffer[c.size]);
    }
}
