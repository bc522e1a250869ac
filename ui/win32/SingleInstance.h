#pragma once
// The single-copy guard: a named mutex created during static initialisation, before
// wWinMain runs, and held (never closed) until the process ends.

#include <windows.h>

#include <cstdint>

namespace vantrell::win32 {

struct SingleInstanceGuard {
    std::int32_t lastError; // GetLastError right after CreateMutexA
    HANDLE mutex;           // null if the mutex could not be created; the program runs anyway
};

// Created during static initialisation and never freed.
extern SingleInstanceGuard* const g_pSingleInstance;

// True in a second copy: it must end at once, silently, with status 0.
inline bool AnotherCopyRuns()
{
    return g_pSingleInstance->lastError == ERROR_ALREADY_EXISTS;
}

} // namespace vantrell::win32
