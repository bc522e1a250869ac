#include "SingleInstance.h"

namespace vantrell::win32 {

SingleInstanceGuard& SingleInstance()
{
    static SingleInstanceGuard guard = [] {
        // A plain name, no namespace prefix: one copy per session.
        HANDLE mutex = CreateMutexA(nullptr, FALSE, "SingleInstanceOfVantrell");
        return SingleInstanceGuard{static_cast<std::int32_t>(GetLastError()), mutex};
    }();
    return guard;
}

void ReleaseSingleInstance()
{
    SingleInstanceGuard& guard = SingleInstance();
    if (guard.mutex)
        CloseHandle(guard.mutex);
    guard.mutex = nullptr;
}

} // namespace vantrell::win32
