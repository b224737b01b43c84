// Test support on Windows, through the Win32 calls themselves.
#include <windows.h>

#include <algorithm>

#include "testutil.h"

uint64_t test_get_mtime(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

void test_set_mtime(const std::string &path, uint64_t filetime)
{
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(filetime);
    ft.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    CloseHandle(h);
}

void test_set_readonly(const std::string &path, bool readonly)
{
    DWORD a = GetFileAttributesA(path.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, a) << path;
    a = readonly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), a)) << path;
}

// Wine shows the host's root as drive Z:, so a Linux host's memory file
// system is there; real Windows has none.
std::string test_memory_dir()
{
    DWORD a = GetFileAttributesA("Z:\\dev\\shm");
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) ? "Z:\\dev\\shm" : "";
}

uint64_t test_allocated_bytes(const std::string &path)
{
    HANDLE h = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    FILE_STANDARD_INFO info;
    BOOL ok = GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info);
    CloseHandle(h);
    return ok ? static_cast<uint64_t>(info.AllocationSize.QuadPart) : 0;
}

std::filesystem::path test_fs_path(const std::string &narrow)
{
    int length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), &wide[0], length);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\')
        wide = L"\\\\?\\" + wide;
    return std::filesystem::path(wide);
}

std::string test_narrow_name(const std::filesystem::path &relative)
{
    std::wstring wide = relative.wstring();
    std::replace(wide.begin(), wide.end(), L'\\', L'/');
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &narrow[0], length,
                        nullptr, nullptr);
    return narrow;
}

// FindFirstFileW on long-path-prefixed paths, which std::filesystem does not
// walk past the path limit here.
static void list_below(const std::wstring &folder, const std::string &prefix,
                       std::vector<TestTreeEntry> *entries)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::string narrow = prefix + test_narrow_name(std::filesystem::path(name));
        bool is_dir = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        bool is_link = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        entries->push_back(TestTreeEntry{narrow, !is_dir && !is_link});
        if (is_dir && !is_link)
            list_below(folder + L"\\" + name, narrow + "/", entries);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::vector<TestTreeEntry> test_list_tree(const std::string &dir)
{
    std::vector<TestTreeEntry> entries;
    list_below(test_fs_path(dir).wstring(), "", &entries);
    return entries;
}
