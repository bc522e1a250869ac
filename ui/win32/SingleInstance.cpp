#include "SingleInstance.h"

namespace vantrell::win32 {

const SingleInstanceGuard& SingleInstance()
{
    static const SingleInstanceGuard guard = [] {
        // A plain name, no namespace prefix: one copy per session.
        HANDLE mutex = CreateMutexA(nullptr, FALSE, "SingleInstanceOfVantrell");
        return SingleInstanceGuard{static_cast<std::int32_t>(GetLastError()), mutex};
    }();
    return guard;
}

} // namespace vantrell::win32
