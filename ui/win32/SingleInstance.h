#pragma once
// The single-copy guard: a named mutex, created on the window's path only (a plan never
// touches it, so a window started while a plan runs still opens), and held, never
// closed, until the process ends.

#include <windows.h>

#include <cstdint>

namespace vantrell::win32 {

struct SingleInstanceGuard {
    std::int32_t lastError; // GetLastError right after CreateMutexA
    HANDLE mutex;           // null if the mutex could not be created; the program runs anyway
};

// Creates the mutex on the first call, never during static initialisation. UI thread.
const SingleInstanceGuard& SingleInstance();

// True in a second copy: it must end at once, silently, with status 0.
inline bool AnotherCopyRuns()
{
    return SingleInstance().lastError == ERROR_ALREADY_EXISTS;
}

} // namespace vantrell::win32
