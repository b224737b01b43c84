// The layer words its messages exactly as Windows does.
#include <gtest/gtest.h>
#include <string.h>

#include "fslib.h"
#include "../system_messages.h"

TEST(SystemMessagesPosix, TextsAreThoseOfWindows)
{
    for (int i = 0; i < expected_message_count; i++) {
        const ExpectedMessage &m = expected_messages[i];
        char buffer[300];
        DWORD stored = FormatMessageA(0x1200, nullptr, m.code, 0, buffer, 252, nullptr);
        EXPECT_EQ(strlen(m.windows), stored) << m.code;
        EXPECT_STREQ(m.windows, buffer) << m.code;
    }
}
