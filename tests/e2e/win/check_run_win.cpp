#include <windows.h>

#include "check_run.h"
#include "e2e.h"

static std::string held;

std::string file_look(const std::string &path)
{
    HANDLE h = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "gone";
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic;
    bool ok = GetFileInformationByHandle(h, &info) &&
              GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(h);
    if (!ok)
        return "no look";
    uint64_t written = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                       info.ftLastWriteTime.dwLowDateTime;
    return "index " + std::to_string(info.nFileIndexHigh) + ":" + std::to_string(info.nFileIndexLow) +
           " ctime " + std::to_string(basic.ChangeTime.QuadPart) + " mtime " + std::to_string(written) +
           " size " + std::to_string(info.nFileSizeLow);
}

void make_unreadable(const std::string &path) { held = path; }

void run_tool_unreadable(const std::vector<std::string> &args, std::string *out, std::string *err,
                         int *status)
{
    HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << held;
    run_tool(args, out, err, status);
    CloseHandle(h);
}
