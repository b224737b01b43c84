// Child processes on Windows: CreateProcessA with two pipes, each drained
// by a thread of its own so that neither can fill up and stall the child.
#include <windows.h>

#include <algorithm>
#include <thread>

#include "run_program.h"

std::string printed_line(const std::string &text) { return text + "\r\r\n"; }

std::string walked_path(const std::string &dir, const std::string &rel)
{
    std::string path = dir + "\\" + rel;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(dir.size()), path.end(), '/', '\\');
    return path;
}

std::string printed_name(const std::string &narrow)
{
    int length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), &wide[0], length);
    length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], length, nullptr,
                        nullptr);
    return shown_utf8(utf8);
}

// One argument quoted the way the C runtime splits a command line.
static std::string quote_argument(const std::string &arg)
{
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        if (c == '"')
            quoted.append(backslashes * 2 + 1, '\\');
        else
            quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

static void drain(HANDLE pipe, std::string *sink)
{
    char chunk[4096];
    DWORD n;
    while (ReadFile(pipe, chunk, sizeof chunk, &n, nullptr) && n > 0)
        sink->append(chunk, n);
}

// A POSIX absolute path, as the build hands it over under Wine, lies on the
// drive that maps the root.
static std::string windows_program_path(const std::string &program)
{
    return !program.empty() && program[0] == '/' ? "Z:" + program : program;
}

bool run_program(const std::string &program, const std::vector<std::string> &args,
                 std::string *out, std::string *err, int *status,
                 const std::function<void()> &before_reading)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out_read, out_write, err_read, err_write;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0))
        return false;
    if (!CreatePipe(&err_read, &err_write, &inherit, 0)) {
        CloseHandle(out_read);
        CloseHandle(out_write);
        return false;
    }
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
    HANDLE null_in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);

    std::string exe = windows_program_path(program);
    std::string command = quote_argument(exe);
    for (const std::string &a : args)
        command += " " + quote_argument(a);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = null_in;
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (null_in != INVALID_HANDLE_VALUE)
        CloseHandle(null_in);
    if (!started) {
        CloseHandle(out_read);
        CloseHandle(err_read);
        return false;
    }
    out->clear();
    err->clear();
    std::thread err_reader(drain, err_read, err);
    if (before_reading)
        before_reading();
    drain(out_read, out);
    err_reader.join();
    CloseHandle(out_read);
    CloseHandle(err_read);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    *status = static_cast<int>(code);
    return true;
}
