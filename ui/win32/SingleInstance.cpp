#include "SingleInstance.h"

namespace vantrell::win32 {
namespace {

SingleInstanceGuard* CreateGuard()
{
    // A plain name, no namespace prefix: one copy per session.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "SingleInstanceOfVantrell");
    const DWORD error = GetLastError();
    return new SingleInstanceGuard{static_cast<std::int32_t>(error), mutex};
}

} // namespace

SingleInstanceGuard* const g_pSingleInstance = CreateGuard();

} // namespace vantrell::win32
