// The Win32 subset that the library and the tool call, for POSIX systems.
//
// Not a general emulator: each call does what its callers rely on. Failures
// set a thread-local last-error code with the Windows error numbers (never
// errno), and FormatMessageA gives the system's English texts for them.
// Paths take '\' and '/' alike as separators.
#ifndef WINPOSIX_WINPOSIX_H
#define WINPOSIX_WINPOSIX_H

#include <signal.h>
#include <stddef.h>
#include <stdint.h>

// ---------------------------------------------------------------------------
// Missing types and constants

#define WINAPI
#define CALLBACK
#define MAX_PATH 260

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef size_t SIZE_T;
typedef int32_t HRESULT;
typedef uint16_t WCHAR;
typedef DWORD *LPDWORD;
typedef BYTE *LPBYTE;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef const WCHAR *LPCOLESTR;
typedef void *LPVOID;
typedef void *HANDLE;
typedef DWORD REGSAM;
typedef struct HKEY__ *HKEY;
typedef HKEY *PHKEY;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _OVERLAPPED {
    uintptr_t Internal;
    uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *LPFILETIME;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    int64_t QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

typedef struct _BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID, IID, CLSID;
typedef const GUID &REFIID;
typedef const GUID &REFCLSID;

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)0xFFFFFFFF)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define DELETE 0x00010000u
#define FILE_READ_ATTRIBUTES 0x80u
#define FILE_LIST_DIRECTORY 0x1u
#define FILE_SHARE_READ 0x1
#define FILE_SHARE_WRITE 0x2
#define FILE_SHARE_DELETE 0x4
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x1
#define FILE_ATTRIBUTE_HIDDEN 0x2
#define FILE_ATTRIBUTE_SYSTEM 0x4
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_ARCHIVE 0x20
#define FILE_ATTRIBUTE_DEVICE 0x40
#define FILE_ATTRIBUTE_NORMAL 0x80
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400

#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000

#define IO_REPARSE_TAG_SYMLINK 0xA000000Cu

#define FILE_TYPE_UNKNOWN 0
#define FILE_TYPE_DISK 1
#define FILE_TYPE_CHAR 2
#define FILE_TYPE_PIPE 3

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define MEM_COMMIT 0x1000
#define MEM_RESERVE 0x2000
#define MEM_RELEASE 0x8000
#define PAGE_NOACCESS 0x01
#define PAGE_READWRITE 0x04

#define MOVEFILE_REPLACE_EXISTING 0x1
#define REPLACEFILE_IGNORE_MERGE_ERRORS 0x2

#define FORMAT_MESSAGE_IGNORE_INSERTS 0x200
#define FORMAT_MESSAGE_FROM_SYSTEM 0x1000

#define ERROR_SUCCESS 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_LOCK_VIOLATION 33L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BROKEN_PIPE 109L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_BUSY 170L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_FILE_TOO_LARGE 223L
#define ERROR_MORE_DATA 234L
#define ERROR_DIRECTORY 267L
#define ERROR_INVALID_ADDRESS 487L
#define ERROR_NOT_A_REPARSE_POINT 4390L
#define ERROR_CANT_RESOLVE_FILENAME 1921L
#define ERROR_IO_DEVICE 1117L
#define ERROR_INVALID_OWNER 1307L
#define ERROR_INVALID_PRIMARY_GROUP 1308L
#define ERROR_UNABLE_TO_REMOVE_REPLACED 1175L
#define ERROR_UNABLE_TO_MOVE_REPLACEMENT 1176L
#define ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 1177L

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003u)
#define HKEY_CURRENT_CONFIG ((HKEY)(uintptr_t)0x80000005u)

#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4

#define CLSCTX_INPROC_SERVER 0x1
#define S_OK ((HRESULT)0)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define FAILED(hr) ((HRESULT)(hr) < 0)
#define SUCCEEDED(hr) ((HRESULT)(hr) >= 0)

#define CP_ACP 0
#define MB_PRECOMPOSED 0x1
#define SLGP_UNCPRIORITY 0x2
#define STGM_READ 0x0

#define CTRL_C_EVENT 0
#define CTRL_BREAK_EVENT 1
#define CTRL_CLOSE_EVENT 2

typedef BOOL (*PHANDLER_ROUTINE)(DWORD event);

// ---------------------------------------------------------------------------
// The shell link interfaces, declared so that the library's code compiles;
// CoCreateInstance never hands one out here.

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void **object) = 0;
    virtual DWORD AddRef() = 0;
    virtual DWORD Release() = 0;
};

struct IShellLinkA : IUnknown {
    virtual HRESULT GetPath(LPSTR file, int size, WIN32_FIND_DATAA *data, DWORD flags) = 0;
    virtual HRESULT SetPath(LPCSTR file) = 0;
};

struct IPersistFile : IUnknown {
    virtual HRESULT Load(LPCOLESTR file, DWORD mode) = 0;
    virtual HRESULT Save(LPCOLESTR file, BOOL remember) = 0;
};

extern const CLSID CLSID_ShellLink;
extern const IID IID_IShellLinkA;
extern const IID IID_IPersistFile;

// ---------------------------------------------------------------------------
// Trivial stubs and string adaptors

DWORD GetLastError(void);
void SetLastError(DWORD code);
int lstrlenA(LPCSTR s);
LPSTR PathFindExtensionA(LPCSTR path);
LPSTR PathFindFileNameA(LPCSTR path);
int MultiByteToWideChar(UINT codepage, DWORD flags, LPCSTR src, int src_len, LPWSTR dst,
                        int dst_len);
DWORD FormatMessageA(DWORD flags, const void *source, DWORD code, DWORD language, LPSTR buffer,
                     DWORD size, void *arguments);

// ---------------------------------------------------------------------------
// Implementations: files

// FILE_FLAG_BACKUP_SEMANTICS opens a directory too. A directory opened
// without FILE_SHARE_DELETE is held as Windows holds it: until its handle
// is closed, every path that runs through its path is resolved beneath the
// directory that was opened, renamed or not. FILE_FLAG_OPEN_REPARSE_POINT
// follows no link in the last component: a symbolic link is opened itself,
// for its information only, with FILE_ATTRIBUTE_REPARSE_POINT. A file that
// a creating disposition makes new with a template handle takes the
// template's owner, group, mode, ACLs and extended attributes when its
// handle is closed, so that until then it stays its creator's alone and
// writes cannot clear its set-id bits. An owner or group the process may
// not set is left, and with it the set-id bit and any group right beyond
// what others have; an attribute that cannot be set fails the close.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templ);
BOOL ReadFile(HANDLE file, void *buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, const void *buffer, DWORD count, LPDWORD done,
               LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE handle);
DWORD GetFileAttributesA(LPCSTR path);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *access,
                 const FILETIME *write);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info);
DWORD GetFileType(HANDLE file);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER position,
                      DWORD method);
BOOL FlushFileBuffers(HANDLE file);
BOOL DeleteFileA(LPCSTR path);
BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryA(LPCSTR path);

// Replaces a file by another in one step: the replacement is renamed over
// it. The replaced file is not looked up for its metadata, which a link or
// a swapped entry could lend: a replacement created with the original as
// its template carries it. A replaced entry that is no regular file (a
// link among them) is refused. No backup file: `backup` must be null.
BOOL ReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude,
                  LPVOID reserved);

// The path of an open file with every symbolic link resolved, as the
// system's own absolute path. Returns its length, or the size needed
// (terminating zero included) when the buffer is too small, or 0 on failure.
DWORD GetFinalPathNameByHandleA(HANDLE file, LPSTR path, DWORD size, DWORD flags);

// Address space and memory: MEM_RESERVE takes address space only,
// MEM_COMMIT makes (part of) a reservation usable, both together do both.
// A large committed range is filled with small pages at once, as its caller
// is about to write all of it. VirtualFree releases
// a whole reservation (MEM_RELEASE with size 0) and nothing else.
LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect);
BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD type);

// Directory search: the last component is a wildcard pattern.
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE find);

// The system's wildcard rules for one name: '*', '?', ASCII case ignored,
// "*.*" matching every name; exposed for tests.
BOOL winposix_wildcard_match(const char *pattern, const char *name);

// ---------------------------------------------------------------------------
// Implementations: registry, environment, shell link, console

LONG RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM access, PHKEY out);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);
LONG RegCloseKey(HKEY key);
DWORD ExpandEnvironmentStringsA(LPCSTR src, LPSTR dst, DWORD size);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown *outer, DWORD context, REFIID iid,
                         void **object);
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);

// ---------------------------------------------------------------------------
// POSIX only

// The signals that stand for a console event (console.cpp), which a program
// holds off by blocking them: Ctrl+C, and those that close the console.
void winposix_interrupt_signals(sigset_t *set);

// Starts writing a file's data to the disk without waiting for it
// (sync_file_range); a later FlushFileBuffers then waits for less. Nothing
// is reported: it only hastens what the flush does anyway.
void winposix_start_writeout(HANDLE file);

// ---------------------------------------------------------------------------
// For tests only

// Fills the in-process registry, which starts empty: subkey is a path below
// root with '\' separators, created as needed.
LONG winposix_registry_set(HKEY root, LPCSTR subkey, LPCSTR name, DWORD type, const void *data,
                           DWORD size);
void winposix_registry_clear(void);

// Makes the n-th call (1: the next one) of a kind fail with the given
// Windows error code; the call does nothing else. One pending fault a kind.
enum WinposixCall {
    WINPOSIX_CALL_READ,
    WINPOSIX_CALL_WRITE,
    WINPOSIX_CALL_CREATE,
    WINPOSIX_CALL_RENAME,
    WINPOSIX_CALL_CLOSE,
    WINPOSIX_CALL_FIND_NEXT,
    WINPOSIX_CALL_RESERVE,  // VirtualAlloc with MEM_RESERVE
    WINPOSIX_CALL_FLUSH,    // FlushFileBuffers
    WINPOSIX_CALL_COUNT
};
void winposix_fail_nth(WinposixCall kind, int n, DWORD code);
// Makes the n-th call of a kind stop before it does anything: it writes one
// byte to ready_fd, then waits until a byte or the end can be read from
// resume_fd, and goes on as usual. A test holds a process there to signal
// it at a known point. A pause is an action (below): one pending a kind.
void winposix_pause_nth(WinposixCall kind, int n, int ready_fd, int resume_fd);
void winposix_fail_reset(void);
// Tests: runs `action` at the start of the n-th call of a kind, before the
// call does anything; winposix_fail_reset forgets it.
void winposix_act_nth(WinposixCall kind, int n, void (*action)(void *), void *context);

#endif
