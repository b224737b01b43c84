// FILETIME, a count of 100-ns units since 1601-01-01 UTC, against POSIX times.
#include "internal.h"

static const int64_t kUnixEpochAsFiletime = 116444736000000000LL;
static const int64_t kUnitsPerSecond = 10000000LL;

FILETIME winposix_filetime_from(const struct timespec &ts)
{
    int64_t units = kUnixEpochAsFiletime + static_cast<int64_t>(ts.tv_sec) * kUnitsPerSecond +
                    ts.tv_nsec / 100;
    if (units < 0)
        units = 0;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(units));
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(units) >> 32);
    return ft;
}

struct timespec winposix_timespec_from(const FILETIME &ft)
{
    uint64_t raw = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    // Values from 2^63 on are no time at all; they stay far in the future.
    int64_t units = static_cast<int64_t>(raw > INT64_MAX ? INT64_MAX : raw) - kUnixEpochAsFiletime;
    int64_t seconds = units / kUnitsPerSecond;
    int64_t rest = units % kUnitsPerSecond;
    if (rest < 0) {
        rest += kUnitsPerSecond;
        seconds -= 1;
    }
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>(rest * 100);
    return ts;
}

struct timespec winposix_creation_time(const struct stat &st)
{
    // POSIX status has no birth time: the older of the last status change
    // and the last write stands in for it.
    const struct timespec &c = st.st_ctim;
    const struct timespec &m = st.st_mtim;
    bool c_older = c.tv_sec < m.tv_sec || (c.tv_sec == m.tv_sec && c.tv_nsec < m.tv_nsec);
    return c_older ? c : m;
}
