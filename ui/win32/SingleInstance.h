#pragma once
// The single-copy guard: a named mutex, created on the window's path only (a plan never
// touches it, so a window started while a plan runs still opens), and held until the form
// has closed: released before the program waits for the writer, so that a new copy can
// start while a write stuck in the file system keeps this one alive.

#include <windows.h>

#include <cstdint>

namespace vantrell::win32 {

struct SingleInstanceGuard {
    std::int32_t lastError; // GetLastError right after CreateMutexA
    HANDLE mutex;           // null if the mutex could not be created, or once released
};

// Creates the mutex on the first call, never during static initialisation. UI thread.
SingleInstanceGuard& SingleInstance();

// Closes the mutex, once the form has closed. UI thread.
void ReleaseSingleInstance();

// True in a second copy: it must end at once, silently, with status 0.
inline bool AnotherCopyRuns()
{
    return SingleInstance().lastError == ERROR_ALREADY_EXISTS;
}

} // namespace vantrell::win32
