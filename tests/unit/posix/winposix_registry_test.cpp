// The in-process registry of the POSIX layer: empty at first, filled by tests.
#include <string.h>

#include <string>

#include "testutil.h"
#include "winposix.h"

namespace {

class WinposixRegistry : public ::testing::Test {
protected:
    void SetUp() override { winposix_registry_clear(); }
    void TearDown() override { winposix_registry_clear(); }
};

TEST_F(WinposixRegistry, EmptyRegistryOpensNothing)
{
    const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                          HKEY_CURRENT_CONFIG};
    for (HKEY root : roots) {
        HKEY key = reinterpret_cast<HKEY>(1);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(root, "Software", 0, KEY_READ, &key));
        EXPECT_EQ(nullptr, key);
    }
    HKEY key;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reinterpret_cast<HKEY>(&key)));
}

TEST_F(WinposixRegistry, FillAndQuery)
{
    const char dir[] = "C:\\data";
    const DWORD number = 0x01020304;
    ASSERT_EQ(ERROR_SUCCESS, winposix_registry_set(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Dir",
                                                   REG_SZ, dir, sizeof dir));
    ASSERT_EQ(ERROR_SUCCESS, winposix_registry_set(HKEY_LOCAL_MACHINE, "Software\\Vendor", "N",
                                                   REG_DWORD, &number, sizeof number));
    // Stored without its zero: a string value keeps one all the same.
    ASSERT_EQ(ERROR_SUCCESS, winposix_registry_set(HKEY_LOCAL_MACHINE, "Software\\Vendor",
                                                   nullptr, REG_SZ, "dflt", 4));
    ASSERT_EQ(ERROR_SUCCESS,
              winposix_registry_set(HKEY_LOCAL_MACHINE, "", "AtRoot", REG_SZ, "r", 2));

    struct {
        const char *subkey;
        const char *name;
        LONG code;
        DWORD room;
        DWORD count;  // afterwards
        DWORD type;
        std::string data;
    } cases[] = {
        {"Software\\Vendor", "Dir", ERROR_SUCCESS, 64, 8, REG_SZ, std::string(dir, 8)},
        {"SOFTWARE\\vendor", "dir", ERROR_SUCCESS, 8, 8, REG_SZ, std::string(dir, 8)},
        {"Software\\Vendor", "Dir", ERROR_MORE_DATA, 7, 8, REG_SZ, ""},
        {"Software\\Vendor", "N", ERROR_SUCCESS, 4, 4, REG_DWORD, std::string("\x04\x03\x02\x01")},
        {"Software\\Vendor", "", ERROR_SUCCESS, 64, 5, REG_SZ, std::string("dflt\0", 5)},
        {"Software\\Vendor", nullptr, ERROR_SUCCESS, 64, 5, REG_SZ, std::string("dflt\0", 5)},
        {"Software\\Vendor", "Missing", ERROR_FILE_NOT_FOUND, 64, 64, 0, ""},
        {"", "AtRoot", ERROR_SUCCESS, 64, 2, REG_SZ, std::string("r\0", 2)},
        {nullptr, "atroot", ERROR_SUCCESS, 64, 2, REG_SZ, std::string("r\0", 2)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.subkey ? c.subkey : "(null)") + " " + (c.name ? c.name : ""));
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, c.subkey, 0, KEY_READ, &key));
        char data[64];
        memset(data, '#', sizeof data);
        DWORD type = 0, count = c.room;
        EXPECT_EQ(c.code, RegQueryValueExA(key, c.name, nullptr, &type,
                                           reinterpret_cast<BYTE *>(data), &count));
        EXPECT_EQ(c.count, count);
        if (c.code == ERROR_SUCCESS) {
            EXPECT_EQ(c.type, type);
            EXPECT_EQ(c.data, std::string(data, count));
        } else {
            EXPECT_EQ('#', data[0]);  // nothing stored
        }
        // A null data pointer asks for the size alone.
        DWORD need = 0;
        LONG sized = RegQueryValueExA(key, c.name, nullptr, nullptr, nullptr, &need);
        EXPECT_EQ(c.code == ERROR_MORE_DATA ? ERROR_SUCCESS : c.code, sized);
        if (sized == ERROR_SUCCESS) {
            EXPECT_EQ(c.count, need);
        }
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    }
}

TEST_F(WinposixRegistry, KeysOpenStepByStepAndCloseOnce)
{
    ASSERT_EQ(ERROR_SUCCESS,
              winposix_registry_set(HKEY_CURRENT_USER, "A\\B\\C", "v", REG_SZ, "x", 2));
    HKEY a = nullptr, c = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "a", 0, KEY_READ, &a));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(a, "b\\c", 0, KEY_READ, &c));
    HKEY missing = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(a, "c", 0, KEY_READ, &missing));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, &missing));
    DWORD count = 2;
    char data[2];
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(c, "V", nullptr, nullptr, reinterpret_cast<BYTE *>(data), &count));
    EXPECT_STREQ("x", data);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(a));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(a));
    // An open key whose contents were cleared away finds nothing any more.
    winposix_registry_clear();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(c, "v", nullptr, nullptr, reinterpret_cast<BYTE *>(data), &count));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(c));
}

TEST(WinposixShellLink, CreationFailsAsWithoutInitialisation)
{
    const GUID link = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const GUID shell_link_a = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const GUID persist_file = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_EQ(0, memcmp(&link, &CLSID_ShellLink, sizeof link));
    EXPECT_EQ(0, memcmp(&shell_link_a, &IID_IShellLinkA, sizeof link));
    EXPECT_EQ(0, memcmp(&persist_file, &IID_IPersistFile, sizeof link));
    void *object = &object;
    EXPECT_EQ(CO_E_NOTINITIALIZED, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                    IID_IShellLinkA, &object));
    EXPECT_EQ(nullptr, object);
}

}  // namespace
