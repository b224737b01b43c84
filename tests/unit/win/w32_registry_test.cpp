// The registry wrappers and reg_close against the real registry.
#include <string.h>

#include <string>

#include "fslib.h"
#include "../system_messages.h"
#include "testutil.h"

TEST(RegistryWrappers, QueryAndClose)
{
    struct {
        bool stale;  // the key was closed behind reg_close's back
        ErrorRecord *earlier;
        ErrorRecord *result;
    } cases[] = {
        {false, nullptr, nullptr},
        {false, &err_lib_record, &err_lib_record},
        {true, nullptr, &err_sys_record},
        {true, &err_lib_record, &err_lib_record},
    };
    for (const auto &c : cases) {
        HKEY key = nullptr;
        ASSERT_EQ(nullptr, w32_RegOpenKey(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key));
        char data[64];
        DWORD type = 0, size = sizeof data;
        ASSERT_EQ(&err_sys_record,
                  w32_RegQueryValueEx(key, "no such value", nullptr, &type, (LPBYTE)data, &size));
        EXPECT_TRUE(is_system_text(2, "(RegQueryValueEx) (2) (no such value)",
                                   err_sys_record.text)) << err_sys_record.text;
        if (c.stale) {
            ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
        }
        err_sys_record.code = 888;
        EXPECT_EQ(c.result, reg_close(&key, c.earlier));
        EXPECT_EQ(nullptr, key);
        EXPECT_EQ(c.stale ? 6 : 888, err_sys_record.code);
        if (c.stale) {
            EXPECT_TRUE(is_system_text(6, "(RegCloseKey) (6)", err_sys_record.text));
        }
    }
}
